#include "store/sqlite_table.h"

#include <cstdlib>

#include "store/statement.h"

namespace nvx {
namespace {

// Upper-cases ASCII letters; a byte of 0x80 or above goes together with the byte after it, and
// neither is changed, so the trail byte of a double-byte character is never taken for a letter.
bool sameColumnName(const Text& a, const Text& b) {
  if (a.size() != b.size()) return false;
  std::size_t i = 0;
  while (i < a.size()) {
    auto x = static_cast<unsigned char>(a[i]);
    auto y = static_cast<unsigned char>(b[i]);
    if (x >= 0x80) {
      if (x != y || (i + 1 < a.size() && a[i + 1] != b[i + 1])) return false;
      i += 2;
      continue;
    }
    if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 'a' + 'A');
    if (x != y) return false;
    ++i;
  }
  return true;
}

}  // namespace

void SqliteTable::reset() {
  position_ = 0;
  tableName_.clear();
  columnNames_.clear();
  rowIds_.clear();
  mode_ = Mode::Closed;
  link_.reset();
  pending_.reset();
}

bool SqliteTable::load() {
  columnNames_.clear();
  rowIds_.clear();
  pending_.reset();
  loaded_.reset();
  if (connection() == nullptr || tableName_.empty()) return false;
  // Taken before reading: a commit by someone else while the rows are read shows up later as a
  // changed data version, never as a missed row.
  const std::optional<Snapshot> before = takeSnapshot();

  if (Statement s = prepare(connection(), "SELECT * FROM " + tableName_ + " LIMIT 0")) {
    const int rc = sqlite3_step(s.get());
    if (rc == SQLITE_ROW || rc == SQLITE_DONE) {
      const int count = sqlite3_column_count(s.get());
      for (int i = 0; i < count; ++i) {
        const char* name = sqlite3_column_name(s.get(), i);
        columnNames_.push_back(name ? FromUtf8(name) : std::nullopt);
      }
    }
  }

  Statement ids = prepare(connection(), "SELECT _ROWID_ FROM " + tableName_ + " ORDER BY _ROWID_ ");
  if (!ids) return false;
  std::vector<Text> loaded;
  for (;;) {
    const int rc = sqlite3_step(ids.get());
    if (rc == SQLITE_DONE) break;
    if (rc != SQLITE_ROW) return false;
    loaded.push_back(columnText(ids.get(), 0));
  }
  rowIds_ = std::move(loaded);
  loaded_ = before;
  return true;
}

namespace {

std::optional<std::int64_t> pragmaNumber(sqlite3* db, const char* sql) {
  Statement s = prepare(db, sql);
  if (!s || sqlite3_step(s.get()) != SQLITE_ROW) return std::nullopt;
  return sqlite3_column_int64(s.get(), 0);
}

}  // namespace

std::optional<SqliteTable::Snapshot> SqliteTable::takeSnapshot() const {
  const auto data = pragmaNumber(connection(), "PRAGMA data_version");
  const auto schema = pragmaNumber(connection(), "PRAGMA schema_version");
  if (!data || !schema) return std::nullopt;
  return Snapshot{*data, *schema, sqlite3_total_changes64(connection())};
}

bool SqliteTable::onlyOwnInsertSinceLoad(Snapshot& now) const {
  if (!loaded_) return false;
  const auto current = takeSnapshot();
  if (!current) return false;
  now = *current;
  return now.dataVersion == loaded_->dataVersion && now.schemaVersion == loaded_->schemaVersion &&
         now.changes == loaded_->changes + 1;
}

// What a reload would give after this table's insert and nothing else: the same columns and row
// ids, with the new row id in its place (last, when it is the largest).
void SqliteTable::addInsertedRow() {
  const std::int64_t id = sqlite3_last_insert_rowid(connection());
  auto place = rowIds_.end();
  while (place != rowIds_.begin() && std::strtoll(std::prev(place)->c_str(), nullptr, 10) > id) --place;
  rowIds_.insert(place, std::to_string(id));
  pending_.reset();
}

bool SqliteTable::Open(const Text& tableName, SqliteDB& db) {
  reset();
  if (db.connection() == nullptr || tableName.empty()) return false;
  tableName_ = tableName;
  link_ = db.link();
  mode_ = Mode::Browsing;
  if (!load()) {
    reset();
    return false;
  }
  pending_.emplace(columnNames_.size());
  return true;
}

