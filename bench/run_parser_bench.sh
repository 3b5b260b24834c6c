#!/usr/bin/env bash
# Parsing speed of the shipped English parser, one command:
#   bash bench/run_parser_bench.sh
# Builds korvane-kit (Release), repeats en_ewt-dev until it holds at least
# MIN_TOKENS tokens and parses it greedily (ltr) and with the beam at each
# width of WIDTHS, side by side in one run. Prints tokens per second of wall
# and processor time, with and without the start-up (model loading, measured
# on a one-sentence run), and the peak memory.
#
# Environment: MIN_TOKENS (default 100000), WIDTHS (default "2 4 8 16"),
# PARSER_MODEL (default models/english-parser.model; its manifest names the
# template), BEAM (default beam; global for models/english-parser-global.model),
# PARSER_TEMPLATE (a template file instead), MODEL_DIR, BUILD_DIR, DATA_DIR,
# JOBS.
set -euo pipefail
source "$(dirname "$0")/common.sh"
min_tokens=${MIN_TOKENS:-100000}
widths=${WIDTHS:-"2 4 8 16"}
beam=${BEAM:-beam}
model=$(realpath -m "${PARSER_MODEL:-$models/english-parser.model}")
template_args=()
[ -n "${PARSER_TEMPLATE:-}" ] && template_args=(--template "$(realpath -m "$PARSER_TEMPLATE")")
echo "== building korvane-kit (Release) in $build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKORVANE_TESTS=OFF >/dev/null
cmake --build "$build" --target korvane_kit_main -j"$jobs" >/dev/null
kit=$build/src/app/korvane-kit
for f in "$model" "$data/en_ewt-dev.conll"; do
  [ -r "$f" ] || { echo "Error: open file $f for reading." >&2; exit 1; }
done

work=$build/parser-bench
mkdir -p "$work"
per_copy=$(awk 'NF > 0 { n++ } END { print n }' "$data/en_ewt-dev.conll")
copies=$(((min_tokens + per_copy - 1) / per_copy))
: >"$work/big.conll"
for ((i = 0; i < copies; i++)); do cat "$data/en_ewt-dev.conll" >>"$work/big.conll"; done
awk 'BEGIN { RS = ""; ORS = "\n\n" } NR == 1' "$data/en_ewt-dev.conll" >"$work/one.conll"
tokens=$(awk 'NF > 0 { n++ } END { print n }' "$work/big.conll")

# measure NAME INPUT DRIVER-OPTIONS...: prints "wall cpu rss_kb"
measure() {
  local name=$1 input=$2
  shift 2
  /usr/bin/time -v -o "$work/$name.time" "$kit" parse --model "$model" "${template_args[@]}" "$@" "$input" \
    "$work/$name.out" \
    2>"$work/$name.err" >/dev/null
  awk -F': ' '
    /Elapsed \(wall clock\)/ { n = split($2, p, ":"); w = 0; for (i = 1; i <= n; i++) w = w * 60 + p[i] }
    /User time/ { u = $2 } /System time/ { s = $2 } /Maximum resident/ { m = $2 }
    END { printf "%.3f %.3f %d\n", w, u + s, m }' "$work/$name.time"
}

echo "== machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg); $tokens tokens"
read -r load_wall load_cpu load_rss < <(measure load "$work/one.conll" --driver ltr)
printf 'start-up (one-sentence run): %.2f s wall, %.2f s cpu, %.0f MB\n' "$load_wall" "$load_cpu" "$((load_rss / 1024))"
printf '%-10s %12s %12s %16s %16s %9s\n' search "wall s" "cpu s" "cpu tok/s" "cpu tok/s (all)" "peak MB"
row() {
  awk -v n="$1" -v t="$tokens" -v w="$2" -v c="$3" -v m="$4" -v lc="$load_cpu" \
    'BEGIN { printf "%-10s %12.2f %12.2f %16.0f %16.0f %9.0f\n", n, w, c, t / (c - lc), t / c, m / 1024 }'
}
read -r w c m < <(measure greedy "$work/big.conll" --driver ltr)
row greedy "$w" "$c" "$m"
for width in $widths; do
  read -r w c m < <(measure "beam$width" "$work/big.conll" --driver "$beam" --beam-width "$width")
  row "$beam $width" "$w" "$c" "$m"
done
echo "== load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
