#include "store/article_file.h"

#include <sys/stat.h>

#include "store/article_records.h"
#include "store/article_schema.h"
#include "store/article_walk.h"
#include "store/codepage.h"
#include "store/packed_content.h"
#include "store/sqlite_table.h"
#include "store/statement.h"

namespace nvx {
namespace {

// What preparing a statement on the connection says: SQLITE_OK, SQLITE_NOTADB, SQLITE_ERROR, ...
int prepareResult(sqlite3* db, const char* sql) {
  sqlite3_stmt* raw = nullptr;
  const int rc = sqlite3_prepare_v2(db, sql, -1, &raw, nullptr);
  sqlite3_finalize(raw);
  return rc;
}

std::vector<std::string> columnsOfArticleTable(sqlite3* db) {
  std::vector<std::string> names;
  Statement s = prepare(db, "PRAGMA table_info(nr)");
  while (s && sqlite3_step(s.get()) == SQLITE_ROW) names.push_back(columnText(s.get(), 1));
  return names;
}

bool sameAsciiName(std::string a, std::string b) {
  for (auto* t : {&a, &b})
    for (char& c : *t)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return a == b;
}

}  // namespace

ArticleFileState CheckRegularFile(const Text& path) {
  const auto utf8 = ToUtf8(path);
  struct stat st {};
  if (!utf8 || utf8->empty() || ::stat(utf8->c_str(), &st) != 0) return ArticleFileState::Missing;
  return S_ISREG(st.st_mode) ? ArticleFileState::Sound : ArticleFileState::NotRegularFile;
}

ArticleFileState OpenArticleFile(SqliteDB& db, const Text& path) {
  const ArticleFileState kind = CheckRegularFile(path);
  if (kind != ArticleFileState::Sound) {
    db.Close();
    return kind;
  }
  if (!db.Open(path)) return ArticleFileState::Unreadable;
  const int rc = prepareResult(db.connection(), "SELECT 1 FROM sqlite_master");
  if (rc == SQLITE_NOTADB) return ArticleFileState::NotDatabase;
  if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) return ArticleFileState::Busy;
  if (rc != SQLITE_OK) return ArticleFileState::Unreadable;
  switch (InspectTable(db, schema::kTable).shape) {
    case TableShape::Sound:
      return ArticleFileState::Sound;
    case TableShape::Missing:
      return ArticleFileState::NoTable;
    case TableShape::View:
      return ArticleFileState::View;
    case TableShape::RowIdHidden:
      return ArticleFileState::RowIdHidden;
    case TableShape::GeneratedColumns:
      return ArticleFileState::GeneratedColumns;
    case TableShape::Busy:
      return ArticleFileState::Busy;
    case TableShape::Unreadable:
      break;
  }
  return ArticleFileState::Unreadable;
}

ArticleFileState QuickCheck(SqliteDB& db) {
  CachedStatement s = db.Prepare("PRAGMA quick_check(1)");
  if (!s) return db.Busy() ? ArticleFileState::Busy : ArticleFileState::Damaged;
  const int rc = s.Step();
  if (rc == SQLITE_ROW) return columnText(s.get(), 0) == "ok" ? ArticleFileState::Sound : ArticleFileState::Damaged;
  return db.Busy() ? ArticleFileState::Busy : ArticleFileState::Damaged;
}

const char* DescribeState(ArticleFileState state) {
  switch (state) {
    case ArticleFileState::Sound:
      return "an article database";
    case ArticleFileState::Missing:
      return "no such file";
    case ArticleFileState::Unreadable:
      return "cannot read the file";
    case ArticleFileState::NotDatabase:
      return "not a database";
    case ArticleFileState::NoTable:
      return "no table nr";
    case ArticleFileState::NotRegularFile:
      return "not a regular file";
    case ArticleFileState::RowIdHidden:
      return "not a collection (row id hidden)";
    case ArticleFileState::View:
      return "not a collection (nr is a view)";
    case ArticleFileState::GeneratedColumns:
      return "not a collection (nr has generated columns)";
    case ArticleFileState::Busy:
      return "is busy (another program is writing it)";
    case ArticleFileState::Damaged:
      return "damaged (run nvx check)";
  }
  return "unknown";
}

bool InsertNewArticle(SqliteTable& table, const Text& title, const Bytes& packed) {
  table.AddNew();
  table.WriteField(schema::kName, title);
  table.WriteField(schema::kContent, packed);
  table.WriteField(schema::kFirstLine, std::int32_t{0});
  table.WriteField(schema::kFace, L(schema::kDefaultFaceUtf8));
  table.WriteField(schema::kSize, std::int32_t{schema::kDefaultSize});
  // The insert must have added a row that is still there: a trigger may skip or undo it.
  return table.Update() && table.InsertedId().has_value();
}

std::optional<std::int64_t> AddArticle(SqliteDB& db, const Text& title, const Bytes& content) {
  return InsertArticle(db, title, Compress(content));
}

std::vector<std::string> CheckArticleFile(const Text& path) {
  std::vector<std::string> problems;
  SqliteDB db;
  const ArticleFileState state = OpenArticleFile(db, path);
  if (state == ArticleFileState::Missing || state == ArticleFileState::Unreadable ||
      state == ArticleFileState::NotDatabase) {
    problems.emplace_back(DescribeState(state));
    return problems;
  }

  {
    Statement s = prepare(db.connection(), "PRAGMA integrity_check");
    int rc = SQLITE_ERROR;
    while (s && (rc = sqlite3_step(s.get())) == SQLITE_ROW) {
      std::string line = columnText(s.get(), 0);
      if (line != "ok") problems.push_back("integrity check: " + line);
    }
    if (rc != SQLITE_DONE) problems.emplace_back("integrity check could not run");
  }

  if (state == ArticleFileState::NoTable) {
    problems.emplace_back(DescribeState(state));
    return problems;
  }
  const std::vector<std::string> present = columnsOfArticleTable(db.connection());
  for (const char* wanted : {schema::kId, schema::kName, schema::kContent, schema::kFirstLine, schema::kFace,
                             schema::kColor, schema::kSize, schema::kEffects}) {
    bool found = false;
    for (const auto& name : present) found = found || sameAsciiName(name, wanted);
    if (!found) problems.push_back(std::string("table nr has no column ") + wanted);
  }

  SqliteTable table;
  if (!table.Open(schema::kTable, db)) {
    problems.emplace_back("cannot read the articles of table nr");
    return problems;
  }
  while (table.Next()) {
    const std::string id = std::to_string(*table.CurrentId());
    bool ok = false;
    const Bytes packed = table.ReadBytes(schema::kContent, &ok);
    if (!ok) {
      problems.push_back("article " + id + ": cannot be read");
      continue;
    }
    if (packed.empty()) continue;  // never written: reads as an empty article
    const std::int64_t length = PackedLength(packed);
    const Bytes text = Decompress(packed);
    if (length < 0) {
      problems.push_back("article " + id + ": content is not packed text");
    } else if (length == 0) {
      if (packed.size() != kPackedHeaderSize) problems.push_back("article " + id + ": content length is 0 but data follows");
    } else if (text.empty()) {
      problems.push_back("article " + id + ": content does not unpack");
    } else if (static_cast<std::int64_t>(text.size()) != length) {
      problems.push_back("article " + id + ": content unpacks to " + std::to_string(text.size()) +
                         " bytes, not the " + std::to_string(length) + " its header says");
    }
  }
  return problems;
}

}  // namespace nvx
