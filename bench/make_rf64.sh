#!/usr/bin/env bash
# The long-take benchmark file, made once: an RF64 24-bit stereo WAV of
# GIB GiB of data, the 1 GiB speech file's samples over and over. Prints its
# path. Args: folder, GiB of data (a multiple of 1.5 GiB: 3, 6, 9, ...).
set -euo pipefail
B=$1
GIB=$2
ROOT=$(cd "$(dirname "$0")/.." && pwd)
SRC=$(bash "$ROOT/bench/make_speech.sh" "$B" 1024)
WAV=$B/speech_${GIB}g_s24_rf64.wav
DATA=$((GIB * 1024 * 1024 * 1024))
FRAMES=$((DATA / 6))
PASSES=$((DATA / (1536 * 1024 * 1024)))  # 1 GiB of 16-bit is 1.5 GiB of 24-bit
if [ ! -f "$WAV" ] || [ "$(stat -c %s "$WAV")" != $((DATA + 80)) ]; then
  echo "making $WAV ($GIB GiB of data)..." >&2
  python3 - "$WAV.part" "$DATA" "$FRAMES" <<'PY'
import struct, sys
path, data, frames = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
ds64 = struct.pack('<QQQI', 80 - 8 + data, data, frames, 0)
fmt = struct.pack('<HHIIHH', 1, 2, 44100, 44100 * 6, 6, 24)
with open(path, 'wb') as f:
    f.write(b'RF64' + struct.pack('<I', 0xFFFFFFFF) + b'WAVE')
    f.write(b'ds64' + struct.pack('<I', len(ds64)) + ds64)
    f.write(b'fmt ' + struct.pack('<I', len(fmt)) + fmt)
    f.write(b'data' + struct.pack('<I', 0xFFFFFFFF))
PY
  sox "$SRC" -t raw -e signed -b 24 - repeat $((PASSES - 1)) >>"$WAV.part"
  mv "$WAV.part" "$WAV"
fi
echo "$WAV"
