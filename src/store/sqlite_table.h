// A cursor over one table of an open SqliteDB.
//
// The table object keeps only the column names and the row ids of all rows (64-bit integers, in
// ascending row-id order); every field read is one SELECT of one column of one row, keyed by the
// row id bound as a parameter. Writes are staged with WriteField and turned into one INSERT or
// UPDATE by Update, with the values bound as parameters in the table's column order.
//
// Statements come from the connection's cache, and what a table learned (its shape, its column
// names, its row ids) is kept on the connection for as long as nothing could have changed it: no
// other program committed, the schema is the same, this connection changed no row and rolled
// nothing back. Opening the table again then costs the same for ten rows and for a million.
//
// Positions are 1-based: 0 is before the first row, rowCount + 1 past the last one.
// Table names, column names and Find conditions enter the statements verbatim: callers pass only
// fixed names and conditions; an article is looked up by its number with FindId.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "base/value.h"
#include "store/sqlite_db.h"

namespace nvx {

// A column given by its name (matched ignoring the case of ASCII letters) or by its 1-based number
// (a fraction is cut toward zero; 0 and below name no column).
class Column {
 public:
  Column(const char* name) : ref_(Text(name ? name : "")) {}
  Column(const Text& name) : ref_(name) {}
  Column(int number) : ref_(static_cast<std::int64_t>(number)) {}
  Column(std::int64_t number) : ref_(number) {}
  Column(double number) : ref_(static_cast<std::int64_t>(number)) {}

  const std::variant<Text, std::int64_t>& Ref() const { return ref_; }

 private:
  std::variant<Text, std::int64_t> ref_;
};

// What a table is, as far as a cursor over its row ids is concerned. Only Sound tables open.
enum class TableShape {
  Sound,
  Missing,           // no table or view of that name
  View,              // a view has no row ids of its own
  RowIdHidden,       // every name of the row id (rowid, oid, _rowid_) is a column, or WITHOUT ROWID
  GeneratedColumns,  // values computed on every read, at whatever cost the file sets
  Unreadable,        // the schema cannot be read (not a database, damaged)
  Busy,              // another program kept the file locked past the busy timeout
};

// The shape of table `tableName` and the name by which its statements reach the real row id
// ("_ROWID_", else "ROWID", else "OID"; empty unless Sound).
struct TableLayout {
  TableShape shape = TableShape::Missing;
  std::string rowIdName;
  std::vector<std::string> columns;  // UTF-8, in small letters

  // Whether the table has the column `name` (ignoring the case of ASCII letters).
  bool HasColumn(std::string_view name) const;
};
TableLayout InspectTable(SqliteDB& db, const Text& tableName);

class SqliteTable {
 public:
  enum class Mode { Closed = 0, Browsing = 1, Adding = 2, Editing = 3 };

  bool Open(const Text& tableName, SqliteDB& db);
  bool Close();

  bool First();
  bool Next();
  bool IsAfterLast() const;
  std::int32_t Position() const;

  // Moves to the first row, from the current one on, that meets `condition` (an SQL expression).
  bool Find(const Text& condition);

  // Moves to the row whose row id is `id`, wherever the table stands; false (position unchanged)
  // when no such row is in the table and in the row ids read at the last load.
  bool FindId(std::int64_t id);

  // The row id of the current row; nullopt without a current row.
  std::optional<std::int64_t> CurrentId() const;

  // Field reads of the current row. `ok`, when given, is false until the read succeeded.
  Text ReadText(const Column& column, bool* ok = nullptr);
  std::int32_t ReadInt(const Column& column, bool* ok = nullptr);
  Bytes ReadBytes(const Column& column, bool* ok = nullptr);

  // Stages a value for the next Update. An absent value (std::monostate) is refused.
  bool WriteField(const Column& column, const Value& value);

  bool AddNew();
  bool Edit();
  bool Update();
  bool Delete();

  // The row id of the row the last successful Update added, while it is among the row ids the
  // table holds; nullopt when that Update added no row (a trigger skipped it) or the row is gone
  // (a trigger removed it).
  std::optional<std::int64_t> InsertedId() const;

  Mode CurrentMode() const { return mode_; }
  std::int32_t RowCount() const { return static_cast<std::int32_t>(Ids().size()); }
  std::int32_t ColumnCount() const { return static_cast<std::int32_t>(columnNames_.size()); }
  const std::vector<std::int64_t>& RowIds() const { return Ids(); }

 private:
  // A staged value: none, int32, int64, double, text (local code page) or blob.
  using Pending = std::variant<std::monostate, std::int32_t, std::int64_t, double, Text, Bytes>;
  enum class Kind { Text, Int, Bytes };
  using FieldValue = std::variant<Text, std::int32_t, Bytes>;

  sqlite3* Handle() const;
  const std::vector<std::int64_t>& Ids() const;
  std::int64_t IdAt(std::int32_t p) const { return Ids()[static_cast<std::size_t>(p - 1)]; }
  std::int32_t PositionOf(std::int64_t id) const;  // 0 when not among the row ids

  bool IsOpen() const { return Handle() != nullptr && mode_ != Mode::Closed; }
  bool IsCurrentRow(std::int32_t p) const { return !Ids().empty() && p >= 1 && p <= RowCount(); }
  void Reset();
  bool Load();
  bool ApplyOwnChange(std::int64_t id, bool inserted);
  bool MoveTo(std::int64_t p);
  int ColumnNumber(const Column& column) const;
  std::optional<FieldValue> ReadField(const Column& column, Kind kind, bool* ok);

  std::int32_t position_ = 0;
  Text tableName_;
  std::string rowIdName_;                              // how statements name the real row id
  std::vector<std::optional<Text>> columnNames_;       // absent when the name did not convert
  std::shared_ptr<std::vector<std::int64_t>> rowIds_;  // shared with the connection's memory
  Mode mode_ = Mode::Closed;
  std::shared_ptr<SqliteDB::Link> link_;  // the SqliteDB's connection, borrowed
  std::optional<std::vector<Pending>> pending_;
  std::optional<std::int64_t> inserted_;
};

}  // namespace nvx
