#!/usr/bin/env bash
# Long fuzzing run: every libFuzzer target in turn (one at a time, the machine
# is shared), each for a fixed number of executions so that together they make
# well over ten million. Prints the executions and time of each target and the
# total; fails if any target finds something or the total falls short.
# Usage: scripts/fuzz_long.sh [native build folder, default build/native] [scale]
# (scale multiplies every count, e.g. 0.1 for a quick look).
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/native}
scale=${2:-1}
fuzzdir=$build/fuzz
[ -x "$fuzzdir/fuzz_header" ] || { echo "no fuzz targets in $fuzzdir (build the native tree with clang++ installed)"; exit 1; }

# Executions per target, weighted by speed: the fast ones take the bulk.
targets="fuzz_click:3500000 fuzz_header:3000000 fuzz_scan:2000000 fuzz_number:1500000
         fuzz_pieces:600000 fuzz_measure:600000 fuzz_graph:500000"

total=0
failed=""
printf '%-14s %12s %8s\n' target executions seconds
for entry in $targets; do
  name=${entry%%:*}
  runs=$(awk -v r="${entry##*:}" -v s="$scale" 'BEGIN { printf "%d", r * s }')
  start=$(date +%s)
  TW_FUZZ_TAG=long bash "$root/fuzz/run_fuzz.sh" "$fuzzdir/$name" "$fuzzdir/seeds/$name" "$root/fuzz/seeds/$name" \
    -runs="$runs" -max_total_time=1200 > "$fuzzdir/$name.long.log" 2>&1
  rc=$?
  seconds=$(( $(date +%s) - start ))
  done_runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$fuzzdir/$name.long.log" | tail -1)
  done_runs=${done_runs:-0}
  total=$((total + done_runs))
  printf '%-14s %12d %8d%s\n' "$name" "$done_runs" "$seconds" "$([ $rc -ne 0 ] && echo '  FAILED')"
  [ $rc -ne 0 ] && failed="$failed $name" && tail -25 "$fuzzdir/$name.long.log"
done
printf '%-14s %12d\n' total "$total"
if [ -n "$failed" ]; then echo "findings in:$failed (inputs under $fuzzdir/work/<target>.long/)"; exit 1; fi
awk -v t="$total" -v s="$scale" 'BEGIN { exit !(s < 1 || t >= 10000000) }' || { echo "fewer than 10 million executions"; exit 1; }
