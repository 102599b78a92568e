#!/usr/bin/env bash
# The real player on a private X server: the face outside the text area, read
# back from a screenshot at size factors 1 and 3, must show the colours the
# skin's formulas give for the default base colour 0x004080.
# Usage: screenshot_test.sh EXE BUILD_DIR SOURCE_DIR
set -u
exe=$1
build_dir=$2
source_dir=$3
work=$(mktemp -d)
player_pid=""
pt_extra_cleanup() {
  if [ -n "$player_pid" ]; then kill "$player_pid" 2>/dev/null; wait "$player_pid" 2>/dev/null; fi
  wine_env "$build_dir" x
  wine reg delete 'HKCU\Software\Tallowen\Pebbletune' /f </dev/null >/dev/null 2>&1
  rm -rf "$work"
}
fail() { echo "FAIL: $*" >&2; exit 1; }
source "$(dirname "$0")/xvfb.sh" "$build_dir" "$source_dir"

# --- expected colours, from the base colour by the skin's rules
base=0x004080
channel() { echo $(( ($1 >> $2) & 0xFF )); }
per_channel() {  # per_channel DIVISOR ADD: every channel c / DIVISOR + ADD
  local r g b
  r=$(( $(channel $base 16) / $1 + $2 ))
  g=$(( $(channel $base 8) / $1 + $2 ))
  b=$(( $(channel $base 0) / $1 + $2 ))
  printf '%02x%02x%02x' "$r" "$g" "$b"
}
shell=$(per_channel 2 48)
band=$(per_channel 2 96)
face=f5f5f5
icon=c4c4c4

# Skin points outside the display area: x y colour what.
checks="
0 0 $shell outer-line
473 88 $shell outer-line
3 3 $band band
2 60 $band band
470 86 $band band
5 5 $shell inner-shell
61 47 $icon stop-edge
64 50 $face stop-face
76 61 $icon stop-icon
115 57 $icon next-icon
117 52 $face next-face
392 56 $icon menu-line
392 58 $face menu-face
422 50 $face close-face
437 54 $icon close-stem
431 62 $icon close-ring
434 63 $face close-inside
22 50 $face play-face
31 57 $icon play-icon
232 47 $icon volume-edge
234 49 $face volume-face
238 57 $icon volume-first-bar
241 57 $face volume-gap
364 57 $icon volume-last-bar
"

pixel_at() {  # pixel_at X Y: hex rrggbb of the last screenshot
  od -An -tx1 -v -j $(( ($2 * 1920 + $1) * 3 )) -N3 "$work/shot.rgb" | tr -d ' \n'
}

# Compares every check at the window's origin; prints the first mismatch.
compare() {  # compare LEFT TOP FACTOR
  local left=$1 top=$2 f=$3 x y want what dx dy got
  while read -r x y want what; do
    [ -n "$x" ] || continue
    for dx in 0 $((f - 1)); do
      for dy in 0 $((f - 1)); do
        got=$(pixel_at $((left + x * f + dx)) $((top + y * f + dy)))
        if [ "$got" != "$want" ]; then
          mismatch="factor $f skin ($x,$y) $what device +($dx,$dy): got $got want $want"
          return 1
        fi
      done
    done
  done <<< "$checks"
  return 0
}

run_at_size() {  # run_at_size FACTOR
  local f=$1 window X Y WIDTH HEIGHT attempt
  wine reg delete 'HKCU\Software\Tallowen\Pebbletune' /f </dev/null >/dev/null 2>&1
  wine reg add 'HKCU\Software\Tallowen\Pebbletune' /v Size /t REG_DWORD /d "$f" /f </dev/null >/dev/null 2>&1
  wine reg add 'HKCU\Software\Tallowen\Pebbletune' /v Volume /t REG_DWORD /d 65535 /f </dev/null >/dev/null 2>&1
  # The pointer rests far from the face so no hover highlight is drawn.
  xdotool mousemove 1919 1079
  wine "$exe" </dev/null >/dev/null 2>&1 &
  player_pid=$!
  window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Pebbletune$' | head -n1)
  [ -n "$window" ] || fail "no player window at size $f"

  local matched=0
  for attempt in $(seq 1 40); do
    eval "$(xdotool getwindowgeometry --shell "$window")"
    if [ "$WIDTH" -eq $((474 * f)) ] && [ "$HEIGHT" -eq $((89 * f)) ]; then
      import -window root "$work/shot.png" && convert "$work/shot.png" "rgb:$work/shot.rgb"
      if compare "$X" "$Y" "$f"; then matched=1; break; fi
    else
      mismatch="window is ${WIDTH}x${HEIGHT}, want $((474 * f))x$((89 * f))"
    fi
    sleep 0.25
  done
  [ "$matched" -eq 1 ] || fail "$mismatch"
  echo "size $f: window ${WIDTH}x${HEIGHT} at $X,$Y matches"

  kill "$player_pid" 2>/dev/null
  wait "$player_pid" 2>/dev/null
  player_pid=""
  for attempt in $(seq 1 50); do
    [ -z "$(xdotool search --onlyvisible --name '^Pebbletune$' 2>/dev/null)" ] && break
    sleep 0.1
  done
}

run_at_size 1
run_at_size 3
echo "screenshot: ok"
