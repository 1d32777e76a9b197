#include "store/article_walk.h"

#include <algorithm>
#include <atomic>
#include <limits>
#include <thread>
#include <vector>

#include "base/codepage.h"
#include "store/article_schema.h"
#include "store/sqlite_table.h"
#include "store/statement.h"

namespace nvx {
namespace {

// Steps `sql` (whose first column is the row id) through every row; nullopt layout fails.
template <typename Visit>
WalkResult Walk(SqliteDB& db, const std::string& sql, Visit&& visit) {
  CachedStatement s = db.Prepare(sql);
  if (!s) return WalkResult::Failed;
  int rc;
  while ((rc = s.Step()) == SQLITE_ROW) {
    if (!visit(s.Get())) return WalkResult::Stopped;
  }
  return rc == SQLITE_DONE ? WalkResult::Done : WalkResult::Failed;
}

// "SELECT <row id>, <columns...> FROM nr ORDER BY <row id>", a column the table lacks read as NULL;
// nullopt when table nr is not sound. A ranged select reads from a least id (parameter 1) and at
// most a number of rows (parameter 2).
std::optional<std::string> SelectAll(SqliteDB& db, std::initializer_list<const char*> columns,
                                     bool ranged = false) {
  const TableLayout layout = InspectTable(db, schema::kTable);
  if (layout.shape != TableShape::Sound) return std::nullopt;
  std::string sql = "SELECT " + layout.rowIdName;
  for (const char* c : columns) sql += std::string(",") + (layout.HasColumn(c) ? c : "NULL");
  sql += std::string(" FROM ") + schema::kTable;
  if (ranged) sql += " WHERE " + layout.rowIdName + " >= ?";
  sql += " ORDER BY " + layout.rowIdName;
  return ranged ? sql + " LIMIT ?" : sql;
}

// Gives the row's id and its title as stored in UTF-8. A title other programs stored in another code
// page shows with "?" for what does not convert.
template <typename Visit>
bool VisitTitleUtf8(sqlite3_stmt* s, Visit&& visit) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, 1));
  std::string_view title = text != nullptr ? std::string_view(text) : std::string_view();
  if (FindInvalidUtf8(title)) return visit(sqlite3_column_int64(s, 0), ToUtf8Lossy(FromUtf8Lossy(title)));
  return visit(sqlite3_column_int64(s, 0), title);
}

}  // namespace

WalkResult ForEachTitle(SqliteDB& db, const std::function<bool(std::int64_t id, Text&& title)>& visit) {
  const auto sql = SelectAll(db, {schema::kName});
  if (!sql) return WalkResult::Failed;
  return Walk(db, *sql,
              [&](sqlite3_stmt* s) { return visit(sqlite3_column_int64(s, 0), ColumnShownText(s, 1)); });
}

WalkResult ForEachTitleUtf8(SqliteDB& db,
                            const std::function<bool(std::int64_t id, std::string_view title)>& visit) {
  const auto sql = SelectAll(db, {schema::kName});
  if (!sql) return WalkResult::Failed;
  return Walk(db, *sql, [&](sqlite3_stmt* s) { return VisitTitleUtf8(s, visit); });
}

TitleBatches::TitleBatches(SqliteDB& db)
    : db_(db), sql_(SelectAll(db, {schema::kName}, true)), from_(std::numeric_limits<std::int64_t>::min()) {}

WalkResult TitleBatches::Next(std::size_t most,
                              const std::function<void(std::int64_t id, std::string_view title)>& visit) {
  if (finished_) return WalkResult::Done;
  if (!sql_) {
    finished_ = true;
    return WalkResult::Failed;
  }
  CachedStatement s = db_.Prepare(*sql_);
  if (!s) return WalkResult::Failed;
  s.Bind(1, from_);
  s.Bind(2, static_cast<std::int64_t>(most));
  std::size_t visited = 0;
  int rc;
  while ((rc = s.Step()) == SQLITE_ROW) {
    const std::int64_t id = sqlite3_column_int64(s.Get(), 0);
    VisitTitleUtf8(s.Get(), [&](std::int64_t rowId, std::string_view title) {
      visit(rowId, title);
      return true;
    });
    ++visited;
    if (id == std::numeric_limits<std::int64_t>::max()) {
      finished_ = true;
      return WalkResult::Done;
    }
    from_ = id + 1;
  }
  if (rc != SQLITE_DONE) return WalkResult::Failed;
  if (visited < most) finished_ = true;
  return finished_ ? WalkResult::Done : WalkResult::Stopped;
}

WalkResult ForEachArticle(SqliteDB& db, const std::function<bool(ArticleRecord&&)>& visit) {
  const auto sql = SelectAll(db, {schema::kName, schema::kContent});
  if (!sql) return WalkResult::Failed;
  return Walk(db, *sql, [&](sqlite3_stmt* s) {
    return visit(ArticleRecord{sqlite3_column_int64(s, 0), ColumnShownText(s, 1), ColumnBytes(s, 2),
                               ColumnStoredValue(s, 1)});
  });
}

WalkResult ForEachStoredArticle(SqliteDB& db,
                                const std::function<bool(std::int64_t id, std::string_view titleUtf8,
                                                         std::span<const std::uint8_t> packed)>& visit) {
  const auto sql = SelectAll(db, {schema::kName, schema::kContent});
  if (!sql) return WalkResult::Failed;
  return Walk(db, *sql, [&](sqlite3_stmt* s) {
    const auto* title = reinterpret_cast<const char*>(sqlite3_column_text(s, 1));
    const auto* packed = static_cast<const std::uint8_t*>(sqlite3_column_blob(s, 2));
    const std::size_t packedSize = static_cast<std::size_t>(sqlite3_column_bytes(s, 2));
    return visit(sqlite3_column_int64(s, 0), title != nullptr ? std::string_view(title) : std::string_view(),
                 packed != nullptr ? std::span(packed, packedSize) : std::span<const std::uint8_t>());
  });
}

void ForEachInParallel(std::size_t count, const std::function<void(std::size_t)>& work) {
  std::atomic<std::size_t> next{0};
  auto run = [&] {
    for (std::size_t i; (i = next++) < count;) work(i);
  };
  std::vector<std::thread> helpers;
  const unsigned threads = std::max(2u, std::thread::hardware_concurrency());
  for (unsigned t = 1; t < threads && t < count; ++t) helpers.emplace_back(run);
  run();
  for (auto& helper : helpers) helper.join();
}

std::optional<std::int64_t> CountArticles(SqliteDB& db) {
  if (InspectTable(db, schema::kTable).shape != TableShape::Sound) return std::nullopt;
  CachedStatement s = db.Prepare(std::string("SELECT count(*) FROM ") + schema::kTable);
  if (!s || s.Step() != SQLITE_ROW) return std::nullopt;
  return sqlite3_column_int64(s.Get(), 0);
}

}  // namespace nvx
