// Adding, retitling, saving, deleting and compacting articles, through the real forms.
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextCursor>
#include <QTreeView>
#include <filesystem>

#include "collections.h"
#include "editor_fixture.h"
#include "forms/handler_refs.h"

namespace nvx::test {
namespace {

namespace tf = forms::title_find;

class EditingTest : public EditorFixture {
 protected:
  QLineEdit* TitleInput() { return Control<QLineEdit>(tf::kWindow, "编辑框1"); }
  void TypeTitle(const char* title) {
    ASSERT_TRUE(IsCreated(tf::kWindow));
    TitleInput()->setText(QString::fromUtf8(title));
    QTest::keyClick(TitleInput(), Qt::Key_Return);
    Settle();
  }
  // Types any text, Chinese included, one key event per character, as an input method delivers it.
  void TypeContent(const char* text) {
    auto* box = Control<QPlainTextEdit>(mw::kWindow, "编辑框1");
    box->setFocus();
    for (QChar c : QString::fromUtf8(text)) {
      QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
      QApplication::sendEvent(box, &press);
    }
  }
  void ClickSaveButton() {
    QTest::mouseClick(Control<QPushButton>(mw::kWindow, "保存按钮"), Qt::LeftButton);
    Settle();
  }
};

TEST_F(EditingTest, EveryMenuItemHasItsHandler) {
  for (int ref = 0; ref < forms::kHandlerCount; ++ref) EXPECT_TRUE(HandlerBound(ref)) << "reference " << ref;
}

TEST_F(EditingTest, AddTitleTypeAndSaveInsertsANewArticle) {
  OpenCollection({{1, "一", "a"}, {2, "二", "b"}});
  ClickRow(0);
  Choose("添加标题");
  EXPECT_EQ(State().editMode, app::EditMode::Adding);
  EXPECT_EQ(GetText(kContent, prop::rich::kText), "") << "emptied at once, nothing saved first";
  // The title input: inside the main window over the catalogue, pre-filled with the selected title.
  EXPECT_EQ(GetText({tf::kWindow, tf::kSelf}, prop::kTitle), L("标题"));
  EXPECT_EQ(GetText({tf::kWindow, tf::kPromptLabel}, prop::label::kCaption), L("输入标题"));
  EXPECT_FALSE(Control<QPushButton>(tf::kWindow, "按钮2")->isVisible());
  EXPECT_EQ(Control<QPushButton>(tf::kWindow, "按钮1")->text(), QStringLiteral("确定"));
  EXPECT_EQ(TitleInput()->text(), QStringLiteral("一"));
  EXPECT_EQ(GetInt({tf::kWindow, tf::kSelf}, prop::kLeft), GetInt(kCatalogue, prop::kLeft));
  EXPECT_EQ(QApplication::focusWidget(), TitleInput());

  TypeTitle("新的一章");
  EXPECT_FALSE(IsCreated(tf::kWindow));
  EXPECT_TRUE(SaveTitleButtonShown());
  EXPECT_EQ(State().currentTitle, L("新的一章"));
  TypeContent("正文");
  ClickSaveButton();
  EXPECT_FALSE(SaveTitleButtonShown());
  EXPECT_EQ(State().editMode, app::EditMode::None);
  EXPECT_EQ(QueryFile(path,
                      "SELECT id || name || ksid || zt || ztdx || typeof(ys) || typeof(xg) FROM nr "
                      "ORDER BY id DESC LIMIT 1"),
            "3新的一章0宋体14nullnull");
  EXPECT_EQ(CatalogueRows(), (std::vector<std::string>{"1|一", "2|二", "3|新的一章", "0|"}));
  EXPECT_EQ(GetInt(kCatalogue, prop::list::kCurrentRow), -1);
  EXPECT_EQ(GetText(kContent, prop::rich::kText), L("正文")) << "the box keeps its text";
  ClickRow(2);
  EXPECT_EQ(View().currentFormat.color, 0) << "a new article shows black";
  EXPECT_EQ(View().currentFormat.size, 14);
}

TEST_F(EditingTest, AcceptingAnEmptyTitleKeepsTheOldOne) {
  OpenCollection({{1, "一", "a"}});
  ClickRow(0);
  Choose("添加标题");
  TypeTitle("");
  EXPECT_FALSE(SaveTitleButtonShown());
  EXPECT_EQ(State().currentTitle, L("一"));
  Choose("保存文章");
  EXPECT_EQ(QueryFile(path, "SELECT group_concat(name, ',') FROM nr"), "一,一")
      << "saved under the old title";

  // With no title at all, nothing is inserted.
  Choose("关闭");
  OpenThroughMenu(path);
  State().currentTitle.clear();
  Choose("添加标题");
  TypeTitle("");
  Choose("保存文章");
  EXPECT_EQ(QueryFile(path, "SELECT count(*) FROM nr"), "2");
}

// The title shown in the input and the article renamed are one article, however the row was
// reached: a keyboard move or a right click loads the pointed article first, as a click does.
TEST_F(EditingTest, ModifyTitleRenamesTheArticleWhoseTitleItShows) {
  OpenCollection({{1, "一", "a"}, {2, "二", "b"}, {3, "三", "c"}});
  Choose("修改标题");
  EXPECT_FALSE(IsCreated(tf::kWindow)) << "no row selected: nothing";

  ClickRow(0);
  // Move the selection with the keyboard: that loads nothing by itself.
  auto* tree = Control<QTreeView>(mw::kWindow, "超级列表框1");
  tree->setFocus();
  QTest::keyClick(tree, Qt::Key_Down);
  EXPECT_EQ(GetInt(kCatalogue, prop::list::kCurrentRow), 1);
  EXPECT_EQ(GetText(kContent, prop::rich::kText), "a");
  Choose("修改标题");
  EXPECT_EQ(TitleInput()->text(), QStringLiteral("二")) << "the selected row's title";
  EXPECT_EQ(GetText(kContent, prop::rich::kText), "b") << "loaded first";
  TypeTitle("改二");
  ClickSaveButton();
  EXPECT_EQ(QueryFile(path, "SELECT group_concat(name, ',') FROM nr"), "一,改二,三");

  // From the catalogue's pop-up, on a row other than the one shown.
  ClickRow(0);
  ui->AnswerPopup({QStringLiteral("修改标题")});
  QTest::mousePress(tree->viewport(), Qt::RightButton, Qt::NoModifier,
                    tree->visualRect(tree->model()->index(2, 0)).center());
  Settle();
  EXPECT_EQ(TitleInput()->text(), QStringLiteral("三"));
  TypeTitle("改三");
  ClickSaveButton();
  EXPECT_EQ(QueryFile(path, "SELECT group_concat(name, ',') FROM nr"), "一,改二,改三");
  ClickRow(2);
  EXPECT_EQ(GetText(kContent, prop::rich::kText), "c") << "the text renamed with it is its own";

  // The article shown keeps what was typed into it.
  TypeContent("新");
  Choose("修改标题");
  TypeTitle("又改");
  ClickSaveButton();
  ClickRow(2);
  EXPECT_EQ(GetText(kContent, prop::rich::kText), L("新c"));

  // The trailing blank row: the input is empty and the save finds no row.
  ClickRow(3);
  Choose("修改标题");
  EXPECT_EQ(TitleInput()->text(), QString());
  TypeTitle("无处");
  ClickSaveButton();
  EXPECT_TRUE(ui->Messages().empty());
  EXPECT_EQ(QueryFile(path, "SELECT group_concat(name, ',') FROM nr"), "一,改二,又改");
}

// The input offers the title the state holds, not the row's text: a title stored in bytes that
// are not UTF-8 (another program's) shows as best it can in the row, and renaming it to what the
// input offers leaves those bytes as stored; a title accepted but not saved yet is offered again.
TEST_F(EditingTest, ModifyTitleOffersTheTitleASaveWrites) {
  path = dir.File("books.nvx");
  MakeCollection(path, {{1, "一", "a"}, {2, "二", "b"}});
  {
    SqliteDB db;
    ASSERT_TRUE(db.Open(path));
    ASSERT_TRUE(db.Execute("UPDATE nr SET name=CAST(x'B5DAD2BB' AS TEXT) WHERE id=2"));
  }
  OpenThroughMenu(path);
  ClickRow(1);
  Choose("修改标题");
  EXPECT_EQ(TitleInput()->text(), QString());
  QTest::keyClick(TitleInput(), Qt::Key_Return);
  Choose("保存文章");
  EXPECT_EQ(QueryFile(path, "SELECT hex(name) FROM nr WHERE id=2"), "B5DAD2BB");

  ClickRow(0);
  Choose("修改标题");
  TypeTitle("改一");
  Choose("修改标题");
  EXPECT_EQ(TitleInput()->text(), QStringLiteral("改一"));
  QTest::keyClick(TitleInput(), Qt::Key_Return);
  ClickSaveButton();
  EXPECT_EQ(QueryFile(path, "SELECT name FROM nr WHERE id=1"), "改一");
}

TEST_F(EditingTest, TwoSavesInARowWriteOnce) {
  OpenCollection({{1, "一", "a"}});
  ClickRow(0);
  TypeContent("x");
  QTest::keyClick(Control<QPlainTextEdit>(mw::kWindow, "编辑框1"), Qt::Key_S, Qt::ControlModifier);
  Settle();
  EXPECT_EQ(State().editMode, app::EditMode::None);
  const std::string after = QueryFile(path, "SELECT hex(nr) FROM nr");
  TypeContent("y");
  Choose("保存文章");
  EXPECT_EQ(QueryFile(path, "SELECT hex(nr) FROM nr"), after);

  // Ctrl+S works only with an article loaded (mode 2).
  Choose("添加标题");
  TypeTitle("新");
  TypeContent("z");
  QTest::keyClick(Control<QPlainTextEdit>(mw::kWindow, "编辑框1"), Qt::Key_S, Qt::ControlModifier);
  Settle();
  EXPECT_EQ(QueryFile(path, "SELECT count(*) FROM nr"), "1");
  EXPECT_TRUE(SaveTitleButtonShown());
}

TEST_F(EditingTest, DeleteRemovesTheLoadedArticleAndItsIdComesBack) {
  OpenCollection({{1, "一", "a"}, {2, "二", "b"}, {3, "三", "c"}});
  Choose("删除文章");
  EXPECT_EQ(QueryFile(path, "SELECT count(*) FROM nr"), "3") << "no row selected: nothing";
  ClickRow(2);
  Choose("删除文章");
  EXPECT_EQ(CatalogueRows(), (std::vector<std::string>{"1|一", "2|二", "0|"}));
  EXPECT_EQ(GetInt(kCatalogue, prop::list::kCurrentRow), -1);
  EXPECT_EQ(GetText(kContent, prop::rich::kText), "");
  Choose("添加标题");
  TypeTitle("又三");
  ClickSaveButton();
  EXPECT_EQ(QueryFile(path, "SELECT id FROM nr WHERE name='又三'"), "3");
}

TEST_F(EditingTest, ShrinkCompactsAndNeedsNoCollection) {
  Choose("收缩数据库");
  EXPECT_TRUE(ui->Messages().empty()) << "nothing open: nothing visible";
  std::vector<Article> many;
  std::string text(4000, 'x');
  for (int i = 1; i <= 60; ++i) many.push_back({i, "t" + std::to_string(i), text + std::to_string(i)});
  OpenCollection(many);
  {
    SqliteDB db;
    ASSERT_TRUE(db.Open(path));
    ASSERT_TRUE(db.Execute("DELETE FROM nr WHERE id > 5"));
  }
  const auto before = std::filesystem::file_size(path);
  Choose("收缩数据库");
  EXPECT_LT(std::filesystem::file_size(path), before);
  EXPECT_EQ(QueryFile(path, "SELECT count(*) FROM nr"), "5");
  EXPECT_TRUE(ui->Messages().empty());
}

// A save the file refuses is said, and nothing typed is lost; saving again once the file is free
// writes it.
TEST_F(EditingTest, SaveThatCannotBeWrittenIsSaid) {
  OpenCollection({{1, "一", "a"}});
  ClickRow(0);
  TypeContent("要保留的");
  SqliteDB other;
  ASSERT_TRUE(other.Open(path));
  ASSERT_TRUE(other.Execute("BEGIN EXCLUSIVE"));
  Choose("保存文章");
  ASSERT_EQ(ui->Messages().size(), 1u);
  EXPECT_EQ(ui->Messages()[0].text, QStringLiteral("保存失败,请检查文件是否正常"));
  EXPECT_EQ(ui->Messages()[0].flags, 16);
  EXPECT_EQ(ui->Messages()[0].caption, QStringLiteral("友情提示!"));
  EXPECT_EQ(GetText(kContent, prop::rich::kText), L("要保留的a"));
  EXPECT_EQ(State().editMode, app::EditMode::Loaded);
  other.Execute("ROLLBACK");
  other.Close();
  Choose("保存文章");
  EXPECT_EQ(ui->Messages().size(), 1u);
  ClickRow(0);
  EXPECT_EQ(GetText(kContent, prop::rich::kText), L("要保留的a"));

  // No collection open: a new article cannot be saved, and that is said too.
  Choose("关闭");
  Choose("添加标题");
  TypeTitle("无处可存");
  TypeContent("文字");
  ClickSaveButton();
  EXPECT_EQ(ui->Messages().back().text, QStringLiteral("保存失败,请检查文件是否正常"));
  EXPECT_EQ(GetText(kContent, prop::rich::kText), L("文字"));
  EXPECT_TRUE(SaveTitleButtonShown()) << "the save can be tried again";
}

// An article being added belongs to whichever collection is open when it is saved: opening
// another one on the way keeps it, whether its title was accepted before or after.
TEST_F(EditingTest, ANewArticleSurvivesOpeningAnotherCollection) {
  const auto [first, second] = OpenFirstOfTwo();
  Choose("添加标题");
  OpenThroughMenu(second);
  TypeTitle("新篇");
  TypeContent("正文");
  ClickSaveButton();
  EXPECT_TRUE(ui->Messages().empty());
  EXPECT_EQ(QueryFile(second, "SELECT group_concat(name, ',') FROM nr"), "别的,新篇");

  Choose("添加标题");
  TypeTitle("早定");
  OpenThroughMenu(first);
  EXPECT_TRUE(SaveTitleButtonShown());
  TypeContent("后写");
  ClickSaveButton();
  EXPECT_EQ(QueryFile(first, "SELECT group_concat(name, ',') FROM nr"), "一,早定");
  EXPECT_EQ(QueryFile(second, "SELECT count(*) FROM nr"), "2");

  // A retitle pending on the old collection is dropped with it.
  ClickRow(0);
  Choose("修改标题");
  TypeTitle("改名");
  OpenThroughMenu(second);
  EXPECT_FALSE(SaveTitleButtonShown());
  Choose("保存文章");
  EXPECT_EQ(QueryFile(first, "SELECT group_concat(name, ',') FROM nr"), "一,早定");
  EXPECT_EQ(QueryFile(second, "SELECT group_concat(name, ',') FROM nr"), "别的,新篇");
}

// What was typed into a new article stays in the box, in its format, when another collection is
// opened, and is what the save stores there.
TEST_F(EditingTest, TheTypedTextOfANewArticleSurvivesOpeningAnotherCollection) {
  const auto [first, second] = OpenFirstOfTwo();
  Choose("添加标题");
  TypeTitle("带走");
  TypeContent("写好的");
  Choose("字体放大");
  OpenThroughMenu(second);
  auto* box = Control<QPlainTextEdit>(mw::kWindow, "编辑框1");
  EXPECT_EQ(box->toPlainText(), QStringLiteral("写好的"));
  EXPECT_EQ(box->font().pointSize(), 24);
  ClickSaveButton();
  EXPECT_TRUE(ui->Messages().empty());
  ASSERT_EQ(CatalogueRows(), (std::vector<std::string>{"1|别的", "2|带走", "0|"}));
  ClickRow(1);
  EXPECT_EQ(GetText(kContent, prop::rich::kText), L("写好的")) << "read back from the file";
}

// Delete takes the article of the selected row, the one the user points at, not the one shown.
TEST_F(EditingTest, DeleteTakesThePointedArticle) {
  OpenCollection({{1, "一", "a"}, {2, "二", "b"}, {3, "三", "c"}});
  ClickRow(0);
  auto* tree = Control<QTreeView>(mw::kWindow, "超级列表框1");
  tree->setFocus();
  QTest::keyClick(tree, Qt::Key_Down);
  QTest::keyClick(tree, Qt::Key_Down);
  Choose("删除文章");
  EXPECT_EQ(CatalogueRows(), (std::vector<std::string>{"1|一", "2|二", "0|"}));
  EXPECT_EQ(GetText(kContent, prop::rich::kText), "a") << "the article shown stays";
  EXPECT_TRUE(ui->Messages().empty()) << "deleting asks nothing";

  // Deleting the article shown empties the box.
  ClickRow(1);
  Choose("删除文章");
  EXPECT_EQ(CatalogueRows(), (std::vector<std::string>{"1|一", "0|"}));
  EXPECT_EQ(GetText(kContent, prop::rich::kText), "");
}

// A right click selects the row under the mouse before the pop-up shows, so 删除文章 chosen
// there deletes the article the user pointed at, not the one read before.
TEST_F(EditingTest, DeleteFromThePopupTakesTheRowRightClicked) {
  OpenCollection({{1, "一", "a"}, {2, "二", "b"}, {3, "三", "c"}});
  ClickRow(0);
  auto* tree = Control<QTreeView>(mw::kWindow, "超级列表框1");
  ui->AnswerPopup({QStringLiteral("删除文章")});
  QTest::mousePress(tree->viewport(), Qt::RightButton, Qt::NoModifier,
                    tree->visualRect(tree->model()->index(2, 0)).center());
  Settle();
  EXPECT_EQ(CatalogueRows(), (std::vector<std::string>{"1|一", "2|二", "0|"}));
  EXPECT_EQ(GetText(kContent, prop::rich::kText), "a") << "the article shown stays";
  EXPECT_TRUE(ui->problems.empty());
}

// Other programs write rows with an empty title: such an article saves under its stored title.
// A new article with no title at all is not dropped in silence.
TEST_F(EditingTest, SavesThatLackATitle) {
  OpenCollection({{1, "", "旧文"}, {2, "二", "b"}});
  {
    SqliteDB db;
    ASSERT_TRUE(db.Open(path));
    ASSERT_TRUE(db.Execute("INSERT INTO nr(id, name, nr) SELECT 3, NULL, nr FROM nr WHERE id=1"));
  }
  OpenThroughMenu(path);
  for (int row : {0, 2}) {
    SCOPED_TRACE(row);
    ClickRow(row);
    TypeContent("新");
    Choose("保存文章");
    ClickRow(row);
    EXPECT_EQ(GetText(kContent, prop::rich::kText), L("新旧文"));
  }
  EXPECT_EQ(QueryFile(path, "SELECT group_concat(quote(name), ',') FROM nr"), "'','二',NULL")
      << "titles as stored";
  EXPECT_TRUE(ui->Messages().empty());

  Choose("关闭");
  OpenThroughMenu(path);
  Choose("添加标题");
  TypeTitle("");
  TypeContent("别丢");
  Choose("保存文章");
  ASSERT_EQ(ui->Messages().size(), 1u);
  EXPECT_EQ(ui->Messages()[0].text, QStringLiteral("请先输入文章标题"));
  EXPECT_EQ(ui->Messages()[0].flags, 64);
  EXPECT_EQ(GetText(kContent, prop::rich::kText), L("别丢"));
  EXPECT_EQ(State().editMode, app::EditMode::Adding);
  EXPECT_EQ(QueryFile(path, "SELECT count(*) FROM nr"), "3");
  Choose("添加标题");
  TypeTitle("有了");
  TypeContent("x");
  ClickSaveButton();
  EXPECT_EQ(QueryFile(path, "SELECT name FROM nr WHERE id=4"), "有了");
}

TEST_F(EditingTest, SavedTextKeepsWhatTheCodePageCannotHold) {
  OpenCollection({{1, "一", "正文"}});
  ClickRow(0);
  auto* box = Control<QPlainTextEdit>(mw::kWindow, "编辑框1");
  box->moveCursor(QTextCursor::End);
  box->insertPlainText(QString(QChar(0xE78D)) + QChar(0x00A0) + QStringLiteral("尾"));
  Choose("保存文章");
  EXPECT_EQ(QueryFile(path, "SELECT length(nr) > 8 FROM nr"), "1");
  ClickRow(0);
  EXPECT_EQ(box->toPlainText().left(3), QStringLiteral("正文?"));
  EXPECT_EQ(box->document()->toRawText().mid(3, 2), QString(QChar(0x00A0)) + QStringLiteral("尾"))
      << "a no-break space stays one";
}

}  // namespace
}  // namespace nvx::test
