#!/usr/bin/env bash
# Writes a small sample collection of public-domain Chinese texts with the project's own nvx tool,
# so a newcomer sees the editor at work. Usage: scripts/make-sample.sh OUT.nvx [BUILD_DIR]
set -euo pipefail
out=${1:?usage: scripts/make-sample.sh OUT.nvx [BUILD_DIR]}
build=${2:-build}
here=$(cd "$(dirname "$0")" && pwd)
nvx="$build/src/tool/nvx"
"$nvx" new "$out"
for text in "$here"/sample/*.txt; do
  name=$(basename "$text" .txt)
  title=${name#*-}
  # Articles carry CR LF line ends, as the editor saves them.
  sed 's/$/\r/' "$text" | "$nvx" add "$out" "$title" >/dev/null
done
echo "sample collection: $out"
