#include "store/sqlite_db.h"

#include <cstdio>

#include "store/codepage.h"
#include "store/statement.h"

namespace nvx {
namespace {

bool isMemoryName(const Text& name) {
  if (name.empty()) return true;
  static constexpr std::string_view kMemory = ":memory:";
  if (name.size() != kMemory.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    char c = name[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kMemory[i]) return false;
  }
  return true;
}

// An article file may come from anywhere: refuse what a crafted schema could make SQLite do.
void harden(sqlite3* db) {
  sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
}

}  // namespace

SqliteDB::~SqliteDB() { Close(); }

bool SqliteDB::Open(const Text& fileName, bool create) {
  Close();
  std::string path;
  if (isMemoryName(fileName)) {
    if (!create) return false;
    path = ":memory:";
  } else {
    const auto utf8 = ToUtf8(fileName);
    if (!utf8) return false;
    path = *utf8;
    if (!create) {
      // The file must exist already: SQLite would create it.
      std::FILE* f = std::fopen(path.c_str(), "r");
      if (f == nullptr) return false;
      std::fclose(f);
    }
  }
  sqlite3* handle = nullptr;
  // No SQLITE_OPEN_URI: a file whose name starts with "file:" is just a file.
  const int rc = sqlite3_open_v2(path.c_str(), &handle, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_close(handle);
    return false;
  }
  harden(handle);
  link_ = std::make_shared<Link>();
  link_->handle = handle;
  return true;
}

bool SqliteDB::Close() {
  if (connection() == nullptr) return true;
  sqlite3* handle = link_->handle;
  link_->handle = nullptr;
  link_.reset();
  if (sqlite3_close(handle) == SQLITE_BUSY) {
    // Statements are still open somewhere: let SQLite free the connection once they are done.
    sqlite3_close_v2(handle);
    return false;
  }
  return true;
}

bool SqliteDB::Execute(const Text& statement) { return execute(connection(), statement); }

bool SqliteDB::ClearTable(const Text& tableName) {
  if (connection() == nullptr || tableName.empty()) return false;
  return Execute("DELETE FROM " + tableName);
}

bool SqliteDB::Compact() { return Execute("VACUUM"); }

Text SqliteDB::FileName() const {
  if (connection() == nullptr) return {};
  const char* name = sqlite3_db_filename(connection(), "main");
  return name ? FromUtf8(name).value_or(Text()) : Text();
}

std::int64_t SqliteDB::LastInsertRowId() const {
  return connection() ? sqlite3_last_insert_rowid(connection()) : 0;
}

}  // namespace nvx
