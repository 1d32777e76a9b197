#include "store/sqlite_table.h"

#include <algorithm>

#include "store/statement.h"

namespace nvx {
namespace {

// Upper-cases ASCII letters; a byte of 0x80 or above goes together with the byte after it, and
// neither is changed, so the trail byte of a double-byte character is never taken for a letter.
bool SameColumnName(const Text& a, const Text& b) {
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

// A column name as it enters a statement: as it is when it is a plain name (as every article
// column is), else quoted, so that a name a file chose can never be read as SQL.
Text Identifier(const Text& name) {
  bool plain = !name.empty() && !(name[0] >= '0' && name[0] <= '9') &&
               sqlite3_keyword_check(name.data(), static_cast<int>(name.size())) == 0;
  for (char c : name) {
    plain = plain && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_');
  }
  if (plain) return name;
  Text quoted = "\"";
  for (char c : name) quoted += c == '"' ? Text("\"\"") : Text(1, c);
  return quoted + "\"";
}

std::string LowerAscii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

using Memo = Connection::TableMemo;

std::optional<std::int64_t> PragmaNumber(const std::shared_ptr<Connection>& c, const std::string& sql) {
  CachedStatement s = PrepareCached(c, sql);
  if (!s || s.Step() != SQLITE_ROW) return std::nullopt;
  return sqlite3_column_int64(s.Get(), 0);
}

TableShape FailureShape(const Connection& c) { return c.busy ? TableShape::Busy : TableShape::Unreadable; }

// Whether `memo.name` is a table: nullopt when it is; otherwise what it is instead (missing, a
// view, or unreadable).
std::optional<TableShape> KindOf(const std::shared_ptr<Connection>& c, const Memo& memo) {
  CachedStatement s = PrepareCached(
      c, "SELECT type FROM sqlite_master WHERE name=?1 COLLATE NOCASE AND type IN ('table','view')");
  if (!s) return FailureShape(*c);
  s.BindUtf8(1, memo.name);
  const int rc = s.Step();
  if (rc == SQLITE_DONE) return TableShape::Missing;
  if (rc != SQLITE_ROW) return FailureShape(*c);
  if (ColumnText(s.Get(), 0) == "view") return TableShape::View;
  return std::nullopt;
}

// The table's column names (hidden ones too) in small letters, into `memo.lowerNames`, and
// whether one of them is generated; false when they cannot be read.
bool ReadColumns(const std::shared_ptr<Connection>& c, Memo& memo, bool& generated) {
  CachedStatement s = PrepareCached(c, "SELECT name, hidden FROM pragma_table_xinfo(?1)");
  if (!s) return false;
  s.BindUtf8(1, memo.name);
  std::vector<std::string> names;
  int rc;
  while ((rc = s.Step()) == SQLITE_ROW) {
    names.push_back(LowerAscii(ColumnText(s.Get(), 0)));
    const int hidden = sqlite3_column_int(s.Get(), 1);
    generated = generated || hidden == 2 || hidden == 3;
  }
  if (rc != SQLITE_DONE) return false;
  memo.lowerNames = std::move(names);
  return true;
}

// The first of the row id's names that no column takes, when it reaches the real row id (a
// WITHOUT ROWID table has none under any name); empty otherwise.
std::string RowIdName(const std::shared_ptr<Connection>& c, const Text& table, const Memo& memo) {
  const auto& names = memo.lowerNames;
  for (const char* candidate : {"_ROWID_", "ROWID", "OID"}) {
    if (std::find(names.begin(), names.end(), LowerAscii(candidate)) != names.end()) continue;
    const std::string name = candidate;
    return Prepare(c->handle, "SELECT " + name + " FROM " + table + " LIMIT 0") ? name : std::string();
  }
  return {};
}

// Reads what the table is: a table or a view, its columns, whether one of them is generated,
// which name still reaches the real row id, and the column names a cursor uses.
void Inspect(const std::shared_ptr<Connection>& c, const Text& table, Memo& memo) {
  memo.columnNames.clear();
  memo.lowerNames.clear();
  memo.rowIdName.clear();
  if (const auto notTable = KindOf(c, memo)) {
    memo.shape = *notTable;
    return;
  }
  bool generated = false;
  if (!ReadColumns(c, memo, generated)) {
    memo.shape = FailureShape(*c);
    return;
  }
  if (generated) {
    memo.shape = TableShape::GeneratedColumns;
    return;
  }
  memo.rowIdName = RowIdName(c, table, memo);
  if (memo.rowIdName.empty()) {
    memo.shape = TableShape::RowIdHidden;
    return;
  }
  if (Statement s = Prepare(c->handle, "SELECT * FROM " + table + " LIMIT 0")) {
    const int rc = sqlite3_step(s.get());
    if (rc == SQLITE_ROW || rc == SQLITE_DONE) {
      const int count = sqlite3_column_count(s.get());
      for (int i = 0; i < count; ++i) {
        const char* name = sqlite3_column_name(s.get(), i);
        memo.columnNames.push_back(name ? FromUtf8(name) : std::nullopt);
      }
    }
  }
  memo.shape = TableShape::Sound;
}

// The connection's memory of table `table`, read again when the schema changed since; nullptr
// with `failure` set when not even the schema version can be read.
Memo* ReadTableMemo(const std::shared_ptr<Connection>& c, const Text& table, TableShape& failure) {
  failure = TableShape::Missing;
  if (!c || c->handle == nullptr || table.empty()) return nullptr;
  const auto utf8 = ToUtf8(table);
  if (!utf8) return nullptr;
  const auto schemaVersion = PragmaNumber(c, "PRAGMA schema_version");
  if (!schemaVersion) {
    failure = FailureShape(*c);
    return nullptr;
  }
  auto it = std::find_if(c->tables.begin(), c->tables.end(), [&](const Memo& m) { return m.name == *utf8; });
  if (it != c->tables.end() && it->schemaVersion == *schemaVersion) return &*it;
  constexpr std::size_t kMostTables = 8;
  if (it == c->tables.end()) {
    if (c->tables.size() >= kMostTables) c->tables.clear();
    it = c->tables.insert(c->tables.end(), Memo{});
  }
  *it = Memo{};
  it->name = *utf8;
  Inspect(c, table, *it);
  // Set last: a failed inspection is tried again next time instead of being remembered.
  const auto shape = it->shape;
  if (shape != TableShape::Busy && shape != TableShape::Unreadable) it->schemaVersion = *schemaVersion;
  return &*it;
}

// What the row ids were read against: the commits of other connections, this connection's row
// changes and its rollbacks. While none of them moved, the row ids read then are the row ids now.
struct Snapshot {
  std::int64_t dataVersion = 0;
  std::int64_t changes = 0;
  std::int64_t rollbacks = 0;
};

std::optional<Snapshot> TakeSnapshot(const std::shared_ptr<Connection>& c) {
  const auto data = PragmaNumber(c, "PRAGMA data_version");
  if (!data) return std::nullopt;
  return Snapshot{*data, sqlite3_total_changes64(c->handle), c->rollbacks};
}

bool SameSnapshot(const Memo& m, const Snapshot& now) {
  return m.idsValid && m.idsDataVersion == now.dataVersion && m.idsChanges == now.changes &&
         m.idsRollbacks == now.rollbacks;
}

void Remember(Memo& m, const Snapshot& s) {
  m.idsValid = true;
  m.idsDataVersion = s.dataVersion;
  m.idsChanges = s.changes;
  m.idsRollbacks = s.rollbacks;
}

// The table's row ids in ascending order, read again only when something may have changed them.
std::shared_ptr<std::vector<std::int64_t>> MemoIds(const std::shared_ptr<Connection>& c, Memo& m,
                                                   const Text& table) {
  // Taken before reading: a commit by someone else while the rows are read shows up later as a
  // changed data version, never as a missed row.
  const auto before = TakeSnapshot(c);
  if (!before) return nullptr;
  if (SameSnapshot(m, *before) && m.ids) return m.ids;
  m.idsValid = false;
  m.ids.reset();
  const auto sql = ToUtf8("SELECT " + m.rowIdName + " FROM " + table + " ORDER BY " + m.rowIdName + " ");
  if (!sql) return nullptr;
  CachedStatement s = PrepareCached(c, *sql);
  if (!s) return nullptr;
  auto ids = std::make_shared<std::vector<std::int64_t>>();
  int rc;
  while ((rc = s.Step()) == SQLITE_ROW) ids->push_back(sqlite3_column_int64(s.Get(), 0));
  if (rc != SQLITE_DONE) return nullptr;
  m.ids = ids;
  Remember(m, *before);
  return ids;
}

Memo* FindMemo(Connection& c, const Text& table) {
  const auto utf8 = ToUtf8(table);
  if (!utf8) return nullptr;
  for (Memo& m : c.tables)
    if (m.name == *utf8) return &m;
  return nullptr;
}

}  // namespace

TableLayout InspectTable(SqliteDB& db, const Text& tableName) {
  TableShape failure;
  const Memo* m = ReadTableMemo(db.SharedLink(), tableName, failure);
  if (m == nullptr) return {failure, {}};
  const auto shape = m->shape;
  if (shape != TableShape::Sound) return {shape, {}, {}};
  return {shape, m->rowIdName, m->lowerNames};
}

bool TableLayout::HasColumn(std::string_view name) const {
  return std::find(columns.begin(), columns.end(), LowerAscii(std::string(name))) != columns.end();
}

const std::vector<std::int64_t>& SqliteTable::Ids() const {
  static const std::vector<std::int64_t> kNone;
  return rowIds_ ? *rowIds_ : kNone;
}

std::int32_t SqliteTable::PositionOf(std::int64_t id) const {
  const auto& all = Ids();
  const auto it = std::lower_bound(all.begin(), all.end(), id);
  return it != all.end() && *it == id ? static_cast<std::int32_t>(it - all.begin() + 1) : 0;
}

void SqliteTable::Reset() {
  position_ = 0;
  tableName_.clear();
  rowIdName_.clear();
  columnNames_.clear();
  rowIds_.reset();
  mode_ = Mode::Closed;
  link_.reset();
  pending_.reset();
  inserted_.reset();
}

sqlite3* SqliteTable::Handle() const { return link_ ? link_->handle : nullptr; }

bool SqliteTable::Load() {
  columnNames_.clear();
  rowIds_.reset();
  pending_.reset();
  if (Handle() == nullptr || tableName_.empty()) return false;
  TableShape failure;
  Memo* m = ReadTableMemo(link_, tableName_, failure);
  if (m == nullptr || m->shape != TableShape::Sound) return false;
  rowIdName_ = m->rowIdName;
  columnNames_ = m->columnNames;
  rowIds_ = MemoIds(link_, *m, tableName_);
  return rowIds_ != nullptr;
}

// After this table's own insert or delete of row `id` and nothing else (no other change on the
// connection, no commit by another program, no schema change, no rollback), the row ids a reload
// would read are the ones held with `id` added or taken out. Reading them all again after every
// insert would make copying n articles cost n^2 row reads. False when a reload is needed.
bool SqliteTable::ApplyOwnChange(std::int64_t id, bool inserted) {
  Memo* m = FindMemo(*link_, tableName_);
  if (m == nullptr || m->ids != rowIds_ || !rowIds_) return false;
  const auto schemaVersion = PragmaNumber(link_, "PRAGMA schema_version");
  const auto now = TakeSnapshot(link_);
  if (!schemaVersion || *schemaVersion != m->schemaVersion || !now || !m->idsValid ||
      now->dataVersion != m->idsDataVersion || now->changes != m->idsChanges + 1 ||
      now->rollbacks != m->idsRollbacks)
    return false;
  // Another table object may hold the same list: it keeps what it read.
  if (rowIds_.use_count() > 2) rowIds_ = std::make_shared<std::vector<std::int64_t>>(*rowIds_);
  auto& all = *rowIds_;
  const auto place = std::lower_bound(all.begin(), all.end(), id);
  if (inserted) {
    all.insert(place, id);
  } else if (place != all.end() && *place == id) {
    all.erase(place);
  }
  m->ids = rowIds_;
  Remember(*m, *now);
  pending_.reset();
  return true;
}

bool SqliteTable::Open(const Text& tableName, SqliteDB& db) {
  Reset();
  if (db.Handle() == nullptr || tableName.empty()) return false;
  tableName_ = tableName;
  link_ = db.SharedLink();
  mode_ = Mode::Browsing;
  if (!Load()) {
    Reset();
    return false;
  }
  pending_.emplace(columnNames_.size());
  return true;
}

bool SqliteTable::Close() {
  Reset();
  return true;
}

bool SqliteTable::MoveTo(std::int64_t p) {
  if (!IsOpen()) return false;
  if (p >= 1 && p <= RowCount()) {
    position_ = static_cast<std::int32_t>(p);
    return true;
  }
  position_ = p > RowCount() ? RowCount() + 1 : 0;
  return false;
}

bool SqliteTable::First() { return MoveTo(1); }

bool SqliteTable::Next() { return MoveTo(std::int64_t(position_) + 1); }

bool SqliteTable::IsAfterLast() const { return !IsOpen() || Ids().empty() || position_ > RowCount(); }

std::int32_t SqliteTable::Position() const { return IsOpen() ? position_ : 0; }

std::optional<std::int64_t> SqliteTable::CurrentId() const {
  if (!IsOpen() || !IsCurrentRow(position_)) return std::nullopt;
  return IdAt(position_);
}

bool SqliteTable::Find(const Text& condition) {
  if (!IsOpen() || condition.empty()) return false;
  std::int64_t start = 0;
  if (IsCurrentRow(position_)) {
    start = IdAt(position_);
  } else if (position_ > RowCount()) {
    return false;
  }
  // The condition is the caller's own text and varies: prepared for this search alone.
  Statement s = Prepare(Handle(), "SELECT " + rowIdName_ + " FROM " + tableName_ + " WHERE (" + condition +
                                      ") AND (" + rowIdName_ + ">=?) ");
  if (!s) return false;
  sqlite3_bind_int64(s.get(), 1, start);
  const int rc = sqlite3_step(s.get());
  link_->busy = IsBusyResult(rc);
  if (rc != SQLITE_ROW) return false;
  const std::int32_t p = PositionOf(sqlite3_column_int64(s.get(), 0));
  if (p == 0) return false;
  position_ = p;
  return true;
}

bool SqliteTable::FindId(std::int64_t id) {
  if (!IsOpen()) return false;
  const std::int32_t p = PositionOf(id);
  if (p == 0) return false;
  const auto sql = ToUtf8("SELECT 1 FROM " + tableName_ + " WHERE " + rowIdName_ + "=?");
  if (!sql) return false;
  CachedStatement s = PrepareCached(link_, *sql);
  if (!s) return false;
  s.Bind(1, id);
  if (s.Step() != SQLITE_ROW) return false;  // deleted since the row ids were read
  position_ = p;
  return true;
}

int SqliteTable::ColumnNumber(const Column& column) const {
  if (const auto* number = std::get_if<std::int64_t>(&column.Ref())) {
    return *number >= 1 && *number <= ColumnCount() ? static_cast<int>(*number) : 0;
  }
  const Text& name = std::get<Text>(column.Ref());
  if (name.empty()) return 0;
  for (std::size_t i = 0; i < columnNames_.size(); ++i) {
    if (columnNames_[i] && SameColumnName(*columnNames_[i], name)) return static_cast<int>(i + 1);
  }
  return 0;
}

std::optional<SqliteTable::FieldValue> SqliteTable::ReadField(const Column& column, Kind kind, bool* ok) {
  if (ok) *ok = false;
  const int n = ColumnNumber(column);
  if (!IsOpen() || n < 1 || !columnNames_[n - 1] || !IsCurrentRow(position_)) return std::nullopt;
  const auto sql = ToUtf8("SELECT " + Identifier(*columnNames_[n - 1]) + " FROM " + tableName_ + " WHERE " +
                          rowIdName_ + " = ? ");
  if (!sql) return std::nullopt;
  CachedStatement s = PrepareCached(link_, *sql);
  if (!s) return std::nullopt;
  s.Bind(1, IdAt(position_));
  if (s.Step() != SQLITE_ROW) return std::nullopt;
  FieldValue value;
  switch (kind) {
    case Kind::Text: value = ColumnLocalText(s.Get(), 0); break;
    case Kind::Int: value = static_cast<std::int32_t>(sqlite3_column_int(s.Get(), 0)); break;
    case Kind::Bytes: value = ColumnBytes(s.Get(), 0); break;
  }
  if (ok) *ok = true;
  return value;
}

Text SqliteTable::ReadText(const Column& column, bool* ok) {
  auto v = ReadField(column, Kind::Text, ok);
  return v ? std::get<Text>(std::move(*v)) : Text();
}

std::int32_t SqliteTable::ReadInt(const Column& column, bool* ok) {
  auto v = ReadField(column, Kind::Int, ok);
  return v ? std::get<std::int32_t>(*v) : 0;
}

Bytes SqliteTable::ReadBytes(const Column& column, bool* ok) {
  auto v = ReadField(column, Kind::Bytes, ok);
  return v ? std::get<Bytes>(std::move(*v)) : Bytes();
}

bool SqliteTable::WriteField(const Column& column, const Value& value) {
  const int n = ColumnNumber(column);
  if (!IsOpen() || n < 1 || !pending_) return false;
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
  if (!IsOpen()) return false;
  pending_.emplace(columnNames_.size());
  mode_ = Mode::Adding;
  return true;
}

bool SqliteTable::Edit() {
  if (!IsOpen() || !IsCurrentRow(position_)) return false;
  pending_.emplace(columnNames_.size());
  mode_ = Mode::Editing;
  return true;
}

bool SqliteTable::Update() {
  if (!IsOpen() || (mode_ != Mode::Adding && mode_ != Mode::Editing) || columnNames_.empty() || !pending_)
    return false;

  // Parameters follow the table's column order, whatever order the fields were written in.
  Text setList, columnList, valueList;
  std::vector<const Pending*> bound;
  for (std::size_t i = 0; i < columnNames_.size(); ++i) {
    const Pending& slot = (*pending_)[i];
    if (std::holds_alternative<std::monostate>(slot) || !columnNames_[i]) continue;
    setList += Identifier(*columnNames_[i]) + "=?,";
    columnList += Identifier(*columnNames_[i]) + ",";
    valueList += "?,";
    bound.push_back(&slot);
  }
  if (bound.empty()) return false;
  setList.pop_back();
  columnList.pop_back();
  valueList.pop_back();

  Text sql;
  if (mode_ == Mode::Editing) {
    if (!IsCurrentRow(position_)) return false;
    sql = "UPDATE " + tableName_ + " SET " + setList + " WHERE " + rowIdName_ + "=?";
  } else {
    sql = "INSERT INTO " + tableName_ + "(" + columnList + ") VALUES(" + valueList + ")";
  }
  const auto utf8 = ToUtf8(sql);
  if (!utf8) return false;
  CachedStatement s = PrepareCached(link_, *utf8);
  if (!s) return false;

  for (std::size_t i = 0; i < bound.size(); ++i) {
    const int index = static_cast<int>(i + 1);
    std::visit(
        [&](const auto& v) {
          using T = std::decay_t<decltype(v)>;
          if constexpr (std::is_same_v<T, std::int32_t> || std::is_same_v<T, std::int64_t> ||
                        std::is_same_v<T, Bytes>) {
            s.Bind(index, v);
          } else if constexpr (std::is_same_v<T, double>) {
            sqlite3_bind_double(s.Get(), index, v);
          } else if constexpr (std::is_same_v<T, Text>) {
            s.BindLocal(index, v);
          }
        },
        *bound[i]);
  }
  if (mode_ == Mode::Editing) s.Bind(static_cast<int>(bound.size() + 1), IdAt(position_));

  if (s.Step() != SQLITE_DONE) return false;
  s = CachedStatement();
  const bool inserted = mode_ == Mode::Adding;
  mode_ = Mode::Browsing;
  inserted_.reset();
  if (inserted && sqlite3_changes64(Handle()) == 1) inserted_ = sqlite3_last_insert_rowid(Handle());
  if (!inserted_ || !ApplyOwnChange(*inserted_, true)) Load();
  return true;
}

std::optional<std::int64_t> SqliteTable::InsertedId() const {
  return IsOpen() && inserted_ && PositionOf(*inserted_) != 0 ? inserted_ : std::nullopt;
}

bool SqliteTable::Delete() {
  if (!IsOpen() || !IsCurrentRow(position_)) return false;
  const std::int64_t id = IdAt(position_);
  bool done = false;
  if (const auto sql = ToUtf8("DELETE FROM " + tableName_ + " WHERE " + rowIdName_ + " = ?")) {
    CachedStatement s = PrepareCached(link_, *sql);
    if (s) {
      s.Bind(1, id);
      done = s.Step() == SQLITE_DONE;
    }
  }
  if (!done || !ApplyOwnChange(id, false)) Load();
  position_ = 0;
  return done;
}

}  // namespace nvx
