#!/usr/bin/env bash
# Checks the EPUB books nvx writes with the tools e-readers and stores trust. For each test
# collection (the sample, 3,000 chapters, volumes, an article over 240 KB, 4-byte GB18030
# characters and & < >): export it, run EPUBCheck (0 fatals, 0 errors, 0 warnings), read it with
# pandoc (its plain text holds every article's title and text, in order), and import it back into
# a new collection (nvx diff: the same). Then a book pandoc made from Markdown imports with as many
# articles as its contents has entries.
# Usage: scripts/check-epub.sh [BUILD_DIR]   (scripts/install-deps.sh epub installs the tools)
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
nvx="$build/src/tool/nvx"
work="$build/epub-check"
rm -rf "$work"
mkdir -p "$work"
export SOURCE_DATE_EPOCH=1700000000

# The books, as TXT files nvx import splits into chapters.
python3 - "$work" <<'EOF'
import sys
out = sys.argv[1]
seed = 4242
def rand():
    global seed
    seed = (seed * 1664525 + 1013904223) % 2**32
    return seed
alphabet = ("的一是在不了有和人这中大为上个国我以要他时来用们生到作地于出就分对成会可主发年动同工也能下过子说"
            "产种面而方后多定行学法所民得经十三之进着等部度家电力里如水化高自二理起小物现实加量都两体制机当使点")
def prose(size):
    text = ""
    while len(text.encode()) < size:
        text += "　　" + "".join(alphabet[(rand() >> 8) % len(alphabet)] for _ in range(30 + rand() % 60)) + "。\n"
    return text
def write(name, text, encoding="utf-8"):
    with open(f"{out}/{name}", "w", encoding=encoding, newline="\n") as f:
        f.write(text)
# 3,000 chapters, 10 MB.
write("chapters3000.txt", "".join(f"第{c}章 标题{c}\n\n" + prose(10 * 2**20 // 3000) for c in range(1, 3001)))
# Volumes as dividers, the parents of their chapters.
write("volumes.txt", "".join(f"第{v}卷 卷名{v}\n" + "".join(f"第{c}章 章名{v}-{c}\n" + prose(3000) for c in range(1, 6))
                             for v in range(1, 5)))
# One article of 400 KB among short ones.
write("long.txt", "第一章 短\n" + prose(2000) + "第二章 长\n" + prose(400 * 1024) + "第三章 短\n" + prose(2000))
# Characters GB18030 stores in four bytes, and the characters XML escapes, in a GB18030 file.
write("special.txt", "第一章 𠀀 & < > 的\n　　𠀀𠀁𪚥 emoji 😀 & <b>not bold</b> > “引号” ←\n\n第二章 € 与 ©\n　　a<b & c>d\n"
      "　　𝄞 music\n", "gb18030")
EOF

bash "$here/make-sample.sh" "$work/sample.nvx" "$build" >/dev/null
for book in chapters3000 volumes long special; do
  "$nvx" new "$work/$book.nvx"
  "$nvx" import "$work/$book.nvx" "$work/$book.txt" --max-chars 1000000 >/dev/null
done

failed=0
fail() { echo "FAILED: $*"; failed=1; }

for c in sample chapters3000 volumes long special; do
  file="$work/$c.nvx"
  epub="$work/$c.epub"
  echo "== $c: $("$nvx" export "$file" "$epub" --title "$c" --author nvx)"
  # The wrapper script /usr/bin/epubcheck needs a kernel feature containers lack; run the jar.
  report=$(java -jar /usr/share/java/epubcheck.jar "$epub" 2>&1) || true
  summary=$(grep -E '^Messages:' <<<"$report" || echo "no summary")
  echo "   epubcheck: $summary"
  if [ "$summary" != "Messages: 0 fatals / 0 errors / 0 warnings / 0 infos" ]; then
    fail "epubcheck on $c"
    grep -E '^(FATAL|ERROR|WARNING)' <<<"$report" | head -20
  fi

  # pandoc's plain text holds every title and text in order (white space aside).
  pandoc -f epub -t plain --wrap=none "$epub" -o "$work/$c.plain"
  rm -rf "$work/$c.split"
  "$nvx" export "$file" "$work/$c.split" --split >/dev/null
  "$nvx" list "$file" >"$work/$c.titles"
  if python3 - "$work/$c.plain" "$work/$c.split" "$work/$c.titles" <<'EOF'; then
import os, re, sys
squeeze = lambda s: re.sub(r"\s+", "", s)
plain = squeeze(open(sys.argv[1], encoding="utf-8").read())
titles = [line.split("\t", 1)[1] for line in open(sys.argv[3], encoding="utf-8").read().splitlines()]
texts = [open(os.path.join(sys.argv[2], f), encoding="utf-8").read() for f in sorted(os.listdir(sys.argv[2]))]
at = 0
for n, (title, text) in enumerate(zip(titles, texts), 1):
    for part in (title, text):
        found = plain.find(squeeze(part), at)
        if found < 0:
            sys.exit(f"article {n} ({title}) is not in pandoc's text after offset {at}")
        at = found + len(squeeze(part))
print(f"   pandoc: all {len(titles)} articles' titles and texts, in order")
EOF
    :
  else
    fail "pandoc text of $c"
  fi

  # Back into a new collection: the same titles and texts.
  "$nvx" new "$work/$c.back.nvx"
  "$nvx" import "$work/$c.back.nvx" "$epub" >/dev/null
  if diff=$("$nvx" diff "$file" "$work/$c.back.nvx"); then
    echo "   round trip: $(tail -1 <<<"$diff")"
  else
    fail "round trip of $c"
    head -5 <<<"$diff"
  fi
done

# A book pandoc makes, several chapters and sections in one Markdown file: one article per entry.
printf '%% 书\n\n# 第一章 甲\n\n甲文。\n\n## 一节\n\n节文。\n\n## 二节\n\n二节文。\n\n# 第二章 乙\n\n乙文。\n' >"$work/pandoc.md"
pandoc "$work/pandoc.md" -o "$work/pandoc.epub"
entries=$(unzip -p "$work/pandoc.epub" EPUB/nav.xhtml | grep -o '<a href="text/ch' | wc -l)
"$nvx" new "$work/pandoc.nvx"
added=$("$nvx" import "$work/pandoc.nvx" "$work/pandoc.epub")
echo "== pandoc-made book: $entries contents entries; $added"
[ "$("$nvx" list "$work/pandoc.nvx" | wc -l)" -eq "$entries" ] || fail "pandoc-made book"

if [ "$failed" -ne 0 ]; then
  echo "EPUB check failed"
  exit 1
fi
echo "EPUB check passed"
