#!/usr/bin/env bash
# The real player on a private X server: Ctrl+H halves the window, a right
# click, Shift+F10 and the Applications key each open the context menu and
# Escape closes it, Alt+X ends the process
# cleanly and the thirteen settings are then in the registry.
# Usage: keys_test.sh PEBBLETUNE_EXE BUILD_DIR SOURCE_DIR
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
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
source "$(dirname "$0")/xvfb.sh" "$build_dir" "$source_dir"
key='HKCU\Software\Tallowen\Pebbletune'
wine reg delete "$key" /f </dev/null >/dev/null 2>&1 9>&-
wine reg query "$key" </dev/null >/dev/null 2>&1 9>&- && fail "the settings key could not be removed"

wine "$exe" </dev/null >"$work/player.log" 2>&1 9>&- &
player_pid=$!

window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Pebbletune$' | head -n1)
[ -n "$window" ] || fail "no player window"

geometry() {
  xdotool getwindowgeometry --shell "$window" | awk -F= '/^WIDTH|^HEIGHT/ {printf "%s%s", sep, $2; sep="x"} END {print ""}'
}
wait_for_geometry() {  # wait_for_geometry EXPECTED
  for _ in $(seq 50); do
    [ "$(geometry)" = "$1" ] && return 0
    sleep 0.1
  done
  return 1
}

# On the 1080-line screen the face is drawn at factor 1.
wait_for_geometry 474x89 || fail "first geometry $(geometry), expected 474x89"

xdotool windowfocus --sync "$window"
xdotool key ctrl+h
wait_for_geometry 474x56 || fail "after ctrl+h: $(geometry), expected 474x56"

visible_windows() {
  xdotool search --onlyvisible --name '' 2>/dev/null | sort
}
# Each way to the menu without a mouse must open it as a right click does.
for opener in "mousemove --window $window 200 30 click 3" "key shift+F10" "key Menu"; do
  before=$(visible_windows)
  xdotool windowfocus --sync "$window"
  # shellcheck disable=SC2086
  xdotool $opener
  menu=""
  for _ in $(seq 50); do
    menu=$(comm -13 <(echo "$before") <(visible_windows) | head -n1)
    [ -n "$menu" ] && break
    sleep 0.1
  done
  [ -n "$menu" ] || fail "no menu window after $opener"

  xdotool key Escape
  closed=0
  for _ in $(seq 50); do
    if [ -z "$(comm -13 <(echo "$before") <(visible_windows))" ]; then closed=1; break; fi
    sleep 0.1
  done
  [ "$closed" = 1 ] || fail "the menu opened by $opener stayed open after Escape"
done

xdotool windowfocus --sync "$window"
xdotool key alt+x
for _ in $(seq 200); do
  kill -0 "$player_pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$player_pid" 2>/dev/null && fail "the player did not exit after alt+x"
wait "$player_pid"
status=$?
player_pid=""
[ "$status" = 0 ] || fail "exit code $status"

wine reg query "$key" </dev/null >"$work/reg.txt" 2>/dev/null 9>&- || fail "no settings key after the exit"
# name and expected value (empty: any), as the player saves them for this run.
expected="After 0x3
Color 0x4080
FontType 0x0
Resume 0x0
Shuffle 0x0
Size 0x1
Slim 0x1
Subdir 0x0
Top 0x0
Types 0x3
Volume
X 0x64
Y 0x96"
count=0
while read -r name value; do
  line=$(tr -d '\r' <"$work/reg.txt" | awk -v n="$name" '$1 == n {print $2, $3}')
  [ -n "$line" ] || fail "value $name missing"
  type=${line%% *}
  got=${line#* }
  [ "$type" = REG_DWORD ] || fail "value $name has type $type"
  if [ -n "$value" ] && [ "$got" != "$value" ]; then fail "value $name is $got, expected $value"; fi
  count=$((count + 1))
done <<<"$expected"
[ "$count" = 13 ] || fail "checked $count values"
stored=$(tr -d '\r' <"$work/reg.txt" | awk '$2 ~ /^REG_/' | wc -l)
[ "$stored" = 13 ] || fail "the key holds $stored values, expected 13"
echo "keys_test: passed"
