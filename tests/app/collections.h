// Collections made for the editor's tests, in a temporary directory.
#pragma once

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "store/article_file.h"
#include "store/codepage.h"
#include "store/packed_content.h"
#include "store/sqlite_table.h"
#include "store/template_database.h"
#include "support/sqlite_file.h"
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

}  // namespace nvx::test
