#include "store/article_file.h"

#include <sys/stat.h>

#include "store/article_schema.h"
#include "store/codepage.h"
#include "store/packed_content.h"
#include "store/sqlite_table.h"
#include "store/statement.h"

namespace nvx {
namespace {

bool exists(const Text& path) {
  const auto utf8 = ToUtf8(path);
  struct stat st {};
  return utf8 && !utf8->empty() && ::stat(utf8->c_str(), &st) == 0;
}

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

ArticleFileState OpenArticleFile(SqliteDB& db, const Text& path) {
  if (!exists(path)) return ArticleFileState::Missing;
  if (!db.Open(path)) return ArticleFileState::Unreadable;
  const int rc = prepareResult(db.connection(), "SELECT 1 FROM sqlite_master");
  if (rc == SQLITE_NOTADB) return ArticleFileState::NotDatabase;
  if (rc != SQLITE_OK) return ArticleFileState::Unreadable;
  if (prepareResult(db.connection(), "SELECT * FROM nr LIMIT 0") != SQLITE_OK) return ArticleFileState::NoTable;
  return ArticleFileState::Sound;
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
  return table.Update();
}

std::optional<std::int64_t> AddArticle(SqliteDB& db, const Text& title, const Bytes& content) {
  SqliteTable table;
  if (!table.Open(schema::kTable, db) || !InsertNewArticle(table, title, Compress(content))) return std::nullopt;
  return db.LastInsertRowId();
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
    const std::string id = ToUtf8Lossy(table.rowIds()[table.Position() - 1]);
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
