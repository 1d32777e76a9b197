// Files that try to make the store run their SQL, hang it, cost gigabytes or pass for a
// collection; names that SQLite would read as URIs; files locked or damaged by others.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "store/article_file.h"
#include "store/article_records.h"
#include "store/article_walk.h"
#include "store/sqlite_table.h"
#include "store/statement.h"
#include "store/template_database.h"
#include "store_fixture.h"

namespace nvx {
namespace {

class HostileFileTest : public test::StoreTest {};

// A column may take the name of the row id: its text must never reach a statement, and the row
// ids stay the real ones.
TEST_F(HostileFileTest, ColumnNamedLikeTheRowIdIsNeverRunAsSql) {
  ASSERT_TRUE(db.Open(path, true));
  ASSERT_TRUE(
      db.Execute("CREATE TABLE nr(id INTEGER PRIMARY KEY, name TEXT, nr BLOB, _rowid_ TEXT, rowid TEXT, "
                 "\"'injected' AS x, \"\"name\", \"select\")"));
  ASSERT_TRUE(db.Execute(
      "INSERT INTO nr VALUES(1, 'one', NULL, '0 UNION SELECT ''injected''', '0 OR 1=1', 'a', 'b')"));
  ASSERT_TRUE(
      db.Execute("INSERT INTO nr VALUES(2, 'two', NULL, 'WITH RECURSIVE r(x) AS (SELECT 1 UNION ALL "
                 "SELECT x+1 FROM r) SELECT x FROM r', '', 'c', 'd')"));
  db.Close();
  ASSERT_EQ(OpenArticleFile(db, path), ArticleFileState::Sound);

  SqliteTable table;
  ASSERT_TRUE(table.Open("nr", db));
  EXPECT_EQ(table.RowIds(), (std::vector<std::int64_t>{1, 2}));
  std::vector<std::string> names;
  while (table.Next()) names.push_back(table.ReadText("name"));
  EXPECT_EQ(names, (std::vector<std::string>{"one", "two"}));
  // Column names that are SQL, or a keyword, are read and written as names.
  ASSERT_TRUE(table.First());
  EXPECT_EQ(table.ReadText(6), "a");
  EXPECT_EQ(table.ReadText("select"), "b");
  ASSERT_TRUE(table.Edit());
  ASSERT_TRUE(table.WriteField(6, Text("e")));
  ASSERT_TRUE(table.Update());
  EXPECT_EQ(table.ReadText(6), "e");
  ASSERT_TRUE(table.FindId(2));
  ASSERT_TRUE(table.Delete());
  EXPECT_EQ(Query("SELECT group_concat(name) FROM nr"), "one");
  EXPECT_EQ(Titles(), std::vector<std::string>{"1:one"});
  EXPECT_EQ(LoadArticle(db, 1)->title, "one");
}

// Tables that look like nr but cannot be walked by row id are refused with their reason, by the
// file check, by the table cursor and by every article routine.
TEST_F(HostileFileTest, TablesThatAreNotCollectionsAreRefused) {
  struct Row {
    const char* what;
    const char* schema;
    ArticleFileState state;
  };
  const Row rows[] = {
      {"every row id name taken", "CREATE TABLE nr(id INTEGER, name TEXT, nr BLOB, rowid, oid, _ROWID_)",
       ArticleFileState::RowIdHidden},
      {"without rowid", "CREATE TABLE nr(id INTEGER PRIMARY KEY, name TEXT, nr BLOB) WITHOUT ROWID",
       ArticleFileState::RowIdHidden},
      {"view",
       "CREATE TABLE t(id INTEGER PRIMARY KEY, name, nr); INSERT INTO t VALUES(1,'a',NULL); "
       "CREATE VIEW nr AS SELECT * FROM t",
       ArticleFileState::View},
      {"generated content",
       "CREATE TABLE nr(id INTEGER PRIMARY KEY, name TEXT, nr BLOB AS (zeroblob(999000000)))",
       ArticleFileState::GeneratedColumns},
      {"stored generated", "CREATE TABLE nr(id INTEGER PRIMARY KEY, name TEXT, nr BLOB, x AS (id*2) STORED)",
       ArticleFileState::GeneratedColumns},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    std::filesystem::remove(path);
    ASSERT_TRUE(db.Open(path, true));
    ASSERT_TRUE(db.Execute(row.schema));
    db.Execute("INSERT INTO nr(id, name) VALUES(1, 'a')");
    db.Close();
    EXPECT_EQ(OpenArticleFile(db, path), row.state);
    SqliteTable table;
    EXPECT_FALSE(table.Open("nr", db));
    EXPECT_EQ(Titles(), std::vector<std::string>{"(walk did not finish)"});
    EXPECT_FALSE(CountArticles(db));
    EXPECT_FALSE(LoadArticle(db, 1));
    EXPECT_FALSE(InsertArticle(db, "t", {}));
    EXPECT_EQ(CheckArticleFile(path).back(), DescribeState(row.state));
  }
  EXPECT_STREQ(DescribeState(ArticleFileState::RowIdHidden), "not a collection (row id hidden)");
  EXPECT_STREQ(DescribeState(ArticleFileState::View), "not a collection (nr is a view)");
  EXPECT_STREQ(DescribeState(ArticleFileState::GeneratedColumns),
               "not a collection (nr has generated columns)");
}

// A trigger that skips or undoes the insert leaves no article, and the insert says so.
TEST_F(HostileFileTest, InsertsAreConfirmedWhereTheyLand) {
  struct Row {
    const char* what;
    const char* trigger;
  };
  const Row rows[] = {
      {"deleted after insert",
       "CREATE TRIGGER t AFTER INSERT ON nr BEGIN DELETE FROM nr WHERE id=new.id; END"},
      {"skipped before insert", "CREATE TRIGGER t BEFORE INSERT ON nr BEGIN SELECT RAISE(IGNORE); END"},
      // Stopped after a bounded amount of work instead of hanging the save for good.
      {"a never-ending query",
       "CREATE TRIGGER t AFTER INSERT ON nr BEGIN SELECT count(*) FROM (WITH RECURSIVE "
       "c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) SELECT x FROM c); END"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    std::filesystem::remove(path);
    MakeArticles({1});
    ASSERT_TRUE(db.Execute(row.trigger));
    EXPECT_FALSE(InsertArticle(db, "new", {}));
    EXPECT_FALSE(AddArticle(db, "new", ToByteArray("text")));
    SqliteTable table;
    ASSERT_TRUE(table.Open("nr", db));
    table.AddNew();
    table.WriteField("name", Text("new"));
    EXPECT_FALSE(table.Update() && table.InsertedId().has_value()) << "the cursor finds no row added";
    EXPECT_EQ(Query("SELECT count(*) FROM nr"), "1");
    db.Close();
  }
}

// With URI names on, "file:x.nvx" would open x.nvx, and options after "?" would be obeyed.
TEST_F(HostileFileTest, NamesAreFileNamesNeverUris) {
  const auto& image = TemplateDatabase();
  test::WriteFile(dir.File("books.nvx"), std::string(image.begin(), image.end()));
  test::WriteFile(dir.File("file:books.nvx"), "");  // an empty database, without table nr
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir.Path());
  EXPECT_EQ(OpenArticleFile(db, "file:books.nvx"), ArticleFileState::NoTable);
  EXPECT_EQ(OpenArticleFile(db, "file:other.nvx"), ArticleFileState::Missing);
  EXPECT_TRUE(db.Open("file:new.nvx?mode=memory", true));
  EXPECT_TRUE(db.Execute("CREATE TABLE x(y)"));
  db.Close();
  std::filesystem::current_path(cwd);
  EXPECT_TRUE(std::filesystem::exists(dir.File("file:new.nvx?mode=memory")));
  EXPECT_FALSE(std::filesystem::exists(dir.File("new.nvx")));
  EXPECT_EQ(OpenArticleFile(db, "file:" + dir.File("books.nvx")), ArticleFileState::Missing);
}

// A FIFO would block the first read forever; directories and devices are no collections either.
TEST_F(HostileFileTest, OnlyRegularFilesAreOpened) {
  const std::string fifo = dir.File("fifo.nvx");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // Should the check block, a writer frees it after a while so that the test fails instead of hanging.
  std::atomic<bool> finished{false};
  std::thread rescuer([&] {
    for (int i = 0; i < 100 && !finished; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    while (!finished) {
      const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
      if (fd >= 0) ::close(fd);
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  });
  EXPECT_EQ(CheckRegularFile(fifo), ArticleFileState::NotRegularFile);
  EXPECT_EQ(OpenArticleFile(db, fifo), ArticleFileState::NotRegularFile);
  EXPECT_FALSE(db.Open(fifo));
  EXPECT_FALSE(db.Open(fifo, true));
  EXPECT_EQ(CheckArticleFile(fifo), std::vector<std::string>{"not a regular file"});
  finished = true;
  rescuer.join();

  EXPECT_EQ(OpenArticleFile(db, dir.Path().string()), ArticleFileState::NotRegularFile);
  EXPECT_EQ(OpenArticleFile(db, "/dev/null"), ArticleFileState::NotRegularFile);
  EXPECT_STREQ(DescribeState(ArticleFileState::NotRegularFile), "not a regular file");
  MakeArticles({1});
  db.Close();
  std::filesystem::create_symlink(path, dir.File("link.nvx"));
  EXPECT_EQ(OpenArticleFile(db, dir.File("link.nvx")), ArticleFileState::Sound);
}

// Another program writing the file: a short lock is waited out, a long one is reported as busy.
TEST_F(HostileFileTest, BusyFileIsWaitedForThenReported) {
  MakeArticles({1});
  db.Close();
  SqliteDB writer;
  ASSERT_TRUE(writer.Open(path));
  ASSERT_TRUE(writer.Execute("BEGIN EXCLUSIVE; INSERT INTO nr(name) VALUES('theirs')"));

  db.SetBusyTimeout(50);
  EXPECT_EQ(OpenArticleFile(db, path), ArticleFileState::Busy);
  EXPECT_STREQ(DescribeState(ArticleFileState::Busy), "is busy (another program is writing it)");
  ASSERT_TRUE(writer.Execute("COMMIT; BEGIN IMMEDIATE"));  // readers may read, nobody else writes
  ASSERT_EQ(OpenArticleFile(db, path), ArticleFileState::Sound);
  EXPECT_FALSE(InsertArticle(db, "mine", {}));
  EXPECT_TRUE(db.Busy());
  EXPECT_TRUE(LoadArticle(db, 1).has_value());
  EXPECT_FALSE(db.Busy()) << "a read that succeeded clears it";

  db.SetBusyTimeout(SqliteDB::kBusyTimeoutMs);
  std::thread release([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    writer.Execute("COMMIT");
  });
  const auto id = InsertArticle(db, "mine", {});
  release.join();
  EXPECT_EQ(id, 3) << "waited for the other writer";
  EXPECT_FALSE(db.Busy());
}

TEST_F(HostileFileTest, QuickCheckFindsDamageBeforeWriting) {
  MakeArticles({});
  for (int i = 0; i < 40; ++i) ASSERT_TRUE(InsertArticle(db, "article", Bytes(3000, std::uint8_t(i))));
  EXPECT_EQ(QuickCheck(db), ArticleFileState::Sound);
  db.Close();
  std::string bytes = test::ReadFile(path);
  for (std::size_t i = 4096 + 20; i < 4096 + 400; ++i) bytes[i] = '\x55';  // scribble over a b-tree page
  test::WriteFile(path, bytes);
  ASSERT_TRUE(db.Open(path));
  EXPECT_EQ(QuickCheck(db), ArticleFileState::Damaged);
  EXPECT_STREQ(DescribeState(ArticleFileState::Damaged), "damaged (run nvx check)");
}

// No single value may cost more than the limit, however little the file asks for it.
TEST_F(HostileFileTest, OneValueCannotReachGigabytes) {
  MakeArticles({});
  CachedStatement s = db.Prepare("SELECT length(zeroblob(?))");
  ASSERT_TRUE(s);
  s.Bind(1, std::int64_t{SqliteDB::kMaxValueBytes} + 1);
  EXPECT_NE(s.Step(), SQLITE_ROW);
  EXPECT_GE(SqliteDB::kMaxValueBytes, 256 * 1024 * 1024) << "far above any real article";
}

}  // namespace
}  // namespace nvx
