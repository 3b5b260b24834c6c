#!/usr/bin/env bash
# Rebuilds the English tokenizer lists and the lemma table from the training
# treebank, then measures the whole annotate pipeline with the shipped models
# (the tagger's twin trained on en_ewt-train alone in place of english-plus,
# which learned from these sentences: scripts/train-only-tagger.sh) on
# en_ewt-up-dev.conllu, scored on characters as the CoNLL 2018 shared task
# scored: sentences one per line (token, tag, lemma and tree scores), whole
# documents one per line (sentence splitting), speed on one thread.
# Usage: scripts/annotate-models.sh [--no-rebuild]   (KORVANE_DATA, BUILD_DIR,
#   PARSER: greedy (default), global or vote, the shipped parser annotate uses)
set -euo pipefail
cd "$(dirname "$0")/.."
data=${KORVANE_DATA:-../shared/data}
build=${BUILD_DIR:-build}
out=$build/annotate-eval
rebuild=1
[ "${1:-}" = "--no-rebuild" ] && rebuild=0

bash scripts/setup
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target korvane_kit_main -j"$(nproc)" >/dev/null
kit=$build/src/app/korvane-kit
parser=(--parser "${PARSER:-greedy}")
models=(--models "$(KORVANE_KIT="$kit" KORVANE_DATA="$data" bash scripts/train-only-tagger.sh)")
mkdir -p "$out"
# The model loaders' own notes ("Loading model done.") say nothing here.
quiet_loaders() { grep -v -e '^Loading model done\.$' -e '^Loading template done' -e '^$' >&2 || true; }

if [ $rebuild = 1 ]; then
  "$kit" build-tokenizer "$data/en_ewt-train.conll" models/english-tokenizer.data
  "$kit" build-lemmatizer "$data/en_ewt-train.conll" models/english-lemmatizer.data
fi
gold=$data/en_ewt-up-dev.conllu

echo "== Raw sentences, one per line -> CoNLL-U ($gold)"
sed -n 's/^# text = //p' "$gold" > "$out/sentences.txt"
"$kit" annotate --quiet "${models[@]}" "${parser[@]}" --lines sentences --threads 2 "$out/sentences.txt" > "$out/sentences.conllu" \
  2> >(quiet_loaders)
"$kit" evaluate-conllu "$gold" "$out/sentences.conllu"

echo "== Documents, one per line (sentence splitting)"
awk '/^# newdoc/ { if (line != "") print line; line = ""; next }
     /^# text = / { t = substr($0, 10); line = (line == "" ? t : line " " t) }
     END { if (line != "") print line }' "$gold" > "$out/documents.txt"
"$kit" annotate --quiet "${models[@]}" --lines paragraphs --steps tag --threads 2 "$out/documents.txt" > "$out/documents.conllu" \
  2> >(quiet_loaders)
"$kit" evaluate-conllu "$gold" "$out/documents.conllu" | sed -n '1,4p'

echo "== Lemmas and tags on en_ewt-dev (the training treebank's own release)"
awk -F'\t' 'BEGIN { OFS = "\t" } NF == 0 { print ""; next } { print $1, $2, $3, $4, $5, "_", $9, $10, "_", "_" }' \
  "$data/en_ewt-dev.conll" > "$out/en_ewt-dev.conllu"
"$kit" annotate --quiet "${models[@]}" "${parser[@]}" --input conllu --threads 2 "$out/en_ewt-dev.conllu" > "$out/en_ewt-dev.annotated.conllu" \
  2> >(quiet_loaders)
"$kit" evaluate-conllu "$out/en_ewt-dev.conllu" "$out/en_ewt-dev.annotated.conllu" | sed -n '1,2p;5,9p'

echo "== Speed on one thread (the sentences four times over; the load is in the first figure only)"
for i in 1 2 3 4; do cat "$out/sentences.txt"; done > "$out/sentences4.txt"
tokens=$(grep -c $'^[0-9]*\t' "$out/sentences.conllu")
/usr/bin/time -f "%U %S %e" -o "$out/time-load.txt" "$kit" annotate --quiet "${models[@]}" "${parser[@]}" --threads 1 /dev/null > /dev/null 2>&1 || true
/usr/bin/time -f "%U %S %e" -o "$out/time-run.txt" "$kit" annotate --quiet "${models[@]}" "${parser[@]}" --lines sentences --threads 1 \
  "$out/sentences4.txt" > /dev/null 2> >(quiet_loaders)
read -r lu ls le < <(tail -n 1 "$out/time-load.txt")
read -r ru rs re < <(tail -n 1 "$out/time-run.txt")
awk -v t=$((tokens * 4)) -v lu="$lu" -v ls="$ls" -v ru="$ru" -v rs="$rs" -v re="$re" 'BEGIN {
  cpu = ru + rs; load = lu + ls
  printf "%d tokens: %.2f s CPU (%.2f s of it loading the models), %.2f s wall\n", t, cpu, load, re
  printf "%.0f tokens/s per thread with loading, %.0f without\n", t / cpu, t / (cpu - load) }'
uptime
