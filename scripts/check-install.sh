#!/usr/bin/env bash
# Checks what installing the editor gives, as a user's machine would get it.
#   scripts/check-install.sh [BUILD_DIR] [--tree-only] [--no-build]      (default: build)
# 1. The install tree: `cmake --install` into a temporary folder; every file is there, the menu
#    entry passes desktop-file-validate, a .nvx file is application/x-nvx once XDG_DATA_DIRS names
#    the tree, and the installed programs answer --help and --version.
# 2. The Debian package (as root; not with --tree-only): made by scripts/package.sh, installed
#    with dpkg -i, `nvx --help` run from the system, removed with dpkg -r, and everything it
#    installed gone again.
# --no-build checks the programs as they are built (the test suite's way); otherwise they are
# built first.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build
tree_only=
no_build=
for arg in "$@"; do
  case "$arg" in
    --tree-only) tree_only=yes ;;
    --no-build) no_build=yes ;;
    -*) echo "usage: check-install.sh [BUILD_DIR] [--tree-only] [--no-build]" >&2; exit 2 ;;
    *) build=$arg ;;
  esac
done
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
pass() { echo "ok: $*"; }

work=$(mktemp -d)
installed_here=
cleanup() {
  if [ -n "$installed_here" ]; then dpkg -r nvxedit >/dev/null 2>&1 || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

files=(
  bin/nvxedit bin/nvx
  share/applications/nvxedit.desktop
  share/mime/packages/nvxedit.xml
  share/icons/hicolor/scalable/apps/nvxedit.svg
  share/icons/hicolor/scalable/mimetypes/application-x-nvx.svg
  share/man/man1/nvx.1.gz share/man/man1/nvxedit.1.gz
  share/nvx/clean-rules.txt
)

# What the type of `file` is for GLib, given the data folders to look in.
content_type() {
  XDG_DATA_DIRS=$1 XDG_DATA_HOME="$work/no-home" gio info -a standard::content-type "$2" |
    sed -n 's/^ *standard::content-type: //p'
}

# --- 1. The install tree -------------------------------------------------------------------
if [ -z "$no_build" ]; then
  if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
  fi
  cmake --build "$build" --target nvx nvxedit man_pages
fi
tree=$work/tree
cmake --install "$build" --prefix "$tree" >/dev/null
for f in "${files[@]}"; do
  if [ -f "$tree/$f" ]; then pass "installs $f"; else fail "$f is not installed"; fi
done

if desktop-file-validate "$tree/share/applications/nvxedit.desktop"; then
  pass "desktop-file-validate nvxedit.desktop"
else
  fail "desktop-file-validate nvxedit.desktop"
fi

XDG_DATA_DIRS="$tree/share:/usr/share" update-mime-database "$tree/share/mime"
"$tree/bin/nvx" new "$work/books.nvx"
type=$(content_type "$tree/share:/usr/local/share:/usr/share" "$work/books.nvx")
if [ "$type" = application/x-nvx ]; then pass "a .nvx file is $type"; else fail "a .nvx file is '$type'"; fi
cp "$work/books.nvx" "$work/books.sqlite"
type=$(content_type "$tree/share:/usr/local/share:/usr/share" "$work/books.sqlite")
if [ "$type" != application/x-nvx ]; then
  pass "another SQLite file stays $type"
else
  fail "every SQLite file is claimed as application/x-nvx"
fi

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
for program in nvx nvxedit; do
  # grep reads the whole text: with -q it may stop early and the program, cut off, fails the pipe.
  if "$tree/bin/$program" --help | grep "^Usage: $program" >/dev/null; then pass "$program --help"; else fail "$program --help"; fi
  got=$("$tree/bin/$program" --version)
  if [ "$got" = "$program $version" ]; then pass "$program --version: $got"; else fail "$program --version: '$got'"; fi
done
if command -v groff >/dev/null; then
  for page in nvx nvxedit; do
    warnings=$(zcat "$tree/share/man/man1/$page.1.gz" | groff -k -man -Tutf8 -ww -z 2>&1 || true)
    if [ -z "$warnings" ]; then pass "man page $page(1) formats cleanly"; else fail "man page $page(1): $warnings"; fi
  done
fi

# --- 2. The Debian package -----------------------------------------------------------------
if [ -n "$tree_only" ]; then
  :
elif [ "$(id -u)" -ne 0 ]; then
  echo "skipped: installing the package needs root"
elif dpkg-query -W -f='${Status}' nvxedit 2>/dev/null | grep -q 'install ok installed'; then
  fail "nvxedit is installed on this machine already; not touching it"
else
  deb=$(bash "$root/scripts/package.sh" "$build" | tail -n 1)
  pass "built $(basename "$deb")"
  echo "Depends:    $(dpkg-deb -f "$deb" Depends)"
  echo "Recommends: $(dpkg-deb -f "$deb" Recommends)"
  installed_here=yes
  if dpkg -i "$deb" >"$work/dpkg.log" 2>&1; then
    pass "dpkg -i $(basename "$deb")"
    mapfile -t listed < <(dpkg -L nvxedit)
    if [ "$(command -v nvx)" = /usr/bin/nvx ] && nvx --help | grep '^Usage: nvx' >/dev/null; then
      pass "nvx --help from the installed package"
    else
      fail "nvx --help from the installed package"
    fi
    nvx new "$work/system.nvx"
    type=$(content_type /usr/local/share:/usr/share "$work/system.nvx")
    if [ "$type" = application/x-nvx ]; then pass "installed: a .nvx file is $type"; else fail "installed: a .nvx file is '$type'"; fi
    dpkg -r nvxedit >"$work/dpkg.log" 2>&1 || fail "dpkg -r nvxedit: $(cat "$work/dpkg.log")"
    installed_here=
    left=0
    for path in "${listed[@]}"; do
      if [ -e "$path" ] && [ ! -d "$path" ]; then
        fail "left behind after dpkg -r: $path"
        left=1
      fi
    done
    [ "$left" -eq 0 ] && pass "dpkg -r removed all ${#listed[@]} paths it installed"
    if dpkg-query -W -f='${Status}' nvxedit 2>/dev/null | grep -q 'ok installed'; then
      fail "dpkg still lists nvxedit after dpkg -r"
    fi
    type=$(content_type /usr/local/share:/usr/share "$work/system.nvx")
    if [ "$type" != application/x-nvx ]; then pass "removed: the file type is gone"; else fail "removed: application/x-nvx still known"; fi
  else
    fail "dpkg -i: $(cat "$work/dpkg.log")"
  fi
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "install checks passed"
