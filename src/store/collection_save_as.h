// Save As: the copy of the open collection into another file.
#pragma once

#include <cstdint>
#include <functional>

#include "base/value.h"
#include "store/article_records.h"
#include "store/sqlite_db.h"

namespace nvx {

// Told the articles copied after each one, and once more with `lastChance` right before the
// commit or rename that ends the copy. Returning false cancels; true at the last chance means the
// copy now does what cannot be undone (no cancel is honoured past it).
using SaveAsProgress = std::function<bool(std::int64_t copied, bool lastChance)>;

// Copies every article of `source` into the collection at `target` (local code page), replacing
// the articles it has, with the reading state of a new article; titles and the stored bytes of
// each content are copied as they are.
//
// A target that exists is changed in one transaction: a copy that fails or is cancelled part-way
// leaves it as it was. A target that does not exist is built under a temporary name in the same
// directory, flushed to disk and renamed to `target` only when complete, so that no stop, not even
// a killed process, leaves a collection with part of the articles (or none) under that name.
// Nothing is written when `source` cannot be read.
CopyResult SaveCollectionAs(SqliteDB& source, const Text& target, const SaveAsProgress& progress);

}  // namespace nvx
