// One connection to a database file.
//
// Every operation reports through its result; none raises or keeps an error text. Names are local
// code page texts; the file system and SQLite see them as UTF-8.
//
// A SqliteDB, the tables opened on it and the statements it lends are used from one thread at a
// time: the statement cache and what tables remember are not guarded. A walk that should run on
// another thread opens its own SqliteDB there.
#pragma once

#include <sqlite3.h>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "base/value.h"

namespace nvx {

struct Connection;      // statement.h: what one open connection carries besides its handle
class CachedStatement;  // statement.h: a statement lent by a connection's cache

struct ValueFreer {
  void operator()(sqlite3_value* v) const { sqlite3_value_free(v); }
};
// One stored value exactly as the file holds it: its kind (NULL, number, text, blob) and its
// bytes, whatever they encode. Copies carry values over in this form, so that a title another
// program wrote in bytes that are not UTF-8 arrives unchanged.
using StoredValue = std::unique_ptr<sqlite3_value, ValueFreer>;

// Whether a connection may write its file. A read-only one never writes it, not even to roll back
// a journal left by a crash: it finds the file busy instead.
enum class OpenMode { ReadWrite, ReadOnly };

class SqliteDB {
 public:
  // How long a statement waits for another program's lock on the file before it fails as busy.
  static constexpr int kBusyTimeoutMs = 3000;
  // The most one text or blob may hold: well above any article, far below what would exhaust
  // memory when a crafted file asks for a huge value.
  static constexpr int kMaxValueBytes = 512 * 1024 * 1024;

  SqliteDB() = default;
  ~SqliteDB();
  SqliteDB(const SqliteDB&) = delete;
  SqliteDB& operator=(const SqliteDB&) = delete;

  // Opens `fileName` after closing any open connection. Without `create` the file must already
  // exist as a regular file (or a symbolic link to one), and nothing is created; an empty name or
  // ":memory:" (any letter case) is the in-memory database, which opens only with `create`. A name
  // is always a file name, never an SQLite URI. Connections are opened with SQLite's defensive
  // settings (no writes to the schema by hand, no trusted schema functions, no extensions), the
  // busy timeout and the value size limit above.
  bool Open(const Text& fileName, bool create = false);
  // Opens an existing file as above, read-only when `mode` says so.
  bool Open(const Text& fileName, OpenMode mode);

  // Closes this connection and takes over `other`'s, which is left closed; the busy timeout stays
  // this object's. For opening a file beside the open one and switching only once it opened.
  void TakeConnection(SqliteDB& other);

  // Closes the connection; false only when SQLite reported it busy (the handle is dropped anyway).
  bool Close();

  // "DELETE FROM <table>".
  bool ClearTable(const Text& tableName);

  // "VACUUM".
  bool Compact();

  // Runs one statement that returns no rows. The text is in the local code page.
  bool Execute(const Text& statement);

  // Runs one long statement that returns no rows (an INSERT … SELECT), UTF-8. Each row it reads
  // through the SQL function nvx_row() (which gives 1) counts: the guard against runaway statements
  // then measures the work between two rows, as for a walk, and `going(rows)` is asked at once
  // whether to go on; false stops the statement before the next row, and its changes are undone.
  // Gives the rows counted when the statement ran to its end.
  std::optional<std::int64_t> ExecuteCounted(const std::string& utf8Sql,
                                             const std::function<bool(std::int64_t rows)>& going);

  // Copies every page of `source`'s main database over this connection's with SQLite's online
  // backup, in one step: the very database (page size, encoding, every stored byte), without
  // running anything of its schema. Inside a read transaction on `source`, the copy is of the state
  // that transaction sees.
  bool CopyPagesFrom(const SqliteDB& source);

  // The full path of the open database file (local code page); empty when closed or in memory.
  Text FileName() const;

  // The row id SQLite gave the last row inserted on this connection, 0 when closed.
  std::int64_t LastInsertRowId() const;

  // True when the last statement that ended on this connection failed because another program
  // kept the file locked for longer than the busy timeout.
  bool Busy() const;

  // Changes the busy timeout of the open connection and of the ones opened later (tests use a
  // short one).
  void SetBusyTimeout(int milliseconds);

  sqlite3* Handle() const;

  // Lends the connection's cached statement for `utf8Sql` (see statement.h, private to the store).
  CachedStatement Prepare(const std::string& utf8Sql) const;

  // What a table opened on this database holds: it sees the handle only while this connection is
  // open, so a table left open across Close or the next Open fails instead of using a closed handle.
  using Link = Connection;
  std::shared_ptr<Link> SharedLink() const { return link_; }

 private:
  bool OpenWith(const Text& fileName, bool create, OpenMode mode);

  std::shared_ptr<Link> link_;
  int busyTimeoutMs_ = kBusyTimeoutMs;
};

// A file name SQLite cannot take for a URI ("./" before a relative name), for the places that
// hand SQLite a file name of their own (ATTACH).
std::string PlainSqlitePath(const std::string& utf8);

}  // namespace nvx
