// Prepared statements for the store's own use: prepared from local-code-page text, finalized when
// they go out of scope.
#pragma once

#include <memory>
#include <sqlite3.h>
#include <string>

#include "store/codepage.h"

namespace nvx {

struct Finalizer {
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Statement = std::unique_ptr<sqlite3_stmt, Finalizer>;

// Converts the local-code-page statement to UTF-8 and prepares it; empty on any failure.
inline Statement prepare(sqlite3* db, const std::string& localSql) {
  if (db == nullptr) return {};
  const auto utf8 = ToUtf8(localSql);
  if (!utf8) return {};
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, utf8->c_str(), -1, &raw, nullptr) != SQLITE_OK) {
    sqlite3_finalize(raw);
    return {};
  }
  return Statement(raw);
}

// Runs a statement that returns no rows; true when SQLite reports success.
inline bool execute(sqlite3* db, const std::string& localSql) {
  if (db == nullptr || localSql.empty()) return false;
  const auto utf8 = ToUtf8(localSql);
  return utf8 && sqlite3_exec(db, utf8->c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

// The text of a result column as a zero-terminated string would give it (NULL gives "").
inline std::string columnText(sqlite3_stmt* s, int column) {
  const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s, column));
  return p ? std::string(p) : std::string();
}

}  // namespace nvx
