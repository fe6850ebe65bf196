#!/usr/bin/env bash
# Runs a command on a private X server: Xvfb on a free display number with
# the openbox window manager, so that windows are framed, activated and
# given focus as on a desktop. Both are stopped when the command ends; its
# exit status is the script's.
#   scripts/with-xvfb.sh [--size WIDTHxHEIGHT] CMD [ARG...]
set -euo pipefail
size=1280x1024
if [[ ${1:-} == --size ]]; then
  size=$2
  shift 2
fi
(($#)) || { echo "usage: $0 [--size WxH] CMD [ARG...]" >&2; exit 2; }

work=$(mktemp -d)
xvfb_pid= wm_pid=
stop() {
  [[ -n $wm_pid ]] && kill "$wm_pid" 2>/dev/null && wait "$wm_pid" 2>/dev/null
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap stop EXIT
trap 'exit 130' INT TERM

# Xvfb chooses a free display itself and writes its number once it accepts
# connections.
Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 500); do
  [[ -s $work/display ]] && break
  kill -0 "$xvfb_pid" 2>/dev/null || { cat "$work/xvfb.log" >&2; exit 1; }
  sleep 0.02
done
[[ -s $work/display ]] || { echo "Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=:$(head -n1 "$work/display")
unset WAYLAND_DISPLAY

# The window manager is ready once it has announced itself on the root window.
openbox --sm-disable >"$work/wm.log" 2>&1 &
wm_pid=$!
for _ in $(seq 500); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  kill -0 "$wm_pid" 2>/dev/null || { cat "$work/wm.log" >&2; exit 1; }
  sleep 0.02
done
xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' ||
  { echo "the window manager did not start" >&2; cat "$work/wm.log" >&2; exit 1; }

"$@"
