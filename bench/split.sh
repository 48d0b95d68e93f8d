#!/usr/bin/env bash
# tarnwick-split against sox's silence split and split -n (as many pieces) on
# the end-to-end benchmark's large WAV, all in one run. One command:
#
#   bash bench/split.sh
#
# Environment (all optional):
#   TW_SPLIT_MB         size of the data chunk in MiB (default 1024; the file
#                       is the one bench/e2e.sh uses, made once in build/bench/)
#   TW_SPLIT_RUNS       runs of every command (3); medians are compared
#   TW_SPLIT_THRESHOLD  -t (200)
#   TW_SPLIT_WIDTH      -w (1923, the graph after three zoom-ins, as in e2e.sh)
#   TW_SPLIT_WINE       1: tarnwick-split.exe under Wine too (1)
#   TW_SPLIT_PAUSE      -p for the pause-cutting runs (400), at the estimated threshold
#   TW_SPLIT_PAUSE_T    -t of the second pause-cutting run (2000)
#   TW_SPLIT_RULES      the piece rules of the third ("--max 10 --min 1 --margin 100")
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
B=$ROOT/build/bench
MB=${TW_SPLIT_MB:-1024}
RUNS=${TW_SPLIT_RUNS:-3}
THRESHOLD=${TW_SPLIT_THRESHOLD:-200}
WIDTH=${TW_SPLIT_WIDTH:-1923}
WINE=${TW_SPLIT_WINE:-1}
PAUSE=${TW_SPLIT_PAUSE:-400}
PAUSE_T=${TW_SPLIT_PAUSE_T:-2000}
RULES=${TW_SPLIT_RULES:---max 10 --min 1 --margin 100}
mkdir -p "$B"
WAV=$(bash "$ROOT/bench/make_speech.sh" "$B" "$MB")

echo "building tarnwick-split..."
cmake -S "$ROOT" -B "$B/native" -DCMAKE_BUILD_TYPE=Release >"$B/split_cmake.log" 2>&1
cmake --build "$B/native" -j2 --target tarnwick-split >>"$B/split_cmake.log" 2>&1 || { tail -30 "$B/split_cmake.log"; exit 1; }
SPLIT=$B/native/tarnwick-split
if [ "$WINE" = 1 ]; then
  cmake -S "$ROOT" -B "$B/mingw" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=Release >>"$B/split_cmake.log" 2>&1
  cmake --build "$B/mingw" -j2 --target tarnwick-split >>"$B/split_cmake.log" 2>&1 || { tail -30 "$B/split_cmake.log"; exit 1; }
  export WINEPREFIX=$B/wineprefix
  source "$ROOT/cmake/wine_env.sh"
  tw_ensure_prefix
fi

T=$(mktemp -d "$B/split.XXXXXX")
trap 'rm -rf "$T"' EXIT
echo "machine load before the runs: $(cut -d' ' -f1-3 /proc/loadavg) (1/5/15 min), $(nproc) cores"
cat "$WAV" >/dev/null  # page cache: every figure is from memory

source "$ROOT/bench/timing.sh"

echo "on $WAV ($(stat -c %s "$WAV") bytes), median of $RUNS runs:"
time_it tarnwick_split "$SPLIT" -t "$THRESHOLD" -w "$WIDTH" -o p "$WAV"
PIECES=$FILES
if [ "$WINE" = 1 ]; then
  winwav="Z:$(echo "$WAV" | tr / '\\')"
  # A running wineserver, as in any Wine session: its start-up is not the
  # program's cost (measured apart as the time of --help).
  wineserver -p 2>/dev/null || true
  trap 'wineserver -k 2>/dev/null; rm -rf "$T"' EXIT
  wine "$B/mingw/tarnwick-split.exe" --help >/dev/null
  time_it wine_start_help wine "$B/mingw/tarnwick-split.exe" --help
  time_it tarnwick_split_exe wine "$B/mingw/tarnwick-split.exe" -t "$THRESHOLD" -w "$WIDTH" -o p "$winwav"
