#include "store/sqlite_table.h"

#include <gtest/gtest.h>

#include "base/codepage.h"
#include "store_fixture.h"

namespace nvx {
namespace {

class SqliteTableTest : public test::StoreTest {};
using Mode = SqliteTable::Mode;

TEST_F(SqliteTableTest, EmptyTableHasNoCurrentRow) {
  MakeArticles({});
  SqliteTable table;
  ASSERT_TRUE(table.Open("nr", db));
  EXPECT_EQ(table.Position(), 0);
  EXPECT_EQ(table.RowCount(), 0);
  EXPECT_EQ(table.ColumnCount(), 8);
  EXPECT_TRUE(table.IsAfterLast());
  EXPECT_FALSE(table.First());
  EXPECT_EQ(table.Position(), 1);
  bool ok = true;
  EXPECT_EQ(table.ReadText("name", &ok), "");
  EXPECT_FALSE(ok);
  EXPECT_EQ(table.ReadInt("ksid"), 0);
  EXPECT_TRUE(table.ReadBytes("nr").empty());
  EXPECT_FALSE(table.Edit());
  EXPECT_FALSE(table.Delete());
}

// The catalogue's loop: Next first, then the reads; its last pass moves past the last row and
// reads empty values.
TEST_F(SqliteTableTest, ListingLoopMakesOneExtraPass) {
  MakeArticles({2, 5, 9});
  SqliteTable table;
  ASSERT_TRUE(table.Open("nr", db));
  std::vector<std::string> seen;
  std::vector<bool> afterLast;
  while (!table.IsAfterLast()) {
    afterLast.push_back(table.IsAfterLast());
    const bool moved = table.Next();
    seen.push_back(std::to_string(moved) + ":" + table.ReadText("id") + ":" + table.ReadText("name") + ":" +
                   std::to_string(table.ReadInt("ksid")));
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"1:2:title2:2", "1:5:title5:5", "1:9:title9:9", "0:::0"}));
  EXPECT_EQ(table.Position(), 4);
  EXPECT_FALSE(table.Next());
  EXPECT_EQ(table.Position(), 4);
  EXPECT_EQ(table.RowIds(), (std::vector<std::int64_t>{2, 5, 9}));
}

TEST_F(SqliteTableTest, FindSearchesFromTheCurrentRowOn) {
  MakeArticles({2, 5, 9});
  SqliteTable table;
  ASSERT_TRUE(table.Open("nr", db));
  RecordStatements();
  EXPECT_TRUE(table.Find("id=5"));
  EXPECT_EQ(statements.back(), "SELECT _ROWID_ FROM nr WHERE (id=5) AND (_ROWID_>=0) ");
  EXPECT_EQ(table.Position(), 2);
  EXPECT_TRUE(table.Find("id=5")) << "the current row itself counts";
  EXPECT_EQ(statements.back(), "SELECT _ROWID_ FROM nr WHERE (id=5) AND (_ROWID_>=5) ");
  EXPECT_EQ(table.Position(), 2);
  EXPECT_FALSE(table.Find("id=2")) << "rows before the current one are not searched";
  EXPECT_FALSE(table.Find("id=7"));
  EXPECT_EQ(table.Position(), 2);
  EXPECT_FALSE(table.Find(""));
  EXPECT_TRUE(table.Find("name='title9'"));
  EXPECT_EQ(table.Position(), 3);
  EXPECT_FALSE(table.Next());
  const std::size_t before = statements.size();
  EXPECT_FALSE(table.Find("id=9")) << "past the last row";
  EXPECT_EQ(statements.size(), before) << "fails without asking SQLite";
  EXPECT_EQ(table.Position(), 4);
}

TEST_F(SqliteTableTest, ReadsResolveColumnsByNameInAnyCaseOrByNumber) {
  MakeArticles({4});
  ASSERT_TRUE(db.Execute("UPDATE nr SET zt='" + L("宋体") + "', ztdx=14 WHERE id=4"));
  SqliteTable table;
  ASSERT_TRUE(table.Open("nr", db));
  ASSERT_TRUE(table.First());
  RecordStatements();
  EXPECT_EQ(table.ReadText("NAME"), "title4");
  EXPECT_EQ(statements.back(), "SELECT name FROM nr WHERE _ROWID_ = 4 ");
  EXPECT_EQ(table.ReadText("Zt"), L("宋体"));
  EXPECT_EQ(table.ReadInt(7), 14) << "column 7 is ztdx";
  EXPECT_EQ(table.ReadInt(7.9), 14) << "a fraction is cut";
  EXPECT_EQ(table.ReadText(2), "title4");

  bool ok = true;
  for (const Column& bad : {Column(0), Column(9), Column(-1), Column("nosuch"), Column("")}) {
    EXPECT_EQ(table.ReadText(bad, &ok), "");
    EXPECT_FALSE(ok);
  }
  // NULL columns read as 0, the empty text and the empty array, and the read still succeeds.
  EXPECT_EQ(table.ReadInt("ys", &ok), 0);
  EXPECT_TRUE(ok);
  EXPECT_EQ(table.ReadText("ys", &ok), "");
  EXPECT_TRUE(ok);
  EXPECT_TRUE(table.ReadBytes("nr", &ok).empty());
  EXPECT_TRUE(ok);
}

