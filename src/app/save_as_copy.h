// Save As's copy of the open collection into another file.
#pragma once

#include "base/value.h"
#include "runtime/progress.h"
#include "store/sqlite_db.h"

namespace nvx::app {

enum class CopyOutcome { Done, Cancelled, Failed };

// Copies every article of `source` into the collection at `target` (local code page), replacing
// the articles it has, with the reading state of a new article; the stored bytes of each content
// are copied as they are. `progress` is stepped once per article, and cancelling there undoes the
// copy, up to the commit or rename that ends it (asked once more right before; past it the dialog
// offers no cancel).
//
// A target that exists is changed in one transaction: a copy that fails or is cancelled part-way
// leaves it as it was. A target that does not exist is built under a temporary name in the same
// directory, flushed to disk and renamed to `target` only when complete, so that no stop, not even
// a killed process, leaves a collection with part of the articles (or none) under that name.
// Nothing is written when `source` cannot be read.
CopyOutcome CopyCollection(SqliteDB& source, const Text& target, Progress& progress);

}  // namespace nvx::app
