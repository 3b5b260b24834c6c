#!/usr/bin/env bash
# Whole-program tagging benchmark, one command:
#   bash bench/run_tagging_bench.sh
# Builds korvane (Release), makes an English and a Chinese text of at least
# MIN_TOKENS tokens by repeating the shipped development texts, and tags them
# with the shipped models on the fast path and on the reference path
# (KORVANE_REFERENCE_PATH=1). Prints tokens per second, the start-up time
# (model, dictionary and tables: a run on one line), peak memory on the whole
# text and on half of it, and checks that both paths write the same output.
# Then: the English model's loading time in a fresh process, the English
# text on one thread against all cores (same output), the stream mode
# (korvane-kit tag) on 1 and 2 threads (same output), and one line of
# HUGE_TOKENS words (default 750000): time and peak memory.
#
# Environment: MIN_TOKENS (default 250000), REF_FRACTION (share of the text the
# slower reference path tags, default 1 = all of it; the fast path is then
# also timed on that share for the output check), MODEL_DIR (default models/),
# BUILD_DIR, DATA_DIR, JOBS.
set -euo pipefail
source "$(dirname "$0")/common.sh"
min_tokens=${MIN_TOKENS:-250000}
ref_fraction=${REF_FRACTION:-1}
bench_build

work=$build/tagging-bench
mkdir -p "$work"

# words as the tagger splits them: runs of bytes other than blank, tab, line feed
count_tokens() { LC_ALL=C awk '{ n += NF } END { print n + 0 }' "$1"; }

# repeat SRC until it holds at least min_tokens tokens
make_text() {
  local src=$1 out=$2 per_copy copies
  per_copy=$(count_tokens "$src")
  copies=$(((min_tokens + per_copy - 1) / per_copy))
  : >"$out"
  for ((i = 0; i < copies; i++)); do cat "$src" >>"$out"; done
}

# measure NAME ENVVALUE INPUT LANG OUTPUT: runs korvane under /usr/bin/time -v
# and prints "wall cpu rss_kb"
measure() {
  local log=$work/$1.time
  (cd "$work/$4" && env KORVANE_REFERENCE_PATH="$2" /usr/bin/time -v -o "$log" \
    "$korvane" -l "$4" -o "$5" "$3" >/dev/null 2>"$work/$1.err")
  awk -F': ' '
    /Elapsed \(wall clock\)/ { n = split($2, p, ":"); w = 0; for (i = 1; i <= n; i++) w = w * 60 + p[i] }
    /User time/ { u = $2 } /System time/ { s = $2 } /Maximum resident/ { m = $2 }
    END { printf "%.3f %.3f %d\n", w, u + s, m }' "$log"
}

