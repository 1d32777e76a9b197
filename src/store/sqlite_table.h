// A cursor over one table of an open SqliteDB.
//
// The table object keeps only the column names and the row ids of all rows (as the decimal texts
// SQLite gives, in ascending row-id order); every field read is one SELECT of one column of one
// row. Writes are staged with WriteField and turned into one INSERT or UPDATE by Update, with the
// values bound as parameters in the table's column order.
//
// Positions are 1-based: 0 is before the first row, rowCount + 1 past the last one.
// Table names, column names and Find conditions enter the statements verbatim: callers pass only
// fixed names and conditions built from row ids.
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "store/sqlite_db.h"
#include "store/value.h"

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

  const std::variant<Text, std::int64_t>& ref() const { return ref_; }

 private:
  std::variant<Text, std::int64_t> ref_;
};

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

  Mode mode() const { return mode_; }
  std::int32_t rowCount() const { return static_cast<std::int32_t>(rowIds_.size()); }
  std::int32_t columnCount() const { return static_cast<std::int32_t>(columnNames_.size()); }
  const std::vector<Text>& rowIds() const { return rowIds_; }

 private:
  // A staged value: none, int32, int64, double, text (local code page) or blob.
  using Pending = std::variant<std::monostate, std::int32_t, std::int64_t, double, Text, Bytes>;
  enum class Kind { Text, Int, Bytes };
  using FieldValue = std::variant<Text, std::int32_t, Bytes>;

  sqlite3* connection() const { return link_ ? link_->handle : nullptr; }
  // What a load saw: the commits of other connections, the schema, and this connection's row
  // changes. While none of them moved but this table's own insert, the insert's row id is all a
  // reload would add.
  struct Snapshot {
    std::int64_t dataVersion = 0;
    std::int64_t schemaVersion = 0;
    std::int64_t changes = 0;
  };
  std::optional<Snapshot> takeSnapshot() const;
  bool onlyOwnInsertSinceLoad(Snapshot& now) const;
  void addInsertedRow();

  bool isOpen() const { return connection() != nullptr && mode_ != Mode::Closed; }
  bool isCurrentRow(std::int32_t p) const { return !rowIds_.empty() && p >= 1 && p <= rowCount(); }
  void reset();
  bool load();
  bool moveTo(std::int64_t p);
  int columnNumber(const Column& column) const;
  std::optional<FieldValue> readField(const Column& column, Kind kind, bool* ok);

  std::int32_t position_ = 0;
  Text tableName_;
  std::vector<std::optional<Text>> columnNames_;  // absent when the name did not convert
  std::vector<Text> rowIds_;
  Mode mode_ = Mode::Closed;
  std::shared_ptr<const SqliteDB::Link> link_;  // the SqliteDB's connection, borrowed
  std::optional<std::vector<Pending>> pending_;
  std::optional<Snapshot> loaded_;
};

}  // namespace nvx
