// nvx: the command-line companion of the editor, for people who script their collections.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tool/book_commands.h"
#include "tool/copy_commands.h"
#include "tool/epub_commands.h"
#include "tool/tidy_commands.h"
#include "tool/tool_commands.h"

namespace {

constexpr const char* kUsageText =
    "Usage: nvx COMMAND FILE [ARGUMENTS]\n"
    "Works on article databases (.nvx), the collections of the NVX editor.\n"
    "\n"
    "Commands:\n"
    "  new FILE          write an empty article database to FILE (replacing a file there)\n"
    "  list FILE         print one line per article in id order: id, a tab, the title\n"
    "  cat FILE ID       print the content of article ID (UTF-8, line ends as stored)\n"
    "  add FILE TITLE    add an article titled TITLE with the UTF-8 text read from standard input;\n"
    "                    prints the new id\n"
    "  check FILE        say whether FILE is a sound article database; one line per problem\n"
    "  export FILE OUT   write every article into the text file OUT, as the editor's export does\n"
    "                    (GB18030 text; each article \"[第N篇]\" title, CR LF, text, CR LF, one zero byte)\n"
    "  import FILE BOOK.txt [--dry-run] [--encoding NAME] [--rule REGEX] [--max-chars N]\n"
    "                    add the chapters of a TXT book as articles, in one transaction; the\n"
    "                    encoding is told from the bytes unless given; chapters start at heading\n"
    "                    lines (the default rule, or a PCRE2 pattern); --dry-run only lists them\n"
    "                    [--convert NAME] converts titles and texts with OpenCC, as convert does\n"
    "  import FILE BOOK.epub [--dry-run]\n"
    "                    add one article per entry of the book's contents (nav, else NCX, else\n"
    "                    the spine), in one transaction; damaged, encrypted or oversized books\n"
    "                    are refused with the reason\n"
    "  grep FILE TEXT [-i] [-E] [-c] [--titles]\n"
    "                    print id, title, line and the text around each match in the articles'\n"
    "                    texts (-i any case, -E TEXT is a PCRE2 pattern, -c counts per article,\n"
    "                    --titles searches titles); exit 0 found, 1 not found, 2 error\n"
    "  stat FILE         print id, title, characters, lines and the line read, per article\n"
    "  export FILE OUT.epub [--range A-B] [--per N] [--title T] [--author A] [--lang L]\n"
    "                    write the articles as an EPUB 3 book (one XHTML file per article, contents\n"
    "                    as nav and NCX, volumes as their parents; --per N writes OUT-1.epub,\n"
    "                    OUT-2.epub, ... of N articles each; SOURCE_DATE_EPOCH fixes its time)\n"
    "  export FILE DIR --split [--range A-B] [--encoding utf-8|gb18030]\n"
    "                    write each article into DIR as NNNN-title.txt (UTF-8 by default)\n"
    "  backup FILE [--dir DIR] [--keep N]\n"
    "                    copy FILE with SQLite into DIR (default: FILE's folder) as\n"
    "                    NAME-YYYYMMDD-HHMMSS.nvx, checked before it gets that name; then keep\n"
    "                    the newest N backups of FILE there (default 5); prints the copy's path\n"
    "  diff A B          compare two collections article by article, matched by id: \"+ id title\"\n"
    "                    only in B, \"- id title\" only in A, \"~ id title (title, text, state)\"\n"
    "                    changed; then \"N same, A added, R removed, C changed\"; exit 0 the\n"
    "                    same, 1 different, 2 trouble\n"
    "  convert FILE --config NAME [--range A-B] [--titles-only|--texts-only] [--dry-run]\n"
    "                    convert titles and texts with OpenCC (NAME: s2t, t2s, s2tw, s2twp, tw2sp,\n"
    "                    s2hk, ... or a configuration file), in one transaction; reading state and\n"
    "                    line ends kept; --dry-run counts the articles and characters that would change\n"
    "  clean FILE --rules RULES [--dry-run]\n"
    "                    remove junk by PCRE2 rules, one a line: \"line:P\" (the default) removes the\n"
    "                    lines P matches, \"text:P\" what it matches; # comments; one transaction;\n"
    "                    --dry-run lists id, line, kind and text of each removal\n"
    "  dups FILE [--near PERCENT]\n"
    "                    print \"id id similarity title title\" for articles whose texts are the same\n"
    "                    apart from spaces and line ends, and with --near (50-100) those sharing at\n"
    "                    least PERCENT of their 5-character shingles (MinHash estimate); exit 0\n"
    "                    none, 1 some, 2 error\n"
    "  --help            show this text\n"
    "  --version         show the version\n"
    "\n"
    "Exit status: 0 success, 1 failure (the reason on standard error), 2 wrong usage.\n";

int Usage() {
  std::fputs(kUsageText, stderr);
  return nvx::tool::kUsage;
}

int Run(const std::vector<std::string>& args) {
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h" || args[0] == "help")) {
    std::fputs(kUsageText, stdout);
    return nvx::tool::kSuccess;
  }
  if (args.size() == 1 && args[0] == "--version") {
    std::printf("nvx %s\n", NVX_VERSION);
    return nvx::tool::kSuccess;
  }
  if (args.empty()) return Usage();
  if (auto code = nvx::tool::RunEpubCommand(args, Usage)) return *code;
  if (auto code = nvx::tool::RunBookCommand(args, Usage)) return *code;
  if (auto code = nvx::tool::RunTidyCommand(args, Usage)) return *code;
  const std::string& command = args[0];
  const std::size_t n = args.size();
  if (command == "new" && n == 2) return nvx::tool::NewFile(args[1]);
  if (command == "list" && n == 2) return nvx::tool::List(args[1]);
  if (command == "cat" && n == 3) return nvx::tool::Cat(args[1], args[2]);
  if (command == "add" && n == 3) return nvx::tool::Add(args[1], args[2]);
  if (command == "check" && n == 2) return nvx::tool::Check(args[1]);
  if (command == "export" && n == 3) return nvx::tool::ExportText(args[1], args[2]);
  if (command == "backup") {
    const int code = nvx::tool::Backup(std::vector<std::string>(args.begin() + 1, args.end()));
    return code == nvx::tool::kUsage ? Usage() : code;
  }
  if (command == "diff" && n == 3) return nvx::tool::Diff(args[1], args[2]);
  return Usage();
}

}  // namespace

int main(int argc, char** argv) {
  // Whatever a command printed must have reached standard output, or the run failed.
  return nvx::tool::FinishOutput(Run(std::vector<std::string>(argv + 1, argv + argc)));
}
