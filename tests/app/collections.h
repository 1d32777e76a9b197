// Collections made for the editor's tests, in a temporary directory.
#pragma once

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "base/codepage.h"
#include "store/article_file.h"
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

// A collection of `count` articles with ids 1, 2, ... titled "t1", "t2", ..., each with the same
// content of 2,000 "x", made in one statement.
inline void MakeNumberedCollection(const std::string& path, int count) {
  MakeCollection(path, {{1, "t1", std::string(2000, 'x')}});
  SqliteDB db;
  ASSERT_TRUE(db.Open(path));
  ASSERT_TRUE(db.Execute("WITH RECURSIVE n(i) AS (SELECT 2 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                         std::to_string(count) +
                         ") INSERT INTO nr(id, name, nr, ksid, zt, ztdx) "
                         "SELECT i, 't' || i, nr, 0, zt, 14 FROM n, (SELECT nr, zt FROM nr WHERE id=1)"));
}

}  // namespace nvx::test
