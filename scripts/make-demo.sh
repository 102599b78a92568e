#!/usr/bin/env bash
# Writes a handful of short tone MP3s into the folder given (once).
set -euo pipefail
dir=$1
mkdir -p "$dir"
notes=(261.63 329.63 392.00 523.25 659.25)
names=("01 C4" "02 E4" "03 G4" "04 C5" "05 E5")
for i in "${!notes[@]}"; do
  out="$dir/${names[$i]} tone.mp3"
  [ -f "$out" ] && continue
  sox -n -r 44100 -c 2 -b 16 "$dir/tone.wav" synth 4 sine "${notes[$i]}" fade 0.05 4 0.3 vol 0.4
  lame --quiet -b 128 "$dir/tone.wav" "$out"
  rm -f "$dir/tone.wav"
done
