// Safe copies of a collection and the comparison of two collections, for `nvx backup` and
// `nvx diff`. Both only read the collections they are given: every connection to them is opened
// read-only.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "base/value.h"
#include "store/article_file.h"

namespace nvx {

inline constexpr int kDefaultBackupsKept = 5;

enum class BackupOutcome {
  Done,           // the copy is made, verified, flushed and under its final name
  Missing,        // no such file
  Busy,           // another program kept the file locked past the busy timeout: nothing copied
  Damaged,        // the quick check failed, the file is no database or cannot be read: nothing copied
  NoTable,        // a database without table nr, or one lacking article columns
  NotCollection,  // not a regular file, or table nr is a view, hides its row id or has generated columns
  CannotWrite,    // the copy could not be written (directory missing, disk full, ...)
  BadCopy,        // the copy did not verify; it was removed
};

struct BackupOptions {
  Text directory;                  // empty: the collection's own directory
  int keep = kDefaultBackupsKept;  // backups of this collection left in the directory, at least 1
  std::time_t time = 0;            // the time the name is made from; 0: now
  // Told the temporary file's name (as the file system names it) when it is made, and an empty
  // name once it is gone, so that a caller can remove it when the process is stopped meanwhile.
  std::function<void(const std::string&)> onTemporary;
};

struct BackupResult {
  BackupOutcome outcome = BackupOutcome::CannotWrite;
  // What the collection was found to be (OpenArticleFile, then its quick check): DescribeState
  // says why it was refused when the outcome is Busy, NoTable or NotCollection.
  ArticleFileState state = ArticleFileState::Sound;
  Text path;                  // the backup made (local code page), when Done
  std::vector<Text> removed;  // older backups removed to keep `keep` of them, and dead temporary copies
  // English lines (UTF-8): why the copy did not verify; or, when Done, problems the collection
  // itself has (the copy has them too) and older backups that could not be removed.
  std::vector<std::string> notes;
};

// Copies `file` (local code page) into DIR/NAME-YYYYMMDD-HHMMSS.nvx, where NAME is the file's
// name without ".nvx" and a second copy in the same second is named ...-2.nvx, ...-3.nvx. The
// copy is written as NAME-...nvx.tmp, checked, flushed to disk and only then renamed; it never
// stays behind under the temporary name, and a temporary copy of NAME left by a backup that was
// killed (one no backup holds locked) is removed first. Then the oldest backups of this NAME beyond `keep`
// are removed: files named exactly by the pattern above, nothing else.
BackupResult BackupCollection(const Text& file, const BackupOptions& options);

// Whether `fileName` (a name without directory) is a backup of the collection named `name` as
// BackupCollection names them; gives its place in time in `order` (date, time, sequence).
bool ParseBackupName(const std::string& fileName, const std::string& name, std::string* order = nullptr);

enum class ArticleChange { Added, Removed, Changed };

struct ArticleDifference {
  ArticleChange change = ArticleChange::Changed;
  std::int64_t id = 0;
  Text title;  // the title in the second collection; in the first for a removed article
  bool titleDiffers = false;
  bool textDiffers = false;   // the unpacked texts differ (two packings of one text are equal)
  bool stateDiffers = false;  // first line, face, colour, size or effects differ
};

struct DiffSummary {
  std::int64_t same = 0;
  std::int64_t added = 0;
  std::int64_t removed = 0;
  std::int64_t changed = 0;
};

struct DiffResult {
  bool ok = false;
  int failedFile = 0;  // when not ok: 0 the first collection, 1 the second
  std::string reason;  // when not ok: a short English reason ("no such file", ...)
  DiffSummary summary;
};

// Compares two collections article by article, matched by id, in id order; tells `report` of
// every article that is not the same in both.
DiffResult DiffCollections(const Text& first, const Text& second,
                           const std::function<void(const ArticleDifference&)>& report);

}  // namespace nvx
