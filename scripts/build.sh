#!/usr/bin/env bash
# The one build step: installs what is missing, builds the native sanitizer
# build of the platform-free code (BUILD_DIR/native) and the Windows player
# with its tests (BUILD_DIR, player at BUILD_DIR/bin/Pebbletune.exe), and the
# player once more with clang and lld (BUILD_DIR/clang), warnings as errors.
# Usage: scripts/build.sh [--player]   (--player: only the exe)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT/build}
case "$BUILD_DIR" in /*) ;; *) BUILD_DIR=$ROOT/$BUILD_DIR ;; esac
jobs=$(nproc)

"$ROOT/scripts/deps.sh"

if [ "${1:-}" = "--player" ]; then
  cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
    -DPEBBLETUNE_TESTS=OFF >/dev/null
  cmake --build "$BUILD_DIR" --target Pebbletune -j "$jobs"
  exit 0
fi

cmake -S "$ROOT" -B "$BUILD_DIR/native" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$BUILD_DIR/native" -j "$jobs"

cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
  -DPEBBLETUNE_TESTS=ON -DNATIVE_BUILD_DIR="$BUILD_DIR/native" >/dev/null
cmake --build "$BUILD_DIR" -j "$jobs"

cmake -S "$ROOT" -B "$BUILD_DIR/clang" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/clang-mingw-w64-x86_64.cmake" \
  -DPEBBLETUNE_TESTS=OFF >/dev/null
cmake --build "$BUILD_DIR/clang" --target Pebbletune -j "$jobs"
