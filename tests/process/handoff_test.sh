#!/usr/bin/env bash
# Two real processes: a second launch with a path hands it to the running
# window and exits 0 at once; a second launch without a path becomes a second
# window; closing each window ends its process with exit code 0.
set -u
exe=$1
source "$(dirname "$0")/xvfb.sh" "$2" "$3"

wine "$exe" 2>/dev/null &
first=$!
pt_wait_windows 1 || pt_fail "the first window did not appear"

music=$(mktemp -d)
timeout 20 wine "$exe" "$(winepath -w "$music")" 2>/dev/null
status=$?
rm -rf "$music"
[ "$status" -eq 0 ] || pt_fail "the hand-off launch exited with $status"
sleep 0.5
[ "$(pt_player_windows | wc -l)" -eq 1 ] || pt_fail "the hand-off launch opened a window"

wine "$exe" 2>/dev/null &
second=$!
pt_wait_windows 2 || pt_fail "a launch without a path did not open a second window"

# Both windows open at the same place and keys go to the window under the
# pointer, so close them one at a time.
for remaining in 1 0; do
  w=$(pt_player_windows | tail -n 1)
  xdotool mousemove --window "$w" 5 5 windowfocus --sync "$w" key alt+x
  pt_wait_windows "$remaining" || pt_fail "Alt+X did not close a window"
done
wait "$first"; s1=$?
wait "$second"; s2=$?
[ "$s1" -eq 0 ] || pt_fail "first instance exited with $s1"
[ "$s2" -eq 0 ] || pt_fail "second instance exited with $s2"
[ "$(pt_player_windows | wc -l)" -eq 0 ] || pt_fail "a window is still there"
echo "hand-off: ok"
