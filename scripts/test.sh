#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the Windows tests
# under Wine, the native sanitizer tests, the fuzz run and the process-level
# tests. Ends with ctest's summary. Extra arguments go to ctest (e.g. -R name).
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
export BUILD_DIR=${BUILD_DIR:-$ROOT/build}
case "$BUILD_DIR" in /*) ;; *) BUILD_DIR=$ROOT/$BUILD_DIR ;; esac

"$ROOT/scripts/build.sh" || exit 1

source "$ROOT/scripts/wine-env.sh"
# Leave no Wine server behind, however the run ends.
stop_servers() {
  for kind in null x player; do
    if [ -d "$BUILD_DIR/wine/$kind" ]; then
      wine_env "$BUILD_DIR" "$kind"
      wine_stop_server
    fi
  done
}
trap stop_servers EXIT
echo "Preparing the private Wine prefixes under $BUILD_DIR/wine (first time: about 15 s)..."
wine_prepare "$BUILD_DIR"
wine_env "$BUILD_DIR" null
unset DISPLAY
# The server lives until this script stops it: a quiet minute (the fuzz run)
# must not end it and leave the next test to start the services again.
wine_start_server "" "$BUILD_DIR/wine_warmup.exe"

cd "$BUILD_DIR" || exit 1
ctest --output-on-failure -j "$(nproc)" --timeout 300 "$@"
status=$?

exit $status
