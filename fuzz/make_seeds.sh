#!/usr/bin/env bash
# Makes the seed corpora for the fuzz targets in <out>/<target>/ from real
# files written by sox and espeak-ng (a few KB each), each given the control
# bytes its target reads before the payload. Nothing here is committed.
set -eu
out=$1
wav=$out/wav
rm -rf "$out"; mkdir -p "$wav"
for t in header measure scan pieces number graph click mp3; do mkdir -p "$out/fuzz_$t"; done

# Real files: tones in the header layouts sox writes, and short speech with pauses.
sox -n -r 8000 -c 1 -b 16 "$wav/sine.wav" synth 0.05 sine 440
sox -n -r 8000 -c 2 -b 16 "$wav/stereo.wav" synth 0.05 sine 440 sine 660
sox -n -r 8000 -c 1 -b 8 "$wav/b8.wav" synth 0.05 sine 440
sox -n -r 8000 -c 1 -b 24 "$wav/b24ext.wav" synth 0.03 sine 440
sox -n -r 8000 -c 1 -b 24 -t wavpcm "$wav/b24pcm.wav" synth 0.03 sine 440
sox -n -r 8000 -c 1 -b 16 "$wav/gaps.wav" synth 0.06 sine 300 : synth 0.04 sine 0 vol 0 : synth 0.06 sine 500 : synth 0.03 sine 0 vol 0 : synth 0.05 square 200
sox -n -r 8000 -c 1 -b 16 "$wav/dc.wav" synth 0.1 sine 440 vol 0.1 dcshift 0.9
espeak-ng -s 320 -w "$wav/speech_full.wav" "one, two. three"
sox "$wav/speech_full.wav" -r 6000 "$wav/speech.wav"
sox "$wav/speech_full.wav" -r 4000 "$wav/speech_short.wav" trim 0 0.5
rm "$wav/speech_full.wav"

bytes() { printf "$1"; }  # escapes such as '\x01\x02'
datasize() { head -c 44 "$1" | tail -c 4; }

