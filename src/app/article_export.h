// Export of every article into one text file: the routine behind both the menu item "导出" and
// `nvx export`. No window, no message: it reports through its result.
#pragma once

#include "store/sqlite_db.h"
#include "store/sqlite_table.h"
#include "store/value.h"

namespace nvx::app {

enum class ExportResult { Done, CannotOpen, WriteFailed };

// Writes one block per article, in id order, to `path` (created, or emptied when it exists):
// "[第" N "篇]" title CR LF content CR LF and one zero byte, N being the article's place in id
// order. Texts are in the local code page. `table` is opened on table nr of `db` and closed again.
// With no readable table the file stays empty. The file is closed when done.
ExportResult ExportArticles(SqliteDB& db, SqliteTable& table, const Text& path);

}  // namespace nvx::app