TEST_F(SqliteTableTest, InsertBindsInColumnOrderAndStoresEmptyValuesAsEmpty) {
  MakeArticles({1});
  SqliteTable table;
  ASSERT_TRUE(table.Open("nr", db));
  EXPECT_FALSE(table.Update()) << "browsing";
  ASSERT_TRUE(table.AddNew());
  EXPECT_EQ(table.CurrentMode(), Mode::Adding);
  EXPECT_FALSE(table.Update()) << "nothing written";
  EXPECT_TRUE(table.WriteField("ksid", std::int32_t{7}));
  EXPECT_TRUE(table.WriteField("name", Text()));
  EXPECT_TRUE(table.WriteField("nr", Bytes()));
  EXPECT_FALSE(table.WriteField("zt", Value()));
  EXPECT_FALSE(table.WriteField("nosuch", std::int32_t{1}));
  RecordStatements();
  ASSERT_TRUE(table.Update());
  EXPECT_EQ(statements.front(), "INSERT INTO nr(name,nr,ksid) VALUES('',x'',7)");
  EXPECT_EQ(table.CurrentMode(), Mode::Browsing);
  EXPECT_EQ(table.Position(), 0) << "an insert does not move the table";
  EXPECT_EQ(table.RowIds(), (std::vector<std::int64_t>{1, 2}));
  EXPECT_EQ(Query("SELECT typeof(name) || typeof(nr) || typeof(zt) || ksid FROM nr WHERE id=2"),
            "textblobnull7");
  EXPECT_EQ(Query("SELECT length(name) + length(nr) FROM nr WHERE id=2"), "0");
  EXPECT_FALSE(table.WriteField("ksid", std::int32_t{1})) << "a reload drops the pending values";
}

// After an insert the table knows exactly the rows a full reload would find: its own new row in
// row-id order, and rows others committed in the meantime.
TEST_F(SqliteTableTest, RowIdsAfterInsertsMatchAReload) {
  MakeArticles({5, 10});
  SqliteTable table;
  ASSERT_TRUE(table.Open("nr", db));
  ASSERT_TRUE(table.AddNew());
  table.WriteField("id", std::int32_t{7});
  ASSERT_TRUE(table.Update());
  EXPECT_EQ(table.RowIds(), (std::vector<std::int64_t>{5, 7, 10}));
  ASSERT_TRUE(table.AddNew());
  table.WriteField("name", Text("appended"));
  ASSERT_TRUE(table.Update());
  EXPECT_EQ(table.RowIds(), (std::vector<std::int64_t>{5, 7, 10, 11}));

  SqliteDB other;
  ASSERT_TRUE(other.Open(path));
  ASSERT_TRUE(other.Execute("INSERT INTO nr(id) VALUES(20)"));
  ASSERT_TRUE(table.AddNew());
  table.WriteField("name", Text("after theirs"));
  ASSERT_TRUE(table.Update());
  EXPECT_EQ(table.RowIds(), (std::vector<std::int64_t>{5, 7, 10, 11, 20, 21}));

  // Changes made on the same connection outside this table count too.
  ASSERT_TRUE(db.Execute("DELETE FROM nr WHERE id=5"));
  ASSERT_TRUE(table.AddNew());
  table.WriteField("name", Text("x"));
  ASSERT_TRUE(table.Update());
  EXPECT_EQ(table.RowIds(), (std::vector<std::int64_t>{7, 10, 11, 20, 21, 22}));
  EXPECT_FALSE(table.WriteField("name", Text("y"))) << "pending values are gone as after a reload";
}

// A table opened after a rollback on the same connection lists the rows the file holds, however
// the rollback was made: whole, or to a savepoint (for which SQLite calls no rollback hook).
TEST_F(SqliteTableTest, RowIdsFollowEveryKindOfRollback) {
  MakeArticles({1, 2});
  struct Case {
    const char* name;
    const char* begin;
    const char* undo;
    const char* end;  // run after the check
  };
  for (const Case& c :
       {Case{"to a savepoint, then released", "SAVEPOINT a", "ROLLBACK TO a; RELEASE a", ""},
        Case{"to a savepoint still open", "savepoint b", "rollback transaction to savepoint b", "RELEASE b"},
        Case{"to a savepoint inside a transaction", "BEGIN; SAVEPOINT c", "ROLLBACK TO c", "COMMIT"},
        Case{"the whole transaction", "BEGIN", "ROLLBACK", ""}}) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(db.Execute(c.begin));
    SqliteTable table;
    ASSERT_TRUE(table.Open("nr", db));
    ASSERT_TRUE(table.AddNew());
    table.WriteField("name", Text("undone"));
    ASSERT_TRUE(table.Update());
    EXPECT_TRUE(table.Find("id=1"));
    ASSERT_TRUE(table.Delete());
    EXPECT_EQ(table.RowIds(), (std::vector<std::int64_t>{2, 3}));
    ASSERT_TRUE(db.Execute(c.undo));
    ASSERT_TRUE(table.Open("nr", db));
    EXPECT_EQ(table.RowIds(), (std::vector<std::int64_t>{1, 2}));
    if (*c.end != '\0') {
      ASSERT_TRUE(db.Execute(c.end));
    }
    ASSERT_TRUE(table.Open("nr", db));
    EXPECT_EQ(table.RowIds(), (std::vector<std::int64_t>{1, 2}));
  }
}

