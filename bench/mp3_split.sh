#!/usr/bin/env bash
# MP3 pieces without re-encoding against split -n on the same file: a
# one-hour MP3 (made once under build/bench/ by ffmpeg's libmp3lame from the
# benchmarks' speech-like sound) cut into 200 MP3 pieces at evenly spaced
# samples by the core (tests/mp3/mp3_cut_tool: reads the file, finds its
# frames, writes each piece's tags, Info frame, carrier frames and original
# frames), by tarnwick-split with the same cuts given as -c (its frames read,
# nothing decoded, written through the all-or-none writer), and split -n 200.
# One command:
#
#   bash bench/mp3_split.sh
#
# Environment (all optional):
#   TW_MP3_MINUTES  length of the MP3 (60)
#   TW_MP3_BITRATE  its bit rate, or "v2" for VBR -q:a 2 (192k)
#   TW_MP3_PIECES   pieces (200)
#   TW_MP3_RUNS     runs of each command (5); medians are compared
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
B=$ROOT/build/bench
MINUTES=${TW_MP3_MINUTES:-60}
BITRATE=${TW_MP3_BITRATE:-192k}
PIECES=${TW_MP3_PIECES:-200}
RUNS=${TW_MP3_RUNS:-5}
mkdir -p "$B"

echo "building mp3_cut_tool..."
cmake -S "$ROOT" -B "$B/native" -DCMAKE_BUILD_TYPE=Release >"$B/mp3_cmake.log" 2>&1
cmake --build "$B/native" -j2 --target mp3_cut_tool tarnwick-split >>"$B/mp3_cmake.log" 2>&1 || { tail -30 "$B/mp3_cmake.log"; exit 1; }
TOOL=$B/native/mp3_cut_tool
SPLIT=$B/native/tarnwick-split

MP3=$B/speech_${MINUTES}min_$BITRATE.mp3
if [ ! -f "$MP3" ]; then
  echo "making $MP3 (encoding $MINUTES minutes)..."
  UNIT=$(bash "$ROOT/bench/make_speech.sh" "$B" 16)  # 95 s of sentences and pauses, looped
  if [ "$BITRATE" = v2 ]; then rate=(-q:a 2); else rate=(-b:a "$BITRATE"); fi
  ffmpeg -v error -y -stream_loop -1 -i "$UNIT" -t $((MINUTES * 60)) -metadata title=Hour -metadata artist=Bench \
    -c:a libmp3lame "${rate[@]}" "$MP3.tmp.mp3"
  mv "$MP3.tmp.mp3" "$MP3"
fi
read -r _ FRAMES _ SAMPLES _ < <("$TOOL" "$MP3")
CUTS=$(awk -v n="$PIECES" -v s="$SAMPLES" 'BEGIN { for (k = 1; k < n; k++) printf "%d ", s * k / n }')
# tarnwick-split's -c counts values of all channels.
CHANNELS=$("$TOOL" "$MP3" | awk '{ for (i = 1; i < NF; i++) if ($i == "channels") print $(i + 1) }')
SPLIT_CUTS=$(for c in $CUTS; do printf -- '-c %d ' $((c * CHANNELS)); done)

T=$(mktemp -d "$B/mp3.XXXXXX")
trap 'rm -rf "$T"' EXIT
cat "$MP3" >/dev/null  # page cache: every figure is from memory
echo "machine load before the runs: $(cut -d' ' -f1-3 /proc/loadavg) (1/5/15 min), $(nproc) cores"

source "$ROOT/bench/timing.sh"

echo "on $MP3 ($(stat -c %s "$MP3") bytes, $FRAMES frames, $SAMPLES samples), median of $RUNS runs:"
# shellcheck disable=SC2086
time_it mp3_pieces "$TOOL" "$MP3" p $CUTS
# shellcheck disable=SC2086
time_it tarnwick_split "$SPLIT" -o p $SPLIT_CUTS "$MP3"
time_it split_n split -n "$PIECES" "$MP3"
echo
printf 'Target: mp3 pieces / split -n %s  %.2f   (<= 2)\n' "$PIECES" "$(echo "scale=3; $TIME_mp3_pieces / $TIME_split_n" | bc -l)"
printf '        tarnwick-split / split -n %s  %.2f   (<= 2)\n' "$PIECES" "$(echo "scale=3; $TIME_tarnwick_split / $TIME_split_n" | bc -l)"
echo "machine load after the runs: $(cut -d' ' -f1-3 /proc/loadavg)"
