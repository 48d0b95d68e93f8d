#!/usr/bin/env bash
# Every piece left by the close must be a WAV file that sox reads whole: its
# header's sample count times the frame size equals the bytes after the header.
set -u
work=$1
n=0
for f in "$work"/a/*.wav "$work"/b/*.wav; do
  [ -f "$f" ] || continue
  samples=$(soxi -s "$f") || { echo "soxi rejects $f"; exit 1; }
  size=$(stat -c %s "$f")
  if [ $((samples * 2 + 44)) -ne "$size" ]; then
    echo "$f: soxi counts $samples samples, file has $size bytes"; exit 1
  fi
  n=$((n + 1))
done
echo "test_close.check.sh: $n pieces read whole by soxi"
