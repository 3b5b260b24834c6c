#!/usr/bin/env bash
# CI check: builds the fuzz targets and runs each for a few seconds on its
# seed corpus (about a minute in all), so that a reader that starts crashing
# on known or nearby inputs fails the build. Usage: bash fuzz/ci.sh [seconds-per-target]
set -uo pipefail
source "$(dirname "$0")/common.sh"
secs="${1:-3}"
fuzz_build || exit 1
fuzz_data_seeds
failed=0
for t in "${TARGETS[@]}"; do
  # A fresh work corpus each time: CI judges the committed seeds and what a
  # few seconds of mutation reach from them.
  rm -rf "$BUILD/ci-corpus/$t"
  fuzz_one "$t" "$secs" "$BUILD/ci-corpus" || failed=1
done
if [ $failed -ne 0 ]; then
  echo "fuzz: FAILED (inputs in $BUILD/artifacts)"
  exit 1
fi
echo "fuzz: ${#TARGETS[@]} targets clean"
