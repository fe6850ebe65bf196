#!/usr/bin/env bash
# Starts and ends the program under valgrind (memcheck) in each of its modes:
# --exec and --run, without and with the simulated controllers, and the
# window (offscreen) and --automation, each ended by "Unload" from
# norvantix-cmd over a private session bus. Prints each run's summary and
# fails when valgrind finds an error or a definite leak (scripts/valgrind.supp
# lists what belongs to Qt itself).
#
#   scripts/valgrind.sh [BUILD]     (default: build; a build without sanitizers)
set -uo pipefail
cd "$(dirname "$0")/.."
if [[ ${1:-} == --on-bus ]]; then
  build=$2 work=$3
else
  build=$(realpath "${1:-build}")
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  cp data/* "$work/"
  printf 'Ver\r\nF 1\r\nF Wait\r\nEnd\r\n' >"$work/T.PRG"
fi
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work/run
mkdir -p -m 700 "$XDG_RUNTIME_DIR"

run() {  # name, then the program's arguments
  local name=$1
  shift
  valgrind --leak-check=full --show-leak-kinds=definite --errors-for-leak-kinds=definite \
    --suppressions=scripts/valgrind.supp --num-callers=40 --log-file="$work/$name.log" \
    "$build/norvantix" --dir "$work" "$@" >/dev/null 2>&1
  printf '%-22s %s\n' "$name" "$(grep -E 'definitely lost:|ERROR SUMMARY' "$work/$name.log" |
    sed 's/^==[0-9]*== *//' | tr '\n' ' ')"
}

windowed() {  # name, then the program's arguments; ends it with "Unload"
  local name=$1
  shift
  run "$name" "$@" &
  local pid=$!
  for _ in $(seq 120); do
    sleep 1
    "$build/norvantix-cmd" Ver >/dev/null 2>&1 && break
  done
  "$build/norvantix-cmd" "F 2;F Wait;Unload" >/dev/null
  wait "$pid"
}

if [[ ${1:-} == --on-bus ]]; then
  windowed window
  windowed window-simulate --simulate
  windowed automation-simulate --simulate --automation
  exit 0
fi
run exec --exec "Ver;F 1"
run exec-simulate --simulate --exec "F Home;F 3;F Wait;F ??"
run run-simulate --simulate --run "$work/T.PRG"
dbus-run-session -- "$0" --on-bus "$build" "$work" 2>/dev/null
! grep -qE "ERROR SUMMARY: [1-9]|definitely lost: [1-9]" "$work"/*.log
