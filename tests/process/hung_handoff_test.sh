#!/usr/bin/env bash
# A first instance that has stopped answering (its process is frozen with
# SIGSTOP, so its window exists but reads no messages): a second launch with
# a path gives up on the hand-off after a few seconds and exits with a
# non-zero code, without opening a window of its own.
set -u
exe=$1
first=""
pt_extra_cleanup() {
  if [ -n "$first" ]; then kill -CONT "$first" 2>/dev/null; kill "$first" 2>/dev/null; fi
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
echo "hung hand-off: ok (second launch exited with $status after ${elapsed} s)"
