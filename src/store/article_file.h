// Article-level routines over the access layer, shared by the editor and the command-line
// companion so that both add articles and judge files the same way.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "store/sqlite_db.h"
#include "store/sqlite_table.h"
#include "store/value.h"

namespace nvx {

enum class ArticleFileState { Sound, Missing, Unreadable, NotDatabase, NoTable };

// Opens `path` (local code page) on `db` and tells whether it is usable as an article database:
// an SQLite file with a table `nr`. The connection stays open whatever the answer, as the editor
// keeps files open that it cannot use.
ArticleFileState OpenArticleFile(SqliteDB& db, const Text& path);

// A short English reason for a state other than Sound ("not a database", "no table nr", ...).
const char* DescribeState(ArticleFileState state);

// Inserts a row into the open table `table` (of table nr) the way a newly titled article is
// saved: its title and packed content, first line 0, face "宋体", size 14; colour and effects are
// not written, so they stay NULL. The editor's Save article, its Save As copies and `nvx add`
// all add articles this way.
bool InsertNewArticle(SqliteTable& table, const Text& title, const Bytes& packed);

// Packs `content` and inserts it as a new article. Returns the new id.
std::optional<std::int64_t> AddArticle(SqliteDB& db, const Text& title, const Bytes& content);

// Everything wrong with the file at `path`, one English line each (UTF-8); empty when it is a
// sound article database: an SQLite file whose integrity check passes, with a table `nr` that has
// every article column, and whose every article's content unpacks.
std::vector<std::string> CheckArticleFile(const Text& path);

}  // namespace nvx