echo "== machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-8s %-10s %10s %12s %12s %12s %10s\n' language path tokens "wall s" "tokens/s" "cpu tok/s" "peak MB"
status=0
for lang in english chinese; do
  case $lang in
    english) src=$data/en_ewt-dev.txt ;;
    chinese) src=$data/zh_gsdsimp-train.txt ;;
  esac
  if [ ! -f "$models/$lang.model" ] || [ ! -f "$models/$lang.dict" ] || [ ! -f "$src" ]; then
    echo "$lang: $models/$lang.model, $models/$lang.dict or $src is missing; skipped"
    continue
  fi
  mkdir -p "$work/$lang"
  ln -sf "$(realpath "$models/$lang.model")" "$work/$lang/$lang.model"
  ln -sf "$(realpath "$models/$lang.dict")" "$work/$lang/$lang.dict"
  big=$work/$lang/big.txt
  make_text "$src" "$big"
  total_lines=$(wc -l <"$big")
  head -n $((total_lines / 2)) "$big" >"$work/$lang/half.txt"
  head -n 1 "$src" >"$work/$lang/one.txt"
  ref_input=$big
  if [ "$ref_fraction" != 1 ]; then
    ref_input=$work/$lang/ref.txt
    head -n "$(awk -v n="$total_lines" -v f="$ref_fraction" 'BEGIN { printf "%d", n * f }')" "$big" >"$ref_input"
  fi
  tokens=$(count_tokens "$big")
  ref_tokens=$(count_tokens "$ref_input")

  read -r load_wall load_cpu load_rss < <(measure "$lang-load" 0 "$work/$lang/one.txt" $lang "$work/$lang/one.out")
  read -r fast_wall fast_cpu fast_rss < <(measure "$lang-fast" 0 "$big" $lang "$work/$lang/fast.out")
  read -r _ _ half_rss < <(measure "$lang-half" 0 "$work/$lang/half.txt" $lang "$work/$lang/half.out")
  read -r ref_wall ref_cpu ref_rss < <(measure "$lang-ref" 1 "$ref_input" $lang "$work/$lang/ref.out")
  fast_out=$work/$lang/fast.out
  if [ "$ref_input" != "$big" ]; then
    measure "$lang-fastpart" 0 "$ref_input" $lang "$work/$lang/fastpart.out" >/dev/null
    fast_out=$work/$lang/fastpart.out
  fi

  row() { awk -v l="$1" -v p="$2" -v t="$3" -v w="$4" -v c="$5" -v m="$6" -v lw="$7" -v lc="$8" \
    'BEGIN { printf "%-8s %-10s %10d %12.3f %12.0f %12.0f %10.1f\n", l, p, t, w, t / (w - lw), t / (c - lc), m / 1024 }'; }
  row $lang fast "$tokens" "$fast_wall" "$fast_cpu" "$fast_rss" "$load_wall" "$load_cpu"
  row $lang reference "$ref_tokens" "$ref_wall" "$ref_cpu" "$ref_rss" "$load_wall" "$load_cpu"
  awk -v l=$lang -v lw="$load_wall" -v lc="$load_cpu" -v lm="$load_rss" -v hm="$half_rss" -v fm="$fast_rss" \
    -v ft="$tokens" -v fw="$fast_wall" -v fc="$fast_cpu" -v rt="$ref_tokens" -v rw="$ref_wall" -v rc="$ref_cpu" 'BEGIN {
      printf "%-8s start-up (one-line run): %.3f s wall, %.3f s cpu, %.1f MB\n", l, lw, lc, lm / 1024
      printf "%-8s peak memory: %.1f MB on half the text, %.1f MB on all of it\n", l, hm / 1024, fm / 1024
      printf "%-8s fast / reference, tagging tokens per second: %.1fx wall, %.1fx cpu\n", l,
        (ft / (fw - lw)) / (rt / (rw - lw)), (ft / (fc - lc)) / (rt / (rc - lc)) }'
  if cmp -s "$fast_out" "$work/$lang/ref.out"; then
    echo "$lang   outputs of both paths are identical ($(wc -c <"$fast_out") bytes)"
  else
    echo "$lang   OUTPUTS DIFFER: $fast_out $work/$lang/ref.out"
    status=1
  fi
done
# Model loading in a fresh process: korvane stops right after loading the
# model when the dictionary is missing; the same run with a one-pair model
# is the process's own cost. LOAD_RUNS runs in a row per timing (the clock
# counts in 10 ms steps), medians of 5 timings.
load_runs=${LOAD_RUNS:-10}
if [ -f "$models/english.model" ]; then
  mkdir -p "$work/load-shipped" "$work/load-tiny"
  ln -sf "$(realpath "$models/english.model")" "$work/load-shipped/english.model"
  printf '\nU\na X 1.000000' >"$work/load-tiny/english.model"
  : >"$work/empty.txt"
  load_time() { # DIR: prints "wall cpu" per run, in ms
    (cd "$1" && /usr/bin/time -f '%e %U %S' -o "$work/load.time" sh -c \
      "for i in \$(seq $load_runs); do '$korvane' -l english -o '$work/load.out' '$work/empty.txt' >/dev/null 2>&1; done; true")
    awk -v n="$load_runs" '{ printf "%.1f %.1f\n", 1000 * $1 / n, 1000 * ($2 + $3) / n }' "$work/load.time"
  }
  : >"$work/load-shipped.runs"
  : >"$work/load-tiny.runs"
  for ((r = 0; r < 5; r++)); do
    load_time "$work/load-shipped" >>"$work/load-shipped.runs"
    load_time "$work/load-tiny" >>"$work/load-tiny.runs"
  done
  med() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
  sw=$(cut -d' ' -f1 "$work/load-shipped.runs" | med)
  sc=$(cut -d' ' -f2 "$work/load-shipped.runs" | med)
  tw=$(cut -d' ' -f1 "$work/load-tiny.runs" | med)
  tc=$(cut -d' ' -f2 "$work/load-tiny.runs" | med)
  awk -v sw="$sw" -v sc="$sc" -v tw="$tw" -v tc="$tc" 'BEGIN {
    printf "english model load, fresh process: %.1f ms wall, %.1f ms cpu (whole run %.1f / %.1f ms, of which the process itself %.1f / %.1f ms)\n",
      sw - tw, sc - tc, sw, sc, tw, tc }'
