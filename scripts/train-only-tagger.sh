#!/usr/bin/env bash
# The shipped english-plus tagger learned from en_ewt-train and en_ewt-dev
# together, so figures on en_ewt-dev (the tagger's own, the annotate
# pipeline's, the parsers' development tags) come from its twin: the same
# recipe trained on en_ewt-train alone.
#
# Makes a folder of models that is models/ with english-plus.model and
# english-plus.dict replaced by the twin (the other files are links to
# models/), so that `korvane-kit annotate --models FOLDER` runs the shipped
# pipeline with it, and prints the folder's path. The twin is trained when
# it is missing, older than the shipped model or its template, or with
# --retrain.
#
# Usage: scripts/train-only-tagger.sh [--retrain]
# Environment: KORVANE_KIT (as scripts/train-tagger.sh), KORVANE_DATA (default
#   ../shared/data from the project root), TRAIN_ONLY_DIR (default
#   build/train-only).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
data="${KORVANE_DATA:-$root/../shared/data}"
dir="${TRAIN_ONLY_DIR:-$root/build/train-only}"
retrain=0
[ "${1:-}" = "--retrain" ] && retrain=1
[ -r "$data/en_ewt-train.tsv" ] || { echo "Error: open file $data/en_ewt-train.tsv for reading." >&2; exit 1; }

mkdir -p "$dir"
# Two scripts may ask at once (annotate-models.sh while jackknife-tags.sh
# runs): one trains, the other waits and then finds the twin up to date.
exec 9> "$dir/.lock"
flock 9
for f in "$root"/models/*; do
  name=$(basename "$f")
  case "$name" in english-plus.model | english-plus.dict) continue ;; esac
  ln -sfn "$f" "$dir/$name"
done
model="$dir/english-plus.model"
if [ $retrain = 1 ] || [ ! -s "$model" ] || [ ! -s "$dir/english-plus.dict" ] ||
   [ "$root/models/english-plus.model" -nt "$model" ] || [ "$root/models/english-plus.template" -nt "$model" ]; then
  echo "training english-plus on en_ewt-train alone (for figures on en_ewt-dev) into $dir" >&2
  # Written beside the final names first, so that a failed run leaves no
  # half-written twin that a later run would take as up to date.
  bash "$root/scripts/train-tagger.sh" english-plus "$data/en_ewt-train.tsv" "$model.new" "$dir/english-plus.dict.new" >&2 ||
    { echo "Error: training english-plus on $data/en_ewt-train.tsv failed; $dir keeps no new model." >&2; exit 1; }
  mv "$dir/english-plus.dict.new" "$dir/english-plus.dict"
  mv "$model.new" "$model"
fi
echo "$dir"
