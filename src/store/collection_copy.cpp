#include "store/collection_copy.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>

#include "base/codepage.h"
#include "store/article_file.h"
#include "store/article_records.h"
#include "store/article_schema.h"
#include "store/atomic_file.h"
#include "store/packed_content.h"
#include "store/statement.h"

namespace nvx {
namespace fs = std::filesystem;
namespace {

// Every article column, in this order, by id: what the copy is compared on and what diff reads.
// The numbers are the columns of ArticleQuery's rows, as SQLite counts them.
constexpr int kIdColumn = 0;
constexpr int kNameColumn = 1;
constexpr int kContentColumn = 2;
constexpr int kFirstStateColumn = 3;
constexpr int kColumnCount = 8;
constexpr char kNoColumns[] = "table nr lacks article columns";

// With `contentLength`, the content column gives only its length, which SQLite reads without
// the content itself.
std::string ArticleQuery(bool contentLength = false) {
  const std::string content =
      contentLength ? std::string("length(") + schema::kContent + ")" : schema::kContent;
  return std::string("SELECT ") + schema::kId + ", " + schema::kName + ", " + content + ", " +
         schema::kFirstLine + ", " + schema::kFace + ", " + schema::kColor + ", " + schema::kSize + ", " +
         schema::kEffects + " FROM " + schema::kTable + " ORDER BY " + schema::kId;
}

// Opens `path` read-only with the one open of every command (OpenArticleFile), so that nothing of
// backup or diff ever writes the collection: the same refusals and the same messages. Backup and
// diff read every article column, which the collection must then have: false in `hasColumns`
// otherwise.
ArticleFileState OpenCollection(SqliteDB& db, const Text& path, bool& hasColumns) {
  const ArticleFileState state = OpenArticleFile(db, path, OpenMode::ReadOnly);
  hasColumns = state == ArticleFileState::Sound && db.Prepare(ArticleQuery());
  return state;
}

// The articles of a collection, one row at a time in id order.
class ArticleRows {
 public:
  explicit ArticleRows(SqliteDB& db, bool contentLength = false)
      : s_(db.Prepare(ArticleQuery(contentLength))) {}

  // False at the end and on an error; Failed() tells them apart.
  bool Next() {
    rc_ = s_ ? s_.Step() : SQLITE_ERROR;
    return rc_ == SQLITE_ROW;
  }
  bool Failed() const { return rc_ != SQLITE_ROW && rc_ != SQLITE_DONE; }
  std::int64_t Id() const { return sqlite3_column_int64(s_.Get(), kIdColumn); }
  sqlite3_stmt* Get() const { return s_.Get(); }

  std::string_view Blob(int column) const {
    const auto* p = static_cast<const char*>(sqlite3_column_blob(s_.Get(), column));
    return p ? std::string_view(p, static_cast<std::size_t>(sqlite3_column_bytes(s_.Get(), column)))
             : std::string_view();
  }