fi
time_it tarnwick_split_pause "$SPLIT" -p "$PAUSE" -o q "$WAV"
PAUSE_PIECES=$FILES
time_it tarnwick_split_pause_t "$SPLIT" -p "$PAUSE" -t "$PAUSE_T" -o q "$WAV"
PAUSE_T_PIECES=$FILES
time_it tarnwick_split_rules "$SPLIT" -p "$PAUSE" $RULES -o r "$WAV"
RULES_PIECES=$FILES
time_it pause_cut_only "$SPLIT" -n -p "$PAUSE" "$WAV"
time_it pieces_only "$SPLIT" -n -p "$PAUSE" --pieces 100 "$WAV"
time_it pause_cut_only_t "$SPLIT" -n -p "$PAUSE" -t "$PAUSE_T" "$WAV"
time_it split_n split -n "$PIECES" "$WAV"
time_it split_n_pause split -n "$PAUSE_PIECES" "$WAV"
time_it split_n_pause_t split -n "$PAUSE_T_PIECES" "$WAV"
time_it split_n_rules split -n "$RULES_PIECES" "$WAV"
time_it sox_silence sox "$WAV" out.wav silence 1 0.1 1% 1 0.3 1% : newfile : restart

r() { echo "scale=2; $1 / $2" | bc -l; }
echo
echo "Targets:"
printf '  sox silence / tarnwick-split   %6.2f x   (>= 5)\n' "$(r "$TIME_sox_silence" "$TIME_tarnwick_split")"
printf '  tarnwick-split / split -n %-4s %6.2f     (<= 2)\n' "$PIECES" "$(r "$TIME_tarnwick_split" "$TIME_split_n")"
printf '  pause cutting (-p %s): sox silence / tarnwick-split %6.2f x   (>= 5)\n' "$PAUSE" \
  "$(r "$TIME_sox_silence" "$TIME_tarnwick_split_pause")"
printf '  pause cutting: tarnwick-split / split -n %-4s %6.2f     (<= 2)\n' "$PAUSE_PIECES" \
  "$(r "$TIME_tarnwick_split_pause" "$TIME_split_n_pause")"
printf '  pause cutting at -t %s: sox silence / tarnwick-split %6.2f x   (>= 5)\n' "$PAUSE_T" \
  "$(r "$TIME_sox_silence" "$TIME_tarnwick_split_pause_t")"
printf '  pause cutting at -t %s: tarnwick-split / split -n %-4s %6.2f     (<= 2)\n' "$PAUSE_T" "$PAUSE_T_PIECES" \
  "$(r "$TIME_tarnwick_split_pause_t" "$TIME_split_n_pause_t")"
printf '  pause cutting with %s: tarnwick-split / split -n %-4s %6.2f     (<= 2)\n' "$RULES" "$RULES_PIECES" \
  "$(r "$TIME_tarnwick_split_rules" "$TIME_split_n_rules")"
printf '  pause cutting alone (-n): estimated %.3f s, -t %s %.3f s\n' "$TIME_pause_cut_only" "$PAUSE_T" "$TIME_pause_cut_only_t"
printf '  --pieces 100 (-n) / pause cutting alone (-n) %6.2f     (<= 1.5)\n' "$(r "$TIME_pieces_only" "$TIME_pause_cut_only")"
if [ "$WINE" = 1 ]; then
  printf '  under Wine: sox silence / tarnwick-split.exe %.2f x, tarnwick-split.exe / split -n %.2f\n' \
    "$(r "$TIME_sox_silence" "$TIME_tarnwick_split_exe")" "$(r "$TIME_tarnwick_split_exe" "$TIME_split_n")"
fi
echo "machine load after the runs: $(cut -d' ' -f1-3 /proc/loadavg)"
