#!/usr/bin/env bash
# Trains the English dependency-parser models on the English Web Treebank
# training trees (gold tags) and evaluates them on the development trees with
# the three drivers: ltr and repair use MODEL, rtl uses the right-to-left
# model written beside it (MODEL with -rtl before .model).
#
# usage: scripts/train-parser.sh [MODEL]      (default models/english-parser.model)
# environment: KORVANE_KIT (korvane-kit program; default build/src/app/korvane-kit,
#   built when missing), KORVANE_DATA (default ../shared/data from the project
#   root), CUTOFF, PENALTY, STRENGTH, ITERATIONS, THREADS (training options).
# Models trained on this data carry its licence, CC BY-SA 4.0 (UD_English-EWT).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
model="${1:-$root/models/english-parser.model}"
case "$model" in
  *.model) rtl_model="${model%.model}-rtl.model" ;;
  *) rtl_model="$model-rtl" ;;
esac
data="${KORVANE_DATA:-$root/../shared/data}"
kit="${KORVANE_KIT:-$root/build/src/app/korvane-kit}"
template="$root/models/parser.template"
train="$data/en_ewt-train.conll"
dev="$data/en_ewt-dev.conll"
options=(-t "$template" -c "${CUTOFF:-3}" -p "${PENALTY:-l2}" -s "${STRENGTH:-1.0}" -i "${ITERATIONS:-150}"
         -j "${THREADS:-2}")

for f in "$train" "$dev" "$template"; do
  [ -r "$f" ] || { echo "Error: open file $f for reading." >&2; exit 1; }
done
if [ ! -x "$kit" ]; then
  cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$root/build" --target korvane_kit_main -j2
fi

"$kit" train-parser "${options[@]}" --direction ltr "$train" "$model"
"$kit" train-parser "${options[@]}" --direction rtl "$train" "$rtl_model"
for driver in ltr repair rtl; do
  m="$model"
  [ "$driver" = rtl ] && m="$rtl_model"
  "$kit" evaluate-parser -m "$m" -t "$template" --driver "$driver" "$dev" 2>/dev/null
done
