#!/usr/bin/env bash
# Runs the fuzz targets of a build made with -DNORVANTIX_FUZZ=ON, each for a
# time or a number of executions, on its seeds (fuzz/seeds.py) and on the
# corpus earlier runs kept (BUILD/fuzz-corpus/<target>). Prints one line per
# target: executions, executions per second, and the result; a finding is
# kept in BUILD/fuzz-findings/ and makes the script fail.
#
#   scripts/fuzz.sh BUILD SECONDS [TARGET...]     each target for SECONDS
#   scripts/fuzz.sh BUILD -runs=N [TARGET...]     each target for N executions
set -uo pipefail
cd "$(dirname "$0")/.."
if (($# < 2)); then
  sed -n '2,9p' "$0" >&2
  exit 2
fi
build=$1
limit=$2
shift 2
if [[ $limit == -runs=* ]]; then
  limit_opt=$limit
else
  limit_opt=-max_total_time=$limit
fi
targets=("$@")
if ((${#targets[@]} == 0)); then
  for f in "$build"/fuzz/fuzz_*; do
    [[ -x $f ]] && targets+=("${f##*/fuzz_}")
  done
fi
if ((${#targets[@]} == 0)); then
  echo "fuzz.sh: no fuzz targets in $build/fuzz (configure with -DNORVANTIX_FUZZ=ON)" >&2
  exit 2
fi

seeds=$build/fuzz-seeds
rm -rf "$seeds"
python3 fuzz/seeds.py "$seeds"
mkdir -p "$build/fuzz-findings"
failed=0
printf '%-10s %14s %10s  %s\n' target executions exec/s result
for t in "${targets[@]}"; do
  corpus=$build/fuzz-corpus/$t
  mkdir -p "$corpus" "$seeds/$t"
  log=$build/fuzz-findings/$t.log
  # -timeout: an input that runs for 10 s counts as a hang (every wait of
  # the targets passes on a fake clock).
  "$build/fuzz/fuzz_$t" "$limit_opt" -timeout=10 -rss_limit_mb=2560 -print_final_stats=1 \
    -artifact_prefix="$build/fuzz-findings/$t-" "$corpus" "$seeds/$t" >"$log" 2>&1
  rc=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  if ((rc == 0)); then
    result=clean
  else
    result="FINDING (exit $rc, see $log)"
    failed=1
  fi
  printf '%-10s %14s %10s  %s\n' "$t" "${runs:-?}" "${rate:-?}" "$result"
done
exit $failed
