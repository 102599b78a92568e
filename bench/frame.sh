#!/usr/bin/env bash
# Frame composition against StretchDIBits and memset, and the idle window's
# composition count, on a private X server. Usage: frame.sh BUILD_DIR SOURCE_DIR
set -u
build_dir=$1
source_dir=$2
source "$source_dir/scripts/wine-env.sh"
wine_prepare "$build_dir" </dev/null >/dev/null 2>&1

fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 4 -screen 0 1920x1080x24 -nolisten tcp 4>"$fifo" >/dev/null 2>&1 &
xvfb_pid=$!
cleanup() {
  wine_env "$build_dir" x
  wine_stop_server
  kill "$xvfb_pid" 2>/dev/null
  wait "$xvfb_pid" 2>/dev/null
  rm -f "$fifo"
}
trap cleanup EXIT
read -r display_number < "$fifo"
export DISPLAY=":$display_number"
wine_env "$build_dir" x
wine_start_server
wine "$build_dir/bench/frame_bench.exe" 2>&1 | grep -v '^ALSA lib'
