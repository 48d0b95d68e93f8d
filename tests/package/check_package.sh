#!/usr/bin/env bash
# scripts/package.sh: the zip holds the program, its command line and the
# guide, and nothing else; the guide is valid Shift-JIS with CRLF line ends
# and says what the UTF-8 source says.
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
failures=0
fail() { echo "package FAIL: $*"; failures=$((failures + 1)); }
zip=$(bash "$root/scripts/package.sh" | tail -1)
[ -f "$zip" ] || { echo "package FAIL: no zip ($zip)"; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
unzip -q "$zip" -d "$tmp" || fail "unzip cannot read $zip"
folder=$(basename "$zip" .zip)
got=$(cd "$tmp" && find . -type f | sort | tr '\n' ' ')
want="./$folder/Tarnwick.exe ./$folder/Tarnwick.txt ./$folder/tarnwick-split.exe "
[ "$got" = "$want" ] || fail "files [$got], want [$want]"
guide=$tmp/$folder/Tarnwick.txt
iconv -f CP932 -t UTF-8 "$guide" > "$tmp/guide.utf8" 2>/dev/null || fail "the guide is not valid Shift-JIS"
lines=$(wc -l < "$guide")
crlf=$(grep -c $'\r$' "$guide")
[ "$lines" -gt 100 ] && [ "$crlf" = "$lines" ] || fail "$crlf of $lines lines end in CRLF"
tr -d '\r' < "$tmp/guide.utf8" | cmp -s - "$root/docs/Tarnwick.txt" || fail "the guide differs from docs/Tarnwick.txt"
for part in "録音を開く" "切り方は二通り" "ピースの決まり" "名前の一覧とラベル" "キー操作" "保存する" "コマンドライン" "分かっている制限"; do
  grep -q "$part" "$tmp/guide.utf8" || fail "the guide has no section \"$part\""
done
for exe in Tarnwick.exe tarnwick-split.exe; do
  head -c 2 "$tmp/$folder/$exe" | grep -q MZ || fail "$exe is no Windows program"
done
echo "package: $zip, $lines lines of guide, $failures failures"
[ "$failures" = 0 ]
