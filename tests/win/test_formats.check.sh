#!/usr/bin/env bash
# The pieces test_formats saved, checked by tools that are not ours: soxi and
# ffprobe read every piece without a warning; Python's wave module reads it
# with the source's channels, rate and sample width; every piece but the last
# is whole frames; the pieces joined are the source's data chunk as sox reads
# it; and no piece of the file with a silent right channel has sound there.
# Args: work folder, fixtures folder. manifest.txt: "name|prefix|count|frame".
set -u
work=$1
fixtures=$2
cd "$work" || exit 1
[ -s manifest.txt ] || { echo "check: no manifest"; exit 1; }
failures=0
while IFS='|' read -r name prefix count frame; do
  src="$fixtures/$name.wav"
  want=$(soxi -c "$src"),$(soxi -r "$src"),$(soxi -b "$src")
  for ((k = 0; k < count; k++)); do
    p=$(printf '%s_%03d.wav' "$prefix" "$k")
    [ -f "$p" ] || { echo "check FAIL: $p missing"; failures=$((failures + 1)); continue; }
    [ "$(stat -c %s "$p")" -le 44 ] && continue   # soxi and ffprobe read no empty piece
    err=$( { soxi "$p" >/dev/null; } 2>&1 )
    [ -z "$err" ] || { echo "check FAIL: soxi on $p: $err"; failures=$((failures + 1)); }
    got=$(soxi -c "$p"),$(soxi -r "$p"),$(soxi -b "$p")
    [ "$got" = "$want" ] || { echo "check FAIL: $p is $got, source $want"; failures=$((failures + 1)); }
    err=$(ffprobe -v warning -i "$p" 2>&1 >/dev/null)
    [ -z "$err" ] || { echo "check FAIL: ffprobe on $p: $err"; failures=$((failures + 1)); }
  done
  python3 - "$src" "$fixtures/$name.raw" "$prefix" "$count" "$frame" "$name" <<'PY' || failures=$((failures + 1))
import struct, sys, wave
src, raw, prefix, count, frame, name = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4]), int(sys.argv[5]), sys.argv[6]
source = open(src, 'rb').read()
channels, rate = struct.unpack_from('<HI', source, 22)
bits = struct.unpack_from('<H', source, 34)[0]
joined = b''
bad = []
for k in range(count):
    piece = '%s_%03d.wav' % (prefix, k)
    with wave.open(piece, 'rb') as w:
        data = w.readframes(w.getnframes())
        if (w.getnchannels(), w.getframerate(), w.getsampwidth()) != (channels, rate, (bits + 7) // 8):
            bad.append('%s: format %s' % (piece, (w.getnchannels(), w.getframerate(), w.getsampwidth())))
    body = open(piece, 'rb').read()[44:]
    if k < count - 1 and len(body) % frame:
        bad.append('%s: %d bytes, not whole frames of %d' % (piece, len(body), frame))
    if name == 'left_only':
        right = struct.unpack('<%dh' % (len(body) // 2), body[:len(body) // 2 * 2])[1::2]
        if any(right):
            bad.append('%s: sound in the silent right channel (swapped channels)' % piece)
    joined += body
if joined != open(raw, 'rb').read():
    bad.append('%s: pieces do not join to the data chunk' % name)
for b in bad[:10]:
    print('check FAIL: ' + b)
print('check: %s: %d pieces, %d problems' % (name, count, len(bad)))
sys.exit(1 if bad else 0)
PY
done < manifest.txt
echo "check: $failures failures"
[ "$failures" = 0 ]
