#!/usr/bin/env bash
# Installs what is missing, builds the player and starts it under Wine on PATH,
# or on a demo folder of generated tone MP3s when no PATH is given.
# Uses $DISPLAY when it works; otherwise starts a private Xvfb and says so.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT/build}
case "$BUILD_DIR" in /*) ;; *) BUILD_DIR=$ROOT/$BUILD_DIR ;; esac

"$ROOT/scripts/build.sh" --player
source "$ROOT/scripts/wine-env.sh"
wine_prepare "$BUILD_DIR"
if [ ! -d "$BUILD_DIR/wine/player" ]; then
  cp -a "$BUILD_DIR/wine/x" "$BUILD_DIR/wine/player"
fi

target=${1:-}
if [ -z "$target" ]; then
  demo="$BUILD_DIR/demo"
  "$ROOT/scripts/make-demo.sh" "$demo"
  target=$demo
fi

xvfb_pid=""
cleanup() {
  wine_env "$BUILD_DIR" player
  wine_stop_server
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  fifo=$(mktemp -u); mkfifo "$fifo"
  Xvfb -displayfd 4 -screen 0 1920x1080x24 -nolisten tcp 4>"$fifo" >/dev/null 2>&1 &
  xvfb_pid=$!
  read -r display_number < "$fifo"; rm -f "$fifo"
  export DISPLAY=":$display_number"
  echo "No usable display: started a private Xvfb on $DISPLAY (pid $xvfb_pid)."
  echo "Take a look with: DISPLAY=$DISPLAY import -window root shot.png"
fi

wine_env "$BUILD_DIR" player
winpath=$(winepath -w "$target" 2>/dev/null)
echo "Playing $target"
wine "$BUILD_DIR/bin/Pebbletune.exe" "$winpath" 2> >(grep -v '^ALSA lib' >&2)
