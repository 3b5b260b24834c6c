#!/usr/bin/env bash
# Rebuilds the shipped role-labelling files from the Universal Propositions
# annotation of the English Web Treebank development set
# (../shared/data/en_ewt-up-dev.conllu), all of it:
#   models/english.propbank, models/english.nombank   predicate dictionaries (build-bank)
#   models/english-srl.model (+ .manifest)            roles of marked predicates (driver $DRIVER)
#   models/english-srl-find.model (+ .manifest)       finds the predicates too (driver $FIND_DRIVER)
# with models/srl.template, then checks that they load by labelling the file
# once more (training-set figures, not the cross-validated ones the manifests
# record: those come from scripts/cross-validate-srl.sh, see SCORES below).
#
# usage: scripts/train-srl.sh
# environment: KORVANE_KIT (default build/src/app/korvane-kit, built when
#   missing), KORVANE_DATA (default ../shared/data from the project root),
#   DRIVER, FIND_DRIVER, CUTOFF, STRENGTH, ITERATIONS, THREADS.
# The files carry the data's licences: CDLA-Sharing-1.0 (Universal
# Propositions) and CC BY-SA 4.0 (UD English EWT); see models/NOTICE.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
data="${KORVANE_DATA:-$root/../shared/data}"
kit="${KORVANE_KIT:-$root/build/src/app/korvane-kit}"
train="$data/en_ewt-up-dev.conllu"
models="$root/models"
driver="${DRIVER:-multi}"
find_driver="${FIND_DRIVER:-allpair}"
options=(--cutoff "${CUTOFF:-1}" --strength "${STRENGTH:-1.0}" --iterations "${ITERATIONS:-300}"
         --threads "${THREADS:-2}")

# 5-fold cross-validation on the same file (scripts/cross-validate-srl.sh -k 5 -P
# -d multi,xue,nivre,allpair ../shared/data/en_ewt-up-dev.conllu --cutoff 1), fold averages.
SCORES_MARKED="5-fold CV on en_ewt-up-dev, gold trees and predicates: labelled P 80.16% R 75.73% F1 77.89%, unlabelled F1 93.37%, rolesets 84.21%; with the shipped parser's trees labelled F1 70.22%"
SCORES_FIND="5-fold CV on en_ewt-up-dev, gold trees: predicates found F1 81.46%, labelled P 82.08% R 67.84% F1 74.28%, rolesets 85.52% of the found; with the shipped parser's trees labelled F1 66.79%, predicates F1 81.04%"

[ -r "$train" ] || { echo "Error: open file $train for reading." >&2; exit 1; }
if [ ! -x "$kit" ]; then
  cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$root/build" --target korvane_kit_main -j2
fi

"$kit" build-bank "$train" "$models/english.propbank" "$models/english.nombank"
banks=(--propbank "$models/english.propbank" --nombank "$models/english.nombank")
"$kit" train-srl --driver "$driver" --template "$models/srl.template" "${banks[@]}" "${options[@]}" \
  "$train" "$models/english-srl.model"
"$kit" train-srl --driver "$find_driver" --template "$models/srl.template" "${banks[@]}" "${options[@]}" \
  "$train" "$models/english-srl-find.model"

manifest() {  # FILE DRIVER SCORES
  cat > "$1" <<EOF
# Semantic roles and predicate senses (korvane-kit label-roles, evaluate-srl,
# annotate --steps tag,parse,roles), rebuilt by scripts/train-srl.sh.
kind = srl
language = english
template = srl.template
driver = $2
propbank = english.propbank
nombank = english.nombank
data = ../../shared/data/en_ewt-up-dev.conllu
licence = CDLA-Sharing-1.0 (Universal Propositions) and CC BY-SA 4.0 (UD English EWT)
scores = $3
EOF
}
manifest "$models/english-srl.manifest" "$driver" "$SCORES_MARKED"
manifest "$models/english-srl-find.manifest" "$find_driver" "$SCORES_FIND"

"$kit" evaluate-srl -m "$models/english-srl.model" "$train" 2>/dev/null
"$kit" evaluate-srl --find-predicates "$train" 2>/dev/null
