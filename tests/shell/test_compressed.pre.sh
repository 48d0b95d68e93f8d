# Sourced before the run: the fixtures' spoken lecture at 44.1 kHz stereo,
# made by ffmpeg into each compressed format, each with ffmpeg's own decode
# beside it (NAME.raw, 16-bit) for the test to compare with; a copy under a
# Japanese name, an MP3 cut short, one that is an ID3 tag and noise, and a
# five-minute MP3 to give up half-way.
sox -D "$2/lecture.wav" -r 44100 -c 2 -b 16 source.wav || { echo "test_compressed: sox failed"; false; }
enc() { # file, ffmpeg's options
  ffmpeg -v error -nostdin -y -i source.wav $2 "$1" && ffmpeg -v error -nostdin -y -i "$1" -f s16le "$1.raw" ||
    { echo "test_compressed: ffmpeg could not make $1"; false; }
}
enc talk.mp3 "-c:a libmp3lame -b:a 128k" && enc vbr.mp3 "-c:a libmp3lame -q:a 4" && enc talk.flac "-c:a flac" &&
  enc alac.m4a "-c:a alac" && enc talk.m4a "-c:a aac -b:a 128k" && enc talk.ogg "-c:a libvorbis" &&
  enc talk.opus "-c:a libopus -b:a 64k" && enc talk.wma "-c:a wmav2 -b:a 128k" || false
cp talk.mp3 講義の録音.mp3
head -c $(( $(stat -c %s talk.mp3) / 2 )) talk.mp3 > cut.mp3
{ printf 'ID3\4\0\0\0\0\0\0'; head -c 100000 /dev/urandom; } > noise.mp3
ffmpeg -v error -nostdin -y -stream_loop 40 -i source.wav -t 300 -c:a libmp3lame -b:a 128k long.mp3 ||
  { echo "test_compressed: ffmpeg could not make long.mp3"; false; }
