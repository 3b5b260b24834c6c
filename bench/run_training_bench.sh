#!/usr/bin/env bash
# Training speed, one command:
#   bash bench/run_training_bench.sh
# Trains the english-plus tagger with its shipped recipe
# (scripts/train-tagger.sh english-plus) on en_ewt-train.tsv and, side by
# side in the same run, OpenNLP's maximum-entropy tagger on the same file
# (100 iterations, cut-off 5, one thread; skipped when the `opennlp` command
# is absent). Prints wall and processor time and peak memory of both, and
# the accuracy on en_ewt-dev of the model just trained beside the figure in
# models/english-plus.manifest (they should agree within 0.1 point; the
# shipped model itself learned from en_ewt-dev as well, so it is not scored).
#
# Environment: BUILD_DIR, DATA_DIR, MODEL_DIR, JOBS, THREADS (gradient
# threads, default 2).
set -euo pipefail
source "$(dirname "$0")/common.sh"
for f in "$data/en_ewt-train.tsv" "$data/en_ewt-dev.tsv" "$models/english-plus.manifest"; do
  [ -f "$f" ] || { echo "missing $f" >&2; exit 1; }
done
bench_build_kit
work=$build/training-bench
mkdir -p "$work"

# measure NAME COMMAND...: runs it under /usr/bin/time; prints "wall cpu peak_kb"
measure() {
  local name=$1
  shift
  /usr/bin/time -f '%e %U %S %M' -o "$work/$name.time" "$@" >"$work/$name.log" 2>&1
  awk '{ printf "%.1f %.1f %d\n", $1, $2 + $3, $4 }' "$work/$name.time"
}

echo "== $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
read -r k_wall k_cpu k_mem < <(KORVANE_KIT=$kit measure korvane bash "$root/scripts/train-tagger.sh" english-plus \
  "$data/en_ewt-train.tsv" "$work/english-plus.model" "$work/english-plus.dict")
have_opennlp=0
if command -v opennlp >/dev/null 2>&1; then
  have_opennlp=1
  awk -F'\t' 'NF == 0 { if (s != "") print s; s = ""; next }
              { s = s (s == "" ? "" : " ") $1 "_" $2 }
              END { if (s != "") print s }' "$data/en_ewt-train.tsv" >"$work/train.txt"
  printf 'Algorithm=MAXENT\nIterations=100\nCutoff=5\nThreads=1\n' >"$work/params.txt"
  read -r o_wall o_cpu o_mem < <(measure opennlp opennlp POSTaggerTrainer -params "$work/params.txt" -lang en \
    -model "$work/en-pos-maxent.bin" -data "$work/train.txt" -encoding UTF-8)
fi

printf '%-28s %8s %8s %9s\n' training "wall s" "cpu s" "peak MB"
awk -v w="$k_wall" -v c="$k_cpu" -v m="$k_mem" 'BEGIN { printf "%-28s %8.1f %8.1f %9.1f\n", "korvane english-plus", w, c, m / 1024 }'
if [ $have_opennlp = 1 ]; then
  awk -v w="$o_wall" -v c="$o_cpu" -v m="$o_mem" 'BEGIN { printf "%-28s %8.1f %8.1f %9.1f\n", "opennlp maxent", w, c, m / 1024 }'
  awk -v kw="$k_wall" -v ow="$o_wall" 'BEGIN { printf "korvane / opennlp training time: %.2fx wall\n", kw / ow }'
fi
echo "== accuracy on en_ewt-dev"
printf '%-40s ' "${work#$root/}/english-plus.model"
"$kit" evaluate --template "$models/english-plus.template" --model "$work/english-plus.model" \
  --dict "$work/english-plus.dict" "$data/en_ewt-dev.tsv" 2>/dev/null | head -1
printf '%-40s %s\n' "models/english-plus.manifest" "$(sed -n 's/^scores = //p' "$models/english-plus.manifest")"
echo "== load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
