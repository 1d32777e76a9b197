#include "store/article_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include "base/codepage.h"
#include "store/article_records.h"
#include "store/article_schema.h"
#include "store/article_walk.h"
#include "store/packed_content.h"
#include "store/sqlite_table.h"
#include "store/statement.h"

namespace nvx {
namespace {

// What preparing a statement on the connection says: SQLITE_OK, SQLITE_NOTADB, SQLITE_ERROR, ...
int PrepareResult(sqlite3* db, const char* sql) {
  sqlite3_stmt* raw = nullptr;
  const int rc = sqlite3_prepare_v2(db, sql, -1, &raw, nullptr);
  sqlite3_finalize(raw);
  return rc;
}

}  // namespace

ArticleFileState CheckRegularFile(const Text& path) {
  const auto utf8 = ToUtf8(path);
  struct stat st {};
  if (!utf8 || utf8->empty() || ::stat(utf8->c_str(), &st) != 0) return ArticleFileState::Missing;
  return S_ISREG(st.st_mode) ? ArticleFileState::Sound : ArticleFileState::NotRegularFile;
}

ArticleFileState OpenArticleFile(SqliteDB& db, const Text& path, OpenMode mode) {
  const ArticleFileState kind = CheckRegularFile(path);
  if (kind != ArticleFileState::Sound) return kind;
  if (::access(ToUtf8(path)->c_str(), R_OK) != 0) return ArticleFileState::Unreadable;
  if (!db.Open(path, mode)) return ArticleFileState::Unreadable;
  const int rc = PrepareResult(db.Handle(), "SELECT 1 FROM sqlite_master");
  if (rc == SQLITE_NOTADB) return ArticleFileState::NotDatabase;
  if (IsBusyResult(rc)) return ArticleFileState::Busy;
  if (rc != SQLITE_OK) return ArticleFileState::Unreadable;
  switch (InspectTable(db, schema::kTable).shape) {
    case TableShape::Sound: return ArticleFileState::Sound;
    case TableShape::Missing: return ArticleFileState::NoTable;
    case TableShape::View: return ArticleFileState::View;
    case TableShape::RowIdHidden: return ArticleFileState::RowIdHidden;
    case TableShape::GeneratedColumns: return ArticleFileState::GeneratedColumns;
    case TableShape::Busy: return ArticleFileState::Busy;
    case TableShape::Unreadable: break;
  }
  return ArticleFileState::Unreadable;
}

ArticleFileState QuickCheck(SqliteDB& db) {
  CachedStatement s = db.Prepare("PRAGMA quick_check(1)");
  if (!s) return db.Busy() ? ArticleFileState::Busy : ArticleFileState::Damaged;
  const int rc = s.Step();
  if (rc == SQLITE_ROW)
    return ColumnText(s.Get(), 0) == "ok" ? ArticleFileState::Sound : ArticleFileState::Damaged;
  return db.Busy() ? ArticleFileState::Busy : ArticleFileState::Damaged;
}

const char* DescribeState(ArticleFileState state) {
  switch (state) {
    case ArticleFileState::Sound: return "an article database";
    case ArticleFileState::Missing: return "no such file";
    case ArticleFileState::Unreadable: return "cannot read the file";
    case ArticleFileState::NotDatabase: return "not a database";
    case ArticleFileState::NoTable: return "no table nr";
    case ArticleFileState::NotRegularFile: return "not a regular file";
    case ArticleFileState::RowIdHidden: return "not a collection (row id hidden)";
    case ArticleFileState::View: return "not a collection (nr is a view)";
    case ArticleFileState::GeneratedColumns: return "not a collection (nr has generated columns)";
    case ArticleFileState::Busy: return "is busy (another program is writing it)";
    case ArticleFileState::Damaged: return "damaged (run nvx check)";
  }
  return "unknown";
}

std::optional<std::int64_t> AddArticle(SqliteDB& db, const Text& title, const Bytes& content) {
  return InsertArticle(db, title, Compress(content));
}

namespace {

// What is wrong with one article's stored content; empty when it unpacks as its header says.
std::string ContentProblem(const Bytes& packed) {
  if (packed.empty()) return {};  // never written: reads as an empty article
  const std::int64_t length = PackedLength(packed);
  if (length < 0) return "content is not packed text";
  if (length == 0) return packed.size() != kPackedHeaderSize ? "content length is 0 but data follows" : "";
  const Bytes text = Decompress(packed);
  if (text.empty()) return "content does not unpack";
  if (static_cast<std::int64_t>(text.size()) != length) {
    return "content unpacks to " + std::to_string(text.size()) + " bytes, not the " + std::to_string(length) +
           " its header says";
  }
  return {};
}

}  // namespace

std::vector<std::string> CheckArticleFile(const Text& path, const CheckProgress& progress) {
  std::vector<std::string> problems;
  SqliteDB db;
  const ArticleFileState state = OpenArticleFile(db, path);
  if (state == ArticleFileState::Missing || state == ArticleFileState::Unreadable ||
      state == ArticleFileState::NotDatabase || state == ArticleFileState::NotRegularFile ||
      state == ArticleFileState::Busy) {
    problems.emplace_back(DescribeState(state));
    return problems;
  }

  {
    CachedStatement s = db.Prepare("PRAGMA integrity_check");
    int rc = SQLITE_ERROR;
    while (s && (rc = s.Step()) == SQLITE_ROW) {
      std::string line = ColumnText(s.Get(), 0);
      if (line != "ok") problems.push_back("integrity check: " + line);
    }
    if (rc != SQLITE_DONE)
      problems.emplace_back(db.Busy() ? DescribeState(ArticleFileState::Busy)
                                      : "integrity check could not run");
  }

  if (state != ArticleFileState::Sound) {
    problems.emplace_back(DescribeState(state));
    return problems;
  }
  const TableLayout layout = InspectTable(db, schema::kTable);
  for (const char* wanted : {schema::kId, schema::kName, schema::kContent, schema::kFirstLine, schema::kFace,
                             schema::kColor, schema::kSize, schema::kEffects}) {
    if (!layout.HasColumn(wanted)) problems.push_back(std::string("table nr has no column ") + wanted);
  }

  std::optional<std::int64_t> lastRead;
  const std::int64_t total = progress ? CountArticles(db).value_or(0) : 0;
  std::int64_t done = 0;
  const WalkResult walked = ForEachArticle(db, [&](ArticleRecord&& article) {
    lastRead = article.id;
    if (progress) progress(++done, total);
    const std::string problem = ContentProblem(article.packed);
    if (!problem.empty()) problems.push_back("article " + std::to_string(article.id) + ": " + problem);
    return true;
  });
  if (walked == WalkResult::Failed) {
    problems.push_back(lastRead ? "cannot read the articles after article " + std::to_string(*lastRead)
                                : std::string("cannot read the articles of table nr"));
  }
  return problems;
}

}  // namespace nvx
