#!/bin/sh
# Takes offscreen pictures of the main window (also with a long reply and its
# tooltip, and with a wheel offline), a wheel menu, the error log window, the
# interpreter window during a run, the parameter list editor and the file
# dialog into a folder (default: ./screenshots).
#   scripts/screenshots.sh [BUILD_DIR] [OUT_DIR]
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
out=${2:-$PWD/screenshots}
mkdir -p "$out"
ninja -C "$build" test_ui >/dev/null
QT_QPA_PLATFORM=offscreen NVX_SCREENSHOT_DIR=$(cd "$out" && pwd) \
  "$build/tests/test_ui" --gtest_filter='Screenshots.*'
ls -l "$out"
