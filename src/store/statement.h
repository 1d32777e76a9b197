// Prepared statements for the store's own use: its .cpp files (and its tests) include this, no
// header outside the store does.
//
// `Statement` is a one-off statement, finalized when it goes out of scope. `CachedStatement` is
// lent by a connection's statement cache: it is prepared once per connection and statement text,
// and reset (ending its read, dropping its bound values) when the lease ends, so that a statement
// kept between calls never holds a lock on the file.
#pragma once

#include <sqlite3.h>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/codepage.h"
#include "base/value.h"
#include "store/sqlite_db.h"

namespace nvx {

struct Finalizer {
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Statement = std::unique_ptr<sqlite3_stmt, Finalizer>;

// Converts the local-code-page statement to UTF-8 and prepares it; empty on any failure.
inline Statement Prepare(sqlite3* db, const std::string& localSql) {
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
inline bool Execute(sqlite3* db, const std::string& localSql) {
  if (db == nullptr || localSql.empty()) return false;
  const auto utf8 = ToUtf8(localSql);
  return utf8 && sqlite3_exec(db, utf8->c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

// The text of a result column as a zero-terminated string would give it (NULL gives "").
inline std::string ColumnText(sqlite3_stmt* s, int column) {
  const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s, column));
  return p ? std::string(p) : std::string();
}

// A blob result column as bytes (NULL and zero length give no bytes).
inline Bytes ColumnBytes(sqlite3_stmt* s, int column) {
  const auto* data = static_cast<const std::uint8_t*>(sqlite3_column_blob(s, column));
  const int size = sqlite3_column_bytes(s, column);
  return data && size > 0 ? Bytes(data, data + size) : Bytes();
}

// A text result column converted to the local code page; a text that does not convert reads as
// empty, as every text read of the store does.
inline Text ColumnLocalText(sqlite3_stmt* s, int column) {
  return FromUtf8(ColumnText(s, column)).value_or(Text());
}

inline StoredValue ColumnStoredValue(sqlite3_stmt* s, int column) {
  return StoredValue(sqlite3_value_dup(sqlite3_column_value(s, column)));
}

// A text result column as it is shown (catalogue, listings, file names): converted to the local
// code page, and where the stored bytes do not convert (another program wrote a title in GBK), as
// best it can, each character that does not convert becoming "?". Never for what is written back.
inline Text ColumnShownText(sqlite3_stmt* s, int column) {
  const std::string utf8 = ColumnText(s, column);
  if (auto local = FromUtf8(utf8)) return *std::move(local);
  return FromUtf8Lossy(utf8);
}

// What one open connection carries besides its handle: the statement cache, the outcome of the
// last statement that ended, and what the tables opened on it remember between opens.
enum class TableShape;  // sqlite_table.h

// Whether a result code says that another connection held the file past the busy timeout.
inline bool IsBusyResult(int rc) { return (rc & 0xFF) == SQLITE_BUSY; }

struct Connection {
  sqlite3* handle = nullptr;

  // True when the last statement that ended on this connection failed because another
  // connection kept the file locked past the busy timeout.
  bool busy = false;

  // Counts the rollbacks on this connection, of whole transactions and to savepoints; anything
  // remembered about the rows from before a rollback may describe rows that are gone.
  std::int64_t rollbacks = 0;

  struct CacheEntry {
    sqlite3_stmt* statement = nullptr;
    bool lent = false;
  };
  std::unordered_map<std::string, CacheEntry> statements;  // by UTF-8 text

  // What a table learned about itself, kept while nothing could have changed it.
  struct TableMemo {
    std::string name;  // UTF-8, as the table was opened
    std::int64_t schemaVersion = -1;
    TableShape shape{};
    std::string rowIdName;                         // the name that reaches the real row id
    std::vector<std::optional<Text>> columnNames;  // absent when the name did not convert
    std::vector<std::string> lowerNames;           // the columns' UTF-8 names in small letters
    // The row ids and the state of the file they were read in.
    bool idsValid = false;
    std::int64_t idsDataVersion = 0;
    std::int64_t idsChanges = 0;
    std::int64_t idsRollbacks = 0;
    std::shared_ptr<std::vector<std::int64_t>> ids;
  };
  std::vector<TableMemo> tables;

  Connection() = default;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  ~Connection() { FinalizeIdle(); }

  // Finalizes every statement not lent out; lent ones are finalized when their lease ends.
  void FinalizeIdle() {
    for (auto it = statements.begin(); it != statements.end();) {
      if (it->second.lent) {
        ++it;
        continue;
      }
      sqlite3_finalize(it->second.statement);
      it = statements.erase(it);
    }
  }
};

// A statement lent by a connection's cache (or prepared for this use alone when the cached one is
// lent already). Values are bound in UTF-8 or as numbers and blobs.
class CachedStatement {
 public:
  CachedStatement() = default;
  CachedStatement(std::shared_ptr<Connection> connection, sqlite3_stmt* statement, std::string key)
      : connection_(std::move(connection)), statement_(statement), key_(std::move(key)) {}
  CachedStatement(CachedStatement&& other) noexcept { *this = std::move(other); }
  CachedStatement& operator=(CachedStatement&& other) noexcept {
    if (this != &other) {
      Release();
      connection_ = std::move(other.connection_);
      statement_ = other.statement_;
      key_ = std::move(other.key_);
      other.statement_ = nullptr;
    }
    return *this;
  }
  ~CachedStatement() { Release(); }

  sqlite3_stmt* Get() const { return statement_; }
  explicit operator bool() const { return statement_ != nullptr; }

  // Steps once and notes on the connection whether a failure was a busy file.
  int Step() {
    const int rc = sqlite3_step(statement_);
    if (connection_) connection_->busy = IsBusyResult(rc);
    return rc;
  }

  void Bind(int index, std::int64_t value) { sqlite3_bind_int64(statement_, index, value); }
  void Bind(int index, std::int32_t value) { sqlite3_bind_int(statement_, index, value); }
  // A zero-length blob needs a non-null pointer, or SQLite binds NULL.
  void Bind(int index, const Bytes& value) {
    static const std::uint8_t kNothing = 0;
    sqlite3_bind_blob64(statement_, index, value.empty() ? &kNothing : value.data(), value.size(),
                        SQLITE_TRANSIENT);
  }
  void BindUtf8(int index, std::string_view utf8) {
    sqlite3_bind_text64(statement_, index, utf8.data(), utf8.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
  }
  void Bind(int index, const StoredValue& value) { sqlite3_bind_value(statement_, index, value.get()); }
  // A local-code-page text; one that does not convert stays unbound and is written as NULL.
  void BindLocal(int index, const Text& local) {
    if (auto utf8 = ToUtf8(local)) BindUtf8(index, *utf8);
  }

 private:
  void Release() {
    if (statement_ == nullptr) return;
    sqlite3_stmt* s = statement_;
    statement_ = nullptr;
    if (connection_ && connection_->handle != nullptr && !key_.empty()) {
      auto it = connection_->statements.find(key_);
      if (it != connection_->statements.end() && it->second.statement == s) {
        sqlite3_reset(s);
        sqlite3_clear_bindings(s);
        it->second.lent = false;
        connection_.reset();
        return;
      }
    }
    if (connection_ && !key_.empty()) {
      auto it = connection_->statements.find(key_);
      if (it != connection_->statements.end() && it->second.statement == s) connection_->statements.erase(it);
    }
    sqlite3_finalize(s);
    connection_.reset();
  }

  std::shared_ptr<Connection> connection_;
  sqlite3_stmt* statement_ = nullptr;
  std::string key_;  // empty for a statement that is not in the cache
};

// Lends the cached statement for `utf8Sql`, preparing it on first use; empty when the connection
// is closed or the text does not prepare.
inline CachedStatement PrepareCached(const std::shared_ptr<Connection>& connection,
                                     const std::string& utf8Sql) {
  if (!connection || connection->handle == nullptr) return {};
  auto it = connection->statements.find(utf8Sql);
  if (it != connection->statements.end() && !it->second.lent) {
    it->second.lent = true;
    return CachedStatement(connection, it->second.statement, utf8Sql);
  }
  sqlite3_stmt* raw = nullptr;
  const int rc = sqlite3_prepare_v3(connection->handle, utf8Sql.c_str(), static_cast<int>(utf8Sql.size()),
                                    SQLITE_PREPARE_PERSISTENT, &raw, nullptr);
  if (rc != SQLITE_OK || raw == nullptr) {
    connection->busy = IsBusyResult(rc);
    sqlite3_finalize(raw);
    return {};
  }
  // The cached one is lent already, or the cache is full (a caller's own conditions vary).
  constexpr std::size_t kMostCached = 64;
  if (it != connection->statements.end() || connection->statements.size() >= kMostCached)
    return CachedStatement(connection, raw, {});
  connection->statements.emplace(utf8Sql, Connection::CacheEntry{raw, true});
  return CachedStatement(connection, raw, utf8Sql);
}

}  // namespace nvx
