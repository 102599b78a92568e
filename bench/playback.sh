#!/usr/bin/env bash
# Playback engine: track-switch latency of the player beside a bare MCI open,
# time format and play of the same 5-minute MP3 (median of 5 each, the bare
# commands in a process of their own); the time from the hand-off of a path
# (as a second launch sends it) to the first sound, for that file alone in
# its folder, at the top of a library of 100,000 names in 200 folders with
# Include Subdirectories on, and for the library folder itself (median of 5,
# interleaved);
# the gap between two tracks of an album played with Play Next (from one
# track's end notice to the next one's play answered, median of 11 switches)
# for the player with and without the next track prepared, with every file
# read made 300 ms slower, beside the bare device's floor (the next track
# opened and cued on a second device, played at the notice);
# and the CPU the player's process uses over CPU_SECONDS (default 30) while
# the window idles with nothing open and while a track plays (median of 5
# processes each; wineserver is another process and is not counted).
# Usage: bench/playback.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
export LC_ALL=C
build=$1
root=$2
seconds=${CPU_SECONDS:-30}
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
winfile=$(winepath -w "$file")

read -r bare < <(run bare "$winfile")
read -r closed playing_switch < <(run switch "$winfile")
echo "Track switch, 5-minute MP3, median of 5 (ms):"
printf '  bare MCI open + time format + play    %7.1f\n' "$bare"
printf '  player, from a closed device          %7.1f  (%+.0f %% over bare; goal <= +20 %%)\n' \
  "$closed" "$(awk -v p="$closed" -v b="$bare" 'BEGIN { print (p / b - 1) * 100 }')"
printf '  player, from a playing track          %7.1f  (includes closing it)\n' "$playing_switch"

# Laying out the library takes about a minute the first time; it is kept.
run library "$(winepath -w "$data/first-sound")" "$winfile"
read -r lone top folder < <(run firstsound "$(winepath -w "$data/first-sound")")
echo "Hand-off to first sound, median of 5 (ms):"
printf '  file alone in its folder              %7.1f\n' "$lone"
printf '  file at the top of the library        %7.1f  (%.2f x the lone file; goal <= 1.3)\n' \
  "$top" "$(awk -v t="$top" -v l="$lone" 'BEGIN { print t / l }')"
printf '  the library folder (drawn track)      %7.1f\n' "$folder"

album="$data/album"
[ -f "$album/12.mp3" ] || run album "$(winepath -w "$album")"
winalbum=$(winepath -w "$album")
echo "Gap between two tracks with Play Next, 2-second MP3s, median of 11 (ms):"
for how in bare prepared unprepared prepared-slow unprepared-slow; do
  read -r gap < <(run gap "$winalbum" "$how")
  printf '  %-32s %7.1f\n' "$how" "$gap"
done

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
idle=$(for _ in 1 2 3 4 5; do run cpu "$seconds"; done | median)
playing=$(for _ in 1 2 3 4 5; do run cpu "$seconds" "$winfile"; done | median)
echo "CPU of the player's process over ${seconds} s, median of 5 (% of one core):"
printf '  idle window, nothing open   %6.2f %%  (goal <= 0.5 %%)\n' "$idle"
printf '  while a track plays         %6.2f %%\n' "$playing"
