#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
# The window tests start an X server of their own for each test
# (scripts/with-xvfb.sh, through ctest), so no display is needed.
./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNORVANTIX_WERROR=ON
cmake --build build
ctest --test-dir build --output-on-failure -j2
