# Sourced before the run: ALSA's default device becomes a file in the work
# folder, so whatever the program plays through winmm lands there byte for byte.
mkdir -p home
printf 'pcm.!default { type file; slave.pcm "null"; file "%s/captured.raw"; format "raw" }\n' "$PWD" > home/.asoundrc
export HOME=$PWD/home
