// nvx: the command-line companion of the editor, for people who script their collections. Every
// command is one row of the table below: its name, its lines in the help text, its options and
// its handler; the help text and the dispatch are made from the table.
#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "tool/book_commands.h"
#include "tool/copy_commands.h"
#include "tool/epub_commands.h"
#include "tool/tidy_commands.h"
#include "tool/tool_commands.h"

namespace nvx::tool {
namespace {

// A command name may have forms told apart by the arguments: `export` and `import` with a book
// file ending in ".epub", `export` with --split. A row of the plain form serves the rest.
enum class Form { Plain, Epub, Split };

struct Command {
  const char* name;
  Form form;
  const char* help;   // its lines in the help text, after the command list's indent
  std::size_t words;  // FILE and the other words after the command
  std::set<std::string> flags;
  std::set<std::string> valued;
  int (*run)(const CommandArguments&);
  int outputFailed = kFailure;  // the exit code when standard output cannot be written
};

constexpr int kTrouble = 2;  // grep, diff, dups: 1 is an answer ("not found", "different")

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"new",
       Form::Plain,
       "new FILE          write an empty article database to FILE (replacing a file there)\n",
       1,
       {},
       {},
       [](const CommandArguments& a) { return NewFile(a.words[0]); }},
      {"list",
       Form::Plain,
       "list FILE         print one line per article in id order: id, a tab, the title\n",
       1,
       {},
       {},
       [](const CommandArguments& a) { return List(a.words[0]); }},
      {"cat",
       Form::Plain,
       "cat FILE ID       print the content of article ID (UTF-8, line ends as stored)\n",
       2,
       {},
       {},
       [](const CommandArguments& a) { return Cat(a.words[0], a.words[1]); }},
      {"add",
       Form::Plain,
       "add FILE TITLE    add an article titled TITLE with the UTF-8 text read from standard input;\n"
       "                    prints the new id\n",
       2,
       {},
       {},
       [](const CommandArguments& a) { return Add(a.words[0], a.words[1]); }},
      {"check",
       Form::Plain,
       "check FILE        say whether FILE is a sound article database; one line per problem\n",
       1,
       {},
       {},
       [](const CommandArguments& a) { return Check(a.words[0]); }},
      {"export",
       Form::Plain,
       "export FILE OUT   write every article into the text file OUT, as the editor's export does\n"
       "                    (GB18030 text; each article \"[第N篇]\" title, CR LF, text, CR LF, one zero "
       "byte)\n",
       2,
       {},
       {},
       [](const CommandArguments& a) { return ExportText(a.words[0], a.words[1]); }},
      {"import",
       Form::Plain,
       "import FILE BOOK.txt [--dry-run] [--encoding NAME] [--rule REGEX] [--max-chars N]\n"
       "                    add the chapters of a TXT book as articles, in one transaction; the\n"
       "                    encoding is told from the bytes unless given; chapters start at heading\n"
       "                    lines (the default rule, or a PCRE2 pattern); --dry-run only lists them\n"
       "                    [--convert NAME] converts titles and texts with OpenCC, as convert does\n",
       2,
       {"--dry-run"},
       {"--encoding", "--rule", "--max-chars", "--convert"},
       ImportBook},
      {"import",
       Form::Epub,
       "import FILE BOOK.epub [--dry-run]\n"
       "                    add one article per entry of the book's contents (nav, else NCX, else\n"
       "                    the spine), in one transaction; damaged, encrypted or oversized books\n"
       "                    are refused with the reason\n",
       2,
       {"--dry-run"},
       {},
       ImportEpub},
      {"grep",
       Form::Plain,
       "grep FILE TEXT [-i] [-E] [-c] [--titles]\n"
       "                    print id, title, line and the text around each match in the articles'\n"
       "                    texts (-i any case, -E TEXT is a PCRE2 pattern, -c counts per article,\n"
       "                    --titles searches titles); exit 0 found, 1 not found, 2 error\n",
       2,
       {"-i", "-E", "-c", "--titles"},
       {},
       Grep,
       kTrouble},
      {"stat",
       Form::Plain,
       "stat FILE         print id, title, characters, lines and the line read, per article\n",
       1,
       {},
       {},
       Stat},
      {"export",
       Form::Epub,
       "export FILE OUT.epub [--range A-B] [--per N] [--title T] [--author A] [--lang L]\n"
       "                    write the articles as an EPUB 3 book (one XHTML file per article, contents\n"
       "                    as nav and NCX, volumes as their parents; --per N writes OUT-1.epub,\n"
       "                    OUT-2.epub, ... of N articles each; SOURCE_DATE_EPOCH fixes its time)\n",
       2,
       {},
       {"--range", "--per", "--title", "--author", "--lang"},
       ExportEpub},
      {"export",
       Form::Split,
       "export FILE DIR --split [--range A-B] [--encoding utf-8|gb18030]\n"
       "                    write each article into DIR as NNNN-title.txt (UTF-8 by default)\n",
       2,
       {"--split"},
       {"--range", "--encoding"},
       ExportSplit},
      {"backup",
       Form::Plain,
       "backup FILE [--dir DIR] [--keep N]\n"
       "                    copy FILE with SQLite into DIR (default: FILE's folder) as\n"
       "                    NAME-YYYYMMDD-HHMMSS.nvx, checked before it gets that name; then keep\n"
       "                    the newest N backups of FILE there (default 5); prints the copy's path\n",
       1,
       {},
       {"--dir", "--keep"},
       Backup},
      {"diff",
       Form::Plain,
       "diff A B          compare two collections article by article, matched by id: \"+ id title\"\n"
       "                    only in B, \"- id title\" only in A, \"~ id title (title, text, state)\"\n"
       "                    changed; then \"N same, A added, R removed, C changed\"; exit 0 the\n"
       "                    same, 1 different, 2 trouble\n",
       2,
       {},
       {},
       [](const CommandArguments& a) { return Diff(a.words[0], a.words[1]); },
       kTrouble},
      {"convert",
       Form::Plain,
       "convert FILE --config NAME [--range A-B] [--titles-only|--texts-only] [--dry-run]\n"
       "                    convert titles and texts with OpenCC (NAME: s2t, t2s, s2tw, s2twp, tw2sp,\n"
       "                    s2hk, ... or a configuration file), in one transaction; reading state and\n"
       "                    line ends kept; --dry-run counts the articles and characters that would change\n",
       1,
       {"--dry-run", "--titles-only", "--texts-only"},
       {"--config", "--range"},
       Convert},
      {"clean",
       Form::Plain,
       "clean FILE --rules RULES [--dry-run]\n"
       "                    remove junk by PCRE2 rules, one a line: \"line:P\" (the default) removes the\n"
       "                    lines P matches, \"text:P\" what it matches; # comments; one transaction;\n"
       "                    --dry-run lists id, line, kind and text of each removal\n",
       1,
       {"--dry-run"},
       {"--rules"},
       Clean},
      {"dups",
       Form::Plain,
       "dups FILE [--near PERCENT]\n"
       "                    print \"id id similarity title title\" for articles whose texts are the same\n"
       "                    apart from spaces and line ends, and with --near (50-100) those sharing at\n"
       "                    least PERCENT of their 5-character shingles (MinHash estimate); exit 0\n"
       "                    none, 1 some, 2 error\n",
       1,
       {},
       {"--near"},
       Dups,
       kTrouble},
  };
  return commands;
}

