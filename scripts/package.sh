#!/usr/bin/env bash
# The download for Windows users: one zip with Tarnwick.exe, tarnwick-split.exe
# and the user guide (docs/Tarnwick.txt) as Windows users open a .txt:
# Shift-JIS (code page 932) with CRLF line ends. Prints the zip's path.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
command -v zip >/dev/null || bash scripts/setup.sh
[ -f build/mingw/Makefile ] || cmake -S . -B build/mingw -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/mingw -j "$(nproc)" --target Tarnwick tarnwick-split >/dev/null
version=$(sed -n 's/.*kVersionText = "\(.*\)";/\1/p' shell/app/main_window_ids.h)
name=Tarnwick-$version
out=$root/build/package
rm -rf "$out/$name" "$out/$name.zip"
mkdir -p "$out/$name"
cp build/mingw/Tarnwick.exe build/mingw/tarnwick-split.exe "$out/$name/"
# Fails on any character the code page lacks, so the guide never shows a "?".
iconv -f UTF-8 -t CP932 docs/Tarnwick.txt | sed 's/$/\r/' > "$out/$name/Tarnwick.txt"
(cd "$out" && zip -q -X -r "$name.zip" "$name")
echo "$out/$name.zip"
