// Export of every article into one text file: the routine behind both the editor's "导出" and
// `nvx export`. No window, no message: it reports through its result.
#pragma once

#include <cstdint>
#include <functional>

#include "base/value.h"
#include "store/sqlite_db.h"

namespace nvx {

enum class ExportResult {
  Done,
  CannotOpen,   // the target cannot be created (or is not a regular file)
  OwnFile,      // the target is the open collection's own file
  ReadFailed,   // no collection open, no sound table nr, or a row that cannot be read
  WriteFailed,  // a write or the final flush failed (a full disk, ...)
  Cancelled,    // the progress callback asked to stop
};

// Told after each article written, and once before the first: articles done, articles in all.
// Returning false cancels the export. It runs on the calling thread.
using ExportProgress = std::function<bool(std::int64_t done, std::int64_t total)>;

// Writes one block per article of `db`, in id order, into `path` (local code page): "[第" N "篇]"
// title CR LF content CR LF, cut at its first zero byte, then one zero byte; N is the article's
// place in id order, texts are in the local code page, damaged content is an empty text. An empty
// collection gives an empty file.
//
// The file is replaced only when everything was written and flushed to disk; on any other
// result it stays as it was. The open collection's own file (by device and inode, also through a
// link) is refused before anything is written.
// `lastChance`, when given, is asked right before the file is replaced; false cancels too.
// `mappedReads` reads the collection through memory-mapped I/O, a third quicker on a large one,
// at a price only a program with nothing unsaved should pay: should another program truncate the
// file meanwhile, the process stops with SIGBUS instead of reporting a read error.
ExportResult ExportArticles(SqliteDB& db, const Text& path, const ExportProgress& progress = nullptr,
                            const std::function<bool()>& lastChance = nullptr, bool mappedReads = false);

}  // namespace nvx
