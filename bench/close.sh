#!/usr/bin/env bash
# How fast the player gets past a media device that does not answer, and how
# fast it ends, under Wine with Xvfb and the real device:
# - launch with a stuck ".mp3" to the good track beside it playing (the
#   stuck open starts a few hundred ms after launch; see launch to window);
# - Alt+X to process exit while a track plays (the ordinary close);
# - Alt+X to process exit while the open is still stuck.
# Medians of 3 runs each.
set -u
build_dir=$1
source_dir=$2
exe="$build_dir/bin/Pebbletune.exe"
work=$(mktemp -d)
pt_extra_cleanup() { rm -rf "$work"; }
source "$source_dir/tests/process/xvfb.sh" "$build_dir" "$source_dir"
source "$source_dir/tests/process/stuck_device.sh"

stuck_path=$(pt_make_stuck_folder "$work/music") || { echo "no test folder" >&2; exit 1; }
tone_path=$(winepath -w "$work/music/b tone.mp3" 2>/dev/null)
median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }

# run PATH WAIT_FOR_PLAY: prints "launch-to-window launch-to-playing close-to-exit";
# without WAIT_FOR_PLAY it closes 2 s after the window shows (a good track
# then plays, a stuck open still hangs).
run() {
  local started pid window shown idle playing=-1
  xdotool mousemove 1919 1079
  started=$(pt_now_ms)
  wine "$exe" "$1" </dev/null >/dev/null 2>&1 &
  pid=$!
  window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Pebbletune$' | head -n1)
  shown=$(( $(pt_now_ms) - started ))
  idle=$(pt_play_button_sum "$window" "$work/button.rgb")
  if [ "$2" = 1 ]; then
    pt_wait_playing "$window" "$idle" "$work/button.rgb" && playing=$(( $(pt_now_ms) - started ))
  else
    sleep 2
  fi
  pt_close_and_wait "$window" "$pid" || { kill "$pid"; pt_close_ms=-1; }
  [ "${pt_exit_status:-1}" = 0 ] || echo "exit status $pt_exit_status" >&2
  echo "$shown $playing $pt_close_ms"
}

run "$tone_path" 0 >/dev/null  # warm caches
given=(); ordinary=(); stuck=(); shown=()
for _ in 1 2 3; do
  read -r s p c < <(run "$stuck_path" 1)
  given+=("$p"); shown+=("$s")
  read -r _ _ c < <(run "$tone_path" 0)
  ordinary+=("$c")
  read -r _ _ c < <(run "$stuck_path" 0)
  stuck+=("$c")
done
echo "launch to window shown (ms): $(printf '%s\n' "${shown[@]}" | median)  runs: ${shown[*]}"
echo "launch with a stuck file to the next track playing (ms): $(printf '%s\n' "${given[@]}" | median)  runs: ${given[*]}"
echo "close to exit while a track plays (ms): $(printf '%s\n' "${ordinary[@]}" | median)  runs: ${ordinary[*]}"
echo "close to exit during a stuck open (ms): $(printf '%s\n' "${stuck[@]}" | median)  runs: ${stuck[*]}"
