#!/usr/bin/env bash
# Line coverage of src/ by the whole test suite: a GCC Debug build with
# --coverage in BUILD (default build-cov), every test run, then gcovr's
# summary and one line per file of src/. Prints the total line coverage
# last; the per-file table is kept in BUILD/coverage.txt.
#
#   scripts/coverage.sh [BUILD]
set -euo pipefail
# Works on the checkout it is run from (so one copy serves every worktree).
cd "$(git rev-parse --show-toplevel)"
build=${1:-build-cov}
command -v gcovr >/dev/null || {
  echo "coverage.sh: gcovr not found (Debian: apt-get install gcovr)" >&2
  exit 2
}
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DNORVANTIX_BENCH=OFF \
  -DCMAKE_CXX_FLAGS=--coverage -DCMAKE_EXE_LINKER_FLAGS=--coverage "${launcher[@]}" >/dev/null
cmake --build "$build"
find "$build" -name '*.gcda' -delete
ctest --test-dir "$build" -j2 --output-on-failure >"$build/ctest.log" || {
  tail -20 "$build/ctest.log"
  exit 1
}
tail -3 "$build/ctest.log"
gcovr -r . --filter 'src/' --object-directory "$build" -j 2 --txt "$build/coverage.txt" \
  --exclude-unreachable-branches >/dev/null
grep -E '^TOTAL' "$build/coverage.txt"
