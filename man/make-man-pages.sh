#!/usr/bin/env bash
# Writes the man pages of korvane and korvane-kit from their help texts.
# Usage: man/make-man-pages.sh KORVANE KORVANE-KIT VERSION OUT-DIR
set -euo pipefail
korvane=$1 kit=$2 version=$3 out=$4
here="$(cd "$(dirname "$0")" && pwd)"
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

help2man --no-info --no-discard-stderr --version-string="$version" \
  --name="part-of-speech tagger for English and Chinese text" \
  --include="$here/korvane.h2m" --output="$out/korvane.1" "$korvane"

# korvane-kit: the program's help, then every command's own help.
{
  echo "[COMMANDS]"
  "$kit" --help | sed -n '/^Commands:/,/^$/p' | sed '1d;/^$/d' | while read -r name _; do
    echo ".SS $name"
    echo ".nf"
    "$kit" "$name" --help | sed 's/\\/\\\\/g; s/^\./\\\&./'
    echo ".fi"
  done
  cat "$here/korvane-kit.h2m"
} > "$work/kit.h2m"
help2man --no-info --name="the Korvane toolkit: tagging, parsing and role-labelling models and tools" \
  --include="$work/kit.h2m" --output="$out/korvane-kit.1" "$kit"