 private:
  CachedStatement s_;
  int rc_ = SQLITE_DONE;
};

// The same SQL value: same storage class and same content.
bool SameValue(const ArticleRows& a, const ArticleRows& b, int column) {
  const int type = sqlite3_column_type(a.Get(), column);
  if (type != sqlite3_column_type(b.Get(), column)) return false;
  switch (type) {
    case SQLITE_NULL: return true;
    case SQLITE_INTEGER:
      return sqlite3_column_int64(a.Get(), column) == sqlite3_column_int64(b.Get(), column);
    case SQLITE_FLOAT:
      return sqlite3_column_double(a.Get(), column) == sqlite3_column_double(b.Get(), column);
    default: return a.Blob(column) == b.Blob(column);
  }
}

// An article's text as the reader gets it: unpacked when it unpacks whole; otherwise the stored
// bytes, marked so that damaged content never equals a text.
struct ArticleText {
  bool unpacked = true;
  Bytes bytes;
  bool operator==(const ArticleText&) const = default;
};

ArticleText ReadArticleText(const ArticleRows& rows) {
  const std::string_view stored = rows.Blob(kContentColumn);
  const Bytes packed(stored.begin(), stored.end());
  if (packed.empty()) return {};  // never written: an empty article
  const std::int64_t length = PackedLength(packed);
  if (length == 0 && packed.size() == kPackedHeaderSize) return {};
  Bytes text = length > 0 ? Decompress(packed) : Bytes();
  if (length > 0 && static_cast<std::int64_t>(text.size()) == length) return {true, std::move(text)};
  return {false, packed};
}

Text LocalTitle(const ArticleRows& rows) { return FromUtf8Lossy(rows.Blob(kNameColumn)); }

// The collection's name in backup names: the file name without ".nvx" (any letter case).
std::string CollectionName(const fs::path& file) {
  std::string name = file.filename().string();
  if (name.size() > 4) {
    std::string extension = name.substr(name.size() - 4);
    for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (extension == ".nvx") name.resize(name.size() - 4);
  }
  return name;
}

std::string TimeStamp(std::time_t time) {
  std::tm local{};
  localtime_r(&time, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
  return text;
}

bool Present(const fs::path& path) {
  std::error_code ec;
  return fs::symlink_status(path, ec).type() != fs::file_type::not_found;
}

// Removes the temporary copies of `name` in `dir` that no backup is writing: those left by a
// backup that was killed. A copy counts as dead only when its lock can be taken; the copy is
// removed while the lock is held, so no backup can start using it meanwhile.
void RemoveStaleTemporaries(const fs::path& dir, const std::string& name, BackupResult& result) {
  static constexpr std::string_view kTemporary = ".tmp";
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string fileName = it->path().filename().string();
    if (!fileName.ends_with(kTemporary) || it->symlink_status(ec).type() != fs::file_type::regular ||
        !ParseBackupName(fileName.substr(0, fileName.size() - kTemporary.size()), name))
      continue;
    const fs::path path = it->path();
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && IsFileAt(fd, path.string()) && ::unlink(path.c_str()) == 0)
      result.removed.push_back(FromUtf8Lossy(path.string()));
    ::close(fd);
  }
}

// Copies the open database with SQLite's online backup, in one step, inside the read transaction
// the caller holds. The online backup rather than VACUUM INTO: it copies the pages as they are,
// so the backup is the very database (page size, encoding, every stored byte of every article)
// and not a rebuilt one, and nothing of the file's own schema is run to make it, where VACUUM
// INTO replays the file's CREATE statements into the new file. The copy is written without a
// journal and without syncs: it is flushed once, whole, before it gets its final name.
bool CopyDatabase(const SqliteDB& source, const Text& target) {
  SqliteDB copy;
  return copy.Open(target) && copy.Execute("PRAGMA journal_mode=OFF") &&
         copy.Execute("PRAGMA synchronous=OFF") && copy.CopyPagesFrom(source) && copy.Close();
}

// Compares the articles of the copy with the source's, every column; with `contentLength` the
// contents by their length only.
std::vector<std::string> CompareArticles(SqliteDB& source, SqliteDB& copy, bool contentLength) {
  std::vector<std::string> problems;
  ArticleRows a(source, contentLength), b(copy, contentLength);
  bool hasA = a.Next(), hasB = b.Next();
  std::int64_t rows = 0;
  for (; hasA && hasB; hasA = a.Next(), hasB = b.Next(), ++rows) {
    bool same = a.Id() == b.Id();
    for (int column = 0; same && column < kColumnCount; ++column) same = SameValue(a, b, column);
    if (!same) return {"article " + std::to_string(std::min(a.Id(), b.Id())) + ": not the same in the copy"};
  }
  if (a.Failed() || b.Failed()) return {"the articles could not be compared"};
  if (hasA || hasB)
    problems.push_back("the copy has " + std::string(hasA ? "fewer" : "more") +
                       " articles than the collection (" + std::to_string(rows) + " the same)");
  return problems;
}

// Checks the copy as `nvx check` does, and that it holds the articles of the source: same ids,
// titles and reading state, contents of the same length (the check unpacked each one, and a
// packed stream carries its own checksum). Problems of single articles that the copy shares with
// the source, byte for byte, are the collection's own: they go to `inherited` and do not fail
// the copy.
std::vector<std::string> VerifyCopy(SqliteDB& source, const Text& copyPath,
                                    std::vector<std::string>& inherited) {
  std::vector<std::string> checked = CheckArticleFile(copyPath);
  auto isArticleLine = [](const std::string& line) { return line.rfind("article ", 0) == 0; };
  const bool damagedArticles = std::any_of(checked.begin(), checked.end(), isArticleLine);

  SqliteDB copy;
  bool hasColumns = false;
  const ArticleFileState state = OpenCollection(copy, copyPath, hasColumns);
  if (state != ArticleFileState::Sound) return {std::string("the copy: ") + DescribeState(state)};
  if (!hasColumns) return {std::string("the copy: ") + kNoColumns};
  std::vector<std::string> problems = CompareArticles(source, copy, !damagedArticles);
  for (auto& line : checked)
    (isArticleLine(line) && problems.empty() ? inherited : problems).push_back(std::move(line));
  return problems;
}

void RemoveOldBackups(const fs::path& dir, const std::string& name, const fs::path& made,
                      const fs::path& source, int keep, BackupResult& result) {
  std::vector<std::pair<std::string, fs::path>> older;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::file_type type = it->symlink_status(ec).type();
    if (type != fs::file_type::regular && type != fs::file_type::symlink) continue;
    std::string order;
    const fs::path path = it->path();
    if (!ParseBackupName(path.filename().string(), name, &order) || path.filename() == made.filename())
      continue;
    std::error_code same;
    if (fs::equivalent(path, source, same)) continue;
    older.emplace_back(order, path);
  }
  // The one just made always stays, even when a clock set back gives it an older name.
  std::sort(older.begin(), older.end(), [](const auto& x, const auto& y) { return x.first > y.first; });
  for (std::size_t i = static_cast<std::size_t>(std::max(keep - 1, 0)); i < older.size(); ++i) {
    const fs::path& path = older[i].second;
    if (::unlink(path.c_str()) == 0) {
      result.removed.push_back(FromUtf8Lossy(path.string()));
    } else {
      result.notes.push_back("cannot remove the older backup " + path.string() + ": " + std::strerror(errno));
    }
  }
}

