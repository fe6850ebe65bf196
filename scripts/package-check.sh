#!/usr/bin/env bash
# Builds the Debian package in a build folder (default: build), installs it
# with dpkg -i, runs the installed program as a user who is not root, and
# removes the package again. Run as root, after a build. Quiet when all is
# well; on a failure it shows what happened and ends with status 1.
#
# The build folder is configured with the install prefix /usr (as the package
# needs): a later `cmake --install` of that folder installs into /usr.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
log=$(mktemp)
home=$(mktemp -d)
installed=0
cleanup() {
  if ((installed)); then dpkg -r norvantix >>"$log" 2>&1 || true; fi
  rm -rf "$home" "$log"
}
trap cleanup EXIT
fail() {
  cat "$log"
  echo "package check failed: $*" >&2
  exit 1
}

{
  cmake -S . -B "$build" -DCMAKE_INSTALL_PREFIX=/usr
  cmake --build "$build"
  rm -f "$build"/norvantix_*.deb
  (cd "$build" && cpack -G DEB)
} >>"$log" 2>&1 || fail "building the package"
deb=$(ls "$build"/norvantix_*.deb)
dpkg -i "$deb" >>"$log" 2>&1 || fail "dpkg -i $deb"
installed=1

for f in /usr/bin/norvantix /usr/bin/norvantix-cmd /usr/bin/norvantix-sim \
         /usr/bin/indi_norvantix_wheel /usr/share/norvantix/ZR_CONFIG.TXT \
         /usr/share/indi/indi_norvantix_wheel.xml /usr/share/applications/norvantix.desktop \
         /usr/share/dbus-1/services/org.norvantix.Norvantix.service; do
  [[ -e $f ]] || fail "the package did not install $f"
done

# A user who is not root, with a home of their own and nothing else set.
chown nobody "$home"
line="F Home;F 3;F Wait;F ??"
out=$(runuser -u nobody -- env -i PATH=/usr/bin:/bin HOME="$home" \
      norvantix --simulate --exec "$line" 2>>"$log") || fail "norvantix --exec \"$line\" ended with an error: $out"
[[ $out == "OK  ; OK  ; OK  ; F 3 ; " ]] || fail "norvantix --exec \"$line\" answered \"$out\""
[[ -f $home/.config/norvantix/ZR_CONFIG.TXT ]] || fail "no program directory in ~/.config/norvantix"
