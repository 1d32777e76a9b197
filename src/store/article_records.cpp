#include "store/article_records.h"

#include "store/article_schema.h"
#include "store/sqlite_table.h"
#include "store/statement.h"

namespace nvx {
namespace {

// The article table's layout when it is sound.
std::optional<TableLayout> SoundLayout(SqliteDB& db) {
  TableLayout layout = InspectTable(db, schema::kTable);
  if (layout.shape != TableShape::Sound) return std::nullopt;
  return layout;
}

std::string TableName() { return schema::kTable; }

// Whether row `id` is in table nr now.
bool RowExists(SqliteDB& db, const TableLayout& layout, std::int64_t id) {
  CachedStatement s = db.Prepare("SELECT 1 FROM " + TableName() + " WHERE " + layout.rowIdName + "=?");
  if (!s) return false;
  s.Bind(1, id);
  return s.Step() == SQLITE_ROW;
}

// One column's value for an UPDATE or INSERT: a number, a local text or packed bytes.
struct Field {
  const char* column;
  std::variant<std::int32_t, const Text*, const Bytes*> value;
};

// "UPDATE nr SET a=?,b=? WHERE <row id>=?" over the columns the table has; true when it changed
// the row and the row is there afterwards.
bool UpdateRow(SqliteDB& db, std::int64_t id, std::initializer_list<Field> fields) {
  const auto layout = SoundLayout(db);
  if (!layout) return false;
  std::string sql = "UPDATE " + TableName() + " SET ";
  std::vector<const Field*> taken;
  for (const Field& f : fields) {
    if (!layout->HasColumn(f.column)) continue;
    sql += std::string(taken.empty() ? "" : ",") + f.column + "=?";
    taken.push_back(&f);
  }
  if (taken.empty()) return false;
  sql += " WHERE " + layout->rowIdName + "=?";
  {
    CachedStatement s = db.Prepare(sql);
    if (!s) return false;
    int index = 0;
    for (const Field* f : taken) {
      ++index;
      std::visit(
          [&](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::int32_t>) {
              s.Bind(index, v);
            } else if constexpr (std::is_same_v<T, const Text*>) {
              s.BindLocal(index, *v);
            } else {
              s.Bind(index, *v);
            }
          },
          f->value);
    }
    s.Bind(index + 1, id);
    if (s.Step() != SQLITE_DONE) return false;
  }
  // No row changed: there is none with this id, or a trigger refused the change.
  if (sqlite3_changes64(db.Handle()) < 1) return false;
  return RowExists(db, *layout, id);
}

}  // namespace

std::optional<StoredArticle> LoadArticle(SqliteDB& db, std::int64_t id) {
  const auto layout = SoundLayout(db);
  if (!layout) return std::nullopt;
  std::string sql = "SELECT ";
  bool first = true;
  for (const char* c : {schema::kName, schema::kContent, schema::kFirstLine, schema::kFace, schema::kSize,
                        schema::kColor, schema::kEffects}) {
    sql += std::string(first ? "" : ",") + (layout->HasColumn(c) ? c : "NULL");
    first = false;
  }
  sql += " FROM " + TableName() + " WHERE " + layout->rowIdName + "=?";
  CachedStatement s = db.Prepare(sql);
  if (!s) return std::nullopt;
  s.Bind(1, id);
  if (s.Step() != SQLITE_ROW) return std::nullopt;
  StoredArticle article;
  article.id = id;
  article.title = ColumnLocalText(s.Get(), 0);
  article.packed = ColumnBytes(s.Get(), 1);
  article.firstLine = sqlite3_column_int(s.Get(), 2);
  article.format.face = ColumnLocalText(s.Get(), 3);
  article.format.size = sqlite3_column_int(s.Get(), 4);
  article.format.color = sqlite3_column_int(s.Get(), 5);
  article.format.effects = sqlite3_column_int(s.Get(), 6);
  return article;
}

bool SaveArticle(SqliteDB& db, std::int64_t id, const Text& title, const Bytes& packed,
                 const StoredFormat& format) {
  return UpdateRow(db, id,
                   {{schema::kName, &title},
                    {schema::kContent, &packed},
                    {schema::kFace, &format.face},
                    {schema::kSize, format.size},
                    {schema::kColor, format.color},
                    {schema::kEffects, format.effects}});
}