bool AllDigits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The highest sequence number among the backups (and temporary copies) of `name` made in the
// second `stamp`: a later copy in that second gets a higher one, even when older ones are gone.
int LastSequence(const fs::path& dir, const std::string& name, const std::string& stamp) {
  int last = 0;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    std::string fileName = it->path().filename().string();
    if (fileName.size() > 4 && fileName.compare(fileName.size() - 4, 4, ".tmp") == 0)
      fileName.resize(fileName.size() - 4);
    std::string order;
    if (ParseBackupName(fileName, name, &order) && order.compare(0, stamp.size(), stamp) == 0)
      last = std::max(last, std::stoi(order.substr(stamp.size())));
  }
  return last;
}

// What a backup of a collection found in `state` comes to: Done when it may go on. A file that is
// no database, or cannot be read, is as damaged as one whose check fails.
BackupOutcome RefusedBackup(ArticleFileState state, bool hasColumns) {
  switch (state) {
    case ArticleFileState::Sound: return hasColumns ? BackupOutcome::Done : BackupOutcome::NoTable;
    case ArticleFileState::Missing: return BackupOutcome::Missing;
    case ArticleFileState::Busy: return BackupOutcome::Busy;
    case ArticleFileState::NoTable: return BackupOutcome::NoTable;
    case ArticleFileState::NotRegularFile:
    case ArticleFileState::RowIdHidden:
    case ArticleFileState::View:
    case ArticleFileState::GeneratedColumns: return BackupOutcome::NotCollection;
    case ArticleFileState::Unreadable:
    case ArticleFileState::NotDatabase:
    case ArticleFileState::Damaged: break;
  }
  return BackupOutcome::Damaged;
}

// The folder the backups go into: the given one, or the collection's own; empty when the
// collection is named without a folder.
std::optional<fs::path> BackupDirectory(const BackupOptions& options, const fs::path& source,
                                        BackupResult& result) {
  fs::path dir = source.parent_path();
  if (!options.directory.empty()) {
    const auto utf8 = ToUtf8(options.directory);
    if (!utf8) {
      result.notes.emplace_back("cannot use this folder name");
      return std::nullopt;
    }
    dir = *utf8;
  }
  std::error_code ec;
  if (!fs::is_directory(dir.empty() ? fs::path(".") : dir, ec)) {
    result.notes.emplace_back("no such directory");
    return std::nullopt;
  }
  return dir;
}

// The names of one backup: DIR/NAME-STAMP[-N].nvx, and its temporary copy under the same name
// with ".tmp" added.
class BackupNames {
 public:
  BackupNames(fs::path dir, const fs::path& source, std::time_t time)
      : dir_(std::move(dir)),
        name_(CollectionName(source)),
        stamp_(TimeStamp(time != 0 ? time : std::time(nullptr))) {}

