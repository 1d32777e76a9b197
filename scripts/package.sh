#!/usr/bin/env bash
# Builds the Debian package of the editor and nvx with CPack and prints its path.
#   scripts/package.sh [BUILD_DIR]      (default: build)
# Only the two programs and the man pages are built for it, not the tests or the benchmarks.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}

# dpkg-shlibdeps (dpkg-dev) finds the libraries' packages; fakeroot and file are what CPack uses.
bash "$root/scripts/install-deps.sh" package >&2
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >&2
fi
cmake --build "$build" --target nvx nvxedit man_pages >&2
rm -f "$build"/nvxedit_*.deb
(cd "$build" && cpack -G DEB) >&2
ls "$build"/nvxedit_*.deb
