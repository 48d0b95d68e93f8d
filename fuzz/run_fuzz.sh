#!/usr/bin/env bash
# Runs one libFuzzer target on a fresh copy of its seed folders, so a run never
# grows the seeds themselves. Usage:
#   run_fuzz.sh <fuzzer> <seed folder>... [libFuzzer options, e.g. -max_total_time=10]
# A finding leaves its input in the work folder (crash-*, leak-*, timeout-*)
# and fails the run with libFuzzer's exit code.
set -u
fuzzer=$1; shift
name=$(basename "$fuzzer")
seeds=()
while [ $# -gt 0 ] && [ "${1#-}" = "$1" ]; do seeds+=("$1"); shift; done
# TW_FUZZ_TAG keeps the CTest run and a long run in separate work folders.
work=$(dirname "$fuzzer")/work/$name.${TW_FUZZ_TAG:-test}
rm -rf "$work"; mkdir -p "$work/corpus"
for dir in "${seeds[@]}"; do
  [ -d "$dir" ] && find "$dir" -maxdepth 1 -type f ! -name '.*' -exec cp {} "$work/corpus/" \;
done
echo "$name: $(ls "$work/corpus" | wc -l) seed files"
"$fuzzer" -rss_limit_mb=2048 -max_len=8192 -timeout=10 -print_final_stats=1 \
  -artifact_prefix="$work/" "$@" "$work/corpus" 2>&1 | tee "$work/log" | grep -v '^#[0-9]*\s*\(NEW\|REDUCE\|pulse\)'
rc=${PIPESTATUS[0]}
if [ "$rc" -ne 0 ]; then
  echo "$name: FAILED (exit $rc); input kept in $work"; ls "$work" | grep -E '^(crash|leak|timeout|oom)-' || true
fi
exit "$rc"
