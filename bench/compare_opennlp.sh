#!/usr/bin/env bash
# Korvane against Apache OpenNLP's maximum-entropy part-of-speech tagger on
# the same English text, whole process (start-up and model loading
# included), one command:
#   bash bench/compare_opennlp.sh
# Trains OpenNLP's tagger on en_ewt-train.tsv (maxent, 100 iterations,
# cut-off 5, one training thread; cached in the work folder), makes a text of
# at least MIN_TOKENS tokens from en_ewt-dev.txt, then tags it RUNS times with
# each program, alternating, and prints the medians side by side: wall time,
# processor time (user + system, which also counts the JVM's compiler and
# collector threads) and the ratio. Both programs tag one sentence after the
# other on one thread. OpenNLP is skipped when the `opennlp` command (Debian
# package opennlp) is absent.
#
# Environment: RUNS (default 5), MIN_TOKENS (default 250000), MODEL_DIR
# (default models/), BUILD_DIR, DATA_DIR, JOBS, CPU: a core number to pin
# both programs to (with taskset), so that both run on one core: the JVM's
# compiler and collector threads then share it with the tagging thread, and
# cores of unequal speed (common on virtual machines) do not favour either.
set -euo pipefail
source "$(dirname "$0")/common.sh"
runs=${RUNS:-5}
min_tokens=${MIN_TOKENS:-250000}

for f in "$models/english.model" "$models/english.dict" "$data/en_ewt-dev.txt" "$data/en_ewt-train.tsv"; do
  [ -f "$f" ] || { echo "missing $f" >&2; exit 1; }
done
bench_build

work=$build/opennlp-compare
mkdir -p "$work"
ln -sf "$(realpath "$models/english.model")" "$work/english.model"
ln -sf "$(realpath "$models/english.dict")" "$work/english.dict"

per_copy=$(awk '{ n += NF } END { print n + 0 }' "$data/en_ewt-dev.txt")
copies=$(((min_tokens + per_copy - 1) / per_copy))
: >"$work/text.txt"
for ((i = 0; i < copies; i++)); do cat "$data/en_ewt-dev.txt" >>"$work/text.txt"; done
tokens=$(awk '{ n += NF } END { print n + 0 }' "$work/text.txt")

have_opennlp=0
if command -v opennlp >/dev/null 2>&1; then
  have_opennlp=1
  if [ ! -s "$work/en-pos-maxent.bin" ]; then
    echo "== training OpenNLP's maxent tagger on en_ewt-train.tsv (once)"
    # word_tag pairs, one sentence per line
    awk -F'\t' 'NF == 0 { if (s != "") print s; s = ""; next }
                { s = s (s == "" ? "" : " ") $1 "_" $2 }
                END { if (s != "") print s }' "$data/en_ewt-train.tsv" >"$work/train.txt"
    printf 'Algorithm=MAXENT\nIterations=100\nCutoff=5\nThreads=1\n' >"$work/params.txt"
    opennlp POSTaggerTrainer -params "$work/params.txt" -lang en -model "$work/en-pos-maxent.bin" \
      -data "$work/train.txt" -encoding UTF-8 >"$work/train.log" 2>&1
  fi
else
  echo "opennlp is not installed (Debian package opennlp): only korvane is timed"
fi

pin=()
if [ -n "${CPU:-}" ]; then
  pin=(taskset -c "$CPU")
  echo "== both programs pinned to core $CPU"
fi

# time_run LOG COMMAND...: appends "wall cpu" of one run to LOG
time_run() {
  local log=$1
  shift
  /usr/bin/time -f '%e %U %S' -o "$work/last.time" "${pin[@]}" "$@"
  awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' "$work/last.time" >>"$log"
}
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

: >"$work/korvane.runs"
: >"$work/opennlp.runs"
echo "== $runs runs each on $tokens tokens; load average $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) cores"
for ((r = 1; r <= runs; r++)); do
  (cd "$work" && time_run "$work/korvane.runs" "$korvane" -l english -o "$work/korvane.out" "$work/text.txt" \
    >/dev/null 2>"$work/korvane.err")
  if [ $have_opennlp = 1 ]; then
    time_run "$work/opennlp.runs" sh -c "opennlp POSTagger '$work/en-pos-maxent.bin' <'$work/text.txt' \
      >'$work/opennlp.out' 2>'$work/opennlp.err'"
  fi
done

k_wall=$(cut -d' ' -f1 "$work/korvane.runs" | median)
k_cpu=$(cut -d' ' -f2 "$work/korvane.runs" | median)
printf '%-10s %12s %12s %14s %14s\n' program "wall s" "cpu s" "tokens/s wall" "tokens/s cpu"
awk -v n=korvane -v t="$tokens" -v w="$k_wall" -v c="$k_cpu" \
  'BEGIN { printf "%-10s %12.3f %12.3f %14.0f %14.0f\n", n, w, c, t / w, t / c }'
if [ $have_opennlp = 1 ]; then
  o_wall=$(cut -d' ' -f1 "$work/opennlp.runs" | median)
  o_cpu=$(cut -d' ' -f2 "$work/opennlp.runs" | median)
  awk -v n=opennlp -v t="$tokens" -v w="$o_wall" -v c="$o_cpu" \
    'BEGIN { printf "%-10s %12.3f %12.3f %14.0f %14.0f\n", n, w, c, t / w, t / c }'
  awk -v kw="$k_wall" -v kc="$k_cpu" -v ow="$o_wall" -v oc="$o_cpu" \
    'BEGIN { printf "korvane / opennlp throughput: %.2fx wall, %.2fx cpu (medians of the runs)\n", ow / kw, oc / kc }'
fi
echo "== load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
