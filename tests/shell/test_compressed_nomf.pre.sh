# Sourced before the run: Media Foundation switched off, as on Windows
# editions without it, and two MP3 files and a FLAC file made by ffmpeg, each
# with ffmpeg's own decode beside it (NAME.raw).
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;mfplat,mfreadwrite=d"
sox -D "$2/lecture.wav" -r 44100 -c 2 -b 16 source.wav || { echo "test_compressed_nomf: sox failed"; false; }
for spec in "talk.mp3|-c:a libmp3lame -b:a 128k" "vbr.mp3|-c:a libmp3lame -q:a 4" "mono22.mp3|-ac 1 -ar 22050 -c:a libmp3lame" "talk.flac|-c:a flac"; do
  f=${spec%%|*}
  ffmpeg -v error -nostdin -y -i source.wav ${spec#*|} "$f" && ffmpeg -v error -nostdin -y -i "$f" -f s16le "$f.raw" ||
    { echo "test_compressed_nomf: ffmpeg could not make $f"; false; }
done
