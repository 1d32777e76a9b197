#include "tool/tool_commands.h"
#include "tool/progress_line.h"

#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <limits>

#include "base/codepage.h"
#include "store/article_export.h"
#include "store/article_file.h"
#include "store/article_records.h"
#include "store/article_walk.h"
#include "store/packed_content.h"
#include "store/template_database.h"

namespace nvx::tool {
namespace {

// Why a read or write of an open collection failed: held by another program, or `otherwise`.
std::string FailureReason(const SqliteDB& db, const char* otherwise) {
  return db.Busy() ? DescribeState(ArticleFileState::Busy) : otherwise;
}

// All of standard input; nullopt when it cannot be read.
std::optional<std::string> ReadInput() {
  std::string input;
  struct stat status {};
  if (::fstat(STDIN_FILENO, &status) == 0 && S_ISREG(status.st_mode)) input.reserve(status.st_size);
  char chunk[64 * 1024];
  for (;;) {
    const std::size_t n = std::fread(chunk, 1, sizeof chunk, stdin);
    input.append(chunk, n);
    if (n < sizeof chunk) break;
  }
  if (std::ferror(stdin)) return std::nullopt;
  return input;
}

std::string InvalidUtf8(const char* what, std::size_t offset) {
  return std::string(what) + " is not valid UTF-8 (byte offset " + std::to_string(offset) + ")";
}

}  // namespace

int NewFile(const std::string& file) {
  const auto path = LocalPath(file);
  if (!path) return Fail(file, "cannot use this file name");
  if (CheckRegularFile(*path) == ArticleFileState::NotRegularFile)
    return Fail(file, DescribeState(ArticleFileState::NotRegularFile));
  if (!WriteNewCollection(*path)) return Fail(file, "cannot write");
  return kSuccess;
}

// One statement, each title written as stored (no round trip through the local code page), the
// lines gathered into large writes.
int List(const std::string& file) {
  SqliteDB db;
  if (auto code = OpenArticles(db, file)) return *code;
  constexpr std::size_t kWriteBytes = 256 * 1024;
  std::string out;
  out.reserve(kWriteBytes + 4096);
  bool written = true;
  const WalkResult walked = ForEachTitleUtf8(db, [&](std::int64_t id, std::string_view title) {
    char number[24];
    out.append(number, std::to_chars(number, number + sizeof number, id).ptr);
    out += '\t';
    out += title;
    out += '\n';
    if (out.size() < kWriteBytes) return true;
    written = WriteOut(out);
    out.clear();
    return written;
  });
  if (written) written = WriteOut(out);
  if (!written) return kSuccess;  // standard output failed: said once the command ends
  if (walked != WalkResult::Done) return Fail(file, FailureReason(db, "cannot read table nr"));
  return kSuccess;
}

int Cat(const std::string& file, const std::string& id) {
  const auto number = ParseNumber(id, std::numeric_limits<std::int64_t>::min());
  if (!number) return UsageError("the article id is a whole number: " + id);
  SqliteDB db;
  if (auto code = OpenArticles(db, file)) return *code;
  const std::optional<StoredArticle> article = LoadArticle(db, *number);
  if (!article)
    return Fail(file, db.Busy() ? DescribeState(ArticleFileState::Busy) : "no such article " + id);
  const Bytes text = Decompress(article->packed);
  // The text ends at its first zero byte, as the editor shows it.
  const auto end = std::find(text.begin(), text.end(), std::uint8_t{0});
  WriteOut(ToUtf8Lossy(std::string_view(reinterpret_cast<const char*>(text.data()), end - text.begin())));
  return kSuccess;
}

int Add(const std::string& file, const std::string& title) {
  if (const auto bad = FindInvalidUtf8(title)) return Fail(file, InvalidUtf8("the title", *bad));
  const auto localTitle = FromUtf8(title);
  if (!localTitle) return Fail(file, "the title has a character the local code page cannot hold");
  if (localTitle->empty()) return Fail(file, "the title is empty");

  Bytes packed;
  {
    // The text is held once as read and once converted, then only packed.
    std::optional<std::string> input = ReadInput();
    if (!input) return Fail(file, "cannot read standard input");
    if (input->find('\0') != std::string::npos) return Fail(file, "the text holds a zero byte");
    if (const auto bad = FindInvalidUtf8(*input)) return Fail(file, InvalidUtf8("the text", *bad));
    std::optional<std::string> content = FromUtf8(*input);
    if (!content) return Fail(file, "the text has a character the local code page cannot hold");
    input.reset();
    packed = Compress(std::span(reinterpret_cast<const std::uint8_t*>(content->data()), content->size()));
    if (packed.empty()) return Fail(file, "the text is too long");
  }

  SqliteDB db;
  if (auto code = OpenArticles(db, file)) return *code;
  if (const ArticleFileState state = QuickCheck(db); state != ArticleFileState::Sound)
    return Fail(file, DescribeState(state));
  // The article is kept only once its id has reached standard output: a script that got no id
  // may add it again, and must not find it stored twice.
  Transaction transaction(db);
  if (!transaction.Active()) return Fail(file, FailureReason(db, "the article was not stored"));
  const auto id = InsertArticle(db, *localTitle, packed);
  if (!id) return Fail(file, FailureReason(db, "the article was not stored"));
  if (!WriteOut(std::to_string(*id) + "\n") || std::fflush(stdout) != 0)
    return OutputFailed(file, kFailure);  // rolled back
  if (!transaction.Commit()) return Fail(file, FailureReason(db, "the article was not stored"));
  return kSuccess;
}

int Check(const std::string& file) {
  const auto path = LocalPath(file);
  if (!path) return Fail(file, "cannot use this file name");
  std::vector<std::string> problems;
  {
    ProgressLine progress("check");
    problems = CheckArticleFile(
        *path, [&progress](std::int64_t done, std::int64_t total) { progress(done, total); });
  }
  if (problems.empty()) {
    WriteOut(file + ": sound article database\n");
    return kSuccess;
  }
  for (const auto& problem : problems) Fail(file, problem);
  return kFailure;
}

// The same routine as the editor's menu item "导出".
int ExportText(const std::string& file, const std::string& out) {
  SqliteDB db;
  if (auto code = OpenArticles(db, file)) return *code;
  const auto target = LocalPath(out);
  if (!target) return Fail(out, "cannot use this file name");
  if (CheckRegularFile(*target) == ArticleFileState::NotRegularFile)
    return Fail(out, DescribeState(ArticleFileState::NotRegularFile));
  ExportResult result;
  {
    ProgressLine progress("export");
    result = ExportArticles(db, *target, std::ref(progress), nullptr, true);
  }
  switch (result) {
    case ExportResult::Done: return kSuccess;
    case ExportResult::OwnFile: return Fail(out, "is the collection being exported");
    case ExportResult::ReadFailed: return Fail(file, FailureReason(db, "cannot read the articles"));
    case ExportResult::CannotOpen:
    case ExportResult::WriteFailed:
    case ExportResult::Cancelled: break;
  }
  return Fail(out, "cannot write");
}

}  // namespace nvx::tool
