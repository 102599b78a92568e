# Sourced by stuck_device_test.sh and bench/close.sh, after xvfb.sh: a folder
# with a ".mp3" on which the media device's open hangs, and the few probes
# both of them read the running player with.

# Writes DIR/"a stuck.mp3" (40,000 pairs FF FB: a frame sync the decoder
# never gets past) and DIR/"b tone.mp3" (a 10-second tone). Prints the
# Windows path of the stuck file.
pt_make_stuck_folder() {  # pt_make_stuck_folder DIR
  local dir=$1
  mkdir -p "$dir"
  printf '\xff\xfb%.0s' $(seq 40000) >"$dir/a stuck.mp3"
  [ "$(stat -c %s "$dir/a stuck.mp3")" = 80000 ] || return 1
  sox -n -r 44100 -c 2 -b 16 "$dir/tone.wav" synth 10 sine 440 vol 0.4 2>/dev/null || return 1
  lame --quiet -b 128 "$dir/tone.wav" "$dir/b tone.mp3" || return 1
  rm -f "$dir/tone.wav"
  winepath -w "$dir/a stuck.mp3" 2>/dev/null
}

pt_now_ms() { date +%s%3N; }

# A checksum of the play button as the screen shows it; it shows the pause
# image only while the device plays. The pointer must rest off the face.
pt_play_button_sum() {  # pt_play_button_sum WINDOW SCRATCH_FILE
  local X Y WIDTH HEIGHT SCREEN WINDOW
  eval "$(xdotool getwindowgeometry --shell "$1")"
  import -window root -crop "36x30+$((X + 16))+$((Y + 44))" "rgb:$2" 2>/dev/null &&
    md5sum <"$2" | cut -d' ' -f1
}

# Waits up to 30 s for the play button to differ from IDLE_SUM (a track plays).
pt_wait_playing() {  # pt_wait_playing WINDOW IDLE_SUM SCRATCH_FILE
  local sum
  for _ in $(seq 300); do
    sum=$(pt_play_button_sum "$1" "$3")
    if [ -n "$sum" ] && [ "$sum" != "$2" ]; then return 0; fi
    sleep 0.1
  done
  return 1
}

# Alt+X on WINDOW, then waits up to 20 s for PID to end. Sets pt_close_ms to
# the time from the key to the exit and pt_exit_status; fails if still running.
pt_close_and_wait() {  # pt_close_and_wait WINDOW PID
  local closed
  xdotool mousemove --window "$1" 5 5 windowfocus --sync "$1" key alt+x
  closed=$(pt_now_ms)
  for _ in $(seq 2000); do
    kill -0 "$2" 2>/dev/null || break
    sleep 0.01
  done
  kill -0 "$2" 2>/dev/null && return 1
  pt_close_ms=$(( $(pt_now_ms) - closed ))
  wait "$2"
  pt_exit_status=$?
  return 0
}
