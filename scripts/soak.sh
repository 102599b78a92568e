#!/usr/bin/env bash
# Runs the whole test suite several times in a row while a second copy of the
# project builds beside it, the load under which a test that depends on luck
# shows itself. Prints one line per run (time and result) and a summary; the
# log of each run is kept in BUILD_DIR/soak/run-N.log.
# Usage: scripts/soak.sh [RUNS] [extra ctest arguments...]   (RUNS default 10)
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
export BUILD_DIR=${BUILD_DIR:-$ROOT/build}
case "$BUILD_DIR" in /*) ;; *) BUILD_DIR=$ROOT/$BUILD_DIR ;; esac
runs=${1:-10}
shift || true
soak_dir=$BUILD_DIR/soak
load_dir=$soak_dir/load-build
mkdir -p "$soak_dir"

"$ROOT/scripts/build.sh" >"$soak_dir/build.log" 2>&1 || { cat "$soak_dir/build.log"; exit 1; }

# The load: the Windows build with its tests, cleaned and rebuilt over and
# over in a build directory of its own, so the suite's own files never change.
cmake -S "$ROOT" -B "$load_dir" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
  -DPEBBLETUNE_TESTS=ON >/dev/null || exit 1
# Job control puts the loop in a process group of its own, so that stopping
# it also stops the build it is running.
set -m
(
  while :; do
    cmake --build "$load_dir" --clean-first -j "$(nproc)" >/dev/null 2>&1
  done
) &
load_pid=$!
set +m
stop_load() {
  kill -- -"$load_pid" 2>/dev/null
  wait "$load_pid" 2>/dev/null
}
trap stop_load EXIT

failed=0
for i in $(seq 1 "$runs"); do
  log=$soak_dir/run-$i.log
  start=$(date +%s%N)
  "$ROOT/scripts/test.sh" "$@" >"$log" 2>&1
  status=$?
  tenths=$((($(date +%s%N) - start) / 100000000))
  summary=$(grep -E '^[0-9]+% tests passed' "$log" | tail -1)
  printf 'run %2d: %4d.%d s  exit %d  %s\n' "$i" $((tenths / 10)) $((tenths % 10)) "$status" \
    "${summary:-no ctest summary}"
  if [ "$status" -ne 0 ]; then
    failed=$((failed + 1))
    sed -n '/The following tests FAILED/,$p' "$log"
  fi
done
echo "soak: $runs runs, $failed failed"
[ "$failed" -eq 0 ]