bool SqliteTable::Close() {
  reset();
  return true;
}

bool SqliteTable::moveTo(std::int64_t p) {
  if (!isOpen()) return false;
  if (p >= 1 && p <= rowCount()) {
    position_ = static_cast<std::int32_t>(p);
    return true;
  }
  position_ = p > rowCount() ? rowCount() + 1 : 0;
  return false;
}

bool SqliteTable::First() { return moveTo(1); }

bool SqliteTable::Next() { return moveTo(std::int64_t(position_) + 1); }

bool SqliteTable::IsAfterLast() const { return !isOpen() || rowIds_.empty() || position_ > rowCount(); }

std::int32_t SqliteTable::Position() const { return isOpen() ? position_ : 0; }

bool SqliteTable::Find(const Text& condition) {
  if (!isOpen() || condition.empty()) return false;
  Text start;
  if (isCurrentRow(position_)) {
    start = rowIds_[position_ - 1];
  } else if (position_ > rowCount()) {
    return false;
  } else {
    start = "0";
  }
  Statement s = prepare(connection(), "SELECT _ROWID_ FROM " + tableName_ + " WHERE (" + condition +
                                          ") AND (_ROWID_>=" + start + ") ");
  if (!s || sqlite3_step(s.get()) != SQLITE_ROW) return false;
  const Text found = columnText(s.get(), 0);
  for (std::size_t i = 0; i < rowIds_.size(); ++i) {
    if (rowIds_[i] == found) {
      position_ = static_cast<std::int32_t>(i + 1);
      return true;
    }
  }
  return false;
}

int SqliteTable::columnNumber(const Column& column) const {
  if (const auto* number = std::get_if<std::int64_t>(&column.ref())) {
    return *number >= 1 && *number <= columnCount() ? static_cast<int>(*number) : 0;
  }
  const Text& name = std::get<Text>(column.ref());
  if (name.empty()) return 0;
  for (std::size_t i = 0; i < columnNames_.size(); ++i) {
    if (columnNames_[i] && sameColumnName(*columnNames_[i], name)) return static_cast<int>(i + 1);
  }
  return 0;
}

std::optional<SqliteTable::FieldValue> SqliteTable::readField(const Column& column, Kind kind, bool* ok) {
  if (ok) *ok = false;
  const int n = columnNumber(column);
  if (!isOpen() || n < 1 || !columnNames_[n - 1] || !isCurrentRow(position_)) return std::nullopt;
  Statement s = prepare(connection(), "SELECT " + *columnNames_[n - 1] + " FROM " + tableName_ +
                                          " WHERE _ROWID_ = " + rowIds_[position_ - 1] + " ");
  if (!s || sqlite3_step(s.get()) != SQLITE_ROW) return std::nullopt;
  FieldValue value;
  switch (kind) {
    case Kind::Text:
      value = FromUtf8(columnText(s.get(), 0)).value_or(Text());
      break;
    case Kind::Int:
      value = static_cast<std::int32_t>(sqlite3_column_int(s.get(), 0));
      break;
    case Kind::Bytes: {
      const auto* data = static_cast<const std::uint8_t*>(sqlite3_column_blob(s.get(), 0));
      const int size = sqlite3_column_bytes(s.get(), 0);
      value = data && size > 0 ? Bytes(data, data + size) : Bytes();
      break;
    }
  }
  if (ok) *ok = true;
  return value;
}

Text SqliteTable::ReadText(const Column& column, bool* ok) {
  auto v = readField(column, Kind::Text, ok);
  return v ? std::get<Text>(std::move(*v)) : Text();
}

std::int32_t SqliteTable::ReadInt(const Column& column, bool* ok) {
  auto v = readField(column, Kind::Int, ok);
  return v ? std::get<std::int32_t>(*v) : 0;
}

Bytes SqliteTable::ReadBytes(const Column& column, bool* ok) {
  auto v = readField(column, Kind::Bytes, ok);
  return v ? std::get<Bytes>(std::move(*v)) : Bytes();
}

