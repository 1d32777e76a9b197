// Walks over every article of a collection, each one statement stepping through table nr in
// ascending id order, shared by the editor (catalogue, Export, Save As) and nvx (list, check,
// export). A walk is one read of the file: other programs' commits made while it runs are not
// seen by it, and it sees every row that was there when it started.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>

#include "base/value.h"
#include "store/sqlite_db.h"

namespace nvx {

enum class WalkResult {
  Done,     // every row visited
  Stopped,  // the visitor returned false
  Failed,   // the table is not a sound article table, or a row could not be read
};

// Gives every article's id and title as shown (local code page; a title stored in bytes that are
// not UTF-8 shows as best it can, see ColumnShownText).
WalkResult ForEachTitle(SqliteDB& db, const std::function<bool(std::int64_t id, Text&& title)>& visit);

// The same with each title as stored, in UTF-8, without a round trip through the local code page:
// for the catalogue, which shows UTF-8. A title that is not valid UTF-8 is empty, as above. The
// view lasts until the visitor returns.
WalkResult ForEachTitleUtf8(SqliteDB& db,
                            const std::function<bool(std::int64_t id, std::string_view title)>& visit);

// The titles of table nr in ascending id order, read a batch at a time, each batch from where the
// last one stopped: between batches no statement is open and nothing is locked, so the catalogue
// can fill between other work. Rows added below the last id read meanwhile are not seen.
class TitleBatches {
 public:
  explicit TitleBatches(SqliteDB& db);
  // Visits up to `most` more rows as ForEachTitleUtf8 gives them. Done once the last row has been
  // read; Stopped when `most` rows were visited and more may follow.
  WalkResult Next(std::size_t most,
                  const std::function<void(std::int64_t id, std::string_view title)>& visit);
  bool Finished() const { return finished_; }

 private:
  SqliteDB& db_;
  std::optional<std::string> sql_;
  std::int64_t from_;  // the least id the next batch may give
  bool finished_ = false;
};

// One article as the whole-collection walks give it: the stored bytes of its content, not unpacked.
struct ArticleRecord {
  std::int64_t id = 0;
  Text title;               // as shown (see ForEachTitle)
  Bytes packed;             // as stored in column nr
  StoredValue storedTitle;  // column name as stored, for copies; null only when memory ran out
};

// Gives every article's id, title and packed content.
WalkResult ForEachArticle(SqliteDB& db, const std::function<bool(ArticleRecord&&)>& visit);

// Gives every article's id, title as stored (UTF-8 as SQLite gives a text, up to a zero byte; NULL as
// empty) and
// packed content, each a view lasting until the visitor returns: for the parallel walk, which
// converts on its workers.
WalkResult ForEachStoredArticle(SqliteDB& db,
                                const std::function<bool(std::int64_t id, std::string_view titleUtf8,
                                                         std::span<const std::uint8_t> packed)>& visit);

// Runs `work(i)` for every i in [0, count) on every core, the calling thread included, and returns
// when all are done: for articles already held in memory (packing an import's batch, writing an
// EPUB's files). Each i is taken by one thread; `work` must not throw.
void ForEachInParallel(std::size_t count, const std::function<void(std::size_t)>& work);

// The number of articles; nullopt when table nr is not a sound article table or cannot be read.
std::optional<std::int64_t> CountArticles(SqliteDB& db);

}  // namespace nvx
