// One routine per operation on a stored article, each one statement on table nr with every value
// bound as a parameter and the article named by its numeric id (its row id). Titles and face names
// cross in the local code page and are stored as UTF-8.
//
// Every routine fails (false or nullopt) when table nr is not a sound article table, when the
// statement fails, and when the change it makes is not found in the file afterwards; after a
// failure, SqliteDB::Busy tells whether another program held the file.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "base/value.h"
#include "store/sqlite_db.h"

namespace nvx {

// An article's reading format as stored: zt, ztdx, ys, xg (NULL reads as 0 and the empty text).
struct StoredFormat {
  Text face;                 // zt, local code page
  std::int32_t size = 0;     // ztdx, points
  std::int32_t color = 0;    // ys
  std::int32_t effects = 0;  // xg
};

struct StoredArticle {
  std::int64_t id = 0;
  Text title;                  // name, local code page
  Bytes packed;                // nr, as stored
  std::int32_t firstLine = 0;  // ksid
  StoredFormat format;
};

// Title, packed content, first line and format of article `id` in one select; nullopt when there
// is no such article or it cannot be read.
std::optional<StoredArticle> LoadArticle(SqliteDB& db, std::int64_t id);

// Writes title, packed content and format (name, nr, zt, ztdx, ys, xg) of the existing article `id`.
bool SaveArticle(SqliteDB& db, std::int64_t id, const Text& title, const Bytes& packed,
                 const StoredFormat& format);

// Writes packed content and format (nr, zt, ztdx, ys, xg) of the existing article `id` and leaves
// its stored title as it is (a row another program wrote without one keeps its empty or NULL name).
bool SaveArticleContent(SqliteDB& db, std::int64_t id, const Bytes& packed, const StoredFormat& format);

// Writes the title (name) or the packed content (nr) of the existing article `id`, whichever is
// given (not null), and nothing else: its reading state and format stay as stored.
bool RewriteArticle(SqliteDB& db, std::int64_t id, const Text* title, const Bytes* packed);

// Writes the reading state of article `id`: ksid, zt, ztdx, ys, xg.
bool StoreReadingState(SqliteDB& db, std::int64_t id, std::int32_t firstLine, const StoredFormat& format);

// Deletes article `id`; true when it is gone afterwards (also when there was none).
bool DeleteArticle(SqliteDB& db, std::int64_t id);

// Inserts an article the way a newly titled article is saved: its title and packed content, first
// line 0, face "宋体", size 14; colour and effects are not written, so they stay NULL. Returns the
// new id, or nullopt when the article was not stored (the insert failed, or the row is not there
// afterwards: a trigger may have removed it).
std::optional<std::int64_t> InsertArticle(SqliteDB& db, const Text& title, const Bytes& packed);
// The same for a copy of an article of another collection: the title goes in exactly as that
// collection stores it (bytes that are not UTF-8 and NULL included).
std::optional<std::int64_t> InsertArticle(SqliteDB& db, const StoredValue& title, const Bytes& packed);

enum class CopyResult { Done, Cancelled, Failed };

// Replaces the articles of `target` with those of the collection `source` is open on (a file), in
// one transaction on `target` and one INSERT … SELECT: each copy stored as InsertArticle stores a
// new article, in id order, its title and content copied as stored (a title that is not UTF-8
// too). `going(copied)` is asked after every article; false cancels the copy. At the end the target
// must hold exactly as many articles as were read, or nothing is kept; then `lastChance` is asked
// right before the commit, false cancelling too.
//
// A target the program has just made from its template has no triggers or conflict clauses that
// could skip, remove or add a row, so the count of its rows is not read back there.
enum class CopyTarget { Existing, NewFromTemplate };
CopyResult ReplaceArticles(SqliteDB& target, SqliteDB& source, const std::function<bool(std::int64_t)>& going,
                           const std::function<bool(std::int64_t copied)>& lastChance,
                           CopyTarget kind = CopyTarget::Existing);

// A write transaction starts at once, waiting up to the busy timeout for other writers; a read
// transaction keeps the file in one state from its first read until it ends, even while another
// program writes it.
enum class TransactionKind { Write, Read };

// One transaction: BEGIN IMMEDIATE (a write one) or BEGIN (a read one) when made, COMMIT by Commit,
// ROLLBACK when it ends uncommitted.
class Transaction {
 public:
  explicit Transaction(SqliteDB& db, TransactionKind kind = TransactionKind::Write);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  // Whether BEGIN succeeded and the transaction is still open.
  bool Active() const { return active_; }
  // True when the commit succeeded; a failed commit leaves the transaction to be rolled back.
  bool Commit();
  // Rolls back now; true when nothing is left open.
  bool Rollback();

 private:
  SqliteDB& db_;
  bool active_ = false;
};

}  // namespace nvx
