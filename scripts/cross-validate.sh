#!/usr/bin/env bash
# K-fold cross-validation of a tagging recipe on one tagged file: sentence i
# goes to fold i mod K; each fold is tagged by a model (and dictionary)
# trained on the other folds; the counts of all folds are pooled.
#
# Usage: scripts/cross-validate.sh [-k FOLDS] [-l english|chinese] [-m MIN] [-P PAIRS] TEMPLATE DATA.tsv [train options...]
# -m MIN keeps in each fold's dictionary only words seen at least MIN times
# (rarer words get every tag as candidates, like unknown words); -P PAIRS
# gives a word of one tag of a pair the other too (scripts/prune-dict.sh).
# e.g.   scripts/cross-validate.sh -k 10 -l chinese models/chinese-plus.template \
#          ../shared/data/zh_gsdsimp-train.tsv --cutoff 1 --strength 0.3
# Prints one line per fold and then "pooled: tokens N accuracy A% known ... unknown ...".
# KIT names the korvane-kit binary (default build/src/app/korvane-kit).
set -euo pipefail
export LC_ALL=C
folds=10 language=english min=1 pairs=""
while getopts "k:l:m:P:" opt; do
  case "$opt" in
    k) folds=$OPTARG ;;
    l) language=$OPTARG ;;
    m) min=$OPTARG ;;
    P) pairs=$OPTARG ;;
    *) echo "Usage: $0 [-k FOLDS] [-l english|chinese] [-m MIN] [-P PAIRS] TEMPLATE DATA.tsv [train options...]" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
if [ $# -lt 2 ]; then
  echo "Usage: $0 [-k FOLDS] [-l english|chinese] [-m MIN] [-P PAIRS] TEMPLATE DATA.tsv [train options...]" >&2
  exit 2
fi
template=$1 data=$2
shift 2
kit=${KIT:-build/src/app/korvane-kit}
[ -x "$kit" ] || { echo "Error: $kit is not built (cmake --build build)." >&2; exit 1; }
[ -r "$data" ] || { echo "Error: open file $data for reading." >&2; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/korvane-cv.XXXXXX")
trap 'rm -rf "$work"' EXIT

# fold.K.test holds fold K, fold.K.train the rest; every sentence ends with an empty line.
awk -v k="$folds" -v dir="$work" '
  function flush() { if (sent != "") { f = n % k; for (i = 0; i < k; i++) print sent > (dir "/fold." i (i == f ? ".test" : ".train")); n++; sent = "" } }
  NF == 0 { flush(); next }
  { sent = sent $0 "\n" }
  END { flush() }' "$data"

total=0 correct=0 known=0 knownCorrect=0
for ((i = 0; i < folds; i++)); do
  "$kit" train --template "$template" "$@" "$work/fold.$i.train" "$work/m.$i.model" "$work/m.$i.dict" \
    > "$work/train.$i.log" 2>&1 || { cat "$work/train.$i.log" >&2; exit 1; }
  if [ "$min" -gt 1 ] || [ -n "$pairs" ]; then
    bash "$(dirname "$0")/prune-dict.sh" "$min" "$work/fold.$i.train" "$work/m.$i.dict" "$pairs" > "$work/m.$i.dict.min"
    mv "$work/m.$i.dict.min" "$work/m.$i.dict"
  fi
  line=$("$kit" evaluate --language "$language" --template "$template" --model "$work/m.$i.model" \
    --dict "$work/m.$i.dict" "$work/fold.$i.test" 2>/dev/null | head -1)
  echo "fold $i: $line"
  # tokens T  accuracy A%  known K (KA%)  unknown U (UA%)
  read -r t a k ka <<<"$(echo "$line" | sed -E 's/tokens ([0-9]+) +accuracy ([0-9.]+)% +known ([0-9]+) \(([0-9.]+)%\).*/\1 \2 \3 \4/')"
  total=$((total + t)) known=$((known + k))
  correct=$(awk -v c="$correct" -v t="$t" -v a="$a" 'BEGIN { printf "%d", c + int(t * a / 100 + 0.5) }')
  knownCorrect=$(awk -v c="$knownCorrect" -v t="$k" -v a="$ka" 'BEGIN { printf "%d", c + int(t * a / 100 + 0.5) }')
done
awk -v t="$total" -v c="$correct" -v k="$known" -v kc="$knownCorrect" 'BEGIN {
  u = t - k; uc = c - kc
  printf "pooled: tokens %d  accuracy %.2f%%  known %d (%.2f%%)  unknown %d (%.2f%%)\n", t, 100 * c / t, k,
    k ? 100 * kc / k : 0, u, u ? 100 * uc / u : 0 }'
