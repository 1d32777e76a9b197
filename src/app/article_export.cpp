#include "app/article_export.h"

#include "runtime/file_commands.h"
#include "runtime/value_commands.h"
#include "store/article_schema.h"
#include "store/codepage.h"
#include "store/packed_content.h"

namespace nvx::app {

ExportResult ExportArticles(SqliteDB& db, SqliteTable& table, const Text& path) {
  // Others may read the file while it is written, not write it.
  const std::int32_t file = FileOpen(path, kOpenRewrite, kShareRead);
  if (file == 0) return ExportResult::CannotOpen;
  bool written = true;
  table.Open(schema::kTable, db);
  table.First();
  const Text lineEnd = "\r\n";
  while (written && !table.IsAfterLast()) {
    const Text n = ToText(table.Position());
    const Text title = table.ReadText(schema::kName);
    const Text content = ToText(Decompress(table.ReadBytes(schema::kContent)));
    written = FileWriteData(file, {L("[第") + n + L("篇]") + title + lineEnd + content + lineEnd});
    table.Next();
  }
  table.Close();
  written = FileClose(file) && written;
  return written ? ExportResult::Done : ExportResult::WriteFailed;
}

}  // namespace nvx::app
