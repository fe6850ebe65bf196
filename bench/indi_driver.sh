#!/usr/bin/env bash
# Measures the INDI driver on the simulated controllers:
#  - the time from indi_setprop of FILTER_SLOT to FILTER_SLOT Ok, for
#    one-filter moves (what a client waits; includes starting indi_setprop
#    and indi_eval, about 10 ms each);
#  - the driver's share of one CPU while connected and idle.
#
#   bench/indi_driver.sh [BUILD_DIR] [MOVES] [IDLE_SECONDS]
set -euo pipefail
build=$(realpath "${1:-build}")
moves=${2:-10}
idle=${3:-30}
work=$(mktemp -d)
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
cp "$(dirname "$0")"/../data/* "$work"/
export HOME=$work XDG_RUNTIME_DIR=$work
indiserver -p "$port" -u "$work/socket" -r 0 "$build/indi_norvantix_wheel" 2>"$work/server.log" &
server=$!
trap 'kill $server 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 50); do indi_getprop -p "$port" -t 1 "Norvantix F.CONNECTION.CONNECT" >/dev/null 2>&1 && break; sleep 0.1; done

set_() { indi_setprop -p "$port" "$@"; }
set_ "Norvantix F.PROGRAM_DIR.DIR=$work" "Norvantix F.SIMULATION.ENABLE=On"
set_ "Norvantix F.CONNECTION.CONNECT=On"
indi_eval -p "$port" -w -t 10 '"Norvantix F.CONNECTION.CONNECT"==1'

total=0
for i in $(seq "$moves"); do
  slot=$(( i % 6 + 1 ))
  t0=$(date +%s%N)
  set_ "Norvantix F.FILTER_SLOT.FILTER_SLOT_VALUE=$slot"
  indi_eval -p "$port" -w -t 30 "\"Norvantix F.FILTER_SLOT._STATE\"==1 && \"Norvantix F.FILTER_SLOT.FILTER_SLOT_VALUE\"==$slot"
  ms=$(( ($(date +%s%N) - t0) / 1000000 ))
  total=$(( total + ms ))
  echo "move to slot $slot: $ms ms"
done
echo "mean setprop-to-Ok for a one-filter move: $(( total / moves )) ms"

driver=$(cat "/proc/$server/task/$server/children" | awk '{print $1}')
ticks() { awk '{print $14 + $15}' "/proc/$driver/stat"; }
a=$(ticks); sleep "$idle"; b=$(ticks)
hz=$(getconf CLK_TCK)
echo "idle CPU while connected over ${idle} s: $(( b - a )) ticks of 1/${hz} s =" \
     "$(awk -v t=$(( b - a )) -v hz="$hz" -v s="$idle" 'BEGIN { printf "%.3f%%", 100 * t / hz / s }')"
