// Article-level routines over the access layer, shared by the editor and the command-line
// companion so that both add articles and judge files the same way.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/value.h"
#include "store/sqlite_db.h"
#include "store/sqlite_table.h"

namespace nvx {

enum class ArticleFileState {
  Sound,
  Missing,
  Unreadable,
  NotDatabase,
  NoTable,
  NotRegularFile,    // a directory, FIFO, device or socket (or a symlink to one)
  RowIdHidden,       // every name of nr's row id is one of its columns, or nr is WITHOUT ROWID
  View,              // nr is a view
  GeneratedColumns,  // nr has generated columns
  Busy,              // another program kept the file locked past the busy timeout
  Damaged,           // the quick integrity check fails
};

// What is at `path` (local code page), found without opening it, so that a FIFO never blocks:
// Sound for a regular file or a symbolic link to one, else Missing or NotRegularFile.
ArticleFileState CheckRegularFile(const Text& path);

// The one way to reach a collection, for the editor and every nvx command (backup and diff open
// theirs read-only). Opens `path` (local code page) on `db` and tells whether it is usable as an
// article database: a regular SQLite file whose table `nr` is a plain table with a reachable row
// id and no generated columns. Anything not a regular file is refused before it is opened; a
// missing file, one that is not a regular file and one that cannot be read leave `db` as it was.
// Otherwise the connection stays open whatever the answer, as the editor keeps files open that it
// cannot use. DescribeState gives the message for every answer but Sound.
ArticleFileState OpenArticleFile(SqliteDB& db, const Text& path, OpenMode mode = OpenMode::ReadWrite);

// SQLite's quick integrity check of the open file, for use before writing into it: Sound,
// Damaged, or Busy when another program holds it.
ArticleFileState QuickCheck(SqliteDB& db);

// A short English reason for a state other than Sound ("not a database", "no table nr", ...).
const char* DescribeState(ArticleFileState state);

// Packs `content` and inserts it as a new article (InsertArticle). Returns the new id; nullopt when
// the article was not stored.
std::optional<std::int64_t> AddArticle(SqliteDB& db, const Text& title, const Bytes& content);

// Everything wrong with the file at `path`, one English line each (UTF-8); empty when it is a
// sound article database: an SQLite file whose integrity check passes, with a plain table `nr`
// that has every article column, and whose every article's content unpacks.
// `progress`, when given, hears (articles checked, articles in all) as the articles are walked.
using CheckProgress = std::function<void(std::int64_t done, std::int64_t total)>;
std::vector<std::string> CheckArticleFile(const Text& path, const CheckProgress& progress = {});

}  // namespace nvx