TEST_F(SqliteTableTest, ValuesAreStoredByTheirType) {
  MakeArticles({});
  SqliteTable table;
  ASSERT_TRUE(table.Open("nr", db));
  ASSERT_TRUE(table.AddNew());
  table.WriteField("ksid", true);
  table.WriteField("ys", std::int64_t{-16777216});
  table.WriteField("ztdx", 12.5);
  table.WriteField("xg", std::uint8_t{3});
  table.WriteField("zt", Text("\xFF\xFF"));  // not valid in the code page: written as NULL
  table.WriteField("name", L("第一章"));
  ASSERT_TRUE(table.Update());
  EXPECT_EQ(Query("SELECT ksid || '|' || ys || '|' || ztdx || '|' || xg || '|' || typeof(zt) FROM nr"),
            "1|-16777216|12.5|3|null");
  EXPECT_EQ(Query("SELECT name FROM nr"), "第一章");
}

TEST_F(SqliteTableTest, EditWritesTheRowCurrentAtUpdate) {
  MakeArticles({1, 2, 3});
  SqliteTable table;
  ASSERT_TRUE(table.Open("nr", db));
  EXPECT_FALSE(table.Edit()) << "no current row";
  ASSERT_TRUE(table.Find("id=1"));
  ASSERT_TRUE(table.WriteField("ksid", std::int32_t{99}));
  ASSERT_TRUE(table.Edit());
  EXPECT_EQ(table.CurrentMode(), Mode::Editing);
  table.WriteField("name", Text("renamed"));
  table.Next();
  RecordStatements();
  ASSERT_TRUE(table.Update());
  EXPECT_EQ(statements.front(), "UPDATE nr SET name='renamed' WHERE _ROWID_=2");
  EXPECT_EQ(Query("SELECT group_concat(name || ksid) FROM nr"), "title11,renamed2,title33")
      << "the value staged before Edit was cleared";
  EXPECT_EQ(table.Position(), 2);
}

// A failed Update keeps its mode and pending values, so the same Update succeeds once the cause
// is gone.
TEST_F(SqliteTableTest, FailedUpdateKeepsItsPendingValues) {
  MakeArticles({1, 2});
  SqliteTable table;
  ASSERT_TRUE(table.Open("nr", db));
  ASSERT_TRUE(table.AddNew());
  table.WriteField("id", std::int32_t{2});
  table.WriteField("name", Text("again"));
  EXPECT_FALSE(table.Update()) << "id 2 exists";
  EXPECT_EQ(table.CurrentMode(), Mode::Adding);
  ASSERT_TRUE(db.Execute("DELETE FROM nr WHERE id=2"));
  EXPECT_TRUE(table.Update());
  EXPECT_EQ(Query("SELECT name FROM nr WHERE id=2"), "again");

  ASSERT_TRUE(table.First());
  ASSERT_TRUE(table.Edit());
  table.WriteField("name", Text("x"));
  table.Next();
  table.Next();
  EXPECT_FALSE(table.Update()) << "past the last row at Update";
  EXPECT_EQ(table.CurrentMode(), Mode::Editing);
}

TEST_F(SqliteTableTest, DeleteReloadsAndGoesBackBeforeTheFirstRow) {
  MakeArticles({1, 2, 3});
  SqliteTable table;
  ASSERT_TRUE(table.Open("nr", db));
  ASSERT_TRUE(table.Find("id=1"));
  ASSERT_TRUE(table.Delete());
  EXPECT_EQ(table.Position(), 0);
  EXPECT_EQ(table.RowCount(), 2);
  ASSERT_TRUE(table.Next());
  EXPECT_EQ(table.ReadText("name"), "title2");
  EXPECT_EQ(table.CurrentMode(), Mode::Browsing);
  EXPECT_FALSE(table.WriteField("name", Text("x")));
}

TEST_F(SqliteTableTest, TablesThatCannotOpenStayClosed) {
  MakeArticles({1});
  SqliteTable table;
  EXPECT_FALSE(table.Open("nosuchtable", db));
  EXPECT_EQ(table.CurrentMode(), Mode::Closed);
  EXPECT_FALSE(table.First());
  EXPECT_TRUE(table.IsAfterLast());
  EXPECT_EQ(table.Position(), 0);
  EXPECT_FALSE(table.Open("", db));
  SqliteDB closed;
  EXPECT_FALSE(table.Open("nr", closed));
  ASSERT_TRUE(table.Open("nr", db));
  EXPECT_TRUE(table.Close());
  EXPECT_EQ(table.CurrentMode(), Mode::Closed);
  EXPECT_FALSE(table.AddNew());
}

}  // namespace
}  // namespace nvx
