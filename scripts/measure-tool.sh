#!/usr/bin/env bash
# Rough figures for the nvx tool on a big collection: 5,000 generated articles of 10 KB each.
# Usage: scripts/measure-tool.sh [BUILD_DIR]
set -euo pipefail
build=${1:-build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
file="$work/big.nvx"

ms() { echo $(( ($(date +%s%N) - $1) / 1000000 )); }

echo "Generating 5000 articles of 10 KB..."
start=$(date +%s%N)
"$build/bench/make_collection" "$file" 5000 10
echo "generated in $(ms "$start") ms, file $(stat -c %s "$file") bytes"

for command in list check; do
  best=
  for run in 1 2 3 4 5; do
    start=$(date +%s%N)
    "$build/src/tool/nvx" "$command" "$file" >/dev/null
    t=$(ms "$start")
    if [ -z "$best" ] || [ "$t" -lt "$best" ]; then best=$t; fi
  done
  echo "nvx $command: best of 5 runs $best ms"
done
