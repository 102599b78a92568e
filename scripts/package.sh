#!/usr/bin/env bash
# Builds the release files into dist/, from a fresh build directory
# (build-release/), whatever state build/ is in:
#   Pebbletune-VERSION-win64.zip        the exe, readme.txt and LICENSE.txt
#   Pebbletune-VERSION-setup.exe        the per-user installer
#   Pebbletune-VERSION-win64-debug.zip  the exe's debug information, for crash
#                                       addresses (not for users)
# VERSION is the one in CMakeLists.txt's project() line.
# Usage: scripts/package.sh [--exe PATH] [--out DIR]
#   --exe PATH  package an exe already built (by this project's CMake, so its
#               build directory holds the icon and the debug file)
#   --out DIR   write there instead of dist/
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
out=$ROOT/dist
exe=""
while [ $# -gt 0 ]; do
  case "$1" in
    --exe) exe=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    *) echo "usage: $0 [--exe PATH] [--out DIR]" >&2; exit 2 ;;
  esac
done

version=$(sed -n 's/^project(Pebbletune VERSION \([0-9][0-9.]*\) .*/\1/p' "$ROOT/CMakeLists.txt")
if [ -z "$version" ]; then echo "no version in CMakeLists.txt's project() line" >&2; exit 1; fi

if [ -z "$exe" ]; then
  "$ROOT/scripts/deps.sh"
  if [ -n "$(git -C "$ROOT" status --porcelain 2>/dev/null)" ]; then
    echo "note: the work tree has uncommitted changes; they go into this build" >&2
  fi
  build=$ROOT/build-release
  rm -rf "$build"
  cmake -S "$ROOT" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DPEBBLETUNE_TESTS=OFF >/dev/null
  cmake --build "$build" --target Pebbletune -j "$(nproc)"
  exe=$build/bin/Pebbletune.exe
fi
exe=$(cd "$(dirname "$exe")" && pwd)/$(basename "$exe")
bin=$(dirname "$exe")
icon=$(dirname "$bin")/generated/pebbletune.ico

# What ships carries no debug sections and stays within its size budget.
budget=$((300 * 1024))
size=$(stat -c %s "$exe")
if x86_64-w64-mingw32-objdump -h "$exe" | grep -q '\.debug_'; then
  echo "$exe still has debug sections" >&2; exit 1
fi
if [ "$size" -gt "$budget" ]; then
  echo "$exe is $size bytes, over the budget of $budget" >&2; exit 1
fi

# Only from makensis 3.06 on does DeleteRegKey /ifempty also look for values:
# an older one would build an uninstaller that deletes a user's own values
# under SystemFileAssociations\.mp3 and the like.
nsis=$(makensis -VERSION | sed -n 's/^v\{0,1\}\([0-9]*\)\.\([0-9]*\).*/\1 \2/p')
read -r nsis_major nsis_minor <<<"$nsis"
if [ -z "$nsis" ] || (( 10#$nsis_major * 100 + 10#$nsis_minor < 306 )); then
  echo "makensis 3.06 or later is needed, found $(makensis -VERSION)" >&2; exit 1
fi

name=Pebbletune-$version
mkdir -p "$out"
out=$(cd "$out" && pwd)
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$exe" "$stage/Pebbletune.exe"
# Plain text for Notepad: CRLF line ends.
sed "s/@VERSION@/$version/; s/\$/\r/" "$ROOT/resources/readme.txt" >"$stage/readme.txt"
sed 's/$/\r/' "$ROOT/LICENSE" >"$stage/LICENSE.txt"

rm -f "$out/$name-win64.zip" "$out/$name-setup.exe" "$out/$name-win64-debug.zip"
(cd "$stage" && zip -q -X "$out/$name-win64.zip" Pebbletune.exe readme.txt LICENSE.txt)
if [ -f "$bin/Pebbletune.debug" ]; then
  (cd "$bin" && zip -q -X "$out/$name-win64-debug.zip" Pebbletune.debug)
fi
makensis -NOCD -V2 -DVERSION="$version" -DSTAGE="$stage" -DICON="$icon" \
  -DOUTFILE="$out/$name-setup.exe" "$ROOT/resources/installer.nsi" >/dev/null

for f in "$out/$name-win64.zip" "$out/$name-setup.exe" "$out/$name-win64-debug.zip" "$stage/Pebbletune.exe"; do
  [ -f "$f" ] && printf '%8d  %s\n' "$(stat -c %s "$f")" "${f##*/}"
done
exit 0
