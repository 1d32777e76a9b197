// Reading and changing a collection's file directly with SQLite, as another program would: what
// the tests use to look past the program's own reading and to set up files it would not write.
#pragma once

#include <sqlite3.h>

#include <string>

namespace nvx::test {

// Runs `sql` on the file at `path` (created when missing): any number of statements, or with
// `blob` one statement that gets it bound as ?1. True when every statement ran.
inline bool ExecFile(const std::string& path, const std::string& sql, const std::string& blob = "") {
  sqlite3* db = nullptr;
  bool ran = sqlite3_open(path.c_str(), &db) == SQLITE_OK;
  if (ran && blob.empty()) {
    ran = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
  } else if (ran) {
    sqlite3_stmt* s = nullptr;
    ran =
        sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) == SQLITE_OK &&
        sqlite3_bind_blob(s, 1, blob.data(), static_cast<int>(blob.size()), SQLITE_TRANSIENT) == SQLITE_OK &&
        sqlite3_step(s) == SQLITE_DONE;
    sqlite3_finalize(s);
  }
  sqlite3_close(db);
  return ran;
}

// The first value of a query on the file, opened read-only: its bytes as text or blob ("NULL" for
// NULL, "(no row)" when there is none, "(cannot open)").
inline std::string QueryFile(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  std::string result = "(no row)";
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW) {
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
      result = text ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(s, 0))) : "NULL";
    }
    sqlite3_finalize(s);
  } else {
    result = "(cannot open)";
  }
  sqlite3_close(db);
  return result;
}

// Another program writing the file: an exclusive transaction held until this goes.
class ExclusiveWriter {
 public:
  explicit ExclusiveWriter(const std::string& path) {
    held_ = sqlite3_open(path.c_str(), &db_) == SQLITE_OK &&
            sqlite3_exec(db_, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK;
  }
  ~ExclusiveWriter() { sqlite3_close(db_); }
  ExclusiveWriter(const ExclusiveWriter&) = delete;
  ExclusiveWriter& operator=(const ExclusiveWriter&) = delete;

  bool Held() const { return held_; }

 private:
  sqlite3* db_ = nullptr;
  bool held_ = false;
};

}  // namespace nvx::test
