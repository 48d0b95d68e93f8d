#!/usr/bin/env bash
# Input files for the Win32 tests, made by real tools. Made once per build tree.
set -eu
dir=$1
[ -f "$dir/.done" ] && exit 0
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
touch .done
