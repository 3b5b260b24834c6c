#!/usr/bin/env bash
# Writes DICT without the words seen fewer than MIN times in TRAIN.tsv, so that
# the tagger gives rare words every tag as candidates, like unknown words.
# Usage: scripts/prune-dict.sh MIN TRAIN.tsv DICT > OUT.dict
set -euo pipefail
export LC_ALL=C
[ $# -eq 3 ] || { echo "Usage: $0 MIN TRAIN.tsv DICT > OUT.dict" >&2; exit 2; }
awk -v min="$1" '
  FNR == NR { if (NF >= 2) seen[$1]++; next }
  seen[$1] >= min' "$2" "$3"
