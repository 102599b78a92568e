#!/usr/bin/env bash
# Start-up time: launch to window shown, median of 10, under Wine with Xvfb,
# for the player and for a trivial hello-window program in the same run.
set -u
build_dir=$1
source_dir=$2
source "$source_dir/tests/process/xvfb.sh" "$build_dir" "$source_dir"

# Milliseconds from launch until a visible window with the title appears.
launch_ms() {
  local exe=$1 title=$2 start end
  start=$(date +%s%N)
  wine "$exe" >/dev/null 2>&1 &
  local pid=$!
  until xdotool search --onlyvisible --name "^$title\$" >/dev/null 2>&1; do sleep 0.005; done
  end=$(date +%s%N)
  local w
  w=$(xdotool search --onlyvisible --name "^$title\$" | head -n 1)
  xdotool mousemove --window "$w" 5 5 windowfocus --sync "$w" key alt+x >/dev/null 2>&1
  wait "$pid"
  echo $(( (end - start) / 1000000 ))
}

median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }

launch_ms "$build_dir/bin/Pebbletune.exe" Pebbletune >/dev/null  # warm caches
launch_ms "$build_dir/bench/hello_bench.exe" HelloBench >/dev/null
player=(); hello=()
for i in $(seq 1 10); do
  player+=("$(launch_ms "$build_dir/bin/Pebbletune.exe" Pebbletune)")
  hello+=("$(launch_ms "$build_dir/bench/hello_bench.exe" HelloBench)")
done
p=$(printf '%s\n' "${player[@]}" | median)
h=$(printf '%s\n' "${hello[@]}" | median)
echo "launch to window shown, median of 10 (ms): Pebbletune $p, hello window $h, ratio $(awk -v p="$p" -v h="$h" 'BEGIN {printf "%.2f", p / h}')"
echo "  Pebbletune runs: ${player[*]}"
echo "  hello runs:      ${hello[*]}"
