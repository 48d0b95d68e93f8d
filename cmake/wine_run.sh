#!/usr/bin/env bash
# Runs one Windows test program under Wine and Xvfb: fresh work folder as the
# current directory, fixtures made by real tools, a time limit, the exit code
# passed through, and a check that the program printed its closing summary
# (a crash can otherwise look like success).
set -u
exe=$(cd "$(dirname "$1")" && pwd)/$(basename "$1"); shift
source "$(dirname "$0")/wine_env.sh"
tw_ensure_prefix
name=$(basename "$exe" .exe)
work=$(dirname "$exe")/work/$name
fixtures=$(dirname "$exe")/fixtures
rm -rf "$work"; mkdir -p "$work"; work=$(cd "$work" && pwd)
bash "$TW_ROOT/tests/shell/fixtures.sh" "$fixtures" || { echo "fixtures failed"; exit 1; }
export TW_FIXTURES="Z:$(echo "$fixtures" | tr / '\\')"
export TW_WORK="Z:$(echo "$(cd "$work" && pwd)" | tr / '\\')"
limit=${TW_TEST_TIMEOUT:-600}
cd "$work"
# Optional per-test set-up, sourced in the work folder before Wine starts (it
# may export variables or mount things), and clean-up run whatever happens.
hooks="$TW_ROOT/tests/shell/$name"
if [ -f "$hooks.post.sh" ]; then trap 'bash "$hooks.post.sh" "$work" "$fixtures"' EXIT; fi
if [ -f "$hooks.pre.sh" ]; then source "$hooks.pre.sh" "$work" "$fixtures" || { echo "wine_run: $hooks.pre.sh failed"; exit 1; }; fi
xvfb-run -a -s "-screen 0 1366x768x24" sh -c "timeout $limit wine '$exe' $* > out.raw 2>&1; echo \$? > rc; wineserver -k 2>/dev/null; true"
rc=$(cat rc 2>/dev/null || echo 1)
iconv -f CP932 -t UTF-8 out.raw > out.txt 2>/dev/null || cp out.raw out.txt
cat out.txt
if [ "$rc" != 0 ]; then echo "wine_run: $name exited with $rc"; exit 1; fi
if ! grep -Eq '(^\[doctest\] Status: SUCCESS!|^[0-9]+ passed, 0 failed)' out.txt; then
  echo "wine_run: $name printed no passing summary"; exit 1
fi
check="$TW_ROOT/tests/shell/$name.check.sh"
if [ -f "$check" ]; then bash "$check" "$work" "$fixtures" || { echo "wine_run: $check failed"; exit 1; }; fi
exit 0
