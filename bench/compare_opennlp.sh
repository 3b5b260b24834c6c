#!/usr/bin/env bash
# Korvane against Apache OpenNLP's maximum-entropy part-of-speech tagger on
# the same English text, whole process (start-up and model loading
# included), one command:
#   bash bench/compare_opennlp.sh
# Trains OpenNLP's tagger on en_ewt-train.tsv (maxent, 100 iterations,
# cut-off 5, one training thread; cached in the work folder), makes a text of
# at least MIN_TOKENS tokens from en_ewt-dev.txt, then, RUNS times in
# alternation, tags it with each program
#   - unpinned: as a user runs it (korvane on a worker thread per core,
#     OpenNLP with its JVM's compiler and collector threads), and
#   - pinned: both programs on core CPU alone (taskset), one core each turn,
# and prints the medians side by side: wall time, processor time (user +
# system, all threads) and the throughput ratios korvane / OpenNLP for
# unpinned wall time, pinned wall time and processor time. The outputs of
# korvane's runs must be identical (they are checked). OpenNLP (Debian
# package opennlp) is installed when missing, and skipped when that fails.
#
# Environment: RUNS (default 5), MIN_TOKENS (default 250000), MODEL_DIR
# (default models/), BUILD_DIR, DATA_DIR, JOBS, CPU (the core for the pinned
# runs; default the last one).
set -euo pipefail
source "$(dirname "$0")/common.sh"
runs=${RUNS:-5}
min_tokens=${MIN_TOKENS:-250000}
cpu=${CPU:-$(($(nproc) - 1))}

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

if ! command -v opennlp >/dev/null 2>&1 && command -v apt-get >/dev/null 2>&1; then
  echo "== installing OpenNLP (Debian package opennlp)"
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq opennlp >/dev/null 2>&1 || true
fi
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

# time_run LOG COMMAND...: appends "wall cpu" of one run to LOG
time_run() {
  local log=$1
  shift
  /usr/bin/time -f '%e %U %S' -o "$work/last.time" "$@"
  awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' "$work/last.time" >>"$log"
}
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

korvane_run() { # LOG OUTPUT [taskset...]
  local log=$1 out=$2
  shift 2
  (cd "$work" && time_run "$log" "$@" "$korvane" -l english -o "$out" "$work/text.txt" >/dev/null 2>"$work/korvane.err")
}
opennlp_run() { # LOG [taskset...]
  local log=$1
  shift
  time_run "$log" "$@" sh -c "opennlp POSTagger '$work/en-pos-maxent.bin' <'$work/text.txt' \
    >'$work/opennlp.out' 2>'$work/opennlp.err'"
}

modes=(unpinned pinned)
for m in "${modes[@]}"; do : >"$work/korvane-$m.runs"; : >"$work/opennlp-$m.runs"; done
echo "== $runs runs each on $tokens tokens, $(nproc) cores, pinned runs on core $cpu; load average $(cut -d' ' -f1-3 /proc/loadavg)"
for ((r = 1; r <= runs; r++)); do
  korvane_run "$work/korvane-unpinned.runs" "$work/korvane-unpinned.out"
  [ $have_opennlp = 0 ] || opennlp_run "$work/opennlp-unpinned.runs"
  korvane_run "$work/korvane-pinned.runs" "$work/korvane-pinned.out" taskset -c "$cpu"
  [ $have_opennlp = 0 ] || opennlp_run "$work/opennlp-pinned.runs" taskset -c "$cpu"
done

status=0
if ! cmp -s "$work/korvane-unpinned.out" "$work/korvane-pinned.out"; then
  echo "KORVANE OUTPUTS DIFFER between the unpinned and the pinned runs"
  status=1
fi

printf '%-10s %-9s %10s %10s %14s %14s\n' program runs "wall s" "cpu s" "tokens/s wall" "tokens/s cpu"
declare -A wall cpu_s
for p in korvane opennlp; do
  [ $p = korvane ] || [ $have_opennlp = 1 ] || continue
  for m in "${modes[@]}"; do
    wall[$p-$m]=$(cut -d' ' -f1 "$work/$p-$m.runs" | median)
    cpu_s[$p-$m]=$(cut -d' ' -f2 "$work/$p-$m.runs" | median)
    awk -v n=$p -v m=$m -v t="$tokens" -v w="${wall[$p-$m]}" -v c="${cpu_s[$p-$m]}" \
      'BEGIN { printf "%-10s %-9s %10.3f %10.3f %14.0f %14.0f\n", n, m, w, c, t / w, t / c }'
  done
done
if [ $have_opennlp = 1 ]; then
  awk -v ku="${wall[korvane-unpinned]}" -v ou="${wall[opennlp-unpinned]}" \
    -v kp="${wall[korvane-pinned]}" -v op="${wall[opennlp-pinned]}" \
    -v kc="${cpu_s[korvane-unpinned]}" -v oc="${cpu_s[opennlp-unpinned]}" 'BEGIN {
      printf "korvane / opennlp throughput (medians): %.2fx unpinned wall, %.2fx pinned wall, %.2fx cpu time\n",
        ou / ku, op / kp, oc / kc }'
fi
echo "== load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
exit $status
