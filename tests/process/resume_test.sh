#!/usr/bin/env bash
# Resume on Start, real player and device on a private X server: a folder of
# tones played on to its third track, sought to about the middle, paused and
# closed; started again without a path it stands paused there, Play/Pause
# goes on near that place and Next plays the fourth. A second launch without
# a path then opens no window of its own.
# Usage: resume_test.sh PEBBLETUNE_EXE BUILD_DIR SOURCE_DIR
set -uo pipefail
exe=$1
work=$(mktemp -d)
player_pid=""
key='HKCU\Software\Tallowen\Pebbletune'
pt_extra_cleanup() {
  if [ -n "$player_pid" ] && kill -0 "$player_pid" 2>/dev/null; then kill "$player_pid" 2>/dev/null; fi
  wine reg delete "$key" /f </dev/null >/dev/null 2>&1 9>&-
  rm -rf "$work"
}
source "$(dirname "$0")/xvfb.sh" "$2" "$3"
source "$(dirname "$0")/stuck_device.sh"

mkdir -p "$work/music"
for hz in 330 440 550 660 770; do
  sox -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth 30 sine "$hz" vol 0.4 2>/dev/null &&
    lame --quiet -b 128 "$work/tone.wav" "$work/music/t$hz.mp3" || pt_fail "no tones"
done
music=$(winepath -w "$work/music" 2>/dev/null)
wine reg delete "$key" /f </dev/null >/dev/null 2>&1 9>&-
wine reg add "$key" /v Resume /t REG_DWORD /d 1 /f </dev/null >/dev/null 2>&1 9>&- || pt_fail "reg add"

stored() {  # stored NAME: the data as written, a number in decimal
  local line
  line=$(wine reg query "$key" /v "$1" </dev/null 2>/dev/null 9>&- | tr -d '\r' | grep "^ *$1 ")
  line=${line#*REG_}
  case "$line" in
    DWORD*) printf '%d\n' "${line##* }" ;;
    SZ*) line=${line#SZ}; echo "${line#"${line%%[! ]*}"}" ;;
  esac
}
wait_for() {  # wait_for NAME VALUE [other]: up to 10 s for the value (or for any other one)
  local now
  for _ in $(seq 100); do
    now=$(stored "$1")
    if [ -z "${3:-}" ] && [ "$now" = "$2" ]; then return 0; fi
    if [ -n "${3:-}" ] && [ -n "$now" ] && [ "$now" != "$2" ]; then echo "$now"; return 0; fi
    sleep 0.1
  done
  return 1
}
start_player() {  # start_player [PATH]
  wine "$exe" "$@" </dev/null >/dev/null 2>&1 9>&- &
  player_pid=$!
  window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Pebbletune$' | head -n1)
  [ -n "$window" ] || pt_fail "no player window"
}
press() {  # a press within half a second of a selection is ignored
  sleep 0.7
  xdotool mousemove --window "$window" 5 5 windowfocus --sync "$window" key "$1"
}

start_player "$music"
first=$(wait_for ResumeTrack "" other) || pt_fail "nothing played"
second=$(press Right; wait_for ResumeTrack "$first" other) || pt_fail "no second track"
third=$(press Right; wait_for ResumeTrack "$second" other) || pt_fail "no third track"
fourth=$(press Right; wait_for ResumeTrack "$third" other) || pt_fail "no fourth track"
press Left
wait_for ResumeTrack "$third" || pt_fail "Previous did not go back to the third track"
sleep 0.7
xdotool mousemove --window "$window" 237 20 click 1  # the middle of the display
sleep 1
press space
wait_for ResumePaused 1 || pt_fail "the pause was not stored"
position=$(stored ResumePosition)
[ "$position" -ge 13000 ] && [ "$position" -le 19000 ] || pt_fail "paused at $position ms"
pt_close_and_wait "$window" "$player_pid" && [ "$pt_exit_status" = 0 ] || pt_fail "first close"
[ "$(stored ResumeOpened)|$(stored ResumeTrack)|$(stored ResumePosition)" = "$music\\|$third|$position" ] ||
  pt_fail "stored at the exit: $(stored ResumeOpened) $(stored ResumeTrack) $(stored ResumePosition)"

start_player
sleep 3  # a track that played would be stored as playing within a second
[ "$(stored ResumePaused)|$(stored ResumePosition)" = "1|$position" ] || pt_fail "not standing paused"
press space
wait_for ResumePaused 0 || pt_fail "Play/Pause did not play the resumed track"
now=$(stored ResumePosition)
[ "$(stored ResumeTrack)" = "$third" ] && [ "$now" -ge "$position" ] && [ "$now" -le $((position + 3000)) ] ||
  pt_fail "went on with $(stored ResumeTrack) at $now ms"
press Right
wait_for ResumeTrack "$fourth" || pt_fail "Next played $(stored ResumeTrack), not $fourth"
timeout 20 wine "$exe" </dev/null >/dev/null 2>&1 9>&- || pt_fail "a second launch failed"
sleep 0.5
[ "$(pt_player_windows | wc -l)" = 1 ] || pt_fail "a second launch opened a window"
pt_close_and_wait "$window" "$player_pid" && [ "$pt_exit_status" = 0 ] || pt_fail "second close"
player_pid=""
echo "resume_test: passed"
