#!/usr/bin/env bash
# The real player and device on a private X server, opened on a wave file
# whose format declares 0 channels (44100 Hz, 16 bits, block align 4) beside
# a good wave tone: the tone plays, Ctrl+T reaches the registry while the
# player runs, and a close ends it with exit code 0 and "Top" kept.
# Usage: impossible_wav_test.sh PEBBLETUNE_EXE BUILD_DIR SOURCE_DIR
set -uo pipefail
exe=$1
build_dir=$2
work=$(mktemp -d)
player_pid=""
pt_extra_cleanup() {
  if [ -n "$player_pid" ] && kill -0 "$player_pid" 2>/dev/null; then kill "$player_pid" 2>/dev/null; fi
  rm -rf "$work"
}
source "$(dirname "$0")/xvfb.sh" "$build_dir" "$3"
source "$(dirname "$0")/stuck_device.sh"
key='HKCU\Software\Tallowen\Pebbletune'
reg() { wine reg "$@" </dev/null 2>/dev/null 9>&-; }
stored() { reg query "$key" /v "$1" | tr -d '\r' | awk -v n="$1" '$1 == n {print $3}'; }

sox -n -r 44100 -c 2 -b 16 "$work/b tone.wav" synth 10 sine 440 vol 0.4 2>/dev/null || pt_fail "no tone"
{ printf 'RIFF\x34\xb1\x02\x00WAVEfmt \x10\x00\x00\x00\x01\x00\x00\x00\x44\xac\x00\x00'
  printf '\x10\xb1\x02\x00\x04\x00\x10\x00data\x10\xb1\x02\x00'; head -c 176400 /dev/zero; } >"$work/a bad.wav"
reg delete "$key" /f >/dev/null
reg add "$key" /v Types /t REG_DWORD /d 0x23 /f >/dev/null || pt_fail "Types not stored"
xdotool mousemove 1919 1079
wine "$build_dir/run_and_wait.exe" "$(winepath -w "$exe" 2>/dev/null)" "$(winepath -w "$work/a bad.wav" 2>/dev/null)" \
  </dev/null >/dev/null 2>&1 9>&- &
player_pid=$!
window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Pebbletune$' | head -n1)
[ -n "$window" ] || pt_fail "no player window"
idle=$(pt_play_button_sum "$window" "$work/button.rgb")
pt_wait_playing "$window" "$idle" "$work/button.rgb" || pt_fail "the good tone never played"
xdotool mousemove --window "$window" 5 5 windowfocus --sync "$window" key ctrl+t
for _ in $(seq 50); do [ "$(stored Top)" = 0x1 ] && break; sleep 0.1; done
[ "$(stored Top)" = 0x1 ] || pt_fail "Ctrl+T did not reach the registry within 5 s while the player runs"
pt_close_and_wait "$window" "$player_pid" || pt_fail "the player did not exit within 20 s of the close"
player_pid=""
[ "$pt_exit_status" = 0 ] || pt_fail "exit code $pt_exit_status, expected 0"
[ "$(stored Top)" = 0x1 ] || pt_fail "Top is '$(stored Top)' after the close, expected 0x1"
echo "impossible_wav_test: passed"
