#!/usr/bin/env bash
# The include graph of src/ by folder: one line per folder with the folders it includes from.
# Fails, naming the file and the include, when a folder includes from one it may not: the layers
# run store <- runtime <- forms <- reading <- app, and the command-line tool stands on the store.
#
#   bash scripts/include-graph.sh [SOURCE_ROOT]
set -euo pipefail
root="${1:-$(dirname "$0")/..}"
cd "$root/src"

declare -A allowed=(
  [store]=""
  [runtime]="store"
  [forms]="runtime store"
  [reading]="forms runtime store"
  [app]="reading forms runtime store"
  [tool]="store"
)
order=(app reading forms runtime store tool)

status=0
for folder in "${order[@]}"; do
  used=$(grep -rhoE '^#include "[a-z_]+/' "$folder" | sed -E 's/#include "([a-z_]+)\//\1/' |
         grep -vx "$folder" | sort -u | tr '\n' ' ' || true)
  printf '%-8s -> %s\n' "$folder" "${used:-(nothing of src)}"
  for dep in $used; do
    if [[ " ${allowed[$folder]} " != *" $dep "* ]]; then
      grep -rnE "^#include \"$dep/" "$folder" | sed "s|^|  not allowed: $folder includes $dep: |" >&2
      status=1
    fi
  done
done
exit $status
