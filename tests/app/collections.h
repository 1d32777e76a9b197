// Collections made for the editor's tests, in a temporary directory.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <string>
#include <vector>

#include "base/codepage.h"
#include "store/article_file.h"
#include "store/packed_content.h"
#include "store/sqlite_table.h"
#include "store/template_database.h"
#include "test_support.h"

namespace nvx::test {

struct Article {
  int id;
  std::string title;    // UTF-8
  std::string content;  // UTF-8
};

// Writes the template and inserts the articles with their ids; texts are stored as the editor
// stores them (titles UTF-8 in the file, contents GB18030 packed).
inline void MakeCollection(const std::string& path, const std::vector<Article>& articles) {
  const auto& t = TemplateDatabase();
  WriteFile(path, std::string(t.begin(), t.end()));
  SqliteDB db;
  ASSERT_TRUE(db.Open(FromUtf8(path).value()));
  for (const Article& a : articles) {
    ASSERT_TRUE(db.Execute("INSERT INTO nr(id) VALUES(" + std::to_string(a.id) + ")"));
    SqliteTable table;
    ASSERT_TRUE(table.Open("nr", db));
    ASSERT_TRUE(table.Find("id=" + std::to_string(a.id)));
    table.Edit();
    table.WriteField("name", FromUtf8(a.title).value());
    table.WriteField("nr", Compress(ToByteArray(FromUtf8(a.content).value())));
    table.WriteField("ksid", std::int32_t{0});
    table.WriteField("zt", L("宋体"));
    table.WriteField("ztdx", std::int32_t{14});
    ASSERT_TRUE(table.Update());
  }
}

// One value of a query on the file, as text ("NULL" for NULL, "(no row)" when none).
inline std::string QueryFile(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  std::string result = "(no row)";
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW) {
      const auto* text = sqlite3_column_text(s, 0);
      result = text ? reinterpret_cast<const char*>(text) : "NULL";
    }
    sqlite3_finalize(s);
  } else {
    result = "(cannot open)";
  }
  sqlite3_close(db);
  return result;
}

}  // namespace nvx::test
