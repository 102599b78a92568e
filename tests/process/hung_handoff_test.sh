#!/usr/bin/env bash
# A first instance that has stopped answering (its process is frozen with
# SIGSTOP, so its window exists but reads no messages): a second launch with
# a path gives up on the hand-off after a few seconds and exits with a
# non-zero code, without opening a window of its own. A window of our class
# whose process ends while the hand-off is sent to it is no hung instance:
# that launch opens a window of its own.
set -u
exe=$1
first=""
others=""
pt_extra_cleanup() {
  if [ -n "$first" ]; then kill -CONT "$first" 2>/dev/null; kill "$first" 2>/dev/null; fi
  [ -z "$others" ] || kill $others 2>/dev/null
}
source "$(dirname "$0")/xvfb.sh" "$2" "$3"

wine "$exe" 2>/dev/null &
first=$!
pt_wait_windows 1 || pt_fail "the first window did not appear"
kill -STOP "$first" || pt_fail "could not freeze the first instance"

music=$(mktemp -d)
start=$(date +%s)
timeout 60 wine "$exe" "$(winepath -w "$music")" 2>/dev/null
status=$?
elapsed=$(( $(date +%s) - start ))
rm -rf "$music"
[ "$status" -ne 124 ] || pt_fail "the second launch hung on the frozen first instance"
[ "$status" -ne 0 ] || pt_fail "the second launch exited with 0 although nobody took its path"
[ "$(pt_player_windows | wc -l)" -eq 1 ] || pt_fail "the second launch opened a window"

kill -CONT "$first"
w=$(pt_player_windows | head -n 1)
xdotool mousemove --window "$w" 5 5 windowfocus --sync "$w" key alt+x
pt_wait_windows 0 || pt_fail "Alt+X did not close the first window"
wait "$first"; s1=$?
first=""
[ "$s1" -eq 0 ] || pt_fail "first instance exited with $s1"

wine "$2/vanishing_window.exe" 2>/dev/null &
others=$!
pt_wait_windows 1 || pt_fail "the vanishing window did not appear"
wine "$exe" 'C:\no such folder' 2>/dev/null &
others="$others $!"
wait "${others%% *}"
pt_wait_windows 1 || pt_fail "the launch whose hand-off failed opened no window"
echo "hung hand-off: ok (second launch exited with $status after ${elapsed} s)"
