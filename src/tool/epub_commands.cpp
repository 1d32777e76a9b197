#include "tool/epub_commands.h"

#include <sys/stat.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "store/article_file.h"
#include "store/article_walk.h"
#include "store/book_search.h"
#include "store/codepage.h"
#include "store/epub_reader.h"
#include "store/epub_writer.h"
#include "store/file_identity.h"
#include "tool/tool_commands.h"

namespace nvx::tool {

namespace {

bool EndsWithEpub(const std::string& name) {
  if (name.size() < 5) return false;
  std::string tail = name.substr(name.size() - 5);
  for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return tail == ".epub";
}

std::optional<std::int64_t> Number(std::string_view s, std::int64_t least) {
  std::int64_t value = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (s.empty() || ec != std::errc() || end != s.data() + s.size() || value < least) return std::nullopt;
  return value;
}

// The words and "--name value" options after the command; `error` says what is wrong.
struct EpubArguments {
  std::vector<std::string> words;
  std::map<std::string, std::string> values;
  std::string error;
};

EpubArguments ParseEpubArguments(const std::vector<std::string>& args,
                                 const std::vector<std::string>& options) {
  EpubArguments parsed;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.size() < 2 || a[0] != '-') {
      parsed.words.push_back(a);
      continue;
    }
    if (a == "--dry-run" && std::find(options.begin(), options.end(), a) != options.end()) {
      parsed.values[a] = "";
      continue;
    }
    const auto eq = a.find('=');
    const std::string name = a.substr(0, eq);
    if (std::find(options.begin(), options.end(), name) == options.end()) {
      parsed.error = "unknown option " + a;
    } else if (eq != std::string::npos) {
      parsed.values[name] = a.substr(eq + 1);
    } else if (i + 1 < args.size()) {
      parsed.values[name] = args[++i];
    } else {
      parsed.error = a + " needs a value";
    }
    if (!parsed.error.empty()) break;
  }
  return parsed;
}

int UsageError(const std::string& what, int (*usage)()) {
  std::fprintf(stderr, "nvx: %s\n", what.c_str());
  return usage();
}

// SOURCE_DATE_EPOCH when set (reproducible builds), else now.
std::int64_t BookTime() {
  if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH")) {
    if (const auto seconds = Number(epoch, 0)) return *seconds;
  }
  return static_cast<std::int64_t>(std::time(nullptr));
}

int ExportEpub(const std::vector<std::string>& args, int (*usage)()) {
  const EpubArguments a = ParseEpubArguments(args, {"--range", "--per", "--title", "--author", "--lang"});
  if (!a.error.empty()) return UsageError(a.error, usage);
  if (a.words.size() != 2) return usage();
  const std::string& file = a.words[0];
  const std::string& out = a.words[1];

  std::int64_t first = 1, last = INT64_MAX, per = INT64_MAX;
  if (a.values.count("--range")) {
    const std::string& range = a.values.at("--range");
    const auto dash = range.find('-');
    const auto from = Number(std::string_view(range).substr(0, dash), 1);
    const std::string to = dash == std::string::npos ? std::string("x") : range.substr(dash + 1);
    const auto until = to.empty() ? std::optional<std::int64_t>(INT64_MAX) : Number(to, 1);
    if (!from || !until || *until < *from) return UsageError("--range is A-B or A- (places, from 1)", usage);
    first = *from;
    last = *until;
  }
  if (a.values.count("--per")) {
    const auto n = Number(a.values.at("--per"), 1);
    if (!n) return UsageError("--per needs a positive number", usage);
    per = *n;
  }
  epub::BookInfo info;
  info.title =
      a.values.count("--title") ? a.values.at("--title") : std::filesystem::path(file).stem().string();
  if (a.values.count("--author")) info.author = a.values.at("--author");
  if (a.values.count("--lang")) info.language = a.values.at("--lang");
  for (const std::string* text : {&info.title, &info.author, &info.language}) {
    if (FindInvalidUtf8(*text)) return UsageError("--title, --author and --lang must be UTF-8", usage);
  }
  if (info.language.empty()) return UsageError("--lang needs a language tag such as zh-CN", usage);
  info.modified = BookTime();

  SqliteDB db;
  if (auto code = OpenArticles(db, file)) return *code;
  std::vector<epub::Chapter> chapters;
  bool damaged = false;
  const bool read = book::WalkArticlesInParallel(
      db, book::Decoding::Utf8, [](book::ArticleJob&) {},
      [&](book::ArticleJob& job) {
        if (job.place < first) return true;
        if (job.place > last) return false;
        if (!job.readable) {
          damaged = true;
          Fail(file, "article " + std::to_string(job.id) + ": content does not unpack");
        }
        chapters.push_back({std::move(job.title), std::move(job.text)});
        return true;
      });
  if (!read) return Fail(file, "cannot read the articles");
  if (damaged) return kFailure;
  if (chapters.empty())
    return Fail(file, a.values.count("--range") ? "no articles in --range" : "no articles");

  // With --per, OUT.epub becomes OUT-1.epub, OUT-2.epub, ... of `per` articles each.
  const bool series = per != INT64_MAX;
  const std::size_t size = series ? static_cast<std::size_t>(per) : chapters.size();
  const std::size_t books = (chapters.size() + size - 1) / size;
  const std::string title = info.title;
  const Text collection = FromUtf8(file).value_or(Text());
  for (std::size_t b = 0; b < books; ++b) {
    const std::string target =
        series ? out.substr(0, out.size() - 5) + "-" + std::to_string(b + 1) + ".epub" : out;
    if (series) info.title = title + " (" + std::to_string(b + 1) + ")";
    const std::size_t begin = b * size;
    const std::size_t end = std::min(chapters.size(), begin + size);
    const std::vector<epub::Chapter> part(chapters.begin() + static_cast<std::ptrdiff_t>(begin),
                                          chapters.begin() + static_cast<std::ptrdiff_t>(end));
    const auto localTarget = FromUtf8(target);
    if (!localTarget) return Fail(target, "cannot write");
    if (IsSameFile(*localTarget, collection)) return Fail(target, "is the collection itself");
    const epub::BuildResult result = epub::WriteEpub(*localTarget, info, part);
    if (!result.ok) return Fail(target, result.error);
    if (result.dropped > 0) {
      Fail(target, "warning: " + std::to_string(result.dropped) +
                       " control characters XML cannot hold were left out");
    }
    std::printf("%s: %zu articles, %zu volumes, %zu files\n", target.c_str(), part.size(), result.dividers,
                part.size() + result.splitParts);
  }
  return kSuccess;
}

