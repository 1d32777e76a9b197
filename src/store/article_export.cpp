#include "store/article_export.h"

#include <algorithm>
#include <optional>

#include "base/codepage.h"
#include "base/file_identity.h"
#include "store/article_walk.h"
#include "store/atomic_file.h"
#include "store/book_search.h"
#include "store/statement.h"

namespace nvx {
namespace {

// Writes the pieces of one block as one text: everything up to the first zero byte, then one zero.
bool WriteBlock(AtomicFile& out, std::initializer_list<std::string_view> pieces) {
  for (std::string_view piece : pieces) {
    const std::size_t zero = piece.find('\0');
    if (!out.Write(piece.substr(0, zero))) return false;
    if (zero != std::string_view::npos) break;
  }
  return out.Write(std::string_view("\0", 1));
}

// While it lives, the connection reads the file through memory-mapped I/O (up to SQLite's
// limit, 2 GB by default): the export's walk then takes a third of the time of read() calls on a
// large collection. The price: should a program other than SQLite truncate the file during the
// walk, the process stops with SIGBUS instead of reporting a read error (SQLite writers cannot,
// as the walk's read transaction holds them off). `nvx export` pays it; the editor, which may
// hold unsaved typing, does not.
class MappedReads {
 public:
  explicit MappedReads(SqliteDB& db) : db_(db) {
    CachedStatement s = db_.Prepare("PRAGMA mmap_size");
    if (s && s.Step() == SQLITE_ROW) before_ = sqlite3_column_int64(s.Get(), 0);
    db_.Execute("PRAGMA mmap_size=1099511627776");
  }
  ~MappedReads() { db_.Execute("PRAGMA mmap_size=" + std::to_string(before_)); }
  MappedReads(const MappedReads&) = delete;
  MappedReads& operator=(const MappedReads&) = delete;

 private:
  SqliteDB& db_;
  std::int64_t before_ = 0;
};

}  // namespace

ExportResult ExportArticles(SqliteDB& db, const Text& path, const ExportProgress& progress,
                            const std::function<bool()>& lastChance, bool mappedReads) {
  if (db.Handle() == nullptr) return ExportResult::ReadFailed;
  const Text open = db.FileName();
  if (!open.empty() && IsSameFile(path, open)) return ExportResult::OwnFile;
  const std::optional<std::int64_t> total = CountArticles(db);
  if (!total) return ExportResult::ReadFailed;
  AtomicFile out;
  if (!out.Open(path)) return ExportResult::CannotOpen;
  if (progress && !progress(0, *total)) return ExportResult::Cancelled;

  // The articles are read here and unpacked on every core, and come back here in id order.
  static const Text opening = L("[第");
  static const Text closing = L("篇]");
  constexpr std::string_view lineEnd = "\r\n";
  ExportResult result = ExportResult::Done;
  std::int64_t done = 0;
  std::optional<MappedReads> mapped;
  if (mappedReads) mapped.emplace(db);
  const bool walked = book::WalkArticlesInParallel(
      db, book::Decoding::LocalCodePage, [](book::ArticleJob&) {},
      [&](book::ArticleJob& job) {
        const std::string number = std::to_string(done + 1);
        if (!WriteBlock(out, {opening, number, closing, job.shownTitle, lineEnd, job.text, lineEnd})) {
          result = ExportResult::WriteFailed;
          return false;
        }
        ++done;
        if (progress && !progress(done, std::max(*total, done))) {
          result = ExportResult::Cancelled;
          return false;
        }
        return true;
      });

  if (result == ExportResult::Done && !walked) result = ExportResult::ReadFailed;
  if (result == ExportResult::Done && lastChance && !lastChance()) result = ExportResult::Cancelled;
  if (result == ExportResult::Done && !out.Commit()) result = ExportResult::WriteFailed;
  return result;
}

}  // namespace nvx
