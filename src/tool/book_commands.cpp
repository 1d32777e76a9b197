#include "tool/book_commands.h"

#include <cstdio>
#include <filesystem>
#include <map>

#include "base/codepage.h"
#include "base/file_identity.h"
#include "store/article_file.h"
#include "store/article_walk.h"
#include "store/atomic_file.h"
#include "store/book_file_import.h"
#include "store/book_import.h"
#include "store/book_search.h"
#include "store/text_convert.h"
#include "store/text_pattern.h"
#include "tool/tool_commands.h"

namespace nvx::tool {

namespace {

constexpr int kGrepFound = 0;
constexpr int kGrepNotFound = 1;
constexpr int kGrepError = 2;
// What a grep job may hold of its output while it waits for its turn to be written, at least: as
// much as the article's text. Beyond, the article is searched again when its turn comes, each
// line written as it is found.
constexpr std::size_t kGrepOutputHeld = 64 * 1024;

bool FlushOut() { return std::fflush(stdout) == 0 && !std::ferror(stdout); }

// "T ×n, …" for the titles given more than once, in the order they first appear.
std::string DuplicateTitles(const std::vector<book::BookArticle>& articles) {
  std::map<std::string, std::size_t> seen;
  std::vector<std::string> order;
  for (const auto& a : articles)
    if (seen[a.title]++ == 0) order.push_back(a.title);
  std::string list;
  for (const auto& title : order) {
    if (seen[title] < 2) continue;
    if (!list.empty()) list += ", ";
    list += title + " ×" + std::to_string(seen[title]);
  }
  return list.empty() ? "none" : list;
}

// "第N章 ×12, 楔子 ×1" for the heading forms a book used.
std::string FormList(const std::vector<std::pair<std::string, std::size_t>>& forms) {
  std::string list;
  for (const auto& [form, count] : forms)
    list += (list.empty() ? "" : ", ") + form + " ×" + std::to_string(count);
  return list.empty() ? "none" : list;
}

// --max-chars and --rule; the exit code of a usage error otherwise. `rule` holds the compiled rule
// that `options` points at.
std::optional<int> ReadSplitOptions(const CommandArguments& a, book::SplitOptions& options,
                                    std::unique_ptr<book::TextPattern>& rule) {
  if (a.values.count("--max-chars")) {
    const auto n = ParseNumber(a.values.at("--max-chars"));
    if (!n) return UsageError("--max-chars needs a positive number");
    options.maxChars = static_cast<std::size_t>(*n);
  }
  if (a.values.count("--rule")) {
    std::string error;
    rule = book::TextPattern::Compile(a.values.at("--rule"), {.budget = true}, &error);
    if (!rule) return UsageError("bad --rule: " + error);
    // A rule that matches an empty line makes every line a heading with nothing under it, and
    // the whole text would go as empty chapters.
    std::size_t begin = 0, end = 0;
    if (rule->Find("", 0, begin, end) != book::TextPattern::Outcome::NotFound)
      return UsageError("bad --rule: it matches an empty line");
    options.rule = rule.get();
  }
  return std::nullopt;
}

// What an import did: with --dry-run the listing and a summary, else the ids added.
int ReportImport(const std::string& file, const book::BookImport& imported, bool dryRun) {
  const auto& articles = imported.articles;
  const auto& split = imported.split;
  const char* ruleName = book::SplitRuleName(split.rule);
  if (dryRun) {
    std::string out = Listing(articles);
    out += "encoding " + imported.decoded.encoding + "; rule " + ruleName + "; " +
           Counted(static_cast<std::int64_t>(articles.size()), "article") + "; " +
           std::to_string(split.emptyDropped) +
           " empty dropped; duplicate titles: " + DuplicateTitles(articles) +
           "; fallback: " + (split.fallback ? "yes" : "no") + "; forms: " + FormList(split.forms) + '\n';
    if (!WriteOut(out) || !FlushOut()) return OutputFailed(file);
    return kSuccess;
  }
  std::printf("added %s (ids %lld-%lld), %s, %s\n",
              Counted(static_cast<std::int64_t>(articles.size()), "article").c_str(),
              static_cast<long long>(imported.written.firstId),
              static_cast<long long>(imported.written.lastId), imported.decoded.encoding.c_str(), ruleName);
  if (!FlushOut()) return OutputFailed(file);
  return kSuccess;
}

}  // namespace

int ImportBook(const CommandArguments& a) {
  const std::string& file = a.words[0];
  const std::string& bookFile = a.words[1];
  const bool dryRun = a.flags.count("--dry-run") != 0;

  book::SplitOptions options;
  std::unique_ptr<book::TextPattern> rule;
  if (auto code = ReadSplitOptions(a, options, rule)) return *code;
  const std::string encoding = a.values.count("--encoding") ? a.values.at("--encoding") : std::string();
  std::unique_ptr<text::ChineseConverter> converter;
  if (a.values.count("--convert")) {
    std::string error;
    converter = text::ChineseConverter::Open(a.values.at("--convert"), &error);
    if (!converter) return UsageError("bad --convert: " + error);
  }

  book::BookRequest request{.path = bookFile, .encoding = encoding, .split = options, .dryRun = dryRun};
  if (converter) {
    request.prepare = [&converter](book::BookArticle& article) {
      return text::ConvertBookArticle(*converter, article);
    };
  }
  SqliteDB db;
  if (auto code = OpenArticles(db, file)) return *code;
  const book::BookImport imported = book::ImportBook(db, request);
  const auto failure = imported.failure;
  if (failure != book::BookFailure::None && failure != book::BookFailure::NotWritten)
    return ImportFailed(request, imported, file);
  for (const auto& title : imported.split.overlong) {
    Fail(bookFile, (options.rule ? "warning: over " : "cut into 第N节 pieces, over ") +
                       std::to_string(options.maxChars) + " characters: " + title);
  }
  if (failure != book::BookFailure::None) return ImportFailed(request, imported, file);

  return ReportImport(file, imported, dryRun);
}

std::string Listing(const std::vector<book::BookArticle>& articles) {
  std::string out;
  for (std::size_t i = 0; i < articles.size(); ++i) {
    const auto& article = articles[i];
    out += std::to_string(i + 1) + '\t' + article.title + '\t' + std::to_string(article.characters) + '\n';
  }
  return out;
}

int ImportFailed(const book::BookRequest& request, const book::BookImport& imported,
                 const std::string& file) {
  const std::string& bookFile = request.path;
  const book::DecodedBook& decoded = imported.decoded;
  switch (imported.failure) {
    case book::BookFailure::None:
    case book::BookFailure::Declined: return kSuccess;
    case book::BookFailure::CannotRead: return Fail(bookFile, "cannot read");
    case book::BookFailure::NotDecoded:
      if (decoded.unknownEncoding) return UsageError("unknown encoding " + request.encoding);
      if (decoded.cutUtf8) {
        return Fail(bookFile, "looks like UTF-8 cut inside its last character at byte " +
                                  std::to_string(decoded.badOffset));
      }
      return Fail(bookFile, "not valid " + decoded.encoding + " at byte " +
                                std::to_string(decoded.badOffset) +
                                (decoded.guessed ? " (use --encoding)" : ""));
    case book::BookFailure::NotEpub: return Fail(bookFile, imported.error);
    case book::BookFailure::PatternTooCostly:
      return Fail(bookFile, imported.error + "; pattern too costly", kUsage);
    case book::BookFailure::NotPrepared: return Fail(bookFile, "OpenCC cannot convert it");
    case book::BookFailure::NoText: return Fail(bookFile, request.epub ? "no contents" : "no text");
    case book::BookFailure::Damaged: return Fail(file, DescribeState(imported.state));
    case book::BookFailure::NotWritten: return Fail(file, imported.written.error);
  }
  return kFailure;
}

int Grep(const CommandArguments& a) {
  const std::string& file = a.words[0];
  book::SearchOptions options;
  options.ignoreCase = a.flags.count("-i") != 0;
  options.regex = a.flags.count("-E") != 0;
  options.countOnly = a.flags.count("-c") != 0;
  options.titlesOnly = a.flags.count("--titles") != 0;
  std::string error;
  const auto searcher = book::Searcher::Create(a.words[1], options, &error);
  if (!searcher) return UsageError(error);

  SqliteDB db;
  if (auto code = OpenArticles(db, file, kGrepError)) return *code;
  bool found = false, failed = false, outputFailed = false, costly = false;
  const bool read = book::WalkArticlesInParallel(
      db, options.titlesOnly ? book::Decoding::None : book::Decoding::Utf8,
      [&searcher](book::ArticleJob& job) {
        const std::size_t held = std::max(kGrepOutputHeld, job.text.size());
        job.searchFailed = !searcher->Search(job, [&job, held](std::string_view line) {
          job.outputCut = job.output.size() + line.size() > held;
          if (!job.outputCut) job.output += line;
          return !job.outputCut;
        });
        if (!job.outputCut) std::string().swap(job.text);
      },
      [&](book::ArticleJob& job) {
        if (job.outputCut && !job.searchFailed) {
          std::string().swap(job.output);
          job.searchFailed = !searcher->Search(job, [&outputFailed](std::string_view line) {
            outputFailed = !WriteOut(line);
            return !outputFailed;
          });
          if (outputFailed) return false;
        }
        // The pattern's one budget is spent: nothing more is searched.
        if (job.searchFailed) {
          costly = true;
          return false;
        }
        found = found || job.count > 0;
        if (!job.readable) {
          failed = true;
          Fail(file, "article " + std::to_string(job.id) + ": cannot be searched");
        }
        outputFailed = !WriteOut(job.output);
        return !outputFailed;
      });
  if (outputFailed || !FlushOut()) return OutputFailed(file, kGrepError);
  if (costly) return Say("pattern too costly", kGrepError);
  if (!read) return Fail(file, "cannot read the articles", kGrepError);
  if (failed) return kGrepError;
  return found ? kGrepFound : kGrepNotFound;
}

int Stat(const CommandArguments& a) {
  const std::string& file = a.words[0];
  SqliteDB db;
  if (auto code = OpenArticles(db, file)) return *code;
  const auto firstLines = book::ReadFirstLines(db);
  if (!firstLines) return Fail(file, "cannot read the articles");
  std::int64_t articles = 0, characters = 0, lines = 0;
  bool damaged = false, outputFailed = false;
  const bool read = book::WalkArticlesInParallel(
      db, book::Decoding::Utf8,
      [](book::ArticleJob& job) {
        job.counts = book::CountText(job.text);
        job.text.clear();
      },
      [&](book::ArticleJob& job) {
        const auto firstLine = [&](std::int64_t id) {
          const auto it = firstLines->find(id);
          return it == firstLines->end() ? 0 : it->second;
        };
        if (!job.readable) {
          damaged = true;
          Fail(file, "article " + std::to_string(job.id) + ": content does not unpack");
        }
        ++articles;
        characters += job.counts.characters;
        lines += job.counts.lines;
        std::string title = job.title;
        std::replace_if(
            title.begin(), title.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
        outputFailed = !WriteOut(
            std::to_string(job.id) + '\t' + title + '\t' + std::to_string(job.counts.characters) + '\t' +
            std::to_string(job.counts.lines) + '\t' + std::to_string(firstLine(job.id)) + '\n');
        return !outputFailed;
      });
  if (!read && !outputFailed) return Fail(file, "cannot read the articles");
  if (!outputFailed)
    outputFailed = !WriteOut("total\t" + Counted(articles, "article") + "\t" + std::to_string(characters) +
                             '\t' + std::to_string(lines) + '\n');
  if (outputFailed || !FlushOut()) return OutputFailed(file);
  return damaged ? kFailure : kSuccess;
}

// ---- export --split ---------------------------------------------------------------------------

namespace {

// File names are at most 255 bytes, and the temporary file of a replacement adds 12 to its name.
constexpr std::size_t kMaxFileNameBytes = 255 - 12;

// "NNNN-title.txt": '/', control characters and a leading dot become '_'; a title too long for a
// file name is cut on a character boundary.
std::string SplitFileName(std::int64_t place, int width, std::string_view title) {
  std::string number = std::to_string(place);
  if (static_cast<int>(number.size()) < width) number.insert(0, width - number.size(), '0');
  std::string name;
  for (std::size_t i = 0; i < title.size(); ++i) {
    const auto c = static_cast<unsigned char>(title[i]);
    const bool control =
        c < 0x20 || c == 0x7F ||
        (c == 0xC2 && i + 1 < title.size() && static_cast<unsigned char>(title[i + 1]) < 0xA0);
    if (control && c == 0xC2) ++i;  // a C1 control, two bytes in UTF-8
    name += control || c == '/' || (i == 0 && c == '.') ? '_' : static_cast<char>(c);
  }
  const std::size_t room = kMaxFileNameBytes - number.size() - 1 - 4;
  if (name.size() > room) {
    name.resize(Utf8CharacterStart(name, room));
  }
  return number + "-" + name + ".txt";
}

}  // namespace

int ExportSplit(const CommandArguments& a) {
  const std::string& file = a.words[0];
  const std::string& dir = a.words[1];

  std::string encoding = a.values.count("--encoding") ? a.values.at("--encoding") : "utf-8";
  std::transform(encoding.begin(), encoding.end(), encoding.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  if (encoding != "utf-8" && encoding != "gb18030") return UsageError("--encoding is utf-8 or gb18030");

  PlaceRange range;
  if (!ReadRangeOption(a, range)) return UsageError(kRangeUsage);
  const std::int64_t first = range.first, last = range.last;

  SqliteDB db;
  if (auto code = OpenArticles(db, file)) return *code;
  const auto articles = CountArticles(db);
  if (!articles) return Fail(file, "cannot read the articles");
  const std::int64_t count = *articles;
  if (first > count) return Fail(file, "no articles in --range " + a.values.at("--range"));

  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (!std::filesystem::is_directory(dir, ec)) return Fail(dir, "cannot make the folder");
  const auto collection = FromUtf8(file);
  const int width = static_cast<int>(std::to_string(count).size());

  bool failed = false;
  const bool read = book::WalkArticlesInParallel(
      db, encoding == "utf-8" ? book::Decoding::Utf8 : book::Decoding::LocalCodePage,
      [&](book::ArticleJob& job) {
        if (job.place < first || job.place > last || !job.readable) return;
        const std::string target =
            (std::filesystem::path(dir) / SplitFileName(job.place, width, job.title)).string();
        const Text localTarget = FromUtf8(target).value_or(Text());
        AtomicFile out;
        if (IsSameFile(localTarget, *collection)) {
          job.output = target + ": is the collection itself";
        } else if (!out.Open(localTarget, AtomicFile::Links::Replace) || !out.Write(job.text) ||
                   !out.Commit()) {
          job.output = target + ": cannot write";
        }
        job.text.clear();
      },
      [&](book::ArticleJob& job) {
        if (job.place < first || job.place > last) return job.place < last;
        if (!job.readable) {
          failed = true;
          Fail(file, "article " + std::to_string(job.id) + ": content does not unpack");
        } else if (!job.output.empty()) {
          failed = true;
          Say(job.output, kFailure);
        }
        return true;
      });
  if (!read) return Fail(file, "cannot read the articles");
  return failed ? kFailure : kSuccess;
}

}  // namespace nvx::tool
