#!/usr/bin/env bash
# Chooses the cutoff, penalty and strength of a tagging recipe on a
# development file: one model per combination is trained on TRAIN.tsv and
# scored on DEV.tsv, one line per combination, then the best line.
#
# Usage: scripts/tune-tagger.sh [options] TEMPLATE TRAIN.tsv DEV.tsv
#   -l LANG       english (default) or chinese
#   -c "LIST"     cutoffs (default "1 2 3")
#   -p "LIST"     penalties, l1 and/or l2 (default "l2")
#   -s "LIST"     strengths (default "0.5 1 2")
#   -i N          optimiser iterations (default 150)
#   -m MIN -P PAIRS   dictionary as scripts/prune-dict.sh makes it (the
#                 english-plus recipe: -m 2 -P VBD:VBN,VB:VBP)
#   -M MB         a model larger than MB megabytes is scored but not chosen
# e.g. the english-plus recipe's grid:
#   scripts/tune-tagger.sh -m 2 -P VBD:VBN,VB:VBP models/english-plus.template \
#     ../shared/data/en_ewt-train.tsv ../shared/data/en_ewt-dev.tsv
# KIT names the korvane-kit binary (default build/src/app/korvane-kit); THREADS
# the gradient threads (default 2). A model of cutoff 1 can be several times
# the size of one of cutoff 2: the size is printed beside the accuracy.
set -euo pipefail
export LC_ALL=C
usage="Usage: $0 [-l LANG] [-c CUTOFFS] [-p PENALTIES] [-s STRENGTHS] [-i N] [-m MIN] [-P PAIRS] [-M MB] TEMPLATE TRAIN.tsv DEV.tsv"
language=english cutoffs="1 2 3" penalties=l2 strengths="0.5 1 2" iterations=150 min=1 pairs="" maxMB=""
while getopts "l:c:p:s:i:m:P:M:" opt; do
  case "$opt" in
    l) language=$OPTARG ;;
    c) cutoffs=$OPTARG ;;
    p) penalties=$OPTARG ;;
    s) strengths=$OPTARG ;;
    i) iterations=$OPTARG ;;
    m) min=$OPTARG ;;
    P) pairs=$OPTARG ;;
    M) maxMB=$OPTARG ;;
    *) echo "$usage" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
[ $# -eq 3 ] || { echo "$usage" >&2; exit 2; }
template=$1 train=$2 dev=$3
kit=${KIT:-build/src/app/korvane-kit}
[ -x "$kit" ] || { echo "Error: $kit is not built (cmake --build build)." >&2; exit 1; }
for f in "$template" "$train" "$dev"; do
  [ -r "$f" ] || { echo "Error: open file $f for reading." >&2; exit 1; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/korvane-tune.XXXXXX")
trap 'rm -rf "$work"' EXIT

best="" bestAccuracy=-1
for cutoff in $cutoffs; do
  for penalty in $penalties; do
    for strength in $strengths; do
      "$kit" train -q --language "$language" --template "$template" --cutoff "$cutoff" --penalty "$penalty" \
        --strength "$strength" --iterations "$iterations" --threads "${THREADS:-2}" "$train" "$work/m.model" \
        "$work/m.dict" > "$work/train.log" 2>&1 || { cat "$work/train.log" >&2; exit 1; }
      if [ "$min" -gt 1 ] || [ -n "$pairs" ]; then
        bash "$(dirname "$0")/prune-dict.sh" "$min" "$train" "$work/m.dict" "$pairs" > "$work/m.dict.pruned"
        mv "$work/m.dict.pruned" "$work/m.dict"
      fi
      score=$("$kit" evaluate -q --language "$language" --template "$template" --model "$work/m.model" \
        --dict "$work/m.dict" "$dev" | head -1)
      bytes=$(wc -c < "$work/m.model")
      line="cutoff $cutoff $penalty $strength: $score  model $(awk -v b="$bytes" 'BEGIN { printf "%.1f MB", b / 1e6 }')"
      if [ -n "$maxMB" ] && awk -v b="$bytes" -v m="$maxMB" 'BEGIN { exit !(b > m * 1e6) }'; then
        echo "$line (over $maxMB MB)"
        continue
      fi
      echo "$line"
      accuracy=$(echo "$score" | sed -E 's/.*accuracy ([0-9.]+)%.*/\1/')
      if awk -v a="$accuracy" -v b="$bestAccuracy" 'BEGIN { exit !(a > b) }'; then
        best=$line bestAccuracy=$accuracy
      fi
    done
  done
done
echo "best: ${best:-none}"
