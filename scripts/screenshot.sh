#!/usr/bin/env bash
# Regenerates docs/pebbletune.png, the README's picture: the real window of
# the built player on a private X server, at size factor 2, playing a track
# of the generated demo folder.
# Usage: scripts/screenshot.sh [OUTPUT.png]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT/build}
case "$BUILD_DIR" in /*) ;; *) BUILD_DIR=$ROOT/$BUILD_DIR ;; esac
output=${1:-$ROOT/docs/pebbletune.png}
case "$output" in /*) ;; *) output=$PWD/$output ;; esac

"$ROOT/scripts/build.sh" --player
demo=$BUILD_DIR/demo
"$ROOT/scripts/make-demo.sh" "$demo"

key='HKCU\Software\Tallowen\Pebbletune'
player_pid=""
pt_extra_cleanup() {
  if [ -n "$player_pid" ]; then kill "$player_pid" 2>/dev/null; wait "$player_pid" 2>/dev/null || true; fi
  wine reg delete "$key" /f </dev/null >/dev/null 2>&1 || true
}
# A private Xvfb and the "x" prefix, both stopped on exit.
source "$ROOT/tests/process/xvfb.sh" "$BUILD_DIR" "$ROOT"

wine reg delete "$key" /f </dev/null >/dev/null 2>&1 || true
wine reg add "$key" /v Size /t REG_DWORD /d 2 /f </dev/null >/dev/null 2>&1
# Wine's null sound device reads every volume as 0: show the bar full.
wine reg add "$key" /v Volume /t REG_DWORD /d 65535 /f </dev/null >/dev/null 2>&1
xdotool mousemove 1919 1079
track=$(winepath -w "$demo/03 G4 tone.mp3" 2>/dev/null)
wine "$BUILD_DIR/bin/Pebbletune.exe" "$track" </dev/null >/dev/null 2>&1 &
player_pid=$!
window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Pebbletune$' | head -n1)
[ -n "$window" ] || pt_fail "no player window"
# Long enough for the track to open and the seek bar to move a little.
sleep 2.5
mkdir -p "$(dirname "$output")"
import -window "$window" -strip -define png:compression-level=9 "$output"
echo "wrote $output ($(identify -format '%wx%h' "$output"), $(stat -c %s "$output") bytes)"
