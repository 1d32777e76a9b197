#include "store/collection_save_as.h"

#include <sys/stat.h>

#include <string>

#include "base/codepage.h"
#include "store/article_records.h"
#include "store/article_schema.h"
#include "store/atomic_file.h"
#include "store/sqlite_table.h"
#include "store/statement.h"
#include "store/template_database.h"

namespace nvx {
namespace {

// Builds the copy in a new collection (the template) under a temporary name beside `target`; the
// rename is what cannot be undone, so a cancel until then leaves no file.
CopyResult CopyIntoNewFile(SqliteDB& source, const Text& target, const SaveAsProgress& progress) {
  AtomicFile building;
  if (!building.Open(target) || !building.Write(TemplateDatabase()) || !building.Flush())
    return CopyResult::Failed;
  SqliteDB copy;
  const auto localPath = FromUtf8(building.TemporaryPath());
  if (!localPath || !copy.Open(*localPath)) return CopyResult::Failed;
  std::int64_t copied = 0;
  const CopyResult outcome = ReplaceArticles(
      copy, source, [&](std::int64_t n) { return progress(n, false); },
      [&](std::int64_t n) {
        copied = n;
        return true;
      },
      CopyTarget::NewFromTemplate);
  const bool closed = copy.Close();
  if (outcome != CopyResult::Done) return outcome;
  if (!closed) return CopyResult::Failed;
  if (!progress(copied, true)) return CopyResult::Cancelled;
  return building.Commit() ? CopyResult::Done : CopyResult::Failed;
}

// Whether the source's table is an article table and its rows can be read (not locked by a writer):
// a source that cannot be read is found out before anything is written. A page that cannot be
// read further on fails the copy, which then leaves the target as it was.
bool SourceReadable(SqliteDB& source) {
  if (source.Handle() == nullptr || InspectTable(source, schema::kTable).shape != TableShape::Sound)
    return false;
  CachedStatement first = source.Prepare(std::string("SELECT 1 FROM ") + schema::kTable + " LIMIT 1");
  const int rc = first ? first.Step() : SQLITE_ERROR;
  return rc == SQLITE_ROW || rc == SQLITE_DONE;
}

}  // namespace

CopyResult SaveCollectionAs(SqliteDB& source, const Text& target, const SaveAsProgress& progress) {
  if (!SourceReadable(source)) return CopyResult::Failed;
  const auto path = ToUtf8(target);
  if (!path || path->empty() || path->find('\0') != std::string::npos) return CopyResult::Failed;
  struct stat existing {};
  if (::lstat(path->c_str(), &existing) != 0) return CopyIntoNewFile(source, target, progress);
  SqliteDB copy;
  if (!copy.Open(target)) return CopyResult::Failed;
  const CopyResult outcome = ReplaceArticles(
      copy, source, [&](std::int64_t n) { return progress(n, false); },
      [&](std::int64_t n) { return progress(n, true); });
  copy.Close();
  return outcome;
}

}  // namespace nvx
