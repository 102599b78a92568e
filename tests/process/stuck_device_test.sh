#!/usr/bin/env bash
# The real player and the real media device on a private X server, with a
# ".mp3" on which the device's open does not return for a long time or at
# all, beside a good tone. Opened first, the stuck file is given up and the
# tone plays; Ctrl+T and a close then end the process within 20 s with "Top"
# saved. A close while the open is still stuck ends it as promptly, and
# saves all thirteen values of a first run. A wave file no device can play
# (0 channels) fails like a file that will not open instead of crashing the
# system's wave driver: the tone beside it plays, and Ctrl+T reaches the
# registry while the player runs. Every kind of wave file the encoders here
# write, and the odd fields and chunk orders real files hold, reaches the
# device and plays to its end.
#
# Both ends must give exit code 0 as Windows reports it to a parent process
# (the player is started through run_and_wait.exe). The status of Wine's own
# host process is not what counts: with a thread still inside Wine's media
# decoder, Wine 8 often crashes while it stops that thread on the way out
# (status 139), after the player has saved everything and ended with code 0.
# Usage: stuck_device_test.sh PEBBLETUNE_EXE BUILD_DIR SOURCE_DIR
set -uo pipefail
exe=$1
build_dir=$2
source_dir=$3

work=$(mktemp -d)
player_pid=""
pt_extra_cleanup() {
  if [ -n "$player_pid" ] && kill -0 "$player_pid" 2>/dev/null; then kill "$player_pid" 2>/dev/null; fi
  rm -rf "$work"
}
source "$(dirname "$0")/xvfb.sh" "$build_dir" "$source_dir"
source "$(dirname "$0")/stuck_device.sh"
key='HKCU\Software\Tallowen\Pebbletune'

stuck_path=$(pt_make_stuck_folder "$work/music") || pt_fail "the test folder was not written"

start_player() {  # start_player PATH [TYPES]: sets player_pid and window; no other settings stored before
  wine reg delete "$key" /f </dev/null >/dev/null 2>&1 9>&-
  [ -z "${2:-}" ] || wine reg add "$key" /v Types /t REG_DWORD /d "$2" /f </dev/null >/dev/null 2>&1 9>&-
  xdotool mousemove 1919 1079
  wine "$build_dir/run_and_wait.exe" "$(winepath -w "$exe" 2>/dev/null)" "$1" \
    </dev/null >"$work/player.log" 2>&1 9>&- &
  player_pid=$!
  window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Pebbletune$' | head -n1)
  [ -n "$window" ] || pt_fail "no player window"
}

close_player() {  # close_player LABEL
  pt_close_and_wait "$window" "$player_pid" || pt_fail "$1: the player did not exit within 20 s of the close"
  player_pid=""
  echo "$1: exit code $pt_exit_status, $pt_close_ms ms after the close"
  [ "$pt_exit_status" = 0 ] || pt_fail "$1: exit code $pt_exit_status, expected 0"
}

stored() {  # stored NAME: the value as "reg query" prints it, or nothing
  wine reg query "$key" /v "$1" </dev/null 2>/dev/null 9>&- | tr -d '\r' | awk -v n="$1" '$1 == n {print $3}'
}

# --- 1: the stuck file is given up, the tone plays, Ctrl+T, close.
start_player "$stuck_path"
idle=$(pt_play_button_sum "$window" "$work/button.rgb")
[ -n "$idle" ] || pt_fail "no screenshot"
pt_wait_playing "$window" "$idle" "$work/button.rgb" || pt_fail "the good track never played"
xdotool mousemove --window "$window" 5 5 windowfocus --sync "$window" key ctrl+t
sleep 0.3
close_player "after the give-up"
[ "$(stored Top)" = 0x1 ] || pt_fail "Top is '$(stored Top)', expected 0x1"

# --- 2: closed while the open is still stuck, on a first run.
start_player "$stuck_path"
sleep 2
close_player "during the stuck open"
count=$(wine reg query "$key" </dev/null 2>/dev/null 9>&- | tr -d '\r' | awk '$2 == "REG_DWORD"' | wc -l)
[ "$count" = 13 ] || pt_fail "the key holds $count values after the stuck close, expected 13"
# --- 3: the impossible wave file first, a wave tone beside it (WAV enabled).
mkdir -p "$work/waves"
sox -n -r 44100 -c 2 -b 16 "$work/waves/b tone.wav" synth 10 sine 440 vol 0.4 2>/dev/null || pt_fail "no tone"
{ printf 'RIFF\x34\xb1\x02\x00WAVEfmt \x10\x00\x00\x00\x01\x00\x00\x00\x44\xac\x00\x00'
  printf '\x10\xb1\x02\x00\x04\x00\x10\x00data\x10\xb1\x02\x00'; head -c 176400 /dev/zero; } >"$work/waves/a bad.wav"