bool SaveArticleContent(SqliteDB& db, std::int64_t id, const Bytes& packed, const StoredFormat& format) {
  return UpdateRow(db, id,
                   {{schema::kContent, &packed},
                    {schema::kFace, &format.face},
                    {schema::kSize, format.size},
                    {schema::kColor, format.color},
                    {schema::kEffects, format.effects}});
}

bool RewriteArticle(SqliteDB& db, std::int64_t id, const Text* title, const Bytes* packed) {
  if (title && packed) return UpdateRow(db, id, {{schema::kName, title}, {schema::kContent, packed}});
  if (title) return UpdateRow(db, id, {{schema::kName, title}});
  if (packed) return UpdateRow(db, id, {{schema::kContent, packed}});
  return true;
}

bool StoreReadingState(SqliteDB& db, std::int64_t id, std::int32_t firstLine, const StoredFormat& format) {
  return UpdateRow(db, id,
                   {{schema::kFirstLine, firstLine},
                    {schema::kFace, &format.face},
                    {schema::kSize, format.size},
                    {schema::kColor, format.color},
                    {schema::kEffects, format.effects}});
}

bool DeleteArticle(SqliteDB& db, std::int64_t id) {
  const auto layout = SoundLayout(db);
  if (!layout) return false;
  {
    CachedStatement s = db.Prepare("DELETE FROM " + TableName() + " WHERE " + layout->rowIdName + "=?");
    if (!s) return false;
    s.Bind(1, id);
    if (s.Step() != SQLITE_DONE) return false;
  }
  return !RowExists(db, *layout, id) && !db.Busy();
}

namespace {

// Inserts a new article's row; `bindTitle` binds parameter 1, its title.
template <typename BindTitle>
std::optional<std::int64_t> InsertRow(SqliteDB& db, BindTitle&& bindTitle, const Bytes& packed) {
  const auto layout = SoundLayout(db);
  if (!layout) return std::nullopt;
  // Only the columns the table has, as staged writes of absent columns were skipped.
  std::string columns, values;
  auto add = [&](const char* column, const char* value) {
    if (!layout->HasColumn(column)) return false;
    columns += std::string(columns.empty() ? "" : ",") + column;
    values += std::string(values.empty() ? "" : ",") + value;
    return true;
  };
  const bool hasName = add(schema::kName, "?1");
  const bool hasContent = add(schema::kContent, "?2");
  add(schema::kFirstLine, "0");
  const bool hasFace = add(schema::kFace, "?3");
  add(schema::kSize, "?4");
  if (!hasName && !hasContent) return std::nullopt;
  {
    CachedStatement s = db.Prepare("INSERT INTO " + TableName() + "(" + columns + ") VALUES(" + values + ")");
    if (!s) return std::nullopt;
    if (hasName) bindTitle(s);
    if (hasContent) s.Bind(2, packed);
    if (hasFace) s.BindUtf8(3, schema::kDefaultFaceUtf8);
    s.Bind(4, std::int32_t{schema::kDefaultSize});
    if (s.Step() != SQLITE_DONE) return std::nullopt;
  }
  // A BEFORE trigger may have skipped the insert (then the last row id is an older row's), an
  // AFTER trigger may have deleted the row again.
  if (sqlite3_changes64(db.Handle()) != 1) return std::nullopt;
  const std::int64_t id = db.LastInsertRowId();
  if (!RowExists(db, *layout, id)) return std::nullopt;
  return id;
}

}  // namespace

std::optional<std::int64_t> InsertArticle(SqliteDB& db, const Text& title, const Bytes& packed) {
  return InsertRow(
      db, [&](CachedStatement& s) { s.BindLocal(1, title); }, packed);
}

std::optional<std::int64_t> InsertArticle(SqliteDB& db, const StoredValue& title, const Bytes& packed) {
  if (!title) return std::nullopt;
  return InsertRow(
      db, [&](CachedStatement& s) { s.Bind(1, title); }, packed);
}

namespace {

bool Run(SqliteDB& db, const char* sql) {
  CachedStatement s = db.Prepare(sql);
  return s && s.Step() == SQLITE_DONE;
}

}  // namespace

Transaction::Transaction(SqliteDB& db, TransactionKind kind) : db_(db) {
  active_ = Run(db_, kind == TransactionKind::Write ? "BEGIN IMMEDIATE" : "BEGIN");
}

Transaction::~Transaction() { Rollback(); }

