#!/usr/bin/env bash
# Time from the hand-off of a path (as a second launch sends it) to the first
# sound: a file alone in its folder, the same file at the top of a library of
# 100,000 names in 200 folders with Include Subdirectories on, and the
# library folder itself (a drawn track). Median of 5 each, interleaved.
# Usage: bench/first_sound.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
export LC_ALL=C
build=$1
root=$2
source "$root/scripts/wine-env.sh"
wine_prepare "$build"
wine_env "$build" null
unset DISPLAY
wine_start_server

exe="$build/bench/playback_bench.exe"
data="$build/bench-data"
file="$data/silent-5min.mp3"
mkdir -p "$data"
run() { wine "$exe" "$@" 2> >(grep -v '^ALSA lib' >&2) | tr -d '\r'; }
if [ ! -f "$file" ]; then run write "$(winepath -w "$file")"; fi
# Laying out 100,000 names takes about a minute the first time; it is kept.
run library "$(winepath -w "$data/first-sound")" "$(winepath -w "$file")"
read -r lone top folder < <(run firstsound "$(winepath -w "$data/first-sound")")
echo "Hand-off to first sound, median of 5 (ms):"
printf '  file alone in its folder           %7.1f\n' "$lone"
printf '  file at the top of the library     %7.1f  (%.2f x the lone file; goal <= 1.3)\n' \
  "$top" "$(awk -v t="$top" -v l="$lone" 'BEGIN { print t / l }')"
printf '  the library folder (drawn track)   %7.1f\n' "$folder"
