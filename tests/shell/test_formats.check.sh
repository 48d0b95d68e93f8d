#!/usr/bin/env bash
# The pieces test_formats saved, checked by tools that are not ours: soxi and
# ffprobe read every piece without a warning and find in it the source's
# channels, rate, bits, encoding and codec; every piece is whole frames; the
# pieces' data joined are the source's data chunk byte for byte up to its last
# whole frame (found by Python's own walk of the source's chunks, RF64 sizes
# included);
# and no piece of the file with a silent right channel has sound there.
# Args: work folder, fixtures folder. manifest.txt: "name|prefix|count|frame".
set -u
work=$1
fixtures=$2
cd "$work" || exit 1
[ -s manifest.txt ] || { echo "check: no manifest"; exit 1; }
failures=0
# What soxi and ffprobe say of a file's format (channels, rate, the encoding's
# bits and kind; the codec, channels and rate), one run of each per file;
# their warnings go to soxi.err and ffprobe.err.
format() {
  local s
  s=$(soxi "$1" 2>soxi.err)
  echo "$(awk -F': ' '/^Channels/ {c=$2} /^Sample Rate/ {r=$2} /^Sample Encoding/ {e=$2} END {print c "," r "," e}' <<<"$s")," \
    "$(ffprobe -v warning -show_entries stream=codec_name,channels,sample_rate -of csv=p=0 "$1" 2>ffprobe.err)"
}
while IFS='|' read -r name prefix count frame; do
  src="$fixtures/$name.wav"
  want=$(format "$src")
  for ((k = 0; k < count; k++)); do
    p=$(printf '%s_%03d.wav' "$prefix" "$k")
    [ -f "$p" ] || { echo "check FAIL: $p missing"; failures=$((failures + 1)); continue; }
    [ "$(stat -c %s "$p")" -le 58 ] && continue   # soxi and ffprobe read no empty piece
    got=$(format "$p")
    [ ! -s soxi.err ] || { echo "check FAIL: soxi on $p: $(cat soxi.err)"; failures=$((failures + 1)); }
    [ ! -s ffprobe.err ] || { echo "check FAIL: ffprobe on $p: $(cat ffprobe.err)"; failures=$((failures + 1)); }
    [ "$got" = "$want" ] || { echo "check FAIL: $p is [$got], source [$want]"; failures=$((failures + 1)); }
  done
  python3 - "$src" "$prefix" "$count" "$frame" "$name" <<'PY' || failures=$((failures + 1))
import struct, sys
src, prefix, count, frame, name = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), sys.argv[5]

def data_chunk(path):
    b = open(path, 'rb').read()
    ds64 = None
    pos = 12
    while pos + 8 <= len(b):
        tag, size = b[pos:pos + 4], struct.unpack_from('<I', b, pos + 4)[0]
        if tag == b'ds64':
            ds64 = struct.unpack_from('<Q', b, pos + 16)[0]
        if tag == b'data':
            if b[:4] == b'RF64' and size == 0xFFFFFFFF:
                size = ds64
            return b[pos + 8:pos + 8 + size]
        pos += 8 + size + (size & 1)
    raise SystemExit('%s: no data chunk' % path)

joined = b''
bad = []
for k in range(count):
    piece = '%s_%03d.wav' % (prefix, k)
    body = data_chunk(piece)
    if len(body) % frame:
        bad.append('%s: %d bytes, not whole frames of %d' % (piece, len(body), frame))
    if name == 'left_only':
        right = struct.unpack('<%dh' % (len(body) // 2), body[:len(body) // 2 * 2])[1::2]
        if any(right):
            bad.append('%s: sound in the silent right channel (swapped channels)' % piece)
    joined += body
whole = data_chunk(src)
if joined != whole[:len(whole) // frame * frame]:
    bad.append('%s: pieces do not join to the data chunk' % name)
for b in bad[:10]:
    print('check FAIL: ' + b)
print('check: %s: %d pieces, %d problems' % (name, count, len(bad)))
sys.exit(1 if bad else 0)
PY
done < manifest.txt
# The head of a 5 GiB piece (RF64): soxi reads its length from ds64, sox its
# first samples.
if [ "$(soxi -s long_piece.wav 2>&1)" != $(((5 << 30) / 4)) ] || [ "$(soxi -t long_piece.wav 2>&1)" != wav ]; then
  echo "check FAIL: soxi on long_piece.wav: $(soxi long_piece.wav 2>&1)"; failures=$((failures + 1))
fi
err=$(sox long_piece.wav -t raw first.raw trim 0 1000s 2>&1)
if [ -n "$err" ] || ! cmp -s -n 4000 first.raw "$fixtures/stereo16.raw"; then
  echo "check FAIL: sox reading long_piece.wav: $err"; failures=$((failures + 1))
fi
echo "check: $failures failures"
[ "$failures" = 0 ]