bool Transaction::Commit() {
  if (!active_) return false;
  if (!Run(db_, "COMMIT")) return false;
  active_ = false;
  return true;
}

bool Transaction::Rollback() {
  if (!active_) return true;
  Run(db_, "ROLLBACK");
  // A failed ROLLBACK still ends the transaction unless SQLite kept it open.
  active_ = db_.Handle() != nullptr && sqlite3_get_autocommit(db_.Handle()) == 0;
  return !active_;
}

namespace {

// The source collection attached to the target's connection while it lives.
class AttachedSource {
 public:
  AttachedSource(SqliteDB& target, SqliteDB& source) : target_(target) {
    const char* file = source.Handle() ? sqlite3_db_filename(source.Handle(), "main") : nullptr;
    if (file == nullptr || *file == '\0') return;
    Statement s = Prepare(target.Handle(), "ATTACH ?1 AS nvx_source");
    if (!s) return;
    const std::string path = PlainSqlitePath(file);
    sqlite3_bind_text(s.get(), 1, path.c_str(), static_cast<int>(path.size()), SQLITE_TRANSIENT);
    attached_ = sqlite3_step(s.get()) == SQLITE_DONE;
  }
  ~AttachedSource() {
    if (attached_) target_.Execute("DETACH nvx_source");
  }
  AttachedSource(const AttachedSource&) = delete;
  AttachedSource& operator=(const AttachedSource&) = delete;

  bool Attached() const { return attached_; }

 private:
  SqliteDB& target_;
  bool attached_ = false;
};

}  // namespace

CopyResult ReplaceArticles(SqliteDB& target, SqliteDB& source, const std::function<bool(std::int64_t)>& going,
                           const std::function<bool(std::int64_t copied)>& lastChance, CopyTarget kind) {
  const auto from = SoundLayout(source);
  const auto to = SoundLayout(target);
  if (!from || !to || target.Handle() == nullptr) return CopyResult::Failed;
  // The values InsertArticle binds: the title as stored, the content as a blob (x'' for none),
  // first line 0, the default face and size.
  auto read = [&](const char* column) { return from->HasColumn(column) ? std::string(column) : "NULL"; };
  std::string columns, values;
  auto add = [&](const char* column, const std::string& value) {
    if (!to->HasColumn(column)) return false;
    columns += std::string(columns.empty() ? "" : ",") + column;
    values += std::string(values.empty() ? "" : ",") + value;
    return true;
  };
  // A title goes over as it is stored, its bytes, its type and a NULL alike.
  const bool hasName = add(schema::kName, read(schema::kName));
  const bool hasContent = add(schema::kContent, "coalesce(CAST(" + read(schema::kContent) + " AS BLOB),x'')");
  add(schema::kFirstLine, "0");
  add(schema::kFace, std::string("'") + schema::kDefaultFaceUtf8 + "'");
  add(schema::kSize, std::to_string(schema::kDefaultSize));
  if (!hasName && !hasContent) return CopyResult::Failed;
  const std::string sql = "INSERT INTO main." + TableName() + "(" + columns + ") SELECT " + values +
                          " FROM nvx_source." + TableName() + " WHERE nvx_row() ORDER BY " + from->rowIdName;

  // A big copy would otherwise spill the pages it is changing and read them back over and over.
  target.Execute("PRAGMA cache_size=-65536");
  AttachedSource attached(target, source);
  if (!attached.Attached()) return CopyResult::Failed;
  Transaction transaction(target);
  if (!transaction.Active() || !target.ClearTable(TableName())) return CopyResult::Failed;
  bool cancelled = false;
  const auto copied = target.ExecuteCounted(sql, [&](std::int64_t rows) {
    cancelled = !going(rows);
    return !cancelled;
  });
  // Ending without Commit rolls the transaction back.
  if (cancelled) return CopyResult::Cancelled;
  if (!copied) return CopyResult::Failed;
  if (kind == CopyTarget::Existing) {
    // A trigger of the file may have skipped, removed or added rows.
    CachedStatement count = target.Prepare("SELECT count(*) FROM main." + TableName());
    if (!count || count.Step() != SQLITE_ROW || sqlite3_column_int64(count.Get(), 0) != *copied)
      return CopyResult::Failed;
  }
  if (!lastChance(*copied)) return CopyResult::Cancelled;
  return transaction.Commit() ? CopyResult::Done : CopyResult::Failed;
}

}  // namespace nvx
