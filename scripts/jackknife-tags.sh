#!/usr/bin/env bash
# Replaces the gold part-of-speech tags of the English treebank by tags the
# tagger predicts, so that a parser can learn from the tags it will see:
# en_ewt-train is cut into FOLDS parts; each part is tagged by a tagger
# trained on the other parts (dictionary included), and en_ewt-dev by the
# tagger trained on all of en_ewt-train (scripts/train-only-tagger.sh: the
# shipped english-plus model learned from en_ewt-dev as well).
# The tags go to columns 4 and 7; the coarse tag in column 3 stays as it was.
#
# usage: scripts/jackknife-tags.sh OUTDIR
#   writes OUTDIR/en_ewt-train.conll and OUTDIR/en_ewt-dev.conll and reports
#   the tagging accuracy of both.
# environment: KORVANE_KIT, KORVANE_DATA (as scripts/train-parser.sh), FOLDS
#   (default 10), TAGGER_RECIPE (default english-plus: scripts/train-tagger.sh
#   trains every fold's tagger and dictionary with the shipped model's recipe),
#   TAGGER_TEMPLATE, TAGGER_MODEL, TAGGER_DICT (the recipe's template and the
#   tagger for the development set; default the english-plus twin of
#   scripts/train-only-tagger.sh for english-plus, models/RECIPE.* otherwise).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:?usage: scripts/jackknife-tags.sh OUTDIR}"
data="${KORVANE_DATA:-$root/../shared/data}"
kit="${KORVANE_KIT:-$root/build/src/app/korvane-kit}"
folds="${FOLDS:-10}"
recipe="${TAGGER_RECIPE:-english-plus}"
template="${TAGGER_TEMPLATE:-$root/models/$recipe.template}"
tagger_models=$root/models
if [ "$recipe" = english-plus ] && [ -z "${TAGGER_MODEL:-}" ]; then
  tagger_models=$(KORVANE_KIT="$kit" KORVANE_DATA="$data" bash "$root/scripts/train-only-tagger.sh")
fi
tagger_model="${TAGGER_MODEL:-$tagger_models/$recipe.model}"
tagger_dict="${TAGGER_DICT:-$tagger_models/$recipe.dict}"
for f in "$data/en_ewt-train.tsv" "$data/en_ewt-train.conll" "$data/en_ewt-dev.conll" "$template" \
         "$tagger_model" "$tagger_dict"; do
  [ -r "$f" ] || { echo "Error: open file $f for reading." >&2; exit 1; }
done
mkdir -p "$out/folds"
work="$out/folds"

# Sentences of a tagged file: word<TAB>tag rows, an empty line after each.
sentences=$(awk 'BEGIN{RS=""} END{print NR}' "$data/en_ewt-train.tsv")
per=$(( (sentences + folds - 1) / folds ))
for ((k = 0; k < folds; k++)); do
  lo=$((k * per)); hi=$(((k + 1) * per))
  awk -v lo="$lo" -v hi="$hi" 'BEGIN{RS=""; ORS="\n\n"} (NR-1) < lo || (NR-1) >= hi' \
    "$data/en_ewt-train.tsv" > "$work/train-$k.tsv"
  awk -v lo="$lo" -v hi="$hi" 'BEGIN{RS=""; FS="\n"} (NR-1) >= lo && (NR-1) < hi {
      line = ""; for (i = 1; i <= NF; i++) { split($i, c, "\t"); line = line (i > 1 ? " " : "") c[1] }
      print line }' "$data/en_ewt-train.tsv" > "$work/held-$k.txt"
  echo "fold $((k + 1))/$folds: training the tagger on the other folds" >&2
  KORVANE_KIT="$kit" bash "$root/scripts/train-tagger.sh" "$recipe" "$work/train-$k.tsv" "$work/tagger-$k.model" \
    "$work/tagger-$k.dict" > "$work/train-$k.log" 2>&1
  "$kit" tag --language english --template "$template" --model "$work/tagger-$k.model" \
    --dict "$work/tagger-$k.dict" "$work/held-$k.txt" > "$work/held-$k.tagged" 2> /dev/null
done
: > "$work/train.tagged"
for ((k = 0; k < folds; k++)); do cat "$work/held-$k.tagged" >> "$work/train.tagged"; done
awk 'BEGIN{RS=""; FS="\n"} { line = ""; for (i = 1; i <= NF; i++) { split($i, c, "\t"); line = line (i > 1 ? " " : "") c[2] }
     print line }' "$data/en_ewt-dev.conll" > "$work/dev.txt"
"$kit" tag --language english --template "$template" --model "$tagger_model" --dict "$tagger_dict" \
  "$work/dev.txt" > "$work/dev.tagged" 2> /dev/null

# Puts the tags of TAGGED (one line of word/tag pairs per sentence) into
# columns 4 and 7 of CONLL, and counts how many differ from the gold ones.
splice() {
  awk -v tagged="$1" -v name="$3" 'BEGIN { FS = OFS = "\t" }
    function next_sentence(   line, n, i, p) {
      if ((getline line < tagged) <= 0) { print "Error: " tagged " has fewer sentences than the treebank." > "/dev/stderr"; exit 1 }
      n = split(line, pairs, " "); count = 0
      for (i = 1; i <= n; i++) { if (pairs[i] == "") continue; p = match(pairs[i], /\/[^\/]*$/)
        tags[++count] = substr(pairs[i], p + 1) }
      at = 0
    }
    NF == 0 { print; started = 0; next }
    { if (!started) { next_sentence(); started = 1 }
      at++; if (at > count) { print "Error: sentence lengths differ at treebank line " NR "." > "/dev/stderr"; exit 1 }
      tokens++; if ($5 != tags[at]) wrong++
      $5 = tags[at]; $8 = tags[at]; print }
    END { printf "%s: %d tokens, predicted tags %.2f%% right\n", name, tokens, 100 * (tokens - wrong) / tokens > "/dev/stderr" }' \
    "$2"
}
splice "$work/train.tagged" "$data/en_ewt-train.conll" "en_ewt-train ($folds-fold jackknife)" > "$out/en_ewt-train.conll"
splice "$work/dev.tagged" "$data/en_ewt-dev.conll" "en_ewt-dev (tagger trained on en_ewt-train)" > "$out/en_ewt-dev.conll"