std::string HelpText() {
  std::string text =
      "Usage: nvx COMMAND FILE [ARGUMENTS]\n"
      "Works on article databases (.nvx), the collections of the NVX editor.\n"
      "\n"
      "Commands:\n";
  for (const Command& command : Commands()) text += std::string("  ") + command.help;
  text +=
      "  --help            show this text\n"
      "  --version         show the version\n"
      "\n"
      "Exit status: 0 success, 1 failure (the reason on standard error), 2 wrong usage.\n";
  return text;
}

int Usage() {
  std::fputs(HelpText().c_str(), stderr);
  return kUsage;
}

bool EndsWithEpub(std::string name) {
  std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
  return name.ends_with(".epub");
}

// The form the arguments ask for: --split anywhere, or a second word ending in ".epub" (read with
// every option any form of the command takes).
Form FormOf(const std::vector<std::string>& args) {
  if (std::find(args.begin(), args.end(), "--split") != args.end()) return Form::Split;
  std::set<std::string> flags, valued;
  for (const Command& command : Commands()) {
    if (args[0] != command.name) continue;
    flags.insert(command.flags.begin(), command.flags.end());
    valued.insert(command.valued.begin(), command.valued.end());
  }
  const CommandArguments parsed = ParseArguments(args, flags, valued);
  return parsed.words.size() >= 2 && EndsWithEpub(parsed.words[1]) ? Form::Epub : Form::Plain;
}

const Command* FindCommand(const std::vector<std::string>& args) {
  const Form form = FormOf(args);
  const Command* plain = nullptr;
  for (const Command& command : Commands()) {
    if (args[0] != command.name) continue;
    if (command.form == form) return &command;
    if (command.form == Form::Plain) plain = &command;
  }
  return plain;
}

int Run(const std::vector<std::string>& args, int& outputFailed) {
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h" || args[0] == "help")) {
    WriteOut(HelpText());
    return kSuccess;
  }
  if (args.size() == 1 && args[0] == "--version") {
    std::printf("nvx %s\n", NVX_VERSION);
    return kSuccess;
  }
  if (args.empty()) return Usage();
  const Command* command = FindCommand(args);
  if (command == nullptr) {
    UsageError("unknown command " + args[0]);
    return Usage();
  }
  const CommandArguments parsed = ParseArguments(args, command->flags, command->valued);
  if (!parsed.error.empty()) UsageError(parsed.error);
  if (!parsed.error.empty() || parsed.words.size() != command->words) return Usage();
  outputFailed = command->outputFailed;
  const int code = command->run(parsed);
  return code == kShowUsage ? Usage() : code;
}

}  // namespace
}  // namespace nvx::tool

int main(int argc, char** argv) {
  // Whatever a command printed must have reached standard output, or the run failed.
  int outputFailed = nvx::tool::kFailure;
  const int code = nvx::tool::Run(std::vector<std::string>(argv + 1, argv + argc), outputFailed);
  return nvx::tool::FinishOutput(code, outputFailed);
}
