#!/usr/bin/env bash
# Checks that every C++ file under src/, tests/, bench/ and fuzz/ is laid out
# as .clang-format says; prints the places that are not and fails. With
# --fix, formats them instead.
#
#   scripts/check-format.sh [--fix]
set -euo pipefail
cd "$(dirname "$0")/.."
cf=$(command -v clang-format-14 || command -v clang-format || true)
if [[ -z $cf ]]; then
  echo "check-format.sh: clang-format not found (Debian: apt-get install clang-format)" >&2
  exit 2
fi
mapfile -t files < <(git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' \
  'bench/*.cpp' 'bench/*.h' 'fuzz/*.cpp' 'fuzz/*.h')
if [[ ${1:-} == --fix ]]; then
  "$cf" -i "${files[@]}"
else
  "$cf" --dry-run -Werror "${files[@]}"
  echo "check-format.sh: ${#files[@]} files formatted as .clang-format says"
fi
