#!/usr/bin/env bash
# After test_split: the native tarnwick-split cuts each row's recording with
# the same options; its pieces must be byte for byte those of the window
# (and so of tarnwick-split.exe), and soxi must read every piece of all three.
# Args: work folder, fixtures folder. manifest.txt: "fixture|options|base|count".
set -u
work=$1
fixtures=$2
cd "$work" || exit 1
split=${TW_SPLIT:-$(cd "$(dirname "$0")/../.." && pwd)/build/native/tarnwick-split}
[ -x "$split" ] || { echo "check: no native tarnwick-split at $split"; exit 1; }
[ -s manifest.txt ] || { echo "check: no manifest"; exit 1; }
failures=0
fail() { echo "check FAIL: $*"; failures=$((failures + 1)); }
while IFS='|' read -r fixture options base count; do
  # shellcheck disable=SC2086 # the options are words
  "$split" $options -o "native_$base" "$fixtures/$fixture" >/dev/null || fail "$base: native run failed"
  n=0
  for ((k = 0; k < count; k++)); do
    for set in win exe native; do
      p=$(printf '%s_%s_%03d.wav' "$set" "$base" "$k")
      [ -f "$p" ] || { fail "$p missing"; continue; }
      [ "$(stat -c %s "$p")" -gt 44 ] || continue   # soxi reads no empty piece
      err=$( { soxi "$p" >/dev/null; } 2>&1 ) || fail "soxi cannot read $p"
      [ -z "$err" ] || fail "soxi on $p: $err"
    done
    w=$(printf 'win_%s_%03d.wav' "$base" "$k")
    cmp -s "$w" "$(printf 'native_%s_%03d.wav' "$base" "$k")" || fail "native piece $k of $base differs from the window's"
    n=$((n + 1))
  done
  [ -e "$(printf 'native_%s_%03d.wav' "$base" "$count")" ] && fail "$base: native wrote a piece too many"
  echo "check: $base: $n pieces, window = exe = native"
done < manifest.txt
echo "check: $failures failures"
[ "$failures" = 0 ]
