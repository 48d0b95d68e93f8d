#!/usr/bin/env bash
# Decoding a long MP3 through the program's one way in, natively (FFmpeg's
# libraries) and under Wine (Media Foundation, then ACM with Media Foundation
# switched off), against `ffmpeg -i x.mp3 -f null -` in the same run. One
# command:
#
#   bash bench/decode.sh
#
# Environment (all optional):
#   TW_DECODE_MINUTES  length of the MP3 (60), made once at 192 kbps from
#                      bench/make_speech.sh's recording, kept in build/bench/
#   TW_DECODE_RUNS     runs of each command (3); medians are printed
#   TW_DECODE_WINE     1: the Windows decoders under Wine too (1)
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
B=$ROOT/build/bench
MIN=${TW_DECODE_MINUTES:-60}
RUNS=${TW_DECODE_RUNS:-3}
WINE=${TW_DECODE_WINE:-1}
mkdir -p "$B"
WAV=$(bash "$ROOT/bench/make_speech.sh" "$B" 64)
MP3=$B/speech_${MIN}min_192k.mp3
if [ ! -f "$MP3" ]; then
  echo "making $MP3..." >&2
  ffmpeg -v error -nostdin -y -stream_loop -1 -i "$WAV" -t $((MIN * 60)) -c:a libmp3lame -b:a 192k "$MP3.tmp.mp3"
  mv "$MP3.tmp.mp3" "$MP3"
fi

echo "building bench_decode..."
cmake -S "$ROOT" -B "$B/native" -DCMAKE_BUILD_TYPE=Release >"$B/decode_cmake.log" 2>&1
cmake --build "$B/native" -j2 --target bench_decode >>"$B/decode_cmake.log" 2>&1 || { tail -30 "$B/decode_cmake.log"; exit 1; }
if [ "$WINE" = 1 ]; then
  cmake -S "$ROOT" -B "$B/mingw" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=Release >>"$B/decode_cmake.log" 2>&1
  cmake --build "$B/mingw" -j2 --target bench_decode_win >>"$B/decode_cmake.log" 2>&1 || { tail -30 "$B/decode_cmake.log"; exit 1; }
  export WINEPREFIX=$B/wineprefix
  source "$ROOT/cmake/wine_env.sh"
  tw_ensure_prefix
  wine "$B/mingw/bench_decode_win.exe" "$(winepath -w "$WAV")" >/dev/null 2>&1 || true  # GStreamer's registry, once
fi

# Median wall time of a command over RUNS runs, and the last run's own line.
timed() { # label, command...
  local label=$1; shift
  local times=() line=""
  for ((i = 0; i < RUNS; i++)); do
    local t0 t1
    t0=$(date +%s.%N)
    line=$("$@" 2>&1 | tail -1)
    t1=$(date +%s.%N)
    times+=("$(echo "$t1 - $t0" | bc)")
  done
  local median
  median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((RUNS + 1) / 2))p")
  printf '%-34s %7.2f s   %s\n' "$label" "$median" "$line"
}

echo "$MP3: $(ffprobe -v error -show_entries format=duration,bit_rate -of csv=p=0 "$MP3")"
timed "ffmpeg -i x.mp3 -f null -" ffmpeg -v error -nostdin -i "$MP3" -f null -
timed "native (FFmpeg's libraries)" "$B/native/bench_decode" "$MP3"
if [ "$WINE" = 1 ]; then
  W=$(winepath -w "$MP3")
  timed "Wine: Media Foundation" wine "$B/mingw/bench_decode_win.exe" "$W"
  WINEDLLOVERRIDES="$WINEDLLOVERRIDES;mfplat,mfreadwrite=d" timed "Wine: ACM (no Media Foundation)" \
    wine "$B/mingw/bench_decode_win.exe" "$W"
fi
