#include "tool/tool_commands.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <iterator>

#include "app/article_export.h"
#include "runtime/file_commands.h"
#include "store/article_file.h"
#include "store/article_schema.h"
#include "store/codepage.h"
#include "store/packed_content.h"
#include "store/sqlite_table.h"
#include "store/template_database.h"

namespace nvx::tool {
namespace {

int fail(const std::string& file, const std::string& reason) {
  std::fprintf(stderr, "nvx: %s: %s\n", file.c_str(), reason.c_str());
  return kFailure;
}

// File names arrive as UTF-8; the store takes texts in the local code page.
std::optional<Text> localPath(const std::string& file) {
  if (file.empty()) return std::nullopt;
  return FromUtf8(file);
}

void writeOut(std::string_view bytes) { std::fwrite(bytes.data(), 1, bytes.size(), stdout); }

// Opens an article database that must be usable; on failure says why and gives the exit code.
std::optional<int> openArticles(SqliteDB& db, const std::string& file) {
  const auto path = localPath(file);
  if (!path) return fail(file, "cannot use this file name");
  const ArticleFileState state = OpenArticleFile(db, *path);
  if (state != ArticleFileState::Sound) return fail(file, DescribeState(state));
  return std::nullopt;
}

// A canonical decimal row id, so that nothing but a number reaches the lookup condition.
std::optional<std::string> canonicalId(const std::string& id) {
  std::int64_t value = 0;
  const char* end = id.data() + id.size();
  const auto [ptr, ec] = std::from_chars(id.data(), end, value);
  if (id.empty() || ec != std::errc() || ptr != end) return std::nullopt;
  return std::to_string(value);
}

}  // namespace

int newFile(const std::string& file) {
  const auto path = localPath(file);
  if (!path) return fail(file, "cannot use this file name");
  const auto& image = TemplateDatabase();
  if (!WriteBytesToFile(*path, {image})) return fail(file, "cannot write");
  return kSuccess;
}

int list(const std::string& file) {
  SqliteDB db;
  if (auto code = openArticles(db, file)) return *code;
  SqliteTable table;
  if (!table.Open(schema::kTable, db)) return fail(file, "cannot read table nr");
  std::string out;
  while (table.Next()) {
    out += ToUtf8Lossy(table.ReadText(schema::kId));
    out += '\t';
    out += ToUtf8Lossy(table.ReadText(schema::kName));
    out += '\n';
  }
  writeOut(out);
  return kSuccess;
}

int cat(const std::string& file, const std::string& id) {
  const auto number = canonicalId(id);
  if (!number) return fail(file, "no such article " + id);
  SqliteDB db;
  if (auto code = openArticles(db, file)) return *code;
  SqliteTable table;
  if (!table.Open(schema::kTable, db)) return fail(file, "cannot read table nr");
  if (!table.Find(std::string(schema::kId) + "=" + *number)) return fail(file, "no such article " + id);
  const Bytes text = Decompress(table.ReadBytes(schema::kContent));
  // The text ends at its first zero byte, as the editor shows it.
  const auto end = std::find(text.begin(), text.end(), std::uint8_t{0});
  writeOut(ToUtf8Lossy(std::string(text.begin(), end)));
  return kSuccess;
}

int add(const std::string& file, const std::string& title) {
  const auto localTitle = FromUtf8(title);
  if (!localTitle) return fail(file, "the title is not valid UTF-8");
  if (localTitle->empty()) return fail(file, "the title is empty");
  const std::string input{std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>()};
  if (input.find('\0') != std::string::npos) return fail(file, "the text holds a zero byte");
  const auto content = FromUtf8(input);
  if (!content) return fail(file, "the text is not valid UTF-8");

  SqliteDB db;
  if (auto code = openArticles(db, file)) return *code;
  const auto id = AddArticle(db, *localTitle, toByteArray(*content));
  if (!id) return fail(file, "cannot write");
  std::printf("%lld\n", static_cast<long long>(*id));
  return kSuccess;
}

int check(const std::string& file) {
  const auto path = localPath(file);
  if (!path) return fail(file, "cannot use this file name");
  const std::vector<std::string> problems = CheckArticleFile(*path);
  if (problems.empty()) {
    std::printf("%s: sound article database\n", file.c_str());
    return kSuccess;
  }
  for (const auto& problem : problems) std::fprintf(stderr, "nvx: %s: %s\n", file.c_str(), problem.c_str());
  return kFailure;
}

// The same routine as the editor's menu item "导出".
int exportText(const std::string& file, const std::string& out) {
  SqliteDB db;
  if (auto code = openArticles(db, file)) return *code;
  const auto target = localPath(out);
  if (!target) return fail(out, "cannot use this file name");
  SqliteTable table;
  switch (app::ExportArticles(db, table, *target)) {
    case app::ExportResult::Done:
      return kSuccess;
    case app::ExportResult::CannotOpen:
    case app::ExportResult::WriteFailed:
      break;
  }
  return fail(out, "cannot write");
}

}  // namespace nvx::tool
