#!/usr/bin/env bash
# Runs one libFuzzer target for a bounded time on a corpus written by the
# target's seed program (tests/fuzz/NAME_seeds.cpp): no files from elsewhere.
set -euo pipefail
fuzzer=$1
seconds=${2:-60}
seeds=${fuzzer%_fuzz}_seeds
corpus=$fuzzer-corpus
mkdir -p "$corpus"
if [ -x "$seeds" ] && [ -z "$(ls -A "$corpus")" ]; then
  "$seeds" "$corpus"
fi
exec "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 "$corpus"
