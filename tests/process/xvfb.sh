# Sourced by the process-level tests: a private Xvfb for this script and the
# "x" Wine prefix of the build directory, both stopped when the script exits.
# Usage: source xvfb.sh BUILD_DIR SOURCE_DIR

pt_build_dir=$1
pt_source_dir=$2
source "$pt_source_dir/scripts/wine-env.sh"
wine_prepare "$pt_build_dir" </dev/null >/dev/null 2>&1

pt_xvfb_pid=""
# A script may define pt_extra_cleanup (before sourcing this file) for what
# it must undo while the display and the Wine server are still there.
pt_cleanup() {
  if declare -F pt_extra_cleanup >/dev/null; then pt_extra_cleanup; fi
  wine_env "$pt_build_dir" x
  wine_stop_server
  if [ -n "$pt_xvfb_pid" ]; then kill "$pt_xvfb_pid" 2>/dev/null; wait "$pt_xvfb_pid" 2>/dev/null; fi
}
trap pt_cleanup EXIT

pt_fifo=$(mktemp -u)
mkfifo "$pt_fifo"
Xvfb -displayfd 4 -screen 0 1920x1080x24 -nolisten tcp 4>"$pt_fifo" >/dev/null 2>&1 &
pt_xvfb_pid=$!
read -r pt_display < "$pt_fifo"
rm -f "$pt_fifo"
export DISPLAY=":$pt_display"

wine_env "$pt_build_dir" x
wine_start_server

# Prints the X ids of the visible player windows, one per line.
pt_player_windows() {
  xdotool search --onlyvisible --name '^Pebbletune$' 2>/dev/null || true
}

# Waits until N player windows are visible (or fails after ~15 s).
pt_wait_windows() {
  local want=$1 i
  for i in $(seq 1 150); do
    if [ "$(pt_player_windows | wc -l)" -eq "$want" ]; then return 0; fi
    sleep 0.1
  done
  echo "expected $want player window(s), found $(pt_player_windows | wc -l)" >&2
  return 1
}

pt_fail() { echo "FAIL: $*" >&2; exit 1; }
