#include "store/article_records.h"

#include <gtest/gtest.h>

#include "base/codepage.h"
#include "store/statement.h"
#include "store/template_database.h"
#include "store_fixture.h"

namespace nvx {
namespace {

class ArticleRecordsTest : public test::StoreTest {};

TEST_F(ArticleRecordsTest, ArticlesRoundTripByTheirIds) {
  const auto& image = TemplateDatabase();
  test::WriteFile(path, std::string(image.begin(), image.end()));
  ASSERT_TRUE(db.Open(path));
  const auto id = InsertArticle(db, L("标题"), Bytes{1, 2, 3});
  ASSERT_EQ(id, 1);
  EXPECT_EQ(Query("SELECT name || '|' || ksid || '|' || zt || '|' || ztdx || '|' || typeof(ys) || typeof(xg) "
                  "|| typeof(nr) FROM nr"),
            "标题|0|宋体|14|nullnullblob");
  auto loaded = LoadArticle(db, 1);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(loaded->title, L("标题"));
  EXPECT_EQ(loaded->packed, (Bytes{1, 2, 3}));
  EXPECT_EQ(loaded->format.face, L("宋体"));
  EXPECT_EQ(loaded->format.size, 14);
  EXPECT_EQ(loaded->format.color, 0) << "NULL reads as black";

  const StoredFormat format{L("楷体"), 20, -16777216, 3};
  ASSERT_TRUE(SaveArticle(db, 1, L("新标题"), Bytes{}, format));
  ASSERT_TRUE(StoreReadingState(db, 1, 42, StoredFormat{L("黑体"), 9, 255, 16}));
  loaded = LoadArticle(db, 1);
  EXPECT_EQ(loaded->title, L("新标题"));
  EXPECT_TRUE(loaded->packed.empty());
  EXPECT_EQ(Query("SELECT typeof(nr) || length(nr) FROM nr"), "blob0") << "empty, not NULL";
  EXPECT_EQ(loaded->firstLine, 42);
  EXPECT_EQ(loaded->format.face, L("黑体"));
  EXPECT_EQ(loaded->format.size, 9);
  EXPECT_EQ(loaded->format.color, 255);
  EXPECT_EQ(loaded->format.effects, 16);

  EXPECT_FALSE(SaveArticle(db, 2, "x", {}, format)) << "no article 2";
  EXPECT_FALSE(StoreReadingState(db, 2, 0, format));
  EXPECT_FALSE(LoadArticle(db, 2));
  EXPECT_EQ(Query("SELECT count(*) FROM nr"), "1");
  ASSERT_TRUE(db.Execute("CREATE TRIGGER keep BEFORE UPDATE ON nr BEGIN SELECT RAISE(IGNORE); END"));
  EXPECT_FALSE(SaveArticle(db, 1, "ignored", {}, format)) << "a trigger refused the change";
  EXPECT_FALSE(SaveArticleContent(db, 1, {}, format)) << "a trigger refused the change";
  ASSERT_TRUE(db.Execute("DROP TRIGGER keep"));

  EXPECT_TRUE(DeleteArticle(db, 1));
  EXPECT_FALSE(LoadArticle(db, 1));
  EXPECT_EQ(InsertArticle(db, "again", {}), 1) << "the id of a deleted last article comes back";
  ASSERT_TRUE(db.Execute("CREATE TRIGGER keep BEFORE DELETE ON nr BEGIN SELECT RAISE(IGNORE); END"));
  EXPECT_FALSE(DeleteArticle(db, 1)) << "still there";
}

// Saving an article's text and format leaves its stored title as it is, whatever that is.
TEST_F(ArticleRecordsTest, SavingTheContentKeepsTheTitle) {
  MakeArticles({1, 2, 3});
  ASSERT_TRUE(db.Execute("UPDATE nr SET name=NULL WHERE id=1"));
  ASSERT_TRUE(db.Execute("UPDATE nr SET name='' WHERE id=2"));
  const StoredFormat format{L("楷体"), 20, 255, 2};
  for (std::int64_t id : {1, 2, 3}) {
    SCOPED_TRACE(id);
    ASSERT_TRUE(SaveArticleContent(db, id, Bytes{7, 8}, format));
    const auto loaded = LoadArticle(db, id);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->packed, (Bytes{7, 8}));
    EXPECT_EQ(loaded->format.face, L("楷体"));
    EXPECT_EQ(loaded->format.size, 20);
    EXPECT_EQ(loaded->format.color, 255);
    EXPECT_EQ(loaded->format.effects, 2);
  }
  EXPECT_EQ(Query("SELECT group_concat(quote(name), ',') FROM nr"), "NULL,'','title3'");
  EXPECT_FALSE(SaveArticleContent(db, 4, {}, format)) << "no article 4";
}

TEST_F(ArticleRecordsTest, TransactionCommitsOrRollsBack) {
  MakeArticles({1});
  {
    Transaction t(db);
    ASSERT_TRUE(t.Active());
    EXPECT_FALSE(Transaction(db).Active()) << "one at a time";
    ASSERT_TRUE(InsertArticle(db, "dropped", {}));
  }
  EXPECT_EQ(Query("SELECT count(*) FROM nr"), "1");
  {
    Transaction t(db);
    ASSERT_TRUE(InsertArticle(db, "kept", {}));
    EXPECT_TRUE(t.Commit());
    EXPECT_FALSE(t.Active());
  }
  EXPECT_EQ(Query("SELECT group_concat(name) FROM nr"), "title1,kept");

  SqliteDB other;
  ASSERT_TRUE(other.Open(path));
  other.SetBusyTimeout(0);
  Transaction mine(db);
  ASSERT_TRUE(mine.Active());
  Transaction theirs(other);
  EXPECT_FALSE(theirs.Active());
  EXPECT_TRUE(other.Busy());
}

// Save As's copy: every article as a new one, titles and contents as stored (a title that is
// not UTF-8 too); a cancel, also at the last moment, or a trigger that drops a row leaves the
// target as it was.
TEST_F(ArticleRecordsTest, ReplaceArticlesCopiesAllOrNothing) {
  MakeArticles({4, 9});
  ASSERT_TRUE(
      db.Execute("INSERT INTO nr(id,name,nr) VALUES(12,CAST(x'B5DAD2BB' AS TEXT),'text'),(15,NULL,NULL)"));
  const std::string targetPath = path + ".copy";
  const auto& image = TemplateDatabase();
  test::WriteFile(targetPath, std::string(image.begin(), image.end()));
  SqliteDB target;
  ASSERT_TRUE(target.Open(targetPath));
  ASSERT_TRUE(InsertArticle(target, "old", {}));
  auto copied = [&] {
    Statement s =
        Prepare(target.Handle(),
                "SELECT group_concat(id||':'||hex(name)||':'||typeof(nr)||hex(nr)||':'||ksid||zt||ztdx, ',') "
                "FROM nr");
    return s && sqlite3_step(s.get()) == SQLITE_ROW ? ColumnText(s.get(), 0) : std::string("(failed)");
  };
  const std::string before = copied();

  std::vector<std::int64_t> steps;
  auto yes = [](std::int64_t) { return true; };
  auto cancelAt2 = [&](std::int64_t n) {
    steps.push_back(n);
    return n < 2;
  };
  EXPECT_EQ(ReplaceArticles(target, db, cancelAt2, yes), CopyResult::Cancelled);
  EXPECT_EQ(steps, (std::vector<std::int64_t>{1, 2}));
  EXPECT_EQ(copied(), before);
  EXPECT_EQ(ReplaceArticles(target, db, yes, [](std::int64_t n) { return n != 4; }), CopyResult::Cancelled)
      << "at the last chance, after every article";
  EXPECT_EQ(copied(), before);

  ASSERT_TRUE(
      target.Execute("CREATE TRIGGER skip BEFORE INSERT ON nr WHEN new.name = 'title9' BEGIN "
                     "SELECT RAISE(IGNORE); END"));
  EXPECT_EQ(ReplaceArticles(target, db, yes, yes), CopyResult::Failed);
  EXPECT_EQ(copied(), before);
  ASSERT_TRUE(target.Execute("DROP TRIGGER skip"));

  ASSERT_EQ(ReplaceArticles(target, db, yes, yes), CopyResult::Done);
  EXPECT_EQ(copied(),
            "1:7469746C6534:blob:0宋体14,2:7469746C6539:blob:0宋体14,3:B5DAD2BB:blob74657874:0宋体14,"
            "4::blob:0宋体14");
}

}  // namespace
}  // namespace nvx
