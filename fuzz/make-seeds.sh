#!/usr/bin/env bash
# Writes the seed corpus of every fuzz target into DIR/<target>/, fresh each time.
# Usage: fuzz/make-seeds.sh BUILD_DIR DIR   (BUILD_DIR: the fuzzing build, which has the seed writer)
set -euo pipefail
build=${1:?usage: fuzz/make-seeds.sh BUILD_DIR DIR}
out=${2:?usage: fuzz/make-seeds.sh BUILD_DIR DIR}
here=$(cd "$(dirname "$0")" && pwd)

rm -rf "$out"
mkdir -p "$out"
# Packed contents, texts in both encodings, and collections, made by the store's own writers.
"$build/fuzz/make_fuzz_seeds" "$out"

# Imported books: the sample texts as they come (UTF-8, LF), in the local code page with CR LF,
# and with a byte-order mark.
mkdir -p "$out/import_fuzz"
for text in "$here"/../scripts/sample/*.txt; do
  name=$(basename "$text" .txt)
  cp "$text" "$out/import_fuzz/$name.utf8"
  sed 's/$/\r/' "$text" | iconv -f UTF-8 -t GB18030 > "$out/import_fuzz/$name.gb18030"
  { printf '\xEF\xBB\xBF'; head -c 2000 "$text"; } > "$out/import_fuzz/$name.bom"
done

# Every other target starts from an empty corpus.
for source in "$here"/*_fuzz.cpp; do
  mkdir -p "$out/$(basename "$source" .cpp)"
done
