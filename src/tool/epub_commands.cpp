#include "tool/epub_commands.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>

#include "base/codepage.h"
#include "base/file_identity.h"
#include "store/article_file.h"
#include "store/article_walk.h"
#include "store/book_search.h"
#include "store/epub_reader.h"
#include "store/epub_writer.h"
#include "tool/book_commands.h"
#include "tool/tool_commands.h"

namespace nvx::tool {

namespace {

// SOURCE_DATE_EPOCH when set (reproducible builds), else now.
std::int64_t BookTime() {
  if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH")) {
    if (const auto seconds = ParseNumber(epoch, 0)) return *seconds;
  }
  return static_cast<std::int64_t>(std::time(nullptr));
}

// The book's title, author and language from the options, and its time; the exit code of a
// usage error otherwise.
std::optional<int> ReadBookInfo(const CommandArguments& a, const std::string& file, epub::BookInfo& info) {
  info.title =
      a.values.count("--title") ? a.values.at("--title") : std::filesystem::path(file).stem().string();
  if (a.values.count("--author")) info.author = a.values.at("--author");
  if (a.values.count("--lang")) info.language = a.values.at("--lang");
  for (const std::string* text : {&info.title, &info.author, &info.language}) {
    if (FindInvalidUtf8(*text)) return UsageError("--title, --author and --lang must be UTF-8");
  }
  if (info.language.empty()) return UsageError("--lang needs a language tag such as zh-CN");
  info.modified = BookTime();
  return std::nullopt;
}

// The articles of `file` within `range`, in order; the exit code when one cannot be read or there
// are none.
std::optional<int> ReadChapters(const CommandArguments& a, const std::string& file, const PlaceRange& range,
                                std::vector<epub::Chapter>& chapters) {
  SqliteDB db;
  if (auto code = OpenArticles(db, file)) return *code;
  bool damaged = false;
  const bool read = book::WalkArticlesInParallel(
      db, book::Decoding::Utf8, [](book::ArticleJob&) {},
      [&](book::ArticleJob& job) {
        if (job.place < range.first) return true;
        if (job.place > range.last) return false;
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
  return std::nullopt;
}

// Writes the chapters into OUT.epub, or with `per` into OUT-1.epub, OUT-2.epub, ... of `per`
// articles each, and says what each holds.
int WriteBooks(const std::string& file, const std::string& out, std::int64_t per, epub::BookInfo info,
               const std::vector<epub::Chapter>& chapters) {
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
    const auto count = [](std::size_t n, const char* noun) {
      return Counted(static_cast<std::int64_t>(n), noun);
    };
    WriteOut(target + ": " + count(part.size(), "article") + ", " + count(result.dividers, "volume") + ", " +
             count(part.size() + result.splitParts, "file") + "\n");
  }
  return kSuccess;
}

}  // namespace

int ExportEpub(const CommandArguments& a) {
  const std::string& file = a.words[0];
  const std::string& out = a.words[1];

  PlaceRange range;
  if (!ReadRangeOption(a, range)) return UsageError(kRangeUsage);
  std::int64_t per = INT64_MAX;
  if (a.HasValue("--per")) {
    const auto n = ParseNumber(a.Value("--per"));
    if (!n) return UsageError("--per needs a positive number");
    per = *n;
  }
  epub::BookInfo info;
  if (auto code = ReadBookInfo(a, file, info)) return *code;
  std::vector<epub::Chapter> chapters;
  if (auto code = ReadChapters(a, file, range, chapters)) return *code;
  return WriteBooks(file, out, per, info, chapters);
}

int ImportEpub(const CommandArguments& a) {
  const std::string& file = a.words[0];
  const std::string& bookFile = a.words[1];

  const book::BookRequest request{.path = bookFile, .epub = true, .dryRun = a.Has("--dry-run")};
  SqliteDB db;
  if (auto code = OpenArticles(db, file)) return *code;
  const book::BookImport imported = book::ImportBook(db, request);
  if (imported.failure != book::BookFailure::None) return ImportFailed(request, imported, file);

  const auto& articles = imported.articles;
  const char* source = epub::ContentsSourceName(imported.source);
  if (request.dryRun) {
    std::string out = Listing(articles);
    out += std::string("contents ") + source + "; " +
           Counted(static_cast<std::int64_t>(articles.size()), "article") + "\n";
    if (!WriteOut(out)) return OutputFailed(file);
    return kSuccess;
  }
  std::printf("added %s (ids %lld-%lld), contents from the %s\n",
              Counted(static_cast<std::int64_t>(articles.size()), "article").c_str(),
              static_cast<long long>(imported.written.firstId),
              static_cast<long long>(imported.written.lastId), source);
  return kSuccess;
}

}  // namespace nvx::tool
