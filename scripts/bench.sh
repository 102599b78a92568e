#!/usr/bin/env bash
# Builds everything, then runs every benchmark script in bench/ (bench/*.sh),
# each of which prints its figures side by side. Usage: scripts/bench.sh [NAME...]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
export BUILD_DIR=${BUILD_DIR:-$ROOT/build}
case "$BUILD_DIR" in /*) ;; *) BUILD_DIR=$ROOT/$BUILD_DIR ;; esac
"$ROOT/scripts/build.sh"
source "$ROOT/scripts/wine-env.sh"
wine_prepare "$BUILD_DIR"
status=0
for script in "$ROOT"/bench/*.sh; do
  name=$(basename "$script" .sh)
  if [ $# -gt 0 ] && [[ ! " $* " == *" $name "* ]]; then continue; fi
  echo "== $name"
  bash "$script" "$BUILD_DIR" "$ROOT" || status=1
done
for kind in null x player; do
  if [ -d "$BUILD_DIR/wine/$kind" ]; then wine_env "$BUILD_DIR" "$kind"; wine_stop_server; fi
done
exit $status