start_player "$(winepath -w "$work/waves/a bad.wav" 2>/dev/null)" 0x23
idle=$(pt_play_button_sum "$window" "$work/button.rgb")
pt_wait_playing "$window" "$idle" "$work/button.rgb" || pt_fail "the good tone never played"
xdotool mousemove --window "$window" 5 5 windowfocus --sync "$window" key ctrl+t
for _ in $(seq 50); do [ "$(stored Top)" = 0x1 ] && break; sleep 0.1; done
[ "$(stored Top)" = 0x1 ] || pt_fail "Ctrl+T did not reach the registry within 5 s while the player runs"
close_player "after the impossible wave"
[ "$(stored Top)" = 0x1 ] || pt_fail "Top is '$(stored Top)' after the close, expected 0x1"
# --- 4: a wave file of each kind, alone in its folder. Told to exit after
# playback, the player ends by itself with code 0 once the device has played
# the file to its end; a refused open leaves it waiting, a crash or a hung
# driver does not end it cleanly. Recipes without sox arguments start from
# the 16-bit tone (fields at fixed offsets behind a 44-byte header); the MP3
# one is written as streaming encoders write it: tag 0x55, byte rate 0.
le32() { printf '\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255)); }
poke() { printf "$3" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none; }  # poke FILE OFFSET BYTES
tone=$work/tone.wav
sox -n -r 44100 -c 2 -b 16 "$tone" synth 0.3 sine 440 vol 0.4 2>/dev/null || pt_fail "no tone"
lame --quiet -b 128 "$tone" "$work/tone.mp3" || pt_fail "no MP3"
mp3_bytes=$(stat -c %s "$work/tone.mp3")
kinds=("8-bit:-r 8000 -c 1 -b 8" "24-bit:-b 24" "32-bit:-b 32" "float:-e floating-point -b 32"
  "double:-e floating-point -b 64" "3 channels:-c 3" "4 channels:-c 4" "5 channels:-c 5" "6 channels:-c 6"
  "7 channels:-c 7" "8 channels:-c 8" "32 channels:-r 8000 -c 32" "A-law:-r 8000 -c 1 -e a-law"
  "mu-law:-r 8000 -c 1 -e mu-law" "IMA ADPCM:-r 22050 -c 1 -e ima-adpcm" "MS ADPCM:-r 22050 -e ms-adpcm"
  "GSM:-r 8000 -c 1 -e gsm-full-rate" "768 kHz:-r 768000 -c 1" "999 Hz:-r 999 -c 1"
  "MP3 of byte rate 0:" "PCM of byte rate 0:" "byte rate of another rate:" "block align of another depth:"
  "12-bit PCM:" "list before the format:" "odd chunk with its pad:" "data before the format:")
wine reg add "$key" /v Types /t REG_DWORD /d 0x23 /f </dev/null >/dev/null 2>&1 9>&-
wine reg add "$key" /v After /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1 9>&-
for row in "${kinds[@]}"; do
  name=${row%%:*} file="$work/kinds/$name/a.wav"
  mkdir -p "${file%/*}"
  cp "$tone" "$file"
  case $name in
  MP3*) { printf "RIFF$(le32 $((mp3_bytes + 50)))WAVEfmt \x1e\0\0\0\x55\0\x02\0\x44\xac\0\0\0\0\0\0\x01\0\0\0\x0c\0"
          printf "\x01\0\x02\0\0\0\xa2\x01\x01\0\x71\x05data$(le32 "$mp3_bytes")"; cat "$work/tone.mp3"; } >"$file" ;;
  PCM*) poke "$file" 28 '\0\0\0\0' ;;
  byte*) poke "$file" 28 "$(le32 88200)" ;;
  block*) poke "$file" 32 '\x03' ;;
  12*) poke "$file" 34 '\x0c' ;;
  list*) { head -c 12 "$tone"; printf 'LIST\x04\0\0\0INFO'; tail -c +13 "$tone"; } >"$file" ;;
  odd*) { head -c 36 "$tone"; printf 'junk\x03\0\0\0abc\0'; tail -c +37 "$tone"; } >"$file" ;;
  data*) { head -c 12 "$tone"; tail -c +37 "$tone"; head -c 36 "$tone" | tail -c 24; } >"$file" ;;
  *) sox "$tone" ${row#*:} "$file" 2>/dev/null || pt_fail "$name: sox did not write it" ;;
  esac
  wine "$build_dir/run_and_wait.exe" "$(winepath -w "$exe" 2>/dev/null)" "$(winepath -w "$file" 2>/dev/null)" \
    </dev/null >"$work/player.log" 2>&1 9>&- &
  player_pid=$!
  for _ in $(seq 150); do kill -0 "$player_pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$player_pid" 2>/dev/null && pt_fail "$name: still running 15 s after the start"
  wait "$player_pid"
  status=$?
  player_pid=""
  [ "$status" = 0 ] || pt_fail "$name: exit code $status, expected 0"
done
echo "every wave kind played to its end"
echo "stuck_device_test: passed"
