#!/usr/bin/env bash
# Builds the fuzz targets and runs each for SECONDS (default 600), two at a
# time (KORVANE_FUZZ_JOBS), printing executions and executions per second;
# the summary also goes to $BUILD/summary.txt. Crashing inputs are kept in
# $BUILD/artifacts. Usage: fuzz/run.sh [seconds-per-target] [target...]
set -uo pipefail
source "$(dirname "$0")/common.sh"
secs="${1:-600}"
shift || true
[ $# -gt 0 ] && TARGETS=("$@")
fuzz_build || exit 1
fuzz_data_seeds
jobs_max="${KORVANE_FUZZ_JOBS:-2}"
summary="$BUILD/summary.txt"
: > "$summary"
failed=0
running=0
for t in "${TARGETS[@]}"; do
  if [ "$running" -ge "$jobs_max" ]; then
    wait -n || failed=1
    running=$((running - 1))
  fi
  ( fuzz_one "$t" "$secs" | tee -a "$summary" ) &
  running=$((running + 1))
done
while [ "$running" -gt 0 ]; do
  wait -n || failed=1
  running=$((running - 1))
done
grep -q FAILED "$summary" && failed=1
exit $failed
