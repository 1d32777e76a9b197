#include "tool/tidy_commands.h"

#include <algorithm>
#include <atomic>
#include <cstdio>

#include "store/article_file.h"
#include "store/article_rewrite.h"
#include "store/article_walk.h"
#include "store/book_file_import.h"
#include "store/book_search.h"
#include "store/duplicate_finder.h"
#include "store/text_clean.h"
#include "store/text_convert.h"
#include "tool/command_arguments.h"
#include "tool/progress_line.h"
#include "tool/tool_commands.h"

namespace nvx::tool {
namespace {

constexpr int kNoDuplicates = 0;
constexpr int kDuplicatesFound = 1;
constexpr int kDuplicatesError = 2;
constexpr int kLeastNearPercent = 50;  // below this the banding of the MinHash bins misses pairs

// Opens FILE for a tidying command: a sound collection whose quick integrity check passes.
std::optional<int> OpenForTidying(SqliteDB& db, const std::string& file, int code = kFailure) {
  if (auto failed = OpenArticles(db, file, code)) return failed;
  if (const ArticleFileState state = QuickCheck(db); state != ArticleFileState::Sound)
    return Fail(file, DescribeState(state), code);
  return std::nullopt;
}

// Titles go between tabs on one line.
std::string OneLine(std::string text) {
  std::replace_if(
      text.begin(), text.end(), [](char c) { return c == '\t' || c == '\r' || c == '\n'; }, ' ');
  return text;
}

}  // namespace

int Convert(const CommandArguments& a) {
  if (!a.HasValue("--config")) return kShowUsage;
  if (a.Has("--titles-only") && a.Has("--texts-only"))
    return UsageError("--titles-only and --texts-only exclude each other");
  const std::string& file = a.words[0];
  rewrite::Options options;
  options.dryRun = a.Has("--dry-run");
  PlaceRange range;
  if (!ReadRangeOption(a, range)) return UsageError(kRangeUsage);
  options.first = range.first;
  options.last = range.last;
  std::string error;
  const auto converter = text::ChineseConverter::Open(a.values.at("--config"), &error);
  if (!converter) return UsageError("bad --config: " + error);
  const bool titles = !a.Has("--texts-only"), texts = !a.Has("--titles-only");

  SqliteDB db;
  if (auto code = OpenForTidying(db, file)) return *code;
  auto convert = [&](std::string& text, std::int64_t& characters) {
    auto converted = converter->Convert(text);
    if (!converted) return false;
    characters += text::CountChangedCharacters(text, *converted);
    text = std::move(*converted);
    return true;
  };
  rewrite::Outcome outcome;
  {
    ProgressLine progress("convert");
    outcome = rewrite::RewriteArticles(
        db, options,
        [&](rewrite::ArticleText& article, std::string& why) {
          if ((titles && !convert(article.title, article.characters)) ||
              (texts && !convert(article.text, article.characters))) {
            why = "OpenCC cannot convert it";
            return false;
          }
          return true;
        },
        nullptr, std::ref(progress));
  }
  if (!outcome.ok) return Fail(file, outcome.error);
  WriteOut(std::string(options.dryRun ? "would change " : "changed ") + std::to_string(outcome.articles) +
           " articles, " + std::to_string(outcome.characters) + " characters\n");
  return kSuccess;
}

int Clean(const CommandArguments& a) {
  if (!a.HasValue("--rules")) return kShowUsage;
  const std::string& file = a.words[0];
  const std::string& rulesFile = a.values.at("--rules");
  rewrite::Options options;
  options.dryRun = a.Has("--dry-run");
  const auto ruleText = book::ReadRegularFile(rulesFile);
  if (!ruleText) return Fail(rulesFile, "cannot read");
  std::string error;
  const auto rules = text::CleanRules::Parse(*ruleText, &error);
  if (!rules) return Fail(rulesFile, error);

  SqliteDB db;
  if (auto code = OpenForTidying(db, file)) return *code;
  std::atomic<std::int64_t> lines = 0, matches = 0;
  rewrite::Outcome outcome;
  {
    ProgressLine progress("clean");
    outcome = rewrite::RewriteArticles(
        db, options,
        [&](rewrite::ArticleText& article, std::string& why) {
          std::vector<text::CleanRules::Removal> removed;
          if (!rules->Clean(article.text, &removed, &why)) {
            why = rulesFile + ": " + why;
            return false;
          }
          for (const auto& r : removed) {
            (r.kind == text::RuleKind::Line ? lines : matches) += 1;
            if (options.dryRun)
              article.report += std::to_string(article.id) + '\t' + std::to_string(r.line) + '\t' +
                                (r.kind == text::RuleKind::Line ? "line" : "text") + '\t' + OneLine(r.text) +
                                '\n';
          }
          return true;
        },
        [](const rewrite::ArticleText& article) { return WriteOut(article.report); }, std::ref(progress));
  }
  if (!outcome.ok) return Fail(file, outcome.error);
  WriteOut(std::string(options.dryRun ? "would remove " : "removed ") + std::to_string(lines) +
           " lines and " + std::to_string(matches) + " matches in " + std::to_string(outcome.articles) +
           " articles\n");
  return kSuccess;
}

int Dups(const CommandArguments& a) {
  const std::string& file = a.words[0];
  int nearPercent = 0;
  if (a.values.count("--near")) {
    const auto percent = ParseNumber(a.values.at("--near"));
    if (!percent || *percent < kLeastNearPercent || *percent > 100)
      return UsageError("--near is a percentage from " + std::to_string(kLeastNearPercent) + " to 100");
    nearPercent = static_cast<int>(*percent);
  }

  SqliteDB db;
  if (auto code = OpenForTidying(db, file, kDuplicatesError)) return *code;
  const auto total = CountArticles(db);
  if (!total) return Fail(file, "cannot read the articles", kDuplicatesError);
  std::vector<text::TextPrint> prints(static_cast<std::size_t>(*total));
  std::vector<std::string> titles(prints.size());
  std::string error;
  bool read = false;
  {
    ProgressLine progress("dups");
    read = book::WalkArticlesInParallel(
        db, book::Decoding::LocalCodePage,
        [&](book::ArticleJob& job) {
          if (job.place <= *total) prints[job.place - 1] = text::MakePrint(job.id, job.text, nearPercent > 0);
          std::string().swap(job.text);
        },
        [&](book::ArticleJob& job) {
          progress(job.place, *total);
          if (job.place > *total) return false;  // another program added rows: the count is stale
          if (!job.readable) {
            error = "article " + std::to_string(job.id) + ": content does not unpack";
            return false;
          }
          titles[job.place - 1] = OneLine(job.title);
          return true;
        });
  }
  if (!error.empty()) return Fail(file, error, kDuplicatesError);
  if (!read) return Fail(file, "cannot read the articles", kDuplicatesError);
  std::unordered_map<std::int64_t, std::size_t> placeOf;
  for (std::size_t i = 0; i < prints.size(); ++i) placeOf[prints[i].id] = i;
  const auto pairs = text::FindDuplicates(prints, nearPercent);
  bool written = true;
  for (const auto& pair : pairs) {
    written = written && WriteOut(std::to_string(pair.first) + '\t' + std::to_string(pair.second) + '\t' +
                                  std::to_string(pair.similarity) + '\t' + titles[placeOf[pair.first]] +
                                  '\t' + titles[placeOf[pair.second]] + '\n');
  }
  if (!written || std::fflush(stdout) != 0 || std::ferror(stdout))
    return OutputFailed(file, kDuplicatesError);
  return pairs.empty() ? kNoDuplicates : kDuplicatesFound;
}

}  // namespace nvx::tool
