#include "store/article_walk.h"

#include <gtest/gtest.h>

#include "base/codepage.h"
#include "store/article_records.h"
#include "store/sqlite_table.h"
#include "store/statement.h"
#include "store_fixture.h"

namespace nvx {
namespace {

class ArticleWalkTest : public test::StoreTest {};

TEST_F(ArticleWalkTest, WalksVisitEveryArticleInIdOrder) {
  MakeArticles({9, 2, 5});
  ASSERT_TRUE(db.Execute("UPDATE nr SET name='" + L("第二章") + "', nr=x'0102' WHERE id=5"));
  ASSERT_TRUE(db.Execute("UPDATE nr SET name=x'C0' WHERE id=9"));  // not UTF-8: shown as best it can
  EXPECT_EQ(Titles(), (std::vector<std::string>{"2:title2", "5:" + L("第二章"), "9:?"}));
  std::vector<std::string> seen;
  EXPECT_EQ(ForEachArticle(db,
                           [&](ArticleRecord&& a) {
                             seen.push_back(std::to_string(a.id) + ":" + a.title + ":" +
                                            std::to_string(a.packed.size()));
                             return a.id < 5;
                           }),
            WalkResult::Stopped);
  EXPECT_EQ(seen, (std::vector<std::string>{"2:title2:0", "5:" + L("第二章") + ":2"}));
  EXPECT_EQ(CountArticles(db), 3);

  // A table without a title column still walks; its titles are empty.
  ASSERT_TRUE(
      db.Execute("CREATE TABLE t(id INTEGER PRIMARY KEY, nr BLOB); INSERT INTO t SELECT id, nr FROM nr; "
                 "DROP TABLE nr; ALTER TABLE t RENAME TO nr"));
  EXPECT_EQ(Titles(), (std::vector<std::string>{"2:", "5:", "9:"}));
  ASSERT_TRUE(db.Execute("DROP TABLE nr"));
  EXPECT_EQ(Titles(), std::vector<std::string>{"(walk did not finish)"});
  EXPECT_FALSE(CountArticles(db));
}

// Statements stay prepared between calls, yet each call sees the file as it is now, and none
// keeps the file locked against other programs in between.
TEST_F(ArticleWalkTest, CachedStatementsFollowChangesByOtherPrograms) {
  MakeArticles({1, 2, 3});
  EXPECT_EQ(Titles().size(), 3u);
  ASSERT_EQ(LoadArticle(db, 2)->title, "title2");
  SqliteTable table;
  ASSERT_TRUE(table.Open("nr", db));
  ASSERT_TRUE(table.FindId(3));

  SqliteDB other;
  ASSERT_TRUE(other.Open(path));
  other.SetBusyTimeout(0);
  ASSERT_TRUE(other.Execute("UPDATE nr SET name='renamed' WHERE id=2")) << "nothing left locked";
  ASSERT_TRUE(other.Execute("DELETE FROM nr WHERE id=3; INSERT INTO nr(id, name) VALUES(7, 'seven')"));
  EXPECT_EQ(LoadArticle(db, 2)->title, "renamed");
  EXPECT_FALSE(LoadArticle(db, 3)) << "deleted by the other program";
  EXPECT_EQ(Titles(), (std::vector<std::string>{"1:title1", "2:renamed", "7:seven"}));
  EXPECT_EQ(table.ReadText("name"), "") << "the row the table stands on is gone";
  EXPECT_FALSE(table.FindId(3));
  EXPECT_FALSE(SaveArticle(db, 3, "x", {}, {})) << "no row to save into";
  ASSERT_TRUE(table.Open("nr", db));
  EXPECT_EQ(table.RowIds(), (std::vector<std::int64_t>{1, 2, 7}));

  // A schema change by the other program: statements are prepared again, and a table that has
  // become a view is no longer walked.
  ASSERT_TRUE(other.Execute("ALTER TABLE nr ADD COLUMN extra"));
  EXPECT_EQ(LoadArticle(db, 7)->title, "seven");
  ASSERT_TRUE(other.Execute("ALTER TABLE nr RENAME TO t; CREATE VIEW nr AS SELECT * FROM t"));
  EXPECT_EQ(Titles(), std::vector<std::string>{"(walk did not finish)"});
  EXPECT_FALSE(LoadArticle(db, 7));
}

// A walk is one read: what it started with, it finishes with, and a writer waits for it.
TEST_F(ArticleWalkTest, WalkIsOneReadOfTheFile) {
  MakeArticles({1, 2, 3});
  SqliteDB other;
  ASSERT_TRUE(other.Open(path));
  other.SetBusyTimeout(0);
  std::vector<std::int64_t> seen;
  ForEachArticle(db, [&](ArticleRecord&& a) {
    if (a.id == 1) {
      EXPECT_FALSE(other.Execute("DELETE FROM nr WHERE id=2"));
    }
    seen.push_back(a.id);
    return true;
  });
  EXPECT_EQ(seen, (std::vector<std::int64_t>{1, 2, 3}));
  EXPECT_TRUE(other.Execute("DELETE FROM nr WHERE id=2")) << "the walk let go of the file";
  EXPECT_EQ(Titles(), (std::vector<std::string>{"1:title1", "3:title3"}));
}

// Opening the table again reads the row ids again only when something may have changed them.
TEST_F(ArticleWalkTest, RowIdsAreReadAgainOnlyAfterAChange) {
  MakeArticles({1, 2, 3});
  const std::string readIds = "SELECT _ROWID_ FROM nr ORDER BY _ROWID_ ";
  auto opensReadingIds = [&] {
    RecordStatements();
    SqliteTable table;
    EXPECT_TRUE(table.Open("nr", db));
    return std::count(statements.begin(), statements.end(), readIds);
  };
  EXPECT_EQ(opensReadingIds(), 1);
  EXPECT_EQ(opensReadingIds(), 0);
  EXPECT_EQ(opensReadingIds(), 0);

  SqliteDB other;
  ASSERT_TRUE(other.Open(path));
  ASSERT_TRUE(other.Execute("INSERT INTO nr(id) VALUES(8)"));
  EXPECT_EQ(opensReadingIds(), 1) << "another program committed";
  ASSERT_TRUE(db.Execute("DELETE FROM nr WHERE id=1"));
  EXPECT_EQ(opensReadingIds(), 1) << "this connection changed a row";
  {
    Transaction t(db);
    ASSERT_TRUE(t.Active());
    SqliteTable table;
    ASSERT_TRUE(table.Open("nr", db));
    table.AddNew();
    table.WriteField("name", Text("undone"));
    ASSERT_TRUE(table.Update());
    EXPECT_EQ(table.RowIds(), (std::vector<std::int64_t>{2, 3, 8, 9}));
  }
  EXPECT_EQ(opensReadingIds(), 1) << "rolled back";
  SqliteTable table;
  ASSERT_TRUE(table.Open("nr", db));
  EXPECT_EQ(table.RowIds(), (std::vector<std::int64_t>{2, 3, 8}));
}

}  // namespace
}  // namespace nvx
