# Sourced before the run: a 1 MiB file system nearly filled for the full-disk
# save, with a file of the user's that must stay, when this runs as root (CI
# does); the test says so and skips it otherwise.
mkdir -p full
if [ "$(id -u)" = 0 ] && mount -t tmpfs -o size=1m tmpfs full 2>/dev/null; then
  head -c 950k /dev/zero > full/filler.bin
  printf 'keep\n' > full/keep.txt
  touch full/.mounted
else
  echo "test_formats: no tmpfs mounted (needs root); the full-disk case is skipped"
fi
# The numbers the window must show for the 8-bit and G.711 copies of the
# spoken recording, worked out here from the bytes, independently of the
# program: values on the 16-bit scale, the single-precision running sum.
python3 - "$2" > expected_numbers.txt <<'PY' || { echo "test_formats: expected numbers failed"; false; }
import struct, sys
def alaw(c):
    c ^= 0x55
    t = (c & 15) << 4
    seg = (c >> 4) & 7
    t = t + 8 if seg == 0 else (t + 0x108) << max(seg - 1, 0)
    return t if c & 0x80 else -t
def ulaw(c):
    c = ~c & 0xFF
    t = (((c & 15) << 3) + 0x84) << ((c >> 4) & 7)
    return 0x84 - t if c & 0x80 else t - 0x84
decode = {'speech_u8': lambda c: (c - 128) * 256, 'speech_alaw': alaw, 'speech_mulaw': ulaw}
f32 = lambda x: struct.unpack('<f', struct.pack('<f', x))[0]
for name, value in decode.items():
    b = open('%s/%s.wav' % (sys.argv[1], name), 'rb').read()
    pos = 12
    while b[pos:pos + 4] != b'data':
        pos += 8 + struct.unpack_from('<I', b, pos + 4)[0]
    size = struct.unpack_from('<I', b, pos + 4)[0]
    peak, nadir, smallest, total = -9999999999.0, 0.0, 9999999999.0, 0.0
    for c in b[pos + 8:pos + 8 + size]:
        s = value(c)
        peak, nadir = max(peak, s), min(nadir, s)
        if s > 0: smallest = min(smallest, s)
        total = f32(total + s)
    print(name, peak, nadir, smallest, repr(f32(total / f32(size))))
PY
# Recordings of kinds that are not decoded, as ffmpeg writes them, for the
# refusals that name what they are.
src="$2/mono16.wav"
for out in talk.aiff talk.caf; do
  ffmpeg -v error -y -i "$src" "$out" || { echo "test_formats: ffmpeg could not write $out"; false; }
done
