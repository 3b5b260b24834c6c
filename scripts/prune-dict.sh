#!/usr/bin/env bash
# Writes a tag dictionary for tagging from DICT (as korvane-kit train or
# build-dict writes it):
# - words seen fewer than MIN times in TRAIN.tsv are left out, so that the
#   tagger gives rare words every tag as candidates, like unknown words (a word
#   seen once is too often seen with one tag only);
# - PAIRS (optional, e.g. VBD:VBN,VB:VBP) give a word that has one tag of a
#   pair the other as well: tags the spelling cannot tell apart, of which
#   the training file often shows only one.
# Usage: scripts/prune-dict.sh MIN TRAIN.tsv DICT [PAIRS] > OUT.dict
set -euo pipefail
export LC_ALL=C
if [ $# -lt 3 ] || [ $# -gt 4 ]; then
  echo "Usage: $0 MIN TRAIN.tsv DICT [PAIRS] > OUT.dict" >&2
  exit 2
fi
awk -v min="$1" -v pairs="${4:-}" '
  BEGIN {
    n = split(pairs, p, ",")
    for (i = 1; i <= n; i++) {
      if (split(p[i], q, ":") != 2) { print "Error: pair " p[i] " is not TAG:TAG." > "/dev/stderr"; exit 2 }
      partner[q[1]] = partner[q[1]] " " q[2]
      partner[q[2]] = partner[q[2]] " " q[1]
    }
  }
  FNR == NR { if (NF >= 2) seen[$1]++; next }
  seen[$1] >= min {
    delete has
    line = $1
    for (i = 2; i <= NF; i++) { has[$i] = 1; line = line " " $i }
    for (i = 2; i <= NF; i++) {
      if (!($i in partner)) continue
      k = split(partner[$i], r, " ")
      for (j = 1; j <= k; j++) if (!(r[j] in has)) { has[r[j]] = 1; line = line " " r[j] }
    }
    print line
  }' "$2" "$3"