for f in "$wav"/*.wav; do
  b=$(basename "$f" .wav)
  cp "$f" "$out/fuzz_header/$b"
  head -c 44 "$f" > "$out/fuzz_header/${b}_head"
  { bytes '\x00\x00'; cat "$f"; } > "$out/fuzz_measure/${b}_whole"
  { bytes '\x00\x2a'; cat "$f"; } > "$out/fuzz_measure/${b}_chunks"
  # Starting sum 2^24 - 256: the integer blocks must hand over to float additions.
  { bytes '\x01\x11\x00\xff\x7f\x4b'; cat "$f"; } > "$out/fuzz_measure/${b}_nearlimit"
  # Width 570, thresholds 500 and 2000; width near the sample count, threshold 300.
  { bytes '\x02\x00\x00\x00\x00\x00\xf4\x01'; cat "$f"; } > "$out/fuzz_scan/${b}_570_500"
  { bytes '\x02\x00\x00\x00\x00\x00\xd0\x07'; cat "$f"; } > "$out/fuzz_scan/${b}_570_2000"
  { bytes '\x03\x40\x1f\x00\x00\x00\x2c\x01'; cat "$f"; } > "$out/fuzz_scan/${b}_8000_300"
  # The file's own data size, cut at samples 100, 300 and 200.5, then NaN.
  { datasize "$f"; bytes '\x03\x07\x00\x00\x00\x00\x04\x03abc\x01\x64\x00\x01\x2c\x01\x03\xc8\x00';
    bytes '\x00\x00\x00\x00\x00\x00\x00\xf8\x7f'; } > "$out/fuzz_pieces/$b"
  # W 570, H 165, the file's D, peak 32767, nadir -32768, then its samples.
  { bytes '\x01\x3a\x02\x00\x00\xa5\x00\x00\x00'; datasize "$f"; bytes '\xff\x7f\x00\x00\x00\x80\x00\x00';
    bytes '\x05\x00\x00\x00\x02\x00\x04\x00\x01\x00\x00\x00\x00\x00\x00\x10\x40'; tail -c +45 "$f"; } > "$out/fuzz_graph/$b"
  head -c 9 "$f" > "$out/fuzz_number/${b}_head"
done

# Number text: the double in the first 8 bytes also gets formatted.
bytes '\x18\x2d\x44\x54\xfb\x21\x09\x40\x0f' > "$out/fuzz_number/pi"
bytes '\x00\x00\x00\x00\x00\x00\xf0\x7f\x0f' > "$out/fuzz_number/inf"
bytes '\x00\x00\x00\x00\x00\x00\xf8\xff\x0f' > "$out/fuzz_number/nan"
bytes '\x01\x00\x00\x00\x00\x00\x00\x00\x0f' > "$out/fuzz_number/subnormal"
bytes '\xff\xff\xff\xff\xff\xff\xef\x7f\x03' > "$out/fuzz_number/max"
bytes '\x00\x00\x00\x00\x00\x00\x00\x80\x0f' > "$out/fuzz_number/negzero"
bytes '\xf5\xff\xff\xff\xff\xff\xef\x3f\x01' > "$out/fuzz_number/below_one"

# Clicks, zoom and scroll: the values of a real window (mode 3), then extremes.
bytes '\x03\x64\x00\x00\x00\x3a\x02\x00\x00\x75\x04\x00\x00\x57\x03\x00\x00\x3e\x02\x00\x00' > "$out/fuzz_click/window"
bytes '\x00\x00\x00\x00\x19\x01\x00\x00\x07\x00\x00\x00\x18\x01\x00\x00\x01\xff\x80' >> "$out/fuzz_click/window"
bytes '\x3a\x02\x00\x00\x56\x05\x00\x00\x64\x00\x00\x00\xa8\x02\x00\x00\x00\x00\x00\x00' >> "$out/fuzz_click/window"
bytes '\x00\x00\x00\x00\x20\x03\x00\x00' >> "$out/fuzz_click/window"
bytes '\x00\xff\xff\xff\x7f\xff\xff\xff\x7f\xff\xff\xff\xff\xff\xff\xff\x7f\x00\x00\x00\x80' > "$out/fuzz_click/extremes"
bytes '\x00\x00\x00\x80\xff\xff\xff\x7f\xff\xff\xff\xff\xff\xff\xff\x7f\x03\xff\xff\x00\x00\x00\x80' >> "$out/fuzz_click/extremes"
bytes '\xff\xff\xff\x7f\x00\x00\x00\x80\xff\xff\xff\x7f\x00\x00\x00\x80\xff\xff\xff\x7f\xff\xff\xff\x7f' >> "$out/fuzz_click/extremes"

# MP3s made by ffmpeg's libmp3lame (when installed), each after two cuts at
# samples 1000 and 4000: CBR with ID3v1, VBR, MPEG-2, MPEG-2.5 mono, and one
# without an Info tag under an ID3v2.3 tag.
if command -v ffmpeg >/dev/null; then
  sox -n -r 44100 -c 2 "$wav/music.wav" synth 0.15 sine 440 sine 660
  i=0
  for opts in "-b:a 32k -write_id3v1 1" "-q:a 6" "-ar 22050 -b:a 24k" "-ar 8000 -ac 1 -b:a 8k" \
              "-b:a 32k -write_xing 0 -id3v2_version 3"; do
    i=$((i + 1))
    ffmpeg -v error -y -i "$wav/music.wav" -metadata title=Seed -metadata artist=Fuzz -c:a libmp3lame $opts "$wav/seed$i.mp3"
    { bytes '\x02\xe8\x03\x00\x00\xa0\x0f\x00\x00'; cat "$wav/seed$i.mp3"; } > "$out/fuzz_mp3/seed$i"
  done
fi