  // A file named without a folder gets its backups named so too.
  fs::path Where() const { return dir_.empty() ? fs::path(".") : dir_; }
  const std::string& Name() const { return name_; }
  int LastUsed() const { return LastSequence(Where(), name_, stamp_); }
  fs::path Final(int sequence) const {
    return dir_ / (name_ + "-" + stamp_ + (sequence > 1 ? "-" + std::to_string(sequence) : "") + ".nvx");
  }
  static fs::path Temporary(const fs::path& final) { return final.string() + ".tmp"; }

  int sequence = 0;

 private:
  fs::path dir_;
  std::string name_;
  std::string stamp_;
};

// Makes the temporary copy under the first sequence number free both as a backup and as a
// temporary copy; its permissions are the collection's, readable and writable by its owner.
bool CreateTemporaryCopy(AtomicFile& copy, BackupNames& names, const fs::path& source,
                         const BackupOptions& options, BackupResult& result) {
  struct stat st {};
  const mode_t mode = ::stat(source.c_str(), &st) == 0 ? ((st.st_mode & 0666) | 0600) : 0600;
  for (names.sequence = names.LastUsed() + 1;; ++names.sequence) {
    const fs::path final = names.Final(names.sequence);
    const fs::path tmp = BackupNames::Temporary(final);
    if (Present(final) || Present(tmp)) continue;
    if (copy.Create(tmp.string(), mode, options.onTemporary)) return true;
    if (errno != EEXIST || names.sequence > 1000) {
      result.notes.emplace_back(std::strerror(errno));
      return false;
    }
  }
}

// Copies the collection into the temporary copy and verifies it there; false with the outcome
// and the notes set when it cannot be written or does not verify.
bool WriteAndVerifyCopy(SqliteDB& db, AtomicFile& copy, BackupResult& result,
                        std::vector<std::string>& inherited) {
  const auto copyPath = FromUtf8(copy.TemporaryPath());
  if (!copyPath) {
    result.notes.emplace_back("the copy's name does not convert");
    return false;
  }
  if (!CopyDatabase(db, *copyPath)) {
    result.notes.emplace_back("the copy could not be written");
    return false;
  }
  std::vector<std::string> problems = VerifyCopy(db, *copyPath, inherited);
  if (!problems.empty()) {
    result.outcome = BackupOutcome::BadCopy;
    result.notes = std::move(problems);
    return false;
  }
  return true;
}

// Flushes the verified copy to disk and renames it to its backup name, taking the next sequence
// number should another backup have taken this one meanwhile.
std::optional<fs::path> GiveFinalName(AtomicFile& copy, BackupNames& names, BackupResult& result) {
  if (!copy.Sync()) {
    result.notes.emplace_back("the copy could not be flushed to disk");
    return std::nullopt;
  }
  fs::path final = names.Final(names.sequence);
  for (int error = copy.CommitNew(final.string()); error != 0; error = copy.CommitNew(final.string())) {
    if (error != EEXIST || names.sequence > 1000) {
      result.notes.emplace_back(std::strerror(error));
      return std::nullopt;
    }
    final = names.Final(++names.sequence);
  }
  return final;
}

}  // namespace

bool ParseBackupName(const std::string& fileName, const std::string& name, std::string* order) {
  static constexpr std::string_view kExtension = ".nvx";
  const std::string prefix = name + "-";
  if (name.empty() || fileName.size() < prefix.size() + 15 + kExtension.size() ||
      fileName.compare(0, prefix.size(), prefix) != 0 ||
      fileName.compare(fileName.size() - kExtension.size(), kExtension.size(), kExtension) != 0)
    return false;
  const std::string_view rest =
      std::string_view(fileName).substr(prefix.size(), fileName.size() - prefix.size() - kExtension.size());
  // YYYYMMDD-HHMMSS, then nothing or -N for the N-th copy in that second (N from 2, no leading zero).
  if (!AllDigits(rest.substr(0, 8)) || rest[8] != '-' || !AllDigits(rest.substr(9, 6))) return false;
  std::string_view sequence = rest.substr(15);
  if (!sequence.empty()) {
    if (sequence[0] != '-' || !AllDigits(sequence.substr(1)) || sequence[1] == '0' || sequence.size() > 10 ||
        sequence == "-1")
      return false;
    sequence.remove_prefix(1);
  }
  if (order) {
    const std::string number = sequence.empty() ? "1" : std::string(sequence);
    *order = std::string(rest.substr(0, 15)) + std::string(10 - number.size(), '0') + number;
  }
  return true;
}

