#!/usr/bin/env bash
# Every benchmark, each workload beside the least work that does the same job, measured in the
# same run (the machines are shared and noisy: read the ratios, not the absolute times).
# Usage: scripts/bench.sh [BUILD_DIR]
# The collections are generated once into BUILD_DIR/bench-data (about 700 MB):
#   c2k    2,000 articles of 10-30 KB
#   c20k   20,000 articles of 10-30 KB and one of 5 MB
#   c100k  100,000 articles of 1-3 KB
set -euo pipefail
build=${1:-build}
data="$build/bench-data"
mkdir -p "$data"
nvx="$build/src/tool/nvx"

make_once() {  # NAME COUNT LOW HIGH [BIG]
  local file="$data/$1.nvx"
  if [ ! -f "$file" ]; then
    echo "Generating $file ..."
    "$build/bench/make_collection" "$file.part" "${@:2}"
    mv "$file.part" "$file"
  fi
}
make_once c2k 2000 10 30
make_once c20k 20000 10 30 5120
make_once c100k 100000 1 3

# The best of five runs of a command, in ms.
best_ms() {
  local best= t start
  for _ in 1 2 3 4 5; do
    start=$(date +%s%N)
    "$@" >/dev/null
    t=$(( ($(date +%s%N) - start) / 1000000 ))
    if [ -z "$best" ] || [ "$t" -lt "$best" ]; then best=$t; fi
  done
  echo "$best"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2fx", a / b; else print "-" }'; }

echo
echo "== nvx beside the sqlite3 shell (best of 5) =="
printf '%-28s %10s %10s %8s\n' workload ours floor ratio
for c in c2k c20k c100k; do
  f="$data/$c.nvx"
  ours=$(best_ms "$nvx" list "$f")
  floor=$(best_ms sqlite3 "$f" "select id,name from nr order by id")
  printf '%-28s %7s ms %7s ms %8s\n' "nvx list $c" "$ours" "$floor" "$(ratio "$ours" "$floor")"
done

for c in c2k c20k c100k; do
  echo
  echo "== the editor on $c =="
  "$build/bench/workloads_bench" "$data/$c.nvx"
done

echo
echo "== the content box: a 5 MB article, Find, memory; the catalogue filled =="
"$build/bench/content_box_bench"
echo
echo "== nvx import of a 10 MB book =="
"$build/bench/import_bench"
echo
echo "== nvx export to EPUB and import of that EPUB, the same book =="
"$build/bench/epub_bench"
echo
echo "== nvx grep over c20k =="
"$build/bench/grep_bench" "$data/c20k.nvx"
echo
echo "== nvx convert over c2k, nvx dups over c20k =="
"$build/bench/tidy_bench" "$data/c2k.nvx" "$data/c20k.nvx"
echo
echo "== the store's own figures =="
"$build/bench/store_bench"