fi

# Worker threads: the English text on one thread and on all cores, in
# alternation, medians of 3; the outputs must be identical.
if [ -f "$work/english/big.txt" ]; then
  : >"$work/threads-1.runs"
  : >"$work/threads-all.runs"
  for ((r = 0; r < 3; r++)); do
    for t in 1 all; do
      value=$t
      [ $t = all ] && value=""
      (cd "$work/english" && env KORVANE_THREADS="$value" /usr/bin/time -f '%e %U %S' -o "$work/threads.time" \
        "$korvane" -l english -o "$work/english/threads-$t.out" "$work/english/big.txt" >/dev/null 2>&1)
      awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' "$work/threads.time" >>"$work/threads-$t.runs"
    done
  done
  med() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
  w1=$(cut -d' ' -f1 "$work/threads-1.runs" | med)
  wa=$(cut -d' ' -f1 "$work/threads-all.runs" | med)
  awk -v w1="$w1" -v wa="$wa" -v n="$(nproc)" 'BEGIN {
    printf "english, KORVANE_THREADS=1 against all %d cores: %.3f s and %.3f s wall, %.2fx\n", n, w1, wa, w1 / wa }'
  if ! cmp -s "$work/english/threads-1.out" "$work/english/threads-all.out"; then
    echo "english OUTPUTS DIFFER between one thread and all cores"
    status=1
  fi
  # The stream mode, korvane-kit tag, on 1 and 2 threads over four copies of the text.
  bench_build_kit
  for ((i = 0; i < 4; i++)); do cat "$work/english/big.txt"; done >"$work/english/big4.txt"
  : >"$work/stream-1.runs"
  : >"$work/stream-2.runs"
  for ((r = 0; r < 3; r++)); do
    for t in 1 2; do
      /usr/bin/time -f '%e' -o "$work/stream.time" "$kit" tag --language english --model "$models/english.model" \
        --dict "$models/english.dict" --threads $t "$work/english/big4.txt" >"$work/english/stream-$t.out" 2>/dev/null
      cat "$work/stream.time" >>"$work/stream-$t.runs"
    done
  done
  s1=$(med <"$work/stream-1.runs")
  s2=$(med <"$work/stream-2.runs")
  awk -v a="$s1" -v b="$s2" -v t="$(count_tokens "$work/english/big4.txt")" 'BEGIN {
    printf "stream mode (korvane-kit tag, %d tokens), 1 against 2 threads: %.3f s and %.3f s wall, %.2fx\n", t, a, b, a / b }'
  if ! cmp -s "$work/english/stream-1.out" "$work/english/stream-2.out"; then
    echo "stream mode OUTPUTS DIFFER between 1 and 2 threads"
    status=1
  fi
fi

# One huge line: HUGE_TOKENS words of the English text on a single line.
huge_tokens=${HUGE_TOKENS:-750000}
if [ -f "$data/en_ewt-dev.txt" ] && [ -f "$models/english.model" ]; then
  tr '\n' ' ' <"$data/en_ewt-dev.txt" | awk -v n="$huge_tokens" '{ for (i = 1; i <= NF && c < n; i++) { printf "%s%s", (c ? " " : ""), $i; c++ } }
    END { }' >"$work/english/huge-part.txt"
  : >"$work/english/huge.txt"
  while [ "$(count_tokens "$work/english/huge.txt")" -lt "$huge_tokens" ]; do
    if [ -s "$work/english/huge.txt" ]; then printf ' ' >>"$work/english/huge.txt"; fi
    cat "$work/english/huge-part.txt" >>"$work/english/huge.txt"
  done
  printf '\n' >>"$work/english/huge.txt"
  read -r hw hc hm < <(measure "english-huge" 0 "$work/english/huge.txt" english "$work/english/huge.out")
  awk -v t="$(count_tokens "$work/english/huge.txt")" -v b="$(wc -c <"$work/english/huge.txt")" -v w="$hw" -v c="$hc" -v m="$hm" 'BEGIN {
    printf "english, one line of %d words (%.1f MB): %.1f s wall, %.1f s cpu, peak %.1f MB\n", t, b / 1048576, w, c, m / 1024 }'
fi
echo "== load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
exit $status
