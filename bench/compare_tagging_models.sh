#!/usr/bin/env bash
# Tagging speed of two models side by side, one command:
#   bash bench/compare_tagging_models.sh "A_OPTIONS" "B_OPTIONS"
# e.g. bash bench/compare_tagging_models.sh \
#   "--model old/english-plus.model --template old/english-plus.template --dict models/english.dict" \
#   "--model models/english-plus.model --template models/english-plus.template --dict models/english.dict"
# Builds korvane-kit (Release), repeats en_ewt-dev.txt to at least MIN_TOKENS
# tokens and tags it with `korvane-kit tag --language english --threads 1`
# and each option set, alternating A and B RUNS times; prints the median wall
# and CPU seconds (start-up included), tokens per CPU second and the ratio
# B/A. The machine's load is printed too: compare ratios, not seconds.
#
# Environment: MIN_TOKENS (default 500000), RUNS (default 5), BUILD_DIR,
# DATA_DIR, JOBS; KIT_A / KIT_B run side A / B with another korvane-kit
# binary (e.g. one built from an earlier commit), TEXT tags that file as it
# is instead of repeated en_ewt-dev.txt.
set -euo pipefail
source "$(dirname "$0")/common.sh"
[ $# -eq 2 ] || { echo "Usage: $0 \"A_OPTIONS\" \"B_OPTIONS\"" >&2; exit 2; }
min_tokens=${MIN_TOKENS:-500000}
runs=${RUNS:-5}

echo "== building korvane-kit (Release) in $build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKORVANE_TESTS=OFF >/dev/null
cmake --build "$build" --target korvane_kit_main -j"$jobs" >/dev/null
kit=$build/src/app/korvane-kit
work=$build/model-bench
mkdir -p "$work"

if [ -n "${TEXT:-}" ]; then
  cp "$TEXT" "$work/big.txt"
  tokens=$(awk '{ n += NF } END { print n + 0 }' "$work/big.txt")
else
  src=$data/en_ewt-dev.txt
  per_copy=$(awk '{ n += NF } END { print n + 0 }' "$src")
  copies=$(((min_tokens + per_copy - 1) / per_copy))
  : >"$work/big.txt"
  for ((i = 0; i < copies; i++)); do cat "$src" >>"$work/big.txt"; done
  tokens=$((per_copy * copies))
fi
declare -A kits=([A]="${KIT_A:-$kit}" [B]="${KIT_B:-$kit}")

# run NAME OPTIONS: one tagging run; appends "wall cpu" to NAME.times
run() {
  local name=$1
  shift
  # Options are word-split on purpose.
  # shellcheck disable=SC2086
  /usr/bin/time -f "%e %U %S" -o "$work/$name.time" \
    "${kits[$name]}" tag --language english --threads 1 $* "$work/big.txt" >"$work/$name.out" 2>"$work/$name.err" || {
    cat "$work/$name.err" >&2
    exit 1
  }
  awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' "$work/$name.time" >>"$work/$name.times"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

rm -f "$work"/A.times "$work"/B.times
echo "== machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg); $tokens tokens, $runs runs each"
for ((r = 0; r < runs; r++)); do
  run A "$1"
  run B "$2"
done
echo "== load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
declare -A cpus
for name in A B; do
  wall=$(cut -d' ' -f1 "$work/$name.times" | median)
  cpu=$(cut -d' ' -f2 "$work/$name.times" | median)
  cpus[$name]=$cpu
  printf '%s: median wall %.2f s, cpu %.2f s, %.0f tokens per cpu second\n' "$name" "$wall" "$cpu" \
    "$(awk -v t="$tokens" -v c="$cpu" 'BEGIN { print t / c }')"
done
awk -v a="${cpus[A]}" -v b="${cpus[B]}" 'BEGIN { printf "B/A cpu ratio (medians): %.3f\n", b / a }'
