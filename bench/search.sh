#!/usr/bin/env bash
# The directory search over a 101,000-file tree (100 folders of 1,000 audio
# names, a fifth with upper-case extensions, and 10 other files each):
# the player's full search, one bare FindFirstFileW/FindNextFileW walk,
# `wine cmd /c dir /s /b` and native `find`, medians of 5 with a warm cache,
# and the peak working set with 100,000 tracks.
# Usage: bench/search.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
BUILD_DIR=$1
SOURCE_DIR=$2
RUNS=5

source "$SOURCE_DIR/scripts/wine-env.sh"
wine_prepare "$BUILD_DIR"
wine_env "$BUILD_DIR" null
unset DISPLAY
wine_start_server

TREE="$BUILD_DIR/bench-data/search-tree"
if [ ! -f "$TREE.done" ]; then
  rm -rf "$TREE"
  python3 - "$TREE" <<'EOF'
import os, sys
root = sys.argv[1]
audio = [".mp3", ".wma", ".flac", ".MP3", ".Wma"]
for folder in range(100):
    d = os.path.join(root, "album%03d" % folder)
    os.makedirs(d)
    for i in range(1000):
        # One name in five has an upper-case extension.
        open(os.path.join(d, "track%04d%s" % (i, audio[i % 5])), "w").close()
    for i in range(10):
        open(os.path.join(d, "cover%02d%s" % (i, ".jpg" if i % 2 else ".txt")), "w").close()
EOF
  touch "$TREE.done"
fi
WIN_TREE=$(winepath -w "$TREE" 2>/dev/null)

median() { sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
time_ms() {  # prints the wall time of the command in milliseconds
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null 2>&1
  end=$(date +%s%N)
  echo $(( (end - start) / 1000000 ))
}

player=$(wine "$BUILD_DIR/bench/search_bench.exe" "$WIN_TREE" "$RUNS" 2>/dev/null | tr -d '\r')
value() { echo "$player" | awk -v k="$1" '$1 == k {print $2}'; }

# cmd writes to /dev/null far faster than into a pipe, where every line
# becomes a write of its own; both are shown.
dir_piped() { wine cmd /c dir /s /b "$WIN_TREE" 2>/dev/null | cat >/dev/null; }
time_ms wine cmd /c dir /s /b "$WIN_TREE" >/dev/null
dir_ms=$(for i in $(seq $RUNS); do time_ms wine cmd /c dir /s /b "$WIN_TREE"; done | median)
pipe_ms=$(for i in $(seq $RUNS); do time_ms dir_piped; done | median)
find "$TREE" >/dev/null
find_ms=$(for i in $(seq $RUNS); do time_ms find "$TREE"; done | median)

search_ms=$(value search_ms)
walk_ms=$(value bare_walk_ms)
printf 'files listed               %s\n' "$(value files_listed)"
printf 'tracks found               %s\n' "$(value tracks)"
printf 'full search (two passes)   %s ms\n' "$search_ms"
printf 'bare walk (one pass)       %s ms\n' "$walk_ms"
printf 'wine cmd /c dir /s /b      %s ms to /dev/null, %s ms into a pipe\n' "$dir_ms" "$pipe_ms"
printf 'native find                %s ms\n' "$find_ms"
printf 'peak working set           %s MiB (track arrays %s MiB)\n' \
  "$(value peak_working_set_mib)" "$(value track_arrays_mib)"
awk -v s="$search_ms" -v w="$walk_ms" -v d="$dir_ms" -v p="$pipe_ms" -v f="$find_ms" 'BEGIN {
  printf "search / bare walk         %.2fx (goal <= 2.2x)\n", s / w
  printf "dir /s /b / search         %.1fx to /dev/null, %.1fx piped (goal >= 15x)\n", d / s, p / s
  printf "search / native find       %.1fx\n", s / f
}'
