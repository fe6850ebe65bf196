#!/usr/bin/env bash
# Builds the benchmarks and prints the side-by-side table of ratios
# (bench/side_by_side.cpp; results are kept in docs/performance.md). Run it
# on a machine that is otherwise idle: the figures are rates and shares of
# real time.
#
#   scripts/bench.sh [BUILD] [--rounds N] [--exchanges N] [--moves N] [--idle-seconds S]
set -euo pipefail
cd "$(dirname "$0")/.."
build=build
if (($#)) && [[ $1 != --* ]]; then
  build=$1
  shift
fi
cmake -S . -B "$build" -G Ninja -DNORVANTIX_BENCH=ON >/dev/null
cmake --build "$build" --target bench_side_by_side norvantix >/dev/null
"$build/bench/bench_side_by_side" "$@"
