#!/usr/bin/env bash
# Input files for the Win32 tests, made by real tools. Made once per build tree.
set -eu
dir=$1
[ -f "$dir/.done-7" ] && exit 0
mkdir -p "$dir"
cd "$dir"
sox -n -r 44100 -c 1 -b 16 mono16.wav synth 0.5 sine 440 vol 0.5
sox -n -r 44100 -c 2 -b 16 stereo16.wav synth 0.5 sine 440 sine 660 vol 0.5
sox -n -r 22050 -c 1 -b 8 mono8.wav synth 0.2 sine 300
sox -n -r 48000 -c 2 -b 24 -t wavpcm stereo24.wav synth 0.2 sine 500
sox -D -n -r 8000 -c 1 -b 16 silence.wav trim 0 0.25
# Tone bursts with real pauses between them.
sox -n -r 22050 -c 1 -b 16 burst.wav synth 0.3 sine 440 vol 0.6
sox -D -n -r 22050 -c 1 -b 16 pause.wav trim 0 0.4
sox -D burst.wav pause.wav burst.wav pause.wav burst.wav pause.wav burst.wav bursts.wav
rm -f burst.wav pause.wav
espeak-ng -w speech.wav "Good morning. This is a test of cutting. We cut at the pauses. Thank you."
printf 'this is not a wave file at all, just text' > text.txt

# Layouts other tools write: a LIST chunk before the data (ffmpeg), the
# extensible fmt chunk (sox's 24-bit and 4-channel output), and a stereo file
# whose right channel is silent, so a piece starting mid-frame shows at once.
# Each gets its data chunk as sox reads it (<name>.raw), independent of us.
ffmpeg -v error -y -i speech.wav -ac 1 ff_speech.wav
ffmpeg -v error -y -i stereo16.wav ff_stereo.wav
sox -n -r 48000 -c 2 -b 24 ext24.wav synth 0.2 sine 500 sine 700 vol 0.5
sox -n -r 16000 -c 4 -b 16 quad.wav synth 0.2 sine 300 sine 400 sine 500 sine 600 vol 0.4
sox -D bursts.wav right_silent.wav vol 0
sox -D -M bursts.wav right_silent.wav left_only.wav
rm -f right_silent.wav
for f in ff_speech ff_stereo ext24 quad left_only mono8 stereo16 bursts; do sox -D "$f.wav" -t raw "$f.raw"; done

# Data sizes the file does not hold, each with the samples it really holds
# (<name>.raw): streamed to a pipe (sizes 0xFFFFFFFF), cut short (the header
# claims the whole recording), never closed (sizes 0).
ffmpeg -v error -y -i bursts.wav -fflags +bitexact -f wav pipe: > streamed.wav
cp bursts.raw streamed.raw
head -c 30044 bursts.wav > cutshort.wav
head -c 30000 bursts.raw > cutshort.raw
cp bursts.wav unclosed.wav
printf '\0\0\0\0' | dd of=unclosed.wav bs=1 seek=4 conv=notrunc status=none
printf '\0\0\0\0' | dd of=unclosed.wav bs=1 seek=40 conv=notrunc status=none
cp bursts.raw unclosed.raw

# A short lecture: sentences (with commas) between pauses of 0.9 s, room
# noise under everything, so the pauses are never digital zeros.
espeak-ng -w s1.wav "Good morning, and welcome to the lecture."
espeak-ng -w s2.wav "Today, we talk about sound."
espeak-ng -w s3.wav "A wave carries energy, not matter."
espeak-ng -w s4.wav "Thank you, and see you next week."
sox -D -n -r 22050 -c 1 -b 16 gap.wav trim 0 0.9
sox -D s1.wav gap.wav s2.wav gap.wav s3.wav gap.wav s4.wav dry.wav
sox -D -R -n -r 22050 -c 1 -b 16 noise.wav synth "$(soxi -D dry.wav)" pinknoise vol 0.01
sox -D -m -v 1 dry.wav -v 1 noise.wav lecture.wav
sox -D lecture.wav -c 2 lecture_stereo.wav
rm -f s1.wav s2.wav s3.wav s4.wav gap.wav dry.wav noise.wav
# Stereo 16-bit whose header and file end 3 bytes into a frame (616219 data
# bytes); partial.raw holds those bytes.
python3 - <<'PY'
import struct
b = open('lecture_stereo.wav', 'rb').read()
assert b[36:40] == b'data'
data = b[44:44 + 616219]
assert len(data) == 616219
head = b[:4] + struct.pack('<I', 36 + len(data)) + b[8:40] + struct.pack('<I', len(data))
open('partial.wav', 'wb').write(head + data)
open('partial.raw', 'wb').write(data)
PY

# The spoken recording as recorders and editors write it: other sample
# formats (sox), a bext chunk before fmt as broadcast recorders put it, a JUNK
# chunk first (ffmpeg -rf64 auto) and RF64 (ffmpeg -rf64 always); and a
# compressed file to be refused.
sox speech.wav -b 24 speech_s24.wav
sox speech.wav -b 32 speech_s32.wav
sox speech.wav -e floating-point -b 32 speech_f32.wav
sox speech.wav -e floating-point -b 64 speech_f64.wav
sox speech.wav -b 8 speech_u8.wav
sox speech.wav -e a-law speech_alaw.wav
sox speech.wav -e mu-law speech_mulaw.wav
sox speech.wav -e ima-adpcm speech_ima.wav
ffmpeg -v error -y -i speech.wav -rf64 auto speech_junk.wav
ffmpeg -v error -y -i speech.wav -rf64 always speech_rf64.wav
python3 - <<'PY'
import struct
wav = open('speech.wav', 'rb').read()
bext = bytearray(602)  # description .. reserved: the smallest bext body
bext[0:22] = b'Tarnwick test recorder'
bext[320:330] = b'2026-01-01'
chunk = b'bext' + struct.pack('<I', len(bext)) + bytes(bext)
body = wav[8:12] + chunk + wav[12:]
open('speech_bext.wav', 'wb').write(b'RIFF' + struct.pack('<I', len(body)) + body)
PY
# A tape of eight tracks: tones that swell and fade inside, hiss between them.
parts=""
for i in 1 2 3 4 5 6 7 8; do
  sox -n -r 22050 -c 1 -b 16 "track$i.wav" synth "$((1 + i % 3)).5" sine "$((200 + 60 * i))" tremolo 2 60 vol 0.5
  sox -n -r 22050 -c 1 -b 16 "hiss$i.wav" synth 0.8 whitenoise vol 0.003
  parts="$parts track$i.wav"
  [ "$i" = 8 ] || parts="$parts hiss$i.wav"
done
# shellcheck disable=SC2086 # the parts are words
sox -D $parts tape.wav
rm -f track?.wav hiss?.wav
touch .done-7
