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
echo "Preparing the private Wine prefixes under $BUILD_DIR/wine (first time: about 15 s)..."
wine_prepare "$BUILD_DIR"
wine_env "$BUILD_DIR" null
unset DISPLAY
wine_start_server

cd "$BUILD_DIR" || exit 1
ctest --output-on-failure -j "$(nproc)" --timeout 300 "$@"
status=$?

# Leave no Wine server behind.
for kind in null x player; do
  if [ -d "$BUILD_DIR/wine/$kind" ]; then
    wine_env "$BUILD_DIR" "$kind"
    wine_stop_server
  fi
done
exit $status
