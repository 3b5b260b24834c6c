#!/usr/bin/env bash
# K-fold cross-validation of role labelling on one annotated CoNLL-U file:
# sentence i goes to fold i mod K; for each fold the predicate dictionaries
# (build-bank) and one model per driver (train-srl) come from the other
# folds, and evaluate-srl scores the fold. With -P the fold is scored a
# second time with the trees of the shipped parser instead of the gold ones
# (korvane-kit parse on the whole file, once; the models stay the same).
#
# Usage: scripts/cross-validate-srl.sh [-k FOLDS] [-d DRIVERS] [-P] [-w DIR] DATA.conllu [train-srl options...]
#   -d  comma-separated drivers (default multi,xue,nivre); allpair and xueext
#       are evaluated with --find-predicates
#   -w  keep the folds, models and logs in DIR (default: a temporary folder)
# e.g.  scripts/cross-validate-srl.sh -k 5 -P ../shared/data/en_ewt-up-dev.conllu --cutoff 1
# Prints one line per fold, driver and tree source, then the fold averages:
# labelled and unlabelled P/R/F1, rolesets right, predicate identification
# F1 (finding drivers), labelling speed and training time.
# KIT names the korvane-kit binary (default build/src/app/korvane-kit).
set -euo pipefail
export LC_ALL=C
folds=5 drivers=multi,xue,nivre parsed=0 work=""
usage="Usage: $0 [-k FOLDS] [-d DRIVERS] [-P] [-w DIR] DATA.conllu [train-srl options...]"
while getopts "k:d:Pw:" opt; do
  case "$opt" in
    k) folds=$OPTARG ;;
    d) drivers=$OPTARG ;;
    P) parsed=1 ;;
    w) work=$OPTARG ;;
    *) echo "$usage" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
[ $# -ge 1 ] || { echo "$usage" >&2; exit 2; }
data=$1
shift
kit=${KIT:-build/src/app/korvane-kit}
[ -x "$kit" ] || { echo "Error: $kit is not built (cmake --build build)." >&2; exit 1; }
[ -r "$data" ] || { echo "Error: open file $data for reading." >&2; exit 1; }
if [ -z "$work" ]; then
  work=$(mktemp -d "${TMPDIR:-/tmp}/korvane-srl-cv.XXXXXX")
  trap 'rm -rf "$work"' EXIT
fi
mkdir -p "$work"

# fold.K.test holds fold K, fold.K.train the rest (whole sentences, comments included).
split() {
  awk -v k="$folds" -v dir="$work" -v tag="$2" '
    function flush() { if (sent != "") { f = n % k; for (i = 0; i < k; i++) printf "%s\n", sent > (dir "/" tag "." i (i == f ? ".test" : ".train")); n++; sent = "" } }
    NF == 0 { flush(); next }
    { sent = sent $0 "\n" }
    END { flush() }' "$1"
}
split "$data" fold

if [ "$parsed" = 1 ]; then
  # The parser reads and writes its own column layout (head and relation
  # appended); its trees go back into HEAD and DEPREL.
  awk -F'\t' 'BEGIN { OFS = "\t" } /^#/ { next } NF == 0 { print ""; next } $1 ~ /[-.]/ { next }
    { print $1, $2, $3, $4, $5, $2, $3, $5, 0, "_", "_" }' "$data" > "$work/parser.in"
  "$kit" parse -q "$work/parser.in" "$work/parser.out"
  awk -F'\t' 'BEGIN { OFS = "\t" }
    NR == FNR { if (NF == 0) next; n++; split($0, f, /[ \t]+/); h[n] = f[12]; r[n] = (f[13] == "ROOT" ? "root" : f[13]); next }
    /^#/ || NF == 0 || $1 ~ /[-.]/ { print; next }
    { m++; $7 = h[m]; $8 = r[m]; print }' "$work/parser.out" "$data" > "$work/parsed.conllu"
  split "$work/parsed.conllu" parsed
fi

# "labelled: P a% R b% F1 c%" and friends -> numbers
scores() {
  awk '
    /^labelled:/   { gsub("%", ""); lp = $3; lr = $5; lf = $7 }
    /^unlabelled:/ { gsub("%", ""); up = $3; ur = $5; uf = $7 }
    /^senses:/     { gsub("%", ""); sa = $2 }
    /^predicates:/ { gsub("%", ""); pf = $7 }
    /^speed:/      { sp = $2 }
    END { printf "%s %s %s %s %s %s %s %s %s", lp, lr, lf, up, ur, uf, sa, (pf == "" ? "-" : pf), sp }' "$1"
}

results="$work/results"
: > "$results"
IFS=, read -r -a driverList <<< "$drivers"
for ((i = 0; i < folds; i++)); do
  "$kit" build-bank -q "$work/fold.$i.train" "$work/bank.$i.propbank" "$work/bank.$i.nombank"
  for d in "${driverList[@]}"; do
    find=()
    case "$d" in allpair | xueext) find=(--find-predicates) ;; esac
    start=$(date +%s.%N)
    "$kit" train-srl -q --driver "$d" --propbank "$work/bank.$i.propbank" --nombank "$work/bank.$i.nombank" "$@" \
      "$work/fold.$i.train" "$work/$d.$i.model" > "$work/train.$d.$i.log" 2>&1 ||
      { cat "$work/train.$d.$i.log" >&2; exit 1; }
    seconds=$(awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN { printf "%.1f", e - s }')
    for trees in gold parsed; do
      [ "$trees" = parsed ] && [ "$parsed" = 0 ] && continue
      test="$work/fold.$i.test"
      [ "$trees" = parsed ] && test="$work/parsed.$i.test"
      "$kit" evaluate-srl -m "$work/$d.$i.model" --driver "$d" "${find[@]}" --propbank "$work/bank.$i.propbank" \
        --nombank "$work/bank.$i.nombank" "$test" > "$work/eval.$d.$trees.$i" 2> "$work/eval.$d.$trees.$i.log" ||
        { cat "$work/eval.$d.$trees.$i.log" >&2; exit 1; }
      line="$d $trees $i $(scores "$work/eval.$d.$trees.$i") $seconds"
      echo "$line" >> "$results"
      echo "fold $line" | awk '{ printf "fold %s %-7s %-6s labelled P %s R %s F1 %s  unlabelled P %s R %s F1 %s  senses %s  predicates F1 %s  %s sent/s  trained in %s s\n", $4, $2, $3, $5, $6, $7, $8, $9, $10, $11, $12, $13, $14 }'
    done
  done
done
echo "fold averages ($folds folds):"
awk '{ k = $1 " " $2; n[k]++; for (j = 4; j <= 13; j++) if ($j != "-") s[k, j] += $j; else dash[k, j] = 1; order[k] = order[k] ? order[k] : ++seen }
  END {
    for (k in n) keys[order[k]] = k
    for (o = 1; o <= seen; o++) { k = keys[o]; split(k, p, " ")
      printf "%-7s %-6s labelled P %.2f R %.2f F1 %.2f  unlabelled P %.2f R %.2f F1 %.2f  senses %.2f  predicates F1 %s  %.0f sent/s  training %.0f s\n",
        p[1], p[2], s[k,4]/n[k], s[k,5]/n[k], s[k,6]/n[k], s[k,7]/n[k], s[k,8]/n[k], s[k,9]/n[k], s[k,10]/n[k],
        (dash[k,11] ? "-" : sprintf("%.2f", s[k,11]/n[k])), s[k,12]/n[k], s[k,13]/n[k] } }' "$results"
