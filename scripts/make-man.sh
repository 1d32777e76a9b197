#!/usr/bin/env bash
# Writes the man pages man/nvx.1 and man/nvxedit.1 from the programs' own --help and --version,
# so that the pages say what the programs say.
#   scripts/make-man.sh [BUILD_DIR]          rewrite the pages (BUILD_DIR defaults to build)
#   scripts/make-man.sh BUILD_DIR --check    only tell whether the pages are up to date
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
mode=${2:-write}

# The help text on standard input as roff: the usage line is the synopsis, "Heading:" lines are
# subsections, "  term   text" lines are tagged paragraphs, more-indented lines continue them.
to_roff() {
  # Through the environment: awk -v would read the backslashes of the font changes.
  PROGRAM=$1 SUMMARY=$2 VERSION=$3 SEE_ALSO=$4 awk '
    function esc(s) {
      gsub(/\\/, "\\e", s)
      gsub(/-/, "\\-", s)
      if (s ~ /^[.\x27]/) s = "\\&" s
      return s
    }
    BEGIN {
      program = ENVIRON["PROGRAM"]; summary = ENVIRON["SUMMARY"]
      version = ENVIRON["VERSION"]; see_also = ENVIRON["SEE_ALSO"]
      printf ".TH %s 1 \"\" \"%s\" \"User Commands\"\n", toupper(program), version
      printf ".SH NAME\n%s \\- %s\n", program, esc(summary)
    }
    NR == 1 {
      sub(/^Usage: */, "")
      n = index($0, " ")
      printf ".SH SYNOPSIS\n.B %s\n", (n ? substr($0, 1, n - 1) : $0)
      if (n) print esc(substr($0, n + 1))
      print ".SH DESCRIPTION"
      next
    }
    /^$/ { paragraph = 1; next }
    /^[^ ].*:$/ { sub(/:$/, ""); printf ".SS %s\n", esc($0); paragraph = 0; next }
    /^  [^ ]/ {
      line = substr($0, 3)
      split_at = match(line, /   */)
      term = split_at ? substr(line, 1, split_at - 1) : line
      text = split_at ? substr(line, split_at + RLENGTH) : ""
      printf ".TP\n\\fB%s\\fR\n", esc(term)
      if (text != "") print esc(text)
      paragraph = 0
      next
    }
    /^   / { sub(/^ +/, ""); print esc($0); next }
    {
      if (paragraph) print ".PP"
      paragraph = 0
      print esc($0)
    }
    END { printf ".SH SEE ALSO\n%s\n", see_also }
  '
}

page() {
  local binary=$1 program=$2 summary=$3 see_also=$4
  "$binary" --help | to_roff "$program" "$summary" "$("$binary" --version)" "$see_also"
}

out=$root/man
if [ "$mode" = "--check" ]; then
  out=$(mktemp -d)
  trap 'rm -rf "$out"' EXIT
fi
page "$build/src/tool/nvx" nvx "the command-line companion of the NVX editor" \
  '\fBnvxedit\fR(1), \fBsqlite3\fR(1)' >"$out/nvx.1"
page "$build/src/nvxedit" nvxedit "read and edit collections of articles" '\fBnvx\fR(1)' >"$out/nvxedit.1"

if [ "$mode" = "--check" ]; then
  status=0
  for p in nvx.1 nvxedit.1; do
    if ! diff -u "$root/man/$p" "$out/$p"; then
      echo "man/$p does not say what --help says: run scripts/make-man.sh $build" >&2
      status=1
    fi
  done
  exit $status
fi
