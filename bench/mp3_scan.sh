#!/usr/bin/env bash
# The MP3 scan of a 60-minute VBR file, side by side with reading the file
# once (the floor), the same walk reading every header from the file, and
# ffprobe counting the packets. Median of 5 warm runs each.
# Usage: bench/mp3_scan.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
root=$2
source "$root/scripts/wine-env.sh"
wine_prepare "$build"
wine_env "$build" null
unset DISPLAY
wine_start_server

exe="$build/bench/mp3_scan_bench.exe"
data="$build/bench-data"
file="$data/vbr-60min.mp3"
mkdir -p "$data"
if [ ! -f "$file" ]; then
  wine "$exe" write "$(winepath -w "$file")" 2> >(grep -v '^ALSA lib' >&2)
fi

if ! command -v ffprobe >/dev/null; then
  echo "Installing ffmpeg for ffprobe..."
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends ffmpeg >/dev/null
fi

# Median wall time in ms of 5 runs of a command, after one warm-up run.
median_ms() {
  "$@" >/dev/null 2>&1
  for _ in 1 2 3 4 5; do
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s%N)
    echo $(( (end - start) / 1000 ))
  done | sort -n | sed -n 3p | awk '{ printf "%.2f", $1 / 1000 }'
}

cat_ms=$(median_ms cat "$file")
ffprobe_ms=$(median_ms ffprobe -v error -count_packets -select_streams a:0 \
  -show_entries stream=nb_read_packets -of csv=p=0 "$file")
packets=$(ffprobe -v error -count_packets -select_streams a:0 \
  -show_entries stream=nb_read_packets -of csv=p=0 "$file")

out=$(wine "$exe" time "$(winepath -w "$file")" 2> >(grep -v '^ALSA lib' >&2))
scan_ms=$(echo "$out" | awk '/^scan_ms/ { print $2 }')
direct_ms=$(echo "$out" | awk '/^per_header_ms/ { print $2 }')
whole_ms=$(echo "$out" | awk '/^read_whole_ms/ { print $2 }')

echo "$out" | head -1
echo "file: $(stat -c %s "$file") bytes; ffprobe counts $packets packets"
printf '%-44s %10s\n' "median of 5, warm cache" "ms"
printf '%-44s %10s\n' "cat file > /dev/null (floor, whole process)" "$cat_ms"
printf '%-44s %10s\n' "ReadFile of the whole file, 64 KiB (Wine)" "$whole_ms"
printf '%-44s %10s\n' "ScanMp3Stream, windowed (Wine, in process)" "$scan_ms"
printf '%-44s %10s\n' "4-byte read + seek per frame (Wine)" "$direct_ms"
printf '%-44s %10s\n' "ffprobe -count_packets (whole process)" "$ffprobe_ms"
awk -v s="$scan_ms" -v c="$cat_ms" -v f="$ffprobe_ms" -v d="$direct_ms" 'BEGIN {
  printf "scan / floor = %.2fx (goal <= 1.5x); ffprobe / scan = %.1fx (goal >= 10x); per-header / scan = %.1fx\n",
    s / c, f / s, d / s }'
