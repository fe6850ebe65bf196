#!/usr/bin/env bash
# Builds everything with Clang under AddressSanitizer and
# UndefinedBehaviorSanitizer, together with the fuzz targets
# (-DNORVANTIX_FUZZ=ON), and runs every test. Any report of a sanitizer
# fails the run, also one from a program a test started as a process (each
# report is written to a file of its own and listed at the end).
#
#   scripts/test-sanitized.sh [BUILD]       (default: build-asan)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-asan}
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DNORVANTIX_WERROR=ON -DNORVANTIX_FUZZ=ON -DNORVANTIX_BENCH=OFF
cmake --build "$build"
reports=$(mktemp -d)
trap 'rm -rf "$reports"' EXIT
status=0
ASAN_OPTIONS=log_path=$reports/asan UBSAN_OPTIONS=log_path=$reports/ubsan:print_stacktrace=1 \
  ctest --test-dir "$build" --output-on-failure -j2 || status=1
for f in "$reports"/*; do
  [[ -s $f ]] || continue
  echo "=== sanitizer report $(basename "$f")"
  cat "$f"
  status=1
done
exit $status
