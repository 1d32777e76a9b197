#include "store/sqlite_db.h"

#include <strings.h>

#include <sys/stat.h>
#include <mutex>

#include "base/codepage.h"
#include "store/statement.h"

namespace nvx {
namespace {

bool IsMemoryName(const Text& name) {
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

// Debian builds SQLite with URI file names on, so "file:x.nvx" would be read as a URI. Turn that
// off for the whole process where SQLite still allows it (before its first use); and since another
// part of the process may have used SQLite first, also never hand it a name that could read as a
// URI: a relative name gets "./" in front.
void TurnOffUriNamesOnce() {
  static std::once_flag once;
  std::call_once(once, [] { sqlite3_config(SQLITE_CONFIG_URI, 0); });
}

// Work counted per statement: the progress handler runs every kOpsPerTick virtual-machine steps;
// a statement (or one trigger program of it) that goes past kTickBudget ticks without giving a
// row is stopped. No statement of ours comes near it (a walk gives a row every few dozen steps);
// a trigger of the file running a never-ending query would otherwise hang a save for good.
// Our own PRAGMA checks and VACUUM, whose work grows with the file, are not counted.
constexpr int kOpsPerTick = 1'000'000;
constexpr int kTickBudget = 100;
constexpr int kUncounted = -(1 << 30);

thread_local int ticks = 0;  // of the statement running now on this thread

bool StartsWith(const char* sql, std::string_view word) {
  return sql != nullptr && ::strncasecmp(sql, word.data(), word.size()) == 0;
}

// Whether `sql` may roll something back. SQLite's rollback hook is not called for ROLLBACK TO a
// savepoint, which undoes rows all the same; every statement naming a rollback counts as one, a
// few too many costing only a fresh read of the row ids.
bool MayRollBack(const char* sql) {
  if (sql == nullptr) return false;
  static constexpr std::string_view kWord = "rollback";
  for (const char* p = sql; *p != '\0'; ++p) {
    if (::strncasecmp(p, kWord.data(), kWord.size()) == 0) return true;
  }
  return false;
}

// The context, when given, is the connection whose rollbacks are counted.
int CountStatementStart(unsigned event, void* link, void*, void* sql) {
  if (event == SQLITE_TRACE_ROW) {
    if (ticks > 0) ticks = 0;
    return 0;
  }
  const char* text = static_cast<const char*>(sql);
  ticks = StartsWith(text, "PRAGMA") || StartsWith(text, "VACUUM") ? kUncounted : 0;
  if (link != nullptr && MayRollBack(text)) ++static_cast<Connection*>(link)->rollbacks;
  return 0;
}

constexpr unsigned kTraced = SQLITE_TRACE_STMT | SQLITE_TRACE_ROW;

int StopRunaway(void*) { return ++ticks > kTickBudget ? 1 : 0; }

// A counted statement's rows, and whether its caller still wants it to go on.
struct CountedRun {
  const std::function<bool(std::int64_t)>* going;
  std::int64_t rows = 0;
};

// nvx_row(): a row read is progress (the runaway guard starts afresh) and the caller is asked at
// once whether to go on; a no stops the statement before it reads another row.
void CountRow(sqlite3_context* context, int, sqlite3_value**) {
  auto* run = static_cast<CountedRun*>(sqlite3_user_data(context));
  if (ticks > 0) ticks = 0;
  const bool going = (*run->going)(++run->rows);
  if (!going) sqlite3_interrupt(sqlite3_context_db_handle(context));
  sqlite3_result_int(context, going ? 1 : 0);
}

}  // namespace

std::string PlainSqlitePath(const std::string& utf8) {
  return !utf8.empty() && utf8.front() == '/' ? utf8 : "./" + utf8;
}

namespace {

// An article file may come from anywhere: refuse what a crafted schema could make SQLite do, wait
// a moment for another program's lock, keep one value from costing gigabytes and one statement
// from running without end.
void HardenConnection(sqlite3* db, int busyTimeoutMs) {
  sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
  sqlite3_busy_timeout(db, busyTimeoutMs);
  sqlite3_limit(db, SQLITE_LIMIT_LENGTH, SqliteDB::kMaxValueBytes);
  sqlite3_trace_v2(db, kTraced, &CountStatementStart, nullptr);
  sqlite3_progress_handler(db, kOpsPerTick, &StopRunaway, nullptr);
}

}  // namespace

SqliteDB::~SqliteDB() { Close(); }

bool SqliteDB::Open(const Text& fileName, bool create) {
  return OpenWith(fileName, create, OpenMode::ReadWrite);
}

bool SqliteDB::Open(const Text& fileName, OpenMode mode) { return OpenWith(fileName, false, mode); }

bool SqliteDB::OpenWith(const Text& fileName, bool create, OpenMode mode) {
  Close();
  TurnOffUriNamesOnce();
  std::string path;
  if (IsMemoryName(fileName)) {
    if (!create) return false;
    path = ":memory:";
  } else {
    const auto utf8 = ToUtf8(fileName);
    if (!utf8) return false;
    path = PlainSqlitePath(*utf8);
    // stat never blocks, where opening a FIFO for reading would wait for a writer forever.
    struct stat st {};
    const bool present = ::stat(path.c_str(), &st) == 0;
    if (present && !S_ISREG(st.st_mode)) return false;
    if (!present && !create) return false;  // SQLite would create it
  }
  sqlite3* handle = nullptr;
  const int flags = mode == OpenMode::ReadOnly ? SQLITE_OPEN_READONLY
                                               : SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
  const int rc = sqlite3_open_v2(path.c_str(), &handle, flags, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_close(handle);
    return false;
  }
  HardenConnection(handle, busyTimeoutMs_);
  link_ = std::make_shared<Link>();
  link_->handle = handle;
  sqlite3_rollback_hook(
      handle, [](void* link) { ++static_cast<Link*>(link)->rollbacks; }, link_.get());
  sqlite3_trace_v2(handle, kTraced, &CountStatementStart, link_.get());
  return true;
}

bool SqliteDB::Busy() const { return link_ && link_->busy; }

sqlite3* SqliteDB::Handle() const { return link_ ? link_->handle : nullptr; }

CachedStatement SqliteDB::Prepare(const std::string& utf8Sql) const { return PrepareCached(link_, utf8Sql); }

bool SqliteDB::Close() {
  if (Handle() == nullptr) return true;
  sqlite3* handle = link_->handle;
  link_->FinalizeIdle();
  link_->handle = nullptr;
  link_->tables.clear();
  link_.reset();
  sqlite3_rollback_hook(handle, nullptr, nullptr);
  sqlite3_trace_v2(handle, kTraced, &CountStatementStart, nullptr);
  if (sqlite3_close(handle) == SQLITE_BUSY) {
    // Statements are still open somewhere: let SQLite free the connection once they are done.
    sqlite3_close_v2(handle);
    return false;
  }
  return true;
}

void SqliteDB::TakeConnection(SqliteDB& other) {
  if (&other == this) return;
  Close();
  link_ = std::move(other.link_);
  if (Handle() != nullptr) sqlite3_busy_timeout(Handle(), busyTimeoutMs_);
}

void SqliteDB::SetBusyTimeout(int milliseconds) {
  busyTimeoutMs_ = milliseconds;
  if (Handle() != nullptr) sqlite3_busy_timeout(Handle(), milliseconds);
}

bool SqliteDB::Execute(const Text& statement) {
  if (Handle() == nullptr || statement.empty()) return false;
  const auto utf8 = ToUtf8(statement);
  if (!utf8) return false;
  const int rc = sqlite3_exec(Handle(), utf8->c_str(), nullptr, nullptr, nullptr);
  link_->busy = IsBusyResult(rc);
  return rc == SQLITE_OK;
}

bool SqliteDB::ClearTable(const Text& tableName) {
  if (Handle() == nullptr || tableName.empty()) return false;
  return Execute("DELETE FROM " + tableName);
}

bool SqliteDB::Compact() { return Execute("VACUUM"); }

std::optional<std::int64_t> SqliteDB::ExecuteCounted(const std::string& utf8Sql,
                                                     const std::function<bool(std::int64_t rows)>& going) {
  sqlite3* db = Handle();
  if (db == nullptr) return std::nullopt;
  CountedRun run{&going};
  if (sqlite3_create_function(db, "nvx_row", 0, SQLITE_UTF8, &run, &CountRow, nullptr, nullptr) != SQLITE_OK)
    return std::nullopt;
  const int rc = sqlite3_exec(db, utf8Sql.c_str(), nullptr, nullptr, nullptr);
  sqlite3_create_function(db, "nvx_row", 0, SQLITE_UTF8, nullptr, nullptr, nullptr, nullptr);
  link_->busy = IsBusyResult(rc);
  if (rc != SQLITE_OK) return std::nullopt;
  return run.rows;
}

bool SqliteDB::CopyPagesFrom(const SqliteDB& source) {
  if (Handle() == nullptr || source.Handle() == nullptr) return false;
  sqlite3_backup* backup = sqlite3_backup_init(Handle(), "main", source.Handle(), "main");
  if (backup == nullptr) return false;
  const int stepped = sqlite3_backup_step(backup, -1);
  const int finished = sqlite3_backup_finish(backup);
  source.link_->busy = IsBusyResult(stepped);
  return stepped == SQLITE_DONE && finished == SQLITE_OK;
}

Text SqliteDB::FileName() const {
  if (Handle() == nullptr) return {};
  const char* name = sqlite3_db_filename(Handle(), "main");
  return name ? FromUtf8(name).value_or(Text()) : Text();
}

std::int64_t SqliteDB::LastInsertRowId() const { return Handle() ? sqlite3_last_insert_rowid(Handle()) : 0; }

}  // namespace nvx
