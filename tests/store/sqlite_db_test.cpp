#include "store/sqlite_db.h"

#include <gtest/gtest.h>
#include <filesystem>

#include "store/sqlite_table.h"
#include "store_fixture.h"

namespace nvx {
namespace {

class SqliteDbTest : public test::StoreTest {};

TEST_F(SqliteDbTest, OpenNeverCreatesFilesWithoutTheCreateFlag) {
  EXPECT_FALSE(db.Open(dir.File("missing.nvx")));
  EXPECT_FALSE(std::filesystem::exists(dir.File("missing.nvx")));
  for (const char* memory : {"", ":memory:", ":MEMORY:", ":Memory:"}) {
    SCOPED_TRACE(memory);
    EXPECT_FALSE(db.Open(memory));
    EXPECT_TRUE(db.Open(memory, true));
    EXPECT_TRUE(db.Execute("CREATE TABLE t(x)"));
  }
  EXPECT_TRUE(db.Open(dir.File("created.nvx"), true));
  EXPECT_TRUE(db.Close());
  EXPECT_TRUE(db.Close()) << "closing a closed database";
}

TEST_F(SqliteDbTest, FileThatIsNotADatabaseOpensButNoTableDoes) {
  test::WriteFile(path, std::string(3000, 'x'));
  ASSERT_TRUE(db.Open(path));
  SqliteTable table;
  EXPECT_FALSE(table.Open("nr", db));
  EXPECT_FALSE(db.ClearTable("nr"));
  EXPECT_FALSE(db.Compact());
  EXPECT_EQ(test::ReadFile(path), std::string(3000, 'x')) << "nothing written to the foreign file";
}

TEST_F(SqliteDbTest, StatementsRunOrReportFailure) {
  MakeArticles({1, 2, 3});
  EXPECT_FALSE(db.ClearTable(""));
  EXPECT_FALSE(db.ClearTable("nosuchtable"));
  EXPECT_TRUE(db.ClearTable("nr"));
  EXPECT_EQ(Query("SELECT count(*) FROM nr"), "0");
  EXPECT_TRUE(db.Compact());
  EXPECT_FALSE(db.Execute(""));
  db.Close();
  EXPECT_FALSE(db.Compact()) << "no connection";
}

// A file from elsewhere cannot make the connection rewrite the schema by hand.
TEST_F(SqliteDbTest, ConnectionsAreDefensive) {
  MakeArticles({1});
  db.Execute("PRAGMA writable_schema=ON");
  EXPECT_FALSE(db.Execute("DELETE FROM sqlite_master"));
  EXPECT_EQ(Query("SELECT count(*) FROM sqlite_master"), "1");
}

// A table left open when its database closes or opens another file fails instead of using the
// closed connection.
TEST_F(SqliteDbTest, TableOutlivingItsConnectionFailsSafely) {
  MakeArticles({1, 2});
  SqliteTable table;
  ASSERT_TRUE(table.Open("nr", db));
  ASSERT_TRUE(table.First());
  db.Close();
  EXPECT_EQ(table.ReadText("name"), "");
  EXPECT_FALSE(table.Next());
  EXPECT_TRUE(table.IsAfterLast());
  EXPECT_FALSE(table.AddNew());
  ASSERT_TRUE(db.Open(path));
  EXPECT_FALSE(table.Find("id=1"));
  EXPECT_EQ(table.Position(), 0);
}

}  // namespace
}  // namespace nvx
