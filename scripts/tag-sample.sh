#!/usr/bin/env bash
# Builds the tagger and tags examples/english.txt with the shipped English
# model, printing the tagged text.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target korvane_tagger -j"$(nproc)" >/dev/null
out=$(mktemp)
trap 'rm -f "$out"' EXIT
# The tagger opens <language>.model and <language>.dict in its working directory.
(cd models && ../build/src/app/korvane --language english --outputfile "$out" ../examples/english.txt)
cat "$out"
echo
