// Adding, retitling, saving, deleting and compacting articles, through the real forms.
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QTest>
#include <filesystem>
#include <QTreeWidget>

#include "collections.h"
#include "editor_fixture.h"
#include "forms/handler_refs.h"

namespace nvx::test {
namespace {

namespace tf = forms::title_find;

class EditingTest : public EditorFixture {
 protected:
  QLineEdit* titleInput() { return control<QLineEdit>(tf::kWindow, "编辑框1"); }
  void typeTitle(const char* title) {
    ASSERT_TRUE(IsCreated(tf::kWindow));
    titleInput()->setText(QString::fromUtf8(title));
    QTest::keyClick(titleInput(), Qt::Key_Return);
    settle();
  }
  // Types any text, Chinese included, one key event per character, as an input method delivers it.
  void typeContent(const char* text) {
    auto* box = control<QPlainTextEdit>(mw::kWindow, "编辑框1");
    box->setFocus();
    for (QChar c : QString::fromUtf8(text)) {
      QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
      QApplication::sendEvent(box, &press);
    }
  }
  void clickSaveButton() {
    QTest::mouseClick(control<QPushButton>(mw::kWindow, "保存按钮"), Qt::LeftButton);
    settle();
  }
};

TEST_F(EditingTest, EveryMenuItemHasItsHandler) {
  for (int ref = 0; ref < forms::kHandlerCount; ++ref) EXPECT_TRUE(HandlerBound(ref)) << "reference " << ref;
}

TEST_F(EditingTest, AddTitleTypeAndSaveInsertsANewArticle) {
  openCollection({{1, "一", "a"}, {2, "二", "b"}});
  clickRow(0);
  choose("添加标题");
  EXPECT_EQ(state().editMode, app::EditMode::Adding);
  EXPECT_EQ(GetText(kContent, prop::rich::kText), "") << "emptied at once, nothing saved first";
  // The title input: inside the main window over the catalogue, pre-filled with the selected title.
  EXPECT_EQ(GetText({tf::kWindow, tf::kSelf}, prop::kTitle), L("标题"));
  EXPECT_EQ(GetText({tf::kWindow, tf::kPromptLabel}, prop::label::kCaption), L("输入标题"));
  EXPECT_FALSE(control<QPushButton>(tf::kWindow, "按钮2")->isVisible());
  EXPECT_EQ(control<QPushButton>(tf::kWindow, "按钮1")->text(), QStringLiteral("确定"));
  EXPECT_EQ(titleInput()->text(), QStringLiteral("一"));
  EXPECT_EQ(GetInt({tf::kWindow, tf::kSelf}, 0), GetInt(kCatalogue, 0));
  EXPECT_EQ(QApplication::focusWidget(), titleInput());

  typeTitle("新的一章");
  EXPECT_FALSE(IsCreated(tf::kWindow));
  EXPECT_TRUE(saveTitleButtonShown());
  EXPECT_EQ(state().currentTitle, L("新的一章"));
  typeContent("正文");
  clickSaveButton();
  EXPECT_FALSE(saveTitleButtonShown());
  EXPECT_EQ(state().editMode, app::EditMode::None);
  EXPECT_EQ(queryFile(path, "SELECT id || name || ksid || zt || ztdx || typeof(ys) || typeof(xg) FROM nr "
                            "ORDER BY id DESC LIMIT 1"),
            "3新的一章0宋体14nullnull");
  EXPECT_EQ(catalogueRows(), (std::vector<std::string>{"1|一", "2|二", "3|新的一章", "0|"}));
  EXPECT_EQ(GetInt(kCatalogue, prop::list::kCurrentRow), -1);
  EXPECT_EQ(GetText(kContent, prop::rich::kText), L("正文")) << "the box keeps its text";
  clickRow(2);
  EXPECT_EQ(view().currentFormat.color, 0) << "a new article shows black";
  EXPECT_EQ(view().currentFormat.size, 14);
}

TEST_F(EditingTest, AcceptingAnEmptyTitleKeepsTheOldOne) {
  openCollection({{1, "一", "a"}});
  clickRow(0);
  choose("添加标题");
  typeTitle("");
  EXPECT_FALSE(saveTitleButtonShown());
  EXPECT_EQ(state().currentTitle, L("一"));
  choose("保存文章");
  EXPECT_EQ(queryFile(path, "SELECT group_concat(name, ',') FROM nr"), "一,一") << "saved under the old title";

  // With no title at all, nothing is inserted.
  choose("关闭");
  openThroughMenu(path);
  state().currentTitle.clear();
  choose("添加标题");
  typeTitle("");
  choose("保存文章");
  EXPECT_EQ(queryFile(path, "SELECT count(*) FROM nr"), "2");
}

TEST_F(EditingTest, ModifyTitleRenamesTheArticleLastLoaded) {
  openCollection({{1, "一", "a"}, {2, "二", "b"}});
  choose("修改标题");
  EXPECT_FALSE(IsCreated(tf::kWindow)) << "no row selected: nothing";

  clickRow(0);
  // Move the selection with the keyboard: that loads nothing.
  auto* tree = control<QTreeWidget>(mw::kWindow, "超级列表框1");
  tree->setFocus();
  QTest::keyClick(tree, Qt::Key_Down);
  EXPECT_EQ(GetInt(kCatalogue, prop::list::kCurrentRow), 1);
  choose("修改标题");
  EXPECT_EQ(titleInput()->text(), QStringLiteral("二")) << "the selected row's title";
  typeTitle("改名");
  clickSaveButton();
  EXPECT_EQ(queryFile(path, "SELECT group_concat(name, ',') FROM nr"), "改名,二") << "the article last loaded";

  // The trailing blank row: the input is empty and the save finds no row.
  clickRow(2);
  choose("修改标题");
  EXPECT_EQ(titleInput()->text(), QString());
  typeTitle("无处");
  clickSaveButton();
  EXPECT_TRUE(ui->messages().empty());
  EXPECT_EQ(queryFile(path, "SELECT group_concat(name, ',') FROM nr"), "改名,二");
}

TEST_F(EditingTest, TwoSavesInARowWriteOnce) {
  openCollection({{1, "一", "a"}});
  clickRow(0);
  typeContent("x");
  QTest::keyClick(control<QPlainTextEdit>(mw::kWindow, "编辑框1"), Qt::Key_S, Qt::ControlModifier);
  settle();
  EXPECT_EQ(state().editMode, app::EditMode::None);
  const std::string after = queryFile(path, "SELECT hex(nr) FROM nr");
  typeContent("y");
  choose("保存文章");
  EXPECT_EQ(queryFile(path, "SELECT hex(nr) FROM nr"), after);

  // Ctrl+S works only with an article loaded (mode 2).
  choose("添加标题");
  typeTitle("新");
  typeContent("z");
  QTest::keyClick(control<QPlainTextEdit>(mw::kWindow, "编辑框1"), Qt::Key_S, Qt::ControlModifier);
  settle();
  EXPECT_EQ(queryFile(path, "SELECT count(*) FROM nr"), "1");
  EXPECT_TRUE(saveTitleButtonShown());
}

TEST_F(EditingTest, DeleteRemovesTheLoadedArticleAndItsIdComesBack) {
  openCollection({{1, "一", "a"}, {2, "二", "b"}, {3, "三", "c"}});
  choose("删除文章");
  EXPECT_EQ(queryFile(path, "SELECT count(*) FROM nr"), "3") << "no row selected: nothing";
  clickRow(2);
  choose("删除文章");
  EXPECT_EQ(catalogueRows(), (std::vector<std::string>{"1|一", "2|二", "0|"}));
  EXPECT_EQ(GetInt(kCatalogue, prop::list::kCurrentRow), -1);
  EXPECT_EQ(GetText(kContent, prop::rich::kText), "");
  choose("添加标题");
  typeTitle("又三");
  clickSaveButton();
  EXPECT_EQ(queryFile(path, "SELECT id FROM nr WHERE name='又三'"), "3");
}

TEST_F(EditingTest, ShrinkCompactsAndNeedsNoCollection) {
  choose("收缩数据库");
  EXPECT_TRUE(ui->messages().empty()) << "nothing open: nothing visible";
  std::vector<Article> many;
  std::string text(4000, 'x');
  for (int i = 1; i <= 60; ++i) many.push_back({i, "t" + std::to_string(i), text + std::to_string(i)});
  openCollection(many);
  {
    SqliteDB db;
    ASSERT_TRUE(db.Open(path));
    ASSERT_TRUE(db.Execute("DELETE FROM nr WHERE id > 5"));
  }
  const auto before = std::filesystem::file_size(path);
  choose("收缩数据库");
  EXPECT_LT(std::filesystem::file_size(path), before);
  EXPECT_EQ(queryFile(path, "SELECT count(*) FROM nr"), "5");
  EXPECT_TRUE(ui->messages().empty());
}

// A save the file refuses is said, and nothing typed is lost; saving again once the file is free
// writes it.
TEST_F(EditingTest, SaveThatCannotBeWrittenIsSaid) {
  openCollection({{1, "一", "a"}});
  clickRow(0);
  typeContent("要保留的");
  SqliteDB other;
  ASSERT_TRUE(other.Open(path));
  ASSERT_TRUE(other.Execute("BEGIN EXCLUSIVE"));
  choose("保存文章");
  ASSERT_EQ(ui->messages().size(), 1u);
  EXPECT_EQ(ui->messages()[0].text, QStringLiteral("保存失败,请检查文件是否正常"));
  EXPECT_EQ(ui->messages()[0].flags, 16);
  EXPECT_EQ(ui->messages()[0].caption, QStringLiteral("友情提示!"));
  EXPECT_EQ(GetText(kContent, prop::rich::kText), L("要保留的a"));
  EXPECT_EQ(state().editMode, app::EditMode::Loaded);
  other.Execute("ROLLBACK");
  other.Close();
  choose("保存文章");
  EXPECT_EQ(ui->messages().size(), 1u);
  clickRow(0);
  EXPECT_EQ(GetText(kContent, prop::rich::kText), L("要保留的a"));

  // No collection open: a new article cannot be saved, and that is said too.
  choose("关闭");
  choose("添加标题");
  typeTitle("无处可存");
  typeContent("文字");
  clickSaveButton();
  EXPECT_EQ(ui->messages().back().text, QStringLiteral("保存失败,请检查文件是否正常"));
  EXPECT_EQ(GetText(kContent, prop::rich::kText), L("文字"));
  EXPECT_TRUE(saveTitleButtonShown()) << "the save can be tried again";
}

// An article being added belongs to whichever collection is open when it is saved: opening
// another one on the way keeps it, whether its title was accepted before or after.
TEST_F(EditingTest, ANewArticleSurvivesOpeningAnotherCollection) {
  const auto [first, second] = openFirstOfTwo();
  choose("添加标题");
  openThroughMenu(second);
  typeTitle("新篇");
  typeContent("正文");
  clickSaveButton();
  EXPECT_TRUE(ui->messages().empty());
  EXPECT_EQ(queryFile(second, "SELECT group_concat(name, ',') FROM nr"), "别的,新篇");

  choose("添加标题");
  typeTitle("早定");
  openThroughMenu(first);
  EXPECT_TRUE(saveTitleButtonShown());
  typeContent("后写");
  clickSaveButton();
  EXPECT_EQ(queryFile(first, "SELECT group_concat(name, ',') FROM nr"), "一,早定");
  EXPECT_EQ(queryFile(second, "SELECT count(*) FROM nr"), "2");

  // A retitle pending on the old collection is dropped with it.
  clickRow(0);
  choose("修改标题");
  typeTitle("改名");
  openThroughMenu(second);
  EXPECT_FALSE(saveTitleButtonShown());
  choose("保存文章");
  EXPECT_EQ(queryFile(first, "SELECT group_concat(name, ',') FROM nr"), "一,早定");
  EXPECT_EQ(queryFile(second, "SELECT group_concat(name, ',') FROM nr"), "别的,新篇");
}

// Delete takes the article of the selected row, the one the user points at, not the one shown.
TEST_F(EditingTest, DeleteTakesThePointedArticle) {
  openCollection({{1, "一", "a"}, {2, "二", "b"}, {3, "三", "c"}});
  clickRow(0);
  auto* tree = control<QTreeWidget>(mw::kWindow, "超级列表框1");
  tree->setFocus();
  QTest::keyClick(tree, Qt::Key_Down);
  QTest::keyClick(tree, Qt::Key_Down);
  choose("删除文章");
  EXPECT_EQ(catalogueRows(), (std::vector<std::string>{"1|一", "2|二", "0|"}));
  EXPECT_EQ(GetText(kContent, prop::rich::kText), "a") << "the article shown stays";
  EXPECT_TRUE(ui->messages().empty()) << "deleting asks nothing";

  // Deleting the article shown empties the box.
  clickRow(1);
  choose("删除文章");
  EXPECT_EQ(catalogueRows(), (std::vector<std::string>{"1|一", "0|"}));
  EXPECT_EQ(GetText(kContent, prop::rich::kText), "");
}

// A right click selects the row under the mouse before the pop-up shows, so 删除文章 chosen
// there deletes the article the user pointed at, not the one read before.
TEST_F(EditingTest, DeleteFromThePopupTakesTheRowRightClicked) {
  openCollection({{1, "一", "a"}, {2, "二", "b"}, {3, "三", "c"}});
  clickRow(0);
  auto* tree = control<QTreeWidget>(mw::kWindow, "超级列表框1");
  ui->answerPopup({QStringLiteral("删除文章")});
  QTest::mousePress(tree->viewport(), Qt::RightButton, Qt::NoModifier,
                    tree->visualItemRect(tree->topLevelItem(2)).center());
  settle();
  EXPECT_EQ(catalogueRows(), (std::vector<std::string>{"1|一", "2|二", "0|"}));
  EXPECT_EQ(GetText(kContent, prop::rich::kText), "a") << "the article shown stays";
  EXPECT_TRUE(ui->problems.empty());
}

// Other programs write rows with an empty title: such an article saves under its stored title.
// A new article with no title at all is not dropped in silence.
TEST_F(EditingTest, SavesThatLackATitle) {
  openCollection({{1, "", "旧文"}, {2, "二", "b"}});
  {
    SqliteDB db;
    ASSERT_TRUE(db.Open(path));
    ASSERT_TRUE(db.Execute("INSERT INTO nr(id, name, nr) SELECT 3, NULL, nr FROM nr WHERE id=1"));
  }
  openThroughMenu(path);
  for (int row : {0, 2}) {
    SCOPED_TRACE(row);
    clickRow(row);
    typeContent("新");
    choose("保存文章");
    clickRow(row);
    EXPECT_EQ(GetText(kContent, prop::rich::kText), L("新旧文"));
  }
  EXPECT_EQ(queryFile(path, "SELECT group_concat(quote(name), ',') FROM nr"), "'','二',NULL") << "titles as stored";
  EXPECT_TRUE(ui->messages().empty());

  choose("关闭");
  openThroughMenu(path);
  choose("添加标题");
  typeTitle("");
  typeContent("别丢");
  choose("保存文章");
  ASSERT_EQ(ui->messages().size(), 1u);
  EXPECT_EQ(ui->messages()[0].text, QStringLiteral("请先输入文章标题"));
  EXPECT_EQ(ui->messages()[0].flags, 64);
  EXPECT_EQ(GetText(kContent, prop::rich::kText), L("别丢"));
  EXPECT_EQ(state().editMode, app::EditMode::Adding);
  EXPECT_EQ(queryFile(path, "SELECT count(*) FROM nr"), "3");
  choose("添加标题");
  typeTitle("有了");
  typeContent("x");
  clickSaveButton();
  EXPECT_EQ(queryFile(path, "SELECT name FROM nr WHERE id=4"), "有了");
}

TEST_F(EditingTest, SavedTextKeepsWhatTheCodePageCannotHold) {
  openCollection({{1, "一", "正文"}});
  clickRow(0);
  auto* box = control<QPlainTextEdit>(mw::kWindow, "编辑框1");
  box->moveCursor(QTextCursor::End);
  box->insertPlainText(QString(QChar(0xE78D)) + QChar(0x00A0) + QStringLiteral("尾"));
  choose("保存文章");
  EXPECT_EQ(queryFile(path, "SELECT length(nr) > 8 FROM nr"), "1");
  clickRow(0);
  EXPECT_EQ(box->toPlainText().left(3), QStringLiteral("正文?"));
  EXPECT_EQ(box->document()->toRawText().mid(3, 2), QString(QChar(0x00A0)) + QStringLiteral("尾"))
      << "a no-break space stays one";
}

}  // namespace
}  // namespace nvx::test
