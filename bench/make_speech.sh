#!/usr/bin/env bash
# The benchmarks' large WAV, made once: prints its path. Args: folder, MiB of data.
set -euo pipefail
B=$1
MB=$2
mkdir -p "$B"
# Sentences of noise and tone bursts with short gaps (70 ms) and 0.2 s
# breaths, and a 0.7 s pause about every 30 s: sox's 0.3 s silence rule and
# ffmpeg's silencedetect find about one pause per 30 s, close to the ~200
# pieces of the program's run. "Silence" is noise at about -54 dBFS so no
# tool sees exact zeros.
WAV=$B/speech_${MB}m.wav
FRAMES=$((MB * 1024 * 1024 / 4))
if [ ! -f "$WAV" ] || [ "$(soxi -s "$WAV" 2>/dev/null)" != "$FRAMES" ]; then
  echo "making $WAV ($MB MiB of data)..." >&2
  g=$(mktemp -d "$B/gen.XXXXXX")
  f="-r 44100 -c 2 -b 16"
  sox -n $f "$g/a.wav" synth 0.31 pinknoise tremolo 6 90 vol 0.6 fade q 0.02 0.31 0.04
  sox -n $f "$g/b.wav" synth 0.42 sine 140-320 synth 0.42 pinknoise amod 0.5 vol 0.7 fade q 0.03 0.42 0.06
  sox -n $f "$g/c.wav" synth 0.18 whitenoise vol 0.25 fade q 0.01 0.18 0.03
  sox -n $f "$g/gap.wav" synth 0.07 whitenoise vol 0.002
  sox -n $f "$g/breath.wav" synth 0.2 whitenoise vol 0.002
  sox -n $f "$g/pause.wav" synth 0.7 whitenoise vol 0.002
  w="$g/a.wav $g/gap.wav $g/b.wav $g/gap.wav $g/c.wav $g/gap.wav $g/b.wav $g/gap.wav $g/a.wav"
  sox $w "$g/breath.wav" "$g/sentence.wav"
  unit=()
  for _ in $(seq 12); do unit+=("$g/sentence.wav"); done
  sox "${unit[@]}" "$g/pause.wav" "$g/unit.wav"
  unitFrames=$(soxi -s "$g/unit.wav")
  repeats=$(( (FRAMES + unitFrames - 1) / unitFrames ))
  # repeat N plays the unit N+1 times; trim to the exact size (data < 2^31,
  # so sox's 44-byte header is the canonical one).
  sox "$g/unit.wav" "$g/big.wav" repeat "$repeats" trim 0 "${FRAMES}s"
  mv "$g/big.wav" "$WAV"
  rm -rf "$g"
fi
soxi "$WAV" | grep -E 'Channels|Sample Rate|Precision|Duration|File Size' >&2
[ "$(soxi -s "$WAV")" = "$FRAMES" ] || { echo "bad sample count in $WAV" >&2; exit 1; }
[ "$(od -An -tu4 -j40 -N4 "$WAV" | tr -d ' ')" = "$((FRAMES * 4))" ] || { echo "data size at offset 40 is wrong" >&2; exit 1; }
echo "$WAV"