bool SqliteTable::WriteField(const Column& column, const Value& value) {
  const int n = columnNumber(column);
  if (!isOpen() || n < 1 || !pending_) return false;
  Pending& slot = (*pending_)[n - 1];
  slot = std::visit(
      [](const auto& v) -> Pending {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          return std::monostate{};
        } else if constexpr (std::is_same_v<T, std::uint8_t> || std::is_same_v<T, std::int16_t> ||
                             std::is_same_v<T, std::int32_t> || std::is_same_v<T, bool>) {
          return static_cast<std::int32_t>(v);
        } else if constexpr (std::is_same_v<T, std::int64_t>) {
          return v;
        } else if constexpr (std::is_same_v<T, float> || std::is_same_v<T, double>) {
          return static_cast<double>(v);
        } else if constexpr (std::is_same_v<T, DateTime>) {
          return v.days;
        } else {
          return v;  // Text or Bytes
        }
      },
      value);
  return !std::holds_alternative<std::monostate>(slot);
}

bool SqliteTable::AddNew() {
  if (!isOpen()) return false;
  pending_.emplace(columnNames_.size());
  mode_ = Mode::Adding;
  return true;
}

bool SqliteTable::Edit() {
  if (!isOpen() || !isCurrentRow(position_)) return false;
  pending_.emplace(columnNames_.size());
  mode_ = Mode::Editing;
  return true;
}

bool SqliteTable::Update() {
  if (!isOpen() || (mode_ != Mode::Adding && mode_ != Mode::Editing) || columnNames_.empty() || !pending_)
    return false;

  // Parameters follow the table's column order, whatever order the fields were written in.
  Text setList, columnList, valueList;
  std::vector<const Pending*> bound;
  for (std::size_t i = 0; i < columnNames_.size(); ++i) {
    const Pending& slot = (*pending_)[i];
    if (std::holds_alternative<std::monostate>(slot) || !columnNames_[i]) continue;
    setList += *columnNames_[i] + "=?,";
    columnList += *columnNames_[i] + ",";
    valueList += "?,";
    bound.push_back(&slot);
  }
  if (bound.empty()) return false;
  setList.pop_back();
  columnList.pop_back();
  valueList.pop_back();

  Text sql;
  if (mode_ == Mode::Editing) {
    if (!isCurrentRow(position_)) return false;
    sql = "UPDATE " + tableName_ + " SET " + setList + " WHERE _ROWID_=" + rowIds_[position_ - 1];
  } else {
    sql = "INSERT INTO " + tableName_ + "(" + columnList + ") VALUES(" + valueList + ")";
  }
  Statement s = prepare(connection(), sql);
  if (!s) return false;

  for (std::size_t i = 0; i < bound.size(); ++i) {
    const int index = static_cast<int>(i + 1);
    std::visit(
        [&](const auto& v) {
          using T = std::decay_t<decltype(v)>;
          if constexpr (std::is_same_v<T, std::int32_t>) {
            sqlite3_bind_int(s.get(), index, v);
          } else if constexpr (std::is_same_v<T, std::int64_t>) {
            sqlite3_bind_int64(s.get(), index, v);
          } else if constexpr (std::is_same_v<T, double>) {
            sqlite3_bind_double(s.get(), index, v);
          } else if constexpr (std::is_same_v<T, Text>) {
            // A text that does not convert stays unbound and is written as NULL.
            if (auto utf8 = ToUtf8(v)) sqlite3_bind_text(s.get(), index, utf8->c_str(), -1, SQLITE_TRANSIENT);
          } else if constexpr (std::is_same_v<T, Bytes>) {
            // A zero-length blob needs a non-null pointer, or SQLite binds NULL.
            static const std::uint8_t kNothing = 0;
            sqlite3_bind_blob(s.get(), index, v.empty() ? &kNothing : v.data(), static_cast<int>(v.size()),
                              SQLITE_TRANSIENT);
          }
        },
        *bound[i]);
  }

  if (sqlite3_step(s.get()) != SQLITE_DONE) return false;
  const bool inserted = mode_ == Mode::Adding;
  mode_ = Mode::Browsing;
  // Reading every row id again after each insert makes copying n articles cost n^2 row reads;
  // when nothing but this insert changed the table, adding its row id gives the same result.
  Snapshot now;
  if (inserted && onlyOwnInsertSinceLoad(now)) {
    addInsertedRow();
    loaded_ = now;
  } else {
    load();
  }
  return true;
}

bool SqliteTable::Delete() {
  if (!isOpen() || !isCurrentRow(position_)) return false;
  const Text sql = "DELETE FROM " + tableName_ + " WHERE _ROWID_ = " + rowIds_[position_ - 1];
  const bool done = execute(connection(), sql);
  load();
  position_ = 0;
  return done;
}

}  // namespace nvx
