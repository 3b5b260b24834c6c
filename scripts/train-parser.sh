#!/usr/bin/env bash
# Trains the shipped English dependency-parser models and reports their scores
# on the development trees; every figure of models/english-parser*.manifest
# comes from this script.
#
# 1. Tags: the parser learns from the tags it will see. With TAGS=predicted
#    (default) the training trees get tags from a 10-fold jackknife of the
#    english-plus tagger and the development trees tags from its recipe
#    trained on all of en_ewt-train (scripts/jackknife-tags.sh); TAGS=gold
#    keeps the treebank's tags.
# 2. Models: a left-to-right model (ltr, repair and beam) and a right-to-left
#    one (rtl, beam-rtl) with models/parser-rich.template, the static oracle
#    (ORACLE=dynamic measured lower on en_ewt-dev) and marked lifted arcs; and
#    globally trained left-to-right and right-to-left ones (global,
#    global-rtl: the global and global-rtl drivers): EPOCHS passes of a beam
#    of TRAIN_WIDTH.
# 3. Scores on en_ewt-dev with the predicted and with the gold tags, for every
#    driver and the beam at each width of WIDTHS, and for the ensemble
#    (ENSEMBLE, default models/english-parser-vote.ensemble; its members are
#    read beside it, so point it at a copy beside the new models to score
#    them).
#
# usage: scripts/train-parser.sh [MODEL]      (default models/english-parser.model;
#   the right-to-left and the global models are written beside it, -rtl,
#   -global and -global-rtl before .model)
# environment: KORVANE_KIT (korvane-kit program; default build/src/app/korvane-kit,
#   built when missing), KORVANE_DATA (default ../shared/data from the project
#   root), WORK (default build/parser-work), TAGS, WIDTHS (default "4 8"),
#   DIRECTIONS (default "ltr rtl global global-rtl"), RETAG (1: redo the jackknife even if WORK
#   has its tags), and the training options CUTOFF, STRENGTH,
#   ITERATIONS, THREADS, ORACLE, EXPLORE, EXPLORER_ITERATIONS, MARK (the
#   ltr and rtl models), EPOCHS, TRAIN_WIDTH, MIN_WEIGHT (the global models),
#   and TEMPLATE (default models/parser-rich.template).
# Models trained on this data carry its licence, CC BY-SA 4.0 (UD_English-EWT).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
model="${1:-$root/models/english-parser.model}"
case "$model" in
  *.model) rtl_model="${model%.model}-rtl.model"; global_model="${model%.model}-global.model"
           global_rtl_model="${model%.model}-global-rtl.model" ;;
  *) rtl_model="$model-rtl"; global_model="$model-global"; global_rtl_model="$model-global-rtl" ;;
esac
data="${KORVANE_DATA:-$root/../shared/data}"
kit="${KORVANE_KIT:-$root/build/src/app/korvane-kit}"
work="${WORK:-$root/build/parser-work}"
template="${TEMPLATE:-$root/models/parser-rich.template}"
tags="${TAGS:-predicted}"
widths="${WIDTHS-4 8}"  # empty: no beam runs
directions="${DIRECTIONS:-ltr rtl global global-rtl}"
ensemble="${ENSEMBLE:-$root/models/english-parser-vote.ensemble}"
options=(--template "$template" --cutoff "${CUTOFF:-2}" --penalty l2 --strength "${STRENGTH:-2.0}"
         --iterations "${ITERATIONS:-300}" --threads "${THREADS:-2}" --oracle "${ORACLE:-static}"
         --explore "${EXPLORE:-0.1}" --explorer-iterations "${EXPLORER_ITERATIONS:-50}"
         --mark-lifted "${MARK:-5}")
global_options=(--template "$template" --cutoff "${CUTOFF:-2}" --threads "${THREADS:-2}" --oracle global
                --epochs "${EPOCHS:-16}" --beam-width "${TRAIN_WIDTH:-8}" --min-weight "${MIN_WEIGHT:-1}"
                --mark-lifted "${MARK:-5}")

for f in "$data/en_ewt-train.conll" "$data/en_ewt-dev.conll" "$template"; do
  [ -r "$f" ] || { echo "Error: open file $f for reading." >&2; exit 1; }
done
if [ ! -x "$kit" ]; then
  cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$root/build" --target korvane_kit_main -j2
fi
mkdir -p "$work"

gold_dev="$data/en_ewt-dev.conll"
case "$tags" in
  predicted)
    # A finished jackknife in WORK is reused unless RETAG=1 (it takes longer than a model).
    if [ "${RETAG:-0}" = 1 ] || [ ! -s "$work/tags/en_ewt-dev.conll" ]; then
      KORVANE_KIT="$kit" KORVANE_DATA="$data" bash "$root/scripts/jackknife-tags.sh" "$work/tags"
    fi
    train="$work/tags/en_ewt-train.conll"
    dev="$work/tags/en_ewt-dev.conll"
    ;;
  gold)
    train="$data/en_ewt-train.conll"
    dev="$gold_dev"
    ;;
  *) echo "Error: TAGS takes predicted or gold, not '$tags'." >&2; exit 2 ;;
esac

for direction in $directions; do
  echo "== training the $direction model on $train" >&2
  start=$(date +%s)
  case "$direction" in
    ltr) m="$model"; "$kit" train-parser "${options[@]}" --direction ltr "$train" "$m" ;;
    rtl) m="$rtl_model"; "$kit" train-parser "${options[@]}" --direction rtl "$train" "$m" ;;
    global) m="$global_model"; "$kit" train-parser "${global_options[@]}" "$train" "$m" ;;
    global-rtl) m="$global_rtl_model"; "$kit" train-parser "${global_options[@]}" --direction rtl "$train" "$m" ;;
    *) echo "Error: DIRECTIONS takes ltr, rtl, global and global-rtl, not '$direction'." >&2; exit 2 ;;
  esac
  echo "== $direction model: trained in $(( $(date +%s) - start )) s wall, $(du -h "$m" | cut -f1)" >&2
done

evaluate() {  # MODEL TREES DRIVER [WIDTH]
  local extra=()
  [ -n "${4:-}" ] && extra=(--beam-width "$4")
  echo "-- $(basename "$1") on $(basename "$(dirname "$2")")/$(basename "$2"), driver $3 ${4:+width $4}"
  "$kit" evaluate-parser --model "$1" --template "$template" --driver "$3" "${extra[@]}" "$2" 2>/dev/null
}
sets=("$dev")
[ "$dev" != "$gold_dev" ] && sets+=("$gold_dev")
for trees in "${sets[@]}"; do
  for direction in $directions; do
    case "$direction" in
      ltr)
        for driver in ltr repair; do evaluate "$model" "$trees" "$driver"; done
        for w in $widths; do evaluate "$model" "$trees" beam "$w"; done
        ;;
      rtl)
        evaluate "$rtl_model" "$trees" rtl
        for w in $widths; do evaluate "$rtl_model" "$trees" beam-rtl "$w"; done
        ;;
      global)
        for w in $widths; do evaluate "$global_model" "$trees" global "$w"; done
        ;;
      global-rtl)
        for w in $widths; do evaluate "$global_rtl_model" "$trees" global-rtl "$w"; done
        ;;
    esac
  done
  if [ -r "$ensemble" ]; then
    echo "-- $(basename "$ensemble") on $(basename "$(dirname "$trees")")/$(basename "$trees"), driver vote"
    "$kit" evaluate-parser --model "$ensemble" --driver vote "$trees" 2>/dev/null
  fi
done