BackupResult BackupCollection(const Text& file, const BackupOptions& options) {
  BackupResult result;
  const auto sourceName = ToUtf8(file);
  if (!sourceName || sourceName->empty()) {
    result.outcome = BackupOutcome::Missing;
    return result;
  }
  const fs::path source(*sourceName);
  SqliteDB db;
  bool hasColumns = false;
  result.state = OpenCollection(db, file, hasColumns);
  result.outcome = RefusedBackup(result.state, hasColumns);
  if (result.outcome != BackupOutcome::Done) return result;
  // One read transaction from the check to the end of the comparison: the check, the copy and
  // the comparison all see one state of the file, even while the editor saves into it.
  Transaction snapshot(db, TransactionKind::Read);
  result.state = snapshot.Active() ? QuickCheck(db)
                 : db.Busy()       ? ArticleFileState::Busy
                                   : ArticleFileState::Damaged;
  result.outcome = RefusedBackup(result.state, true);
  if (result.outcome != BackupOutcome::Done) return result;
  result.outcome = BackupOutcome::CannotWrite;

  const std::optional<fs::path> dir = BackupDirectory(options, source, result);
  if (!dir) return result;
  BackupNames names(*dir, source, options.time);
  RemoveStaleTemporaries(names.Where(), names.Name(), result);
  AtomicFile copy;
  if (!CreateTemporaryCopy(copy, names, source, options, result)) return result;
  std::vector<std::string> inherited;
  const bool verified = WriteAndVerifyCopy(db, copy, result, inherited);
  snapshot.Rollback();
  db.Close();
  if (!verified) return result;
  const std::optional<fs::path> final = GiveFinalName(copy, names, result);
  if (!final) return result;

  result.outcome = BackupOutcome::Done;
  result.path = FromUtf8Lossy(final->string());
  result.notes = std::move(inherited);
  RemoveOldBackups(names.Where(), names.Name(), *final, source, options.keep, result);
  return result;
}

DiffResult DiffCollections(const Text& first, const Text& second,
                           const std::function<void(const ArticleDifference&)>& report) {
  DiffResult result;
  SqliteDB dbs[2];
  const Text* names[2] = {&first, &second};
  for (int i = 0; i < 2; ++i) {
    bool hasColumns = false;
    const ArticleFileState state = OpenCollection(dbs[i], *names[i], hasColumns);
    if (state != ArticleFileState::Sound || !hasColumns) {
      result.failedFile = i;
      result.reason = state != ArticleFileState::Sound ? DescribeState(state) : kNoColumns;
      return result;
    }
  }
  ArticleRows a(dbs[0]), b(dbs[1]);
  auto step = [&result, &dbs](ArticleRows& rows, int which) {
    const bool more = rows.Next();
    if (rows.Failed() && result.reason.empty()) {
      result.failedFile = which;
      result.reason =
          dbs[which].Busy() ? DescribeState(ArticleFileState::Busy) : "cannot read the articles of table nr";
    }
    return more;
  };
  bool hasA = step(a, 0), hasB = step(b, 1);
  while ((hasA || hasB) && result.reason.empty()) {
    ArticleDifference d;
    if (hasA && (!hasB || a.Id() < b.Id())) {
      d = {ArticleChange::Removed, a.Id(), LocalTitle(a)};
      ++result.summary.removed;
      hasA = step(a, 0);
    } else if (hasB && (!hasA || b.Id() < a.Id())) {
      d = {ArticleChange::Added, b.Id(), LocalTitle(b)};
      ++result.summary.added;
      hasB = step(b, 1);
    } else {
      d = {ArticleChange::Changed, b.Id(), LocalTitle(b)};
      d.titleDiffers = a.Blob(kNameColumn) != b.Blob(kNameColumn);
      d.textDiffers = !SameValue(a, b, kContentColumn) && ReadArticleText(a) != ReadArticleText(b);
      for (int column = kFirstStateColumn; column < kColumnCount; ++column)
        d.stateDiffers = d.stateDiffers || !SameValue(a, b, column);
      const bool changed = d.titleDiffers || d.textDiffers || d.stateDiffers;
      ++(changed ? result.summary.changed : result.summary.same);
      hasA = step(a, 0);
      hasB = step(b, 1);
      if (!changed) continue;
    }
    report(d);
  }
  result.ok = result.reason.empty();
  return result;
}

}  // namespace nvx
