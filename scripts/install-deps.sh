#!/usr/bin/env bash
# Installs what building, running and testing Norvantix needs on Debian 12.
# Run as root (or with sudo); safe to run again.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev
  dbus
  xvfb openbox x11-utils xdotool
  libindi-dev indi-bin   # the INDI driver and its tests (indiserver, indi_setprop, ...)
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