// The whole of a regular file; nothing for anything else (a FIFO is never opened).
std::optional<std::string> ReadBookFile(const std::string& file) {
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  std::ifstream in(file, std::ios::binary);
  std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (!in.good() && !in.eof()) return std::nullopt;
  return bytes;
}

int ImportEpub(const std::vector<std::string>& args, int (*usage)()) {
  const EpubArguments a = ParseEpubArguments(args, {"--dry-run"});
  if (!a.error.empty()) return UsageError(a.error, usage);
  if (a.words.size() != 2) return usage();
  const std::string& file = a.words[0];
  const std::string& bookFile = a.words[1];

  SqliteDB db;
  if (auto code = OpenArticles(db, file)) return *code;
  const auto bytes = ReadBookFile(bookFile);
  if (!bytes) return Fail(bookFile, "cannot read");
  const epub::ReadResult book = epub::ReadEpub(*bytes);
  if (!book.ok) return Fail(bookFile, book.error);
  if (book.articles.empty()) return Fail(bookFile, "no contents");

  const char* source = epub::ContentsSourceName(book.source);
  if (a.values.count("--dry-run")) {
    std::string out;
    for (std::size_t i = 0; i < book.articles.size(); ++i) {
      const auto& article = book.articles[i];
      out += std::to_string(i + 1) + '\t' + article.title + '\t' + std::to_string(article.characters) + '\n';
    }
    out += std::string("contents ") + source + "; " + std::to_string(book.articles.size()) + " articles\n";
    if (!WriteOut(out)) return Fail(file, "cannot write output");
    return kSuccess;
  }
  if (const ArticleFileState state = QuickCheck(db); state != ArticleFileState::Sound)
    return Fail(file, DescribeState(state));
  const book::WriteOutcome written = book::WriteArticles(db, book.articles);
  if (!written.ok) return Fail(file, written.error);
  std::printf("added %zu articles (ids %lld-%lld), contents from the %s\n", book.articles.size(),
              static_cast<long long>(written.firstId), static_cast<long long>(written.lastId), source);
  return kSuccess;
}

}  // namespace

std::optional<int> RunEpubCommand(const std::vector<std::string>& args, int (*usage)()) {
  if (args.empty() || (args[0] != "export" && args[0] != "import")) return std::nullopt;
  if (std::find(args.begin(), args.end(), "--split") != args.end()) return std::nullopt;
  // The book file is the second word; options and their values are passed over.
  const std::vector<std::string> valued = {"--range", "--per",      "--title", "--author",
                                           "--lang",  "--encoding", "--rule",  "--max-chars"};
  std::vector<std::string> words;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i].size() < 2 || args[i][0] != '-') {
      words.push_back(args[i]);
    } else if (std::find(valued.begin(), valued.end(), args[i]) != valued.end()) {
      ++i;
    }
  }
  if (words.size() < 2 || !EndsWithEpub(words[1])) return std::nullopt;
  return args[0] == "export" ? ExportEpub(args, usage) : ImportEpub(args, usage);
}

}  // namespace nvx::tool
