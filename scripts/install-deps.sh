#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the editor need, but only those missing.
# The tests read real books from two of them: fortunes-zh (Tang and Song poems) and
# debian-reference-zh-cn (a guide in TXT).
# Works as root or through sudo; says what it installs.
set -euo pipefail

# Usage: install-deps.sh [screenshot|fuzz|package|format|epub]
#   screenshot adds the virtual display and image tools; fuzz adds clang and its sanitizer
#   runtimes (libFuzzer); package adds what building and checking the Debian package needs;
#   format is clang-format alone (Debian 12's, so every machine formats alike); epub adds the
#   EPUB validators (EPUBCheck, pandoc) and what the check script runs.
packages=(
  cmake ninja-build g++ pkg-config
  libsqlite3-dev zlib1g-dev libdeflate-dev libpcre2-dev libuchardet-dev libzip-dev libxml2-dev
  qt6-base-dev libqt6svg6 qt6-translations-l10n fonts-arphic-uming fonts-arphic-ukai fonts-wqy-microhei
  libgtest-dev libgmock-dev libbenchmark-dev
  sqlite3 desktop-file-utils shared-mime-info libglib2.0-bin
  fortunes-zh debian-reference-zh-cn
  libopencc-dev opencc
)
case "${1:-}" in
  screenshot) packages+=(xvfb x11-utils imagemagick) ;;
  fuzz) packages+=(clang-14 libclang-rt-14-dev llvm-14) ;;
  package) packages+=(dpkg-dev fakeroot file) ;;
  format) packages=(clang-format) ;;
  epub) packages+=(epubcheck default-jre-headless pandoc python3 unzip) ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing missing packages: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  sudo=()
elif command -v sudo >/dev/null 2>&1; then
  sudo=(sudo)
else
  echo "These packages are missing and neither root nor sudo is available: ${missing[*]}" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
