#!/usr/bin/env bash
# Trains one tagging model with the recipe of a shipped model on any tagged
# file (word<TAB>tag, an empty line after every sentence), e.g. on one fold of
# a jackknife:
#
#   scripts/train-tagger.sh RECIPE TRAIN.tsv MODEL DICT
#   RECIPE: english | english-plus | chinese | chinese-plus
#
# The model is then used with the recipe's template file, e.g.
#   korvane-kit tag --language english --template models/english-plus.template \
#     --model MODEL --dict DICT text.txt
# english-plus's template reads WordNet (Debian package wordnet-base), the
# word list of wamerican and the part-of-speech lexicon of festlex-poslex,
# chinese-plus's the Chinese word list of python3-jieba; scripts/setup
# installs them.
#
# Environment: KORVANE_KIT (korvane-kit program; default
# build/src/app/korvane-kit, built when missing), THREADS (gradient threads,
# default 2).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
if [ $# -ne 4 ]; then
  echo "Usage: $0 english|english-plus|chinese|chinese-plus TRAIN.tsv MODEL DICT" >&2
  exit 2
fi
recipe=$1 train=$2 model=$3 dict=$4
kit="${KORVANE_KIT:-$root/build/src/app/korvane-kit}"
if [ ! -x "$kit" ]; then
  cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$root/build" --target korvane_kit_main -j2 >/dev/null
fi
threads=(--threads "${THREADS:-2}")

# Every recipe was tuned on en_ewt-dev (English, scripts/tune-tagger.sh) or
# by 10-fold cross-validation of the training file (Chinese,
# scripts/cross-validate.sh); README has the figures.
case "$recipe" in
  english)
    # Every word of the training file stays in the dictionary (without
    # spelling features the model tags unknown words poorly); VBD/VBN and
    # VB/VBP words get both tags.
    "$kit" train --language english --cutoff 2 --penalty l2 --strength 1 "${threads[@]}" "$train" "$model" \
      "$dict.full"
    bash "$root/scripts/prune-dict.sh" 1 "$train" "$dict.full" VBD:VBN,VB:VBP > "$dict"
    rm -f "$dict.full"
    ;;
  english-plus)
    # The dictionary leaves out words seen once (the model tags them like
    # unknown words) and gives VBD/VBN and VB/VBP words both tags.
    "$kit" train --template "$root/models/english-plus.template" --cutoff 2 --penalty l2 --strength 1 \
      --iterations 150 "${threads[@]}" "$train" "$model" "$dict.full"
    bash "$root/scripts/prune-dict.sh" 2 "$train" "$dict.full" VBD:VBN,VB:VBP > "$dict"
    rm -f "$dict.full"
    ;;
  chinese)
    "$kit" train --language chinese --cutoff 2 --penalty l2 --strength 0.3 "${threads[@]}" "$train" "$model" "$dict"
    ;;
  chinese-plus)
    "$kit" train --template "$root/models/chinese-plus.template" --cutoff 2 --penalty l2 --strength 0.8 \
      "${threads[@]}" "$train" "$model" "$dict"
    ;;
  *)
    echo "Error: unknown recipe $recipe (english, english-plus, chinese, chinese-plus)." >&2
    exit 2
    ;;
esac
