// The "文件" menu: New, Open, Save As, Export and Close, with their dialogs answered by script.
#include <QTest>
#include <filesystem>

#include "app/file_menu.h"
#include "collections.h"
#include "editor_fixture.h"
#include "store/article_schema.h"

namespace nvx::test {
namespace {

class FileMenuTest : public EditorFixture {};

std::string BytesOf(const std::string& path) { return ReadFile(path); }

TEST_F(FileMenuTest, NewWritesTheTemplateBesideTheProgramEveryTime) {
  const std::string newFile = (dir.Path() / "program" / "new.nvx").string();
  WriteFile(newFile, "an old file in the way");
  Choose("新建");
  EXPECT_EQ(BytesOf(newFile).size(), kTemplateDatabaseSize);
  EXPECT_EQ(QueryFile(newFile, "SELECT sql FROM sqlite_master"), schema::kCreateStatement);
  EXPECT_EQ(GetText(kMain, prop::kTitle), L("NVX编辑器 [") + newFile + "]");
  EXPECT_EQ(StatusPart(1), L("0篇"));

  ASSERT_TRUE(AddArticle(State().articleDb, "kept?", ToByteArray("text")).has_value());
  Choose("新建");
  EXPECT_EQ(QueryFile(newFile, "SELECT count(*) FROM nr"), "0") << "the second New starts afresh";
  EXPECT_TRUE(ui->Messages().empty());
}

// Where the program's directory cannot take "new.nvx", New writes it in the user's data directory;
// where neither can, it says so.
TEST_F(FileMenuTest, NewFallsBackToTheDataDirectoryAndReportsWhenItCannotWrite) {
  std::filesystem::create_directories(dir.Path() / "program" / "new.nvx");  // in the way
  Choose("新建");
  const std::string fallback = (dir.Path() / "data" / "new.nvx").string();
  EXPECT_EQ(QueryFile(fallback, "SELECT count(*) FROM nr"), "0");
  EXPECT_EQ(GetText(kMain, prop::kTitle), L("NVX编辑器 [") + fallback + "]");

  std::filesystem::remove(fallback);
  std::filesystem::create_directories(fallback);
  Choose("新建");
  ASSERT_EQ(ui->Messages().size(), 1u);
  EXPECT_EQ(ui->Messages()[0].text, QStringLiteral("文件写入失败,请检查文件是否正常"));
  EXPECT_EQ(ui->Messages()[0].flags, 16);
  EXPECT_EQ(State().articleDb.Handle(), nullptr);
}

TEST_F(FileMenuTest, OpenCancelledOrUnreadableKeepsWhatIsOpen) {
  const std::string path = dir.File("books.nvx");
  MakeCollection(path, {{1, "一", "a"}});
  OpenThroughMenu(path);
  const Text title = GetText(kMain, prop::kTitle);
  ClickRow(0);

  ui->AnswerFile(std::nullopt);
  Choose("打开");
  ui->AnswerFile(QString::fromStdString(dir.File("missing.nvx")));
  Choose("打开");
  ASSERT_EQ(ui->Messages().size(), 1u);
  EXPECT_EQ(ui->Messages()[0].text, QStringLiteral("打开文件失败,请检查文件是否正常!"));
  EXPECT_EQ(ui->Messages()[0].flags, 16);
  EXPECT_EQ(ui->Messages()[0].caption, QStringLiteral("友情提示!"));
  EXPECT_EQ(GetText(kMain, prop::kTitle), title);
  EXPECT_EQ(ListView::ItemCount(kCatalogue), 2);
  EXPECT_EQ(GetText(kContent, prop::rich::kText), "a");
  EXPECT_EQ(State().currentArticleId, 1);
  const auto request = ui->OfKind(ScriptedInteraction::Shown::File).back().file;
  EXPECT_FALSE(request.save);
  EXPECT_EQ(request.filters, QStringList{"sqlite数据库文件(*.nvx)"});
}

// Opening another collection forgets the article loaded from the last one, so nothing stored on
// closing can land in the wrong file.
TEST_F(FileMenuTest, OpeningAnotherCollectionForgetsTheLoadedArticle) {
  const auto [first, second] = OpenFirstOfTwo();
  OpenThroughMenu(second);
  EXPECT_EQ(State().currentArticleId, std::nullopt);
  EXPECT_EQ(State().editMode, app::EditMode::None);
  EXPECT_FALSE(SaveTitleButtonShown());
  Choose("保存文章");
  EXPECT_TRUE(ui->Messages().empty());
  EXPECT_EQ(QueryFile(second, "SELECT name FROM nr"), "别的") << "nothing pending: nothing written";
  WindowWidget(mw::kWindow)->close();
  Settle();
  EXPECT_EQ(QueryFile(second, "SELECT ksid || zt || ztdx || typeof(ys) FROM nr WHERE id=1"), "0宋体14null");
}

TEST_F(FileMenuTest, SaveAsCopiesEveryArticleWithAFreshReadingState) {
  const std::string source = dir.File("source.nvx");
  MakeCollection(source, {{3, "三", "甲乙"}, {7, "七", ""}, {9, "九", "丙\r\n丁"}});
  {
    SqliteDB db;
    ASSERT_TRUE(db.Open(source));
    ASSERT_TRUE(db.Execute("UPDATE nr SET ksid=5, ys=255, xg=1, ztdx=30"));
  }
  OpenThroughMenu(source);
  const std::string copy = dir.File("copy.nvx");
  ui->AnswerFile(QString::fromStdString(copy));
  Choose("另存");
  ASSERT_EQ(ui->Messages().size(), 1u);
  EXPECT_EQ(ui->Messages()[0].text, QStringLiteral("另存成功!"));
  EXPECT_EQ(ui->Messages()[0].flags, 64);
  EXPECT_EQ(
      QueryFile(copy,
                "SELECT group_concat(id || name || ksid || zt || ztdx || typeof(ys) || typeof(xg), ',') "
                "FROM nr"),
      "1三0宋体14nullnull,2七0宋体14nullnull,3九0宋体14nullnull");
  EXPECT_EQ(QueryFile(copy, "SELECT hex(nr) FROM nr WHERE id=3"),
            QueryFile(source, "SELECT hex(nr) FROM nr WHERE id=9"))
      << "the stored bytes, not repacked";
  const auto request = ui->OfKind(ScriptedInteraction::Shown::File).back().file;
  EXPECT_TRUE(request.save);
  EXPECT_EQ(request.filters, QStringList{"Sqlite数据库文件(*.nvx)"});
  EXPECT_EQ(GetText(kMain, prop::kTitle), L("NVX编辑器 [") + source + "]") << "the open file stays open";

  // Onto an existing collection: its articles are replaced by the copies.
  const std::string other = dir.File("other.nvx");
  MakeCollection(other, {{1, "旧", "old"}, {2, "旧2", "old"}, {3, "旧3", "o"}, {4, "旧4", "o"}});
  ui->AnswerFile(QString::fromStdString(other));
  Choose("另存");
  EXPECT_EQ(QueryFile(other, "SELECT group_concat(name, ',') FROM nr"), "三,七,九");
}

// Titles go into the copy exactly as stored: bytes another program wrote in GBK, NULL and a text
// that is UTF-8 alike, into a new file and over an existing one.
TEST_F(FileMenuTest, SaveAsCopiesEveryTitleAsStored) {
  const std::string source = dir.File("source.nvx");
  MakeCollection(source, {{1, "", "甲"}, {2, "", "乙"}, {3, "三", "丙"}});
  {
    SqliteDB db;
    ASSERT_TRUE(db.Open(source));
    ASSERT_TRUE(db.Execute("UPDATE nr SET name=CAST(X'C4E3BAC3' AS TEXT) WHERE id=1"));
    ASSERT_TRUE(db.Execute("UPDATE nr SET name=NULL WHERE id=2"));
  }
  OpenThroughMenu(source);
  const std::string titles = "SELECT group_concat(typeof(name) || ':' || quote(hex(name)), ',') FROM nr";
  const std::string other = dir.File("other.nvx");
  MakeCollection(other, {{1, "旧", "old"}});
  for (const std::string& copy : {dir.File("copy.nvx"), other}) {
    SCOPED_TRACE(copy);
    ui->AnswerFile(QString::fromStdString(copy));
    Choose("另存");
    EXPECT_EQ(ui->Messages().back().text, QStringLiteral("另存成功!"));
    EXPECT_EQ(QueryFile(copy, titles), QueryFile(source, titles));
    EXPECT_EQ(QueryFile(copy, "SELECT group_concat(hex(nr), ',') FROM nr"),
              QueryFile(source, "SELECT group_concat(hex(nr), ',') FROM nr"));
  }
  // The catalogue shows the GBK title as best it can; saving that article leaves it as stored.
  EXPECT_EQ(CatalogueRows().front(), "1|???");
  ClickRow(0);
  Choose("保存文章");
  EXPECT_EQ(QueryFile(source, "SELECT hex(name) FROM nr WHERE id=1"), "C4E3BAC3");
}

TEST_F(FileMenuTest, SaveAsNeverTouchesTheOpenFile) {
  const std::string source = dir.File("source.nvx");
  MakeCollection(source, {{1, "一", "a"}, {2, "二", "b"}});
  OpenThroughMenu(source);
  std::filesystem::create_directories(dir.Path() / "sub");
  std::filesystem::create_symlink(source, dir.Path() / "link.nvx");
  for (const std::string& spelling :
       {source, (dir.Path() / "sub" / ".." / "source.nvx").string(), (dir.Path() / "link.nvx").string()}) {
    ui->AnswerFile(QString::fromStdString(spelling));
    Choose("另存");
  }
  EXPECT_TRUE(ui->Messages().empty()) << "nothing happens, nothing is said";
  EXPECT_EQ(QueryFile(source, "SELECT count(*) FROM nr"), "2");

  // The file New made counts too.
  Choose("新建");
  AddArticle(State().articleDb, "x", ToByteArray("y"));
  ui->AnswerFile(QString::fromStdString((dir.Path() / "program" / "new.nvx").string()));
  Choose("另存");
  EXPECT_TRUE(ui->Messages().empty());
  EXPECT_EQ(QueryFile((dir.Path() / "program" / "new.nvx").string(), "SELECT count(*) FROM nr"), "1");
}

// The file last chosen in the Open dialog is an ordinary target once another one is open.
TEST_F(FileMenuTest, SaveAsOntoTheFileOpenedBeforeNew) {
  const std::string earlier = dir.File("earlier.nvx");
  MakeCollection(earlier, {{1, "旧", "old"}});
  OpenThroughMenu(earlier);
  Choose("新建");
  ASSERT_TRUE(AddArticle(State().articleDb, L("新"), ToByteArray("new")).has_value());
  ui->AnswerFile(QString::fromStdString(earlier));
  Choose("另存");
  ASSERT_EQ(ui->Messages().size(), 1u);
  EXPECT_EQ(ui->Messages()[0].text, QStringLiteral("另存成功!"));
  EXPECT_EQ(QueryFile(earlier, "SELECT group_concat(name, ',') FROM nr"), "新");
}

// A copy that cannot be made leaves the target as it was and says so.
TEST_F(FileMenuTest, SaveAsFailingLeavesTheTargetAsItWas) {
  const std::string source = dir.File("source.nvx");
  MakeCollection(source, {{1, "一", "a"}});
  OpenThroughMenu(source);

  const std::string notDb = dir.File("notes.nvx");
  WriteFile(notDb, std::string(3000, 'q'));
  const std::string noTable = dir.File("other.db");
  {
    SqliteDB db;
    ASSERT_TRUE(db.Open(noTable, true));
    ASSERT_TRUE(db.Execute("CREATE TABLE t(x)"));
  }
  // Another program is in the middle of writing to this one.
  const std::string busy = dir.File("busy.nvx");
  MakeCollection(busy, {{1, "旧", "old"}});
  SqliteDB holder;
  ASSERT_TRUE(holder.Open(busy));
  ASSERT_TRUE(holder.Execute("BEGIN IMMEDIATE"));

  for (const std::string& target : {notDb, noTable, busy, dir.File("no/such/dir/x.nvx")}) {
    SCOPED_TRACE(target);
    const std::string before = BytesOf(target);
    ui->AnswerFile(QString::fromStdString(target));
    Choose("另存");
    ASSERT_FALSE(ui->Messages().empty());
    EXPECT_EQ(ui->Messages().back().text, QStringLiteral("另存失败,请检查文件是否正常"));
    EXPECT_EQ(ui->Messages().back().flags, 16);
    EXPECT_EQ(BytesOf(target), before);
  }
  holder.Execute("ROLLBACK");
  holder.Close();
  EXPECT_EQ(QueryFile(busy, "SELECT name FROM nr"), "旧");
  EXPECT_FALSE(std::filesystem::exists(dir.File("no/such/dir/x.nvx")));
}

TEST_F(FileMenuTest, ExportWritesOneBlockPerArticleAndTellsTheTruth) {
  const std::string source = dir.File("source.nvx");
  MakeCollection(source, {{5, "A", "x"}, {8, "B", "y"}, {13, "标题", "内容\r\n第二行"}});
  OpenThroughMenu(source);
  const std::string out = dir.File("out.txt");
  WriteFile(out, "previous content that must go");
  ui->AnswerFile(QString::fromStdString(out));
  Choose("导出");
  EXPECT_EQ(ui->Messages().back().text, QStringLiteral("导出成功!"));
  EXPECT_EQ(ui->Messages().back().flags, 64);
  const std::string expected =
      "[\xB5\xDA"
      "1\xC6\xAA]A\r\nx\r\n" +
      std::string(1, '\0') +
      "[\xB5\xDA"
      "2\xC6\xAA]B\r\ny\r\n" +
      std::string(1, '\0') + L("[第3篇]标题") + "\r\n" + L("内容") + "\r\n" + L("第二行") + "\r\n" +
      std::string(1, '\0');
  EXPECT_EQ(BytesOf(out), expected) << "numbered by place, not by id";
  EXPECT_EQ(ui->OfKind(ScriptedInteraction::Shown::File).back().file.filters, QStringList{"文本文件(*.txt)"});

  ui->AnswerFile(QString::fromStdString(dir.File("no/such/dir/out.txt")));
  Choose("导出");
  EXPECT_EQ(ui->Messages().back().text, QStringLiteral("文件写入失败,请检查文件是否正常"));
  EXPECT_EQ(ui->Messages().back().flags, 16);

  // The open collection's own file is never emptied to take the export.
  const std::string before = BytesOf(source);
  ui->AnswerFile(QString::fromStdString(source));
  Choose("导出");
  EXPECT_EQ(ui->Messages().back().text, QStringLiteral("文件写入失败,请检查文件是否正常"));
  EXPECT_EQ(BytesOf(source), before);

  ui->AnswerFile(std::nullopt);
  const std::size_t shown = ui->Messages().size();
  Choose("导出");
  EXPECT_EQ(ui->Messages().size(), shown) << "cancelled: nothing said";
}

TEST_F(FileMenuTest, CloseEmptiesEverything) {
  const std::string source = dir.File("source.nvx");
  MakeCollection(source, {{1, "一", "a"}});
  OpenThroughMenu(source);
  ClickRow(0);
  Choose("关闭");
  EXPECT_EQ(GetText(kMain, prop::kTitle), L("nvx编辑器"));
  EXPECT_EQ(ListView::ItemCount(kCatalogue), 0);
  EXPECT_EQ(GetText(kContent, prop::rich::kText), "");
  for (int part : {1, 3, 5, 7}) EXPECT_EQ(StatusPart(part), "") << part;
  for (int part : {0, 2, 4, 6}) EXPECT_NE(StatusPart(part), "") << part;
  EXPECT_EQ(State().articleDb.Handle(), nullptr);
  EXPECT_EQ(State().currentArticleId, std::nullopt);

  // A file named on the command line opens as Open opens it.
  EXPECT_TRUE(app::OpenDatabaseAt(FromUtf8(source).value()));
  EXPECT_EQ(ListView::ItemCount(kCatalogue), 2);
  EXPECT_FALSE(app::OpenDatabaseAt(FromUtf8(dir.File("missing.nvx")).value()));
  EXPECT_EQ(ui->Messages().back().text, QStringLiteral("打开文件失败,请检查文件是否正常!"));
}

}  // namespace
}  // namespace nvx::test
