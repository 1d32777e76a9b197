#include "store/article_file.h"

#include <gtest/gtest.h>

#include "base/codepage.h"
#include "store/packed_content.h"
#include "store/sqlite_table.h"
#include "store/template_database.h"
#include "store_fixture.h"

namespace nvx {
namespace {

class ArticleFileTest : public test::StoreTest {};

void WriteTemplate(const std::string& path) {
  const auto& t = TemplateDatabase();
  test::WriteFile(path, std::string(t.begin(), t.end()));
}

TEST_F(ArticleFileTest, AddArticleSavesLikeANewlyTitledArticle) {
  WriteTemplate(path);
  ASSERT_EQ(OpenArticleFile(db, path), ArticleFileState::Sound);
  const std::string text = L("第一行") + "\r\n" + L("第二行");
  EXPECT_EQ(AddArticle(db, L("标题"), ToByteArray(text)), 1);
  EXPECT_EQ(AddArticle(db, L("二"), {}), 2);
  EXPECT_EQ(Query("SELECT name || '|' || ksid || '|' || zt || '|' || ztdx || '|' || typeof(ys) || typeof(xg) "
                  "FROM nr WHERE id=1"),
            "标题|0|宋体|14|nullnull");

  SqliteTable table;
  ASSERT_TRUE(table.Open("nr", db));
  ASSERT_TRUE(table.Find("id=1"));
  EXPECT_EQ(ToText(Decompress(table.ReadBytes("nr"))), text);
  EXPECT_EQ(table.ReadInt("ys"), 0) << "shown black";
  EXPECT_EQ(table.ReadInt("xg"), 0) << "no effects";

  // The id of a deleted last article comes back for the next one.
  ASSERT_TRUE(table.Find("id=2"));
  ASSERT_TRUE(table.Delete());
  table.Close();
  EXPECT_EQ(AddArticle(db, L("三"), {}), 2);
}

TEST_F(ArticleFileTest, OpenArticleFileTellsWhatIsWrong) {
  EXPECT_EQ(OpenArticleFile(db, dir.File("missing.nvx")), ArticleFileState::Missing);
  test::WriteFile(path,
                  "plain text, not a database, long enough to hold a header of a hundred bytes .........");
  EXPECT_EQ(OpenArticleFile(db, path), ArticleFileState::NotDatabase);
  test::WriteFile(path, "");
  EXPECT_EQ(OpenArticleFile(db, path), ArticleFileState::NoTable) << "an empty file is an empty database";
  WriteTemplate(path);
  EXPECT_EQ(OpenArticleFile(db, path), ArticleFileState::Sound);
}

TEST_F(ArticleFileTest, CheckFindsEveryProblem) {
  WriteTemplate(path);
  EXPECT_TRUE(CheckArticleFile(path).empty());
  ASSERT_EQ(OpenArticleFile(db, path), ArticleFileState::Sound);
  AddArticle(db, "good", ToByteArray("text"));
  AddArticle(db, "empty", {});
  ASSERT_TRUE(db.Execute("INSERT INTO nr(id,name,nr) VALUES(7,'bad',x'0D0F3E0305000000789C00')"));
  ASSERT_TRUE(db.Execute("INSERT INTO nr(id,name,nr) VALUES(8,'foreign',x'01020304')"));
  ASSERT_TRUE(db.Execute("INSERT INTO nr(id,name) VALUES(9,'never written')"));
  db.Close();
  EXPECT_EQ(CheckArticleFile(path), (std::vector<std::string>{"article 7: content does not unpack",
                                                              "article 8: content is not packed text"}));

  ASSERT_TRUE(db.Open(path));
  ASSERT_TRUE(db.Execute("CREATE TABLE other(x)"));
  ASSERT_TRUE(db.Execute("DROP TABLE nr"));
  ASSERT_TRUE(db.Execute("CREATE TABLE nr(id INTEGER PRIMARY KEY, name TEXT, nr BLOB)"));
  db.Close();
  const auto problems = CheckArticleFile(path);
  ASSERT_EQ(problems.size(), 5u);
  EXPECT_EQ(problems.front(), "table nr has no column ksid");

  EXPECT_EQ(CheckArticleFile(dir.File("missing.nvx")), std::vector<std::string>{"no such file"});
}

TEST_F(ArticleFileTest, CheckReportsADamagedFile) {
  WriteTemplate(path);
  ASSERT_EQ(OpenArticleFile(db, path), ArticleFileState::Sound);
  std::uint32_t seed = 1;
  for (int i = 0; i < 40; ++i) {
    Bytes noise(3000);
    for (auto& b : noise) b = static_cast<std::uint8_t>((seed = seed * 1103515245u + 12345u) >> 16);
    AddArticle(db, "article", noise);
  }
  db.Close();
  std::string bytes = test::ReadFile(path);
  ASSERT_GT(bytes.size(), 8192u);
  for (std::size_t i = 2048 + 20; i < 2048 + 400; ++i) bytes[i] = '\x55';  // scribble over a b-tree page
  test::WriteFile(path, bytes);
  const auto problems = CheckArticleFile(path);
  EXPECT_FALSE(problems.empty());
}

}  // namespace
}  // namespace nvx
