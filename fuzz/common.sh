# Shared by fuzz/run.sh and fuzz/ci.sh: the target list, the build and the
# seed corpora. Sourced, not run.
FUZZ_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
ROOT="$(cd "$FUZZ_DIR/.." && pwd)"
BUILD="${KORVANE_FUZZ_BUILD:-$ROOT/build-fuzz}"
DATA="${KORVANE_DATA_DIR:-$ROOT/../shared/data}"
TARGETS=(model_v2 model_v1 tag_dict legal_trans load2dim template bank loadmap param_load param_line
         parse_driver projective srl_driver sense label_train feature_gen label_seq tag_lines conllu tokenize role_columns lexicon parse_vote)
ALL_TARGETS=("${TARGETS[@]}")

fuzz_build() {
  bash "$ROOT/scripts/setup-fuzz"
  cmake -S "$ROOT" -B "$BUILD" -DKORVANE_FUZZ=ON -DKORVANE_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ >/dev/null
  cmake --build "$BUILD" --target korvane_fuzzers -j"${KORVANE_FUZZ_BUILD_JOBS:-2}"
}

# Seeds cut from the shared data (never copied into the repository): a few
# sentences of each file, with the selector byte each target expects.
fuzz_data_seeds() {
  local out="$BUILD/data-seeds"
  rm -rf "$out"
  for t in "${ALL_TARGETS[@]}"; do mkdir -p "$out/$t"; done
  [ -d "$DATA" ] || return 0
  local conll="$DATA/en_ewt-dev.conll" tsv="$DATA/en_ewt-dev.tsv" txt="$DATA/en_ewt-dev.txt"
  local zhtsv="$DATA/zh_gsdsimp-train.tsv" zhtxt="$DATA/zh_gsdsimp-train.txt"
  if [ -f "$conll" ]; then
    head -n 40 "$conll" > "$out/feature_gen/conll.rows"
    { cat "$ROOT/models/parser.template"; printf '\n%%%%\n'; head -n 40 "$conll"; } > "$out/feature_gen/parser"
    rm "$out/feature_gen/conll.rows"
    for b in 0 1 2; do
      { printf "\\x0$b"; head -n 40 "$conll"; } > "$out/parse_driver/conll$b"
      { printf "\\x0$b"; head -n 60 "$conll"; } > "$out/projective/conll$b"
    done
    for b in 0 1 2 3 4 5; do { printf "\\x0$b"; head -n 30 "$conll"; } > "$out/srl_driver/conll$b"; done
    head -n 30 "$conll" > "$out/sense/conll"
  fi
  [ -f "$DATA/en_ewt-up-dev.conllu" ] && head -n 60 "$DATA/en_ewt-up-dev.conllu" > "$out/conllu/up"
  [ -f "$DATA/en_ewt-up-dev.conllu" ] && sed -n '24240,24300p' "$DATA/en_ewt-up-dev.conllu" > "$out/role_columns/up"
  [ -f "$DATA/en_ewt-up-dev.conllu" ] && sed -n 's/^# text = //p' "$DATA/en_ewt-up-dev.conllu" | head -n 30 > "$out/tokenize/up"
  if [ -f "$tsv" ]; then
    { printf '\x01'; head -n 60 "$tsv"; } > "$out/label_train/tsv"
    { printf '\x03'; head -n 60 "$tsv"; } > "$out/load2dim/tsv"
    head -n 80 "$tsv" | awk 'NF' > "$out/tag_dict/tsv"
  fi
  [ -f "$zhtsv" ] && { printf '\x00'; head -n 60 "$zhtsv"; } > "$out/label_train/zh"
  if [ -f "$txt" ]; then
    { printf '\x01'; head -n 20 "$txt"; } > "$out/tag_lines/english"
    { printf '\x01'; head -n 1 "$txt"; } > "$out/label_seq/english"
  fi
  if [ -f "$zhtxt" ]; then
    { printf '\x00'; head -n 10 "$zhtxt"; } > "$out/tag_lines/chinese"
    { printf '\x00'; head -n 1 "$zhtxt"; } > "$out/label_seq/chinese"
  fi
  return 0
}

# fuzz_one TARGET SECONDS [WORKDIR]: fuzzes into WORKDIR/TARGET (default
# $BUILD/corpus; new units land there) from the committed seeds and the data
# seeds; prints one summary line "TARGET seconds execs exec/s status".
# Returns the fuzzer's status.
fuzz_one() {
  local t="$1" secs="$2" work="${3:-$BUILD/corpus}/$1" log="$BUILD/logs/$1.log"
  mkdir -p "$work" "$BUILD/logs" "$BUILD/artifacts"
  local status=0
  "$BUILD/fuzz/${t}_fuzz" -max_total_time="$secs" -timeout=20 -rss_limit_mb=2048 -max_len=16384 \
    -close_fd_mask=3 -print_final_stats=1 -artifact_prefix="$BUILD/artifacts/$t-" \
    "$work" "$FUZZ_DIR/corpus/$t" "$BUILD/data-seeds/$t" >"$log" 2>&1 || status=$?
  local execs rate
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
  printf '%-14s %6ss %12s execs %8s exec/s  %s\n' "$t" "$secs" "${execs:-?}" "${rate:-?}" \
    "$([ $status -eq 0 ] && echo clean || echo "FAILED (status $status, see $log)")"
  # The sanitizer's or libFuzzer's report, where a CI log shows it.
  [ $status -eq 0 ] || grep -v -e '^#' -e '^INFO:' -e '^\*\*\*' "$log" | tail -n 40 >&2
  return $status
}
