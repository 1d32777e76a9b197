// Reading appearance, content operations, keys and Find, through the real forms.
#include <QClipboard>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "collections.h"
#include "editor_fixture.h"
#include "support/dialog_driver.h"

namespace nvx::test {
namespace {

namespace tf = forms::title_find;

class ReadingTest : public EditorFixture {
 protected:
  QPlainTextEdit* box() { return control<QPlainTextEdit>(mw::kWindow, "编辑框1"); }
  void key(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) {
    QTest::keyClick(box(), k, m);
    settle();
  }
  void select(int start, int length) {
    SetInt(kContent, prop::rich::kSelStart, start);
    SetInt(kContent, prop::rich::kSelLength, length);
  }
  void search(const char* text) {
    control<QLineEdit>(tf::kWindow, "编辑框1")->setText(QString::fromUtf8(text));
  }
  void findDown() {
    QTest::mouseClick(control<QPushButton>(tf::kWindow, "按钮1"), Qt::LeftButton);
    settle();
  }
  void findUp() {
    QTest::mouseClick(control<QPushButton>(tf::kWindow, "按钮2"), Qt::LeftButton);
    settle();
  }
};

TEST_F(ReadingTest, FontDialogKeepsOneEffect) {
  struct Row {
    const char* name;
    bool bold, italic, underline, strikeOut;
    int effects;
  };
  const Row rows[] = {
      {"bold and italic", true, true, false, false, kEffectItalic},
      {"underline and strike-out", false, false, true, true, kEffectStrikeOut},
      {"bold alone", true, false, false, false, kEffectBold},
      {"everything", true, true, true, true, kEffectStrikeOut},
      {"nothing", false, false, false, false, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ui->answerFont(FontChoice{QStringLiteral("黑体"), 18, row.bold, row.italic, row.underline, row.strikeOut,
                              QColor(0, 128, 0)});
    choose("字体设置");
    EXPECT_EQ(view().currentFormat.effects, row.effects);
    EXPECT_EQ(view().currentFormat.faceName, L("黑体"));
    EXPECT_EQ(view().currentFormat.size, 18);
    EXPECT_EQ(view().currentFormat.color, 0x008000);
  }
  EXPECT_EQ(box()->font().pointSize(), 18);
  // The dialog starts from the article's face, size and colour.
  const auto shown = ui->ofKind(ScriptedInteraction::Shown::Font).back().font;
  EXPECT_EQ(shown.face, QStringLiteral("黑体"));
  EXPECT_EQ(shown.pointSize, 18);
  ui->answerFont(std::nullopt);
  choose("字体设置");
  EXPECT_EQ(view().currentFormat.size, 18) << "cancel changes nothing";
}

TEST_F(ReadingTest, SizeStepsHaveNoBounds) {
  choose("字体缩小");
  EXPECT_EQ(view().currentFormat.size, -1) << "from 9";
  openCollection({{1, "一", "a"}});
  clickRow(0);
  choose("字体缩小");
  EXPECT_EQ(view().currentFormat.size, 4) << "from 14";
  choose("字体放大");
  choose("字体放大");
  EXPECT_EQ(view().currentFormat.size, 24);
  EXPECT_EQ(box()->font().pointSize(), 24);
  EXPECT_TRUE(ui->messages().empty());
}

TEST_F(ReadingTest, SchemesColourTheBoxButNotTheArticlesFormat) {
  openCollection({{1, "一", "a"}, {2, "二", "b"}});
  clickRow(0);
  view().currentFormat.color = 0x00112233;
  choose("方案3");
  EXPECT_EQ(box()->palette().color(QPalette::Base), QColor(49, 73, 107));
  EXPECT_EQ(box()->palette().color(QPalette::Text), QColor(192, 192, 192));
  EXPECT_EQ(view().currentFormat.color, 0x00112233);
  choose("字体放大");
  EXPECT_EQ(box()->palette().color(QPalette::Base), QColor(49, 73, 107)) << "the background stays";
  EXPECT_EQ(box()->palette().color(QPalette::Text), QColor(0x33, 0x22, 0x11)) << "the article's colour again";

  choose("方案1");
  choose("保存文章");
  EXPECT_EQ(queryFile(path, "SELECT ys FROM nr WHERE id=1"), std::to_string(0x00112233)) << "the pre-scheme colour";
  clickRow(1);
  EXPECT_EQ(box()->palette().color(QPalette::Base), QColor(214, 166, 107)) << "kept across articles";

  choose("方案4");
  EXPECT_EQ(GetInt(kContent, prop::rich::kBackColor), 0x00B0C0CD) << "reference 0 runs like any other";
}

TEST_F(ReadingTest, CatalogueHidesAndComesBackOnResize) {
  Move(kMain, std::nullopt, std::nullopt, 600, 400);
  choose("关闭目录");
  EXPECT_EQ(GetInt(kCatalogue, 2), 0);
  EXPECT_EQ(GetInt(kContent, 0), 8);
  EXPECT_EQ(GetInt(kContent, 2), 578);
  choose("打开目录");
  EXPECT_EQ(GetInt(kCatalogue, 2), 180);
  EXPECT_EQ(GetInt(kContent, 0), 188);
  choose("关闭目录");
  Move(kMain, std::nullopt, std::nullopt, 640, 400);
  EXPECT_EQ(GetInt(kCatalogue, 2), 180) << "a resize shows it again";
}

TEST_F(ReadingTest, FindDownAndUpFollowTheLastResult) {
  openCollection({{1, "一", "甲乙丙甲乙丙"}});
  clickRow(0);
  choose("查找");
  search("乙丙");
  findDown();
  EXPECT_EQ(GetInt(kContent, prop::rich::kSelStart), 1) << "right after start-up the search starts at 1";
  EXPECT_EQ(GetText(kContent, prop::rich::kSelText), L("乙丙"));
  findDown();
  EXPECT_EQ(GetInt(kContent, prop::rich::kSelStart), 4);
  findDown();
  ASSERT_EQ(ui->messages().size(), 1u);
  EXPECT_EQ(ui->messages()[0].text, QStringLiteral("已经到尾部"));
  EXPECT_EQ(ui->messages()[0].caption, QStringLiteral("提示"));
  EXPECT_EQ(ui->messages()[0].flags, 64);
  EXPECT_EQ(GetText(kContent, prop::rich::kSelText), L("甲乙")) << "the first two characters";
  EXPECT_EQ(view().lastFoundPosition, -1);
  QTest::keyClick(control<QLineEdit>(tf::kWindow, "编辑框1"), Qt::Key_Return);
  settle();
  EXPECT_EQ(view().lastFoundPosition, 1) << "Enter finds down, from the start again";

  search("甲");
  findUp();
  EXPECT_EQ(view().lastFoundPosition, 0);
  findUp();
  EXPECT_EQ(ui->messages().back().text, QStringLiteral("已经到顶部"));
}

// The person presses Enter again and again to find the next match: the keys go where the focus
// is, which stays in the Find window, and the box shows each match while it has no focus.
TEST_F(ReadingTest, EnterKeepsFindingAndNeverTypesIntoTheText) {
  openCollection({{1, "一", "甲乙甲乙甲"}});
  clickRow(0);
  QWidget* main = windowWidget(mw::kWindow);
  main->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(main));
  choose("查找");
  search("甲");
  auto* input = control<QLineEdit>(tf::kWindow, "编辑框1");
  input->setFocus();
  const QColor highlight = box()->palette().color(QPalette::Active, QPalette::Highlight);
  for (int expected : {2, 4}) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    settle();
    EXPECT_EQ(GetInt(kContent, prop::rich::kSelStart), expected);
    EXPECT_EQ(QApplication::focusWidget(), input) << "after finding " << expected;
    const QImage seen = seenAt(*box());
    EXPECT_GT(colorShare(seen, highlight, 8) * seen.width() * seen.height(), 40) << "the match shows";
  }
  EXPECT_EQ(GetText(kContent, prop::rich::kText), L("甲乙甲乙甲"));
  EXPECT_FALSE(box()->document()->isModified());
}

// The real font window through the font setting, and what the article stores of it.
TEST_F(ReadingTest, FontSettingKeepsTheStoredFaceAndSetsBoldOrItalicOnAnyFamily) {
  QString oneStyle;
  const QString shown = QFontInfo(QFont(QStringLiteral("宋体"))).family();
  for (const QString& family : QFontDatabase::families()) {
    const QStringList styles = QFontDatabase::styles(family);
    if (family != shown && styles.size() == 1 && !QFontDatabase::bold(family, styles[0]) &&
        !QFontDatabase::italic(family, styles[0]))
      oneStyle = family;
  }
  ASSERT_FALSE(oneStyle.isEmpty()) << "the desktop's Chinese font packages are missing";

  struct Row {
    const char* name;
    std::function<void(QDialog&)> act;
    std::string stored;  // zt|xg
  };
  const auto style = [](QDialog& d, int row) {
    d.findChild<QListWidget*>(QStringLiteral("styleList"))->setCurrentRow(row);
  };
  const std::vector<Row> rows = {
      {"nothing changed", [](QDialog&) {}, "宋体|0"},
      {"bold", [&](QDialog& d) { style(d, 2); }, "宋体|1"},
      {"a one-style family, italic",
       [&](QDialog& d) {
         auto* families = d.findChild<QListWidget*>(QStringLiteral("familyList"));
         families->setCurrentItem(families->findItems(oneStyle, Qt::MatchExactly).value(0));
         style(d, 1);
       },
       oneStyle.toStdString() + "|2"},
  };
  openCollection({{1, "一", "正文"}});
  for (const Row& row : rows) {
    if (!IsCreated(mw::kWindow)) {
      ASSERT_TRUE(LoadWindow(mw::kWindow));
      openThroughMenu(path);
    }
    clickRow(0);
    DialogDriver driver;
    driver.then<QDialog>([&row](QDialog& dialog) {
      row.act(dialog);
      dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    std::unique_ptr<Interaction> scripted = setInteraction(makeQtInteraction());  // the real dialogs
    choose("字体设置");
    setInteraction(std::move(scripted));
    EXPECT_TRUE(driver.done()) << row.name;
    windowWidget(mw::kWindow)->close();  // stores the reading state, the format with it
    settle();
    EXPECT_EQ(queryFile(path, "SELECT zt || '|' || xg FROM nr WHERE id=1"), row.stored) << row.name;
  }
}

TEST_F(ReadingTest, FindUpRightAfterStartUpAndMatchingRules) {
  openCollection({{1, "一", "Word word  two"}});
  clickRow(0);
  choose("查找");
  search("word");
  findUp();
  EXPECT_EQ(ui->messages().back().text, QStringLiteral("已经到顶部")) << "position 0 - 1 is below the start";
  findDown();
  EXPECT_EQ(view().lastFoundPosition, 5) << "from 0 after the failed search; case-sensitive: not Word at 0";
  search(" two");
  findDown();
  EXPECT_EQ(view().lastFoundPosition, 10) << "spaces are searched for";
  search("word");
  findUp();
  EXPECT_EQ(view().lastFoundPosition, 5);

  // Loading another article keeps the position, even past the end of a shorter text.
  clickRow(0);
  EXPECT_EQ(view().lastFoundPosition, 5);
  SetText(kContent, prop::rich::kText, "wordword");
  view().lastFoundPosition = 40;
  findUp();
  EXPECT_EQ(view().lastFoundPosition, 4) << "the last one, searching from the end";
}

TEST_F(ReadingTest, ContentKeysTakeEffectOnce) {
  openCollection({{1, "一", "abcdef"}});
  clickRow(0);
  QGuiApplication::clipboard()->setText(QStringLiteral("XY"));
  select(0, 2);
  key(Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("XY")) << "Ctrl+Shift+C is not Copy";
  key(Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("ab"));
  select(6, 0);
  key(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(GetText(kContent, prop::rich::kText), "abcdefab") << "pasted once";

  select(2, 2);
  key(Qt::Key_Backspace);
  EXPECT_EQ(GetText(kContent, prop::rich::kText), "abefab") << "only the selection";
  select(0, 1);
  key(Qt::Key_Delete, Qt::ShiftModifier);
  EXPECT_EQ(GetText(kContent, prop::rich::kText), "befab") << "with any modifiers";
  select(2, 0);
  key(Qt::Key_Backspace);
  EXPECT_EQ(GetText(kContent, prop::rich::kText), "bfab") << "no selection: the box's own Backspace";
  key(Qt::Key_Delete);
  EXPECT_EQ(GetText(kContent, prop::rich::kText), "bab");

  key(Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(GetText(kContent, prop::rich::kSelText), "bab");
  key(Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(GetText(kContent, prop::rich::kText), "");
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("bab"));

  key(Qt::Key_F, Qt::ControlModifier);
  EXPECT_TRUE(IsCreated(tf::kWindow));
  EXPECT_EQ(view().inputWindowMode, reading::TitleFindMode::Find);
  EXPECT_EQ(GetText({tf::kWindow, tf::kSelf}, prop::kTitle), L("查找"));
}

TEST_F(ReadingTest, ContentMenuItemsActOnTheSelection) {
  openCollection({{1, "一", "hello"}});
  clickRow(0);
  QGuiApplication::clipboard()->setText(QStringLiteral("!"));
  select(0, 0);
  choose("复制");
  choose("剪切");
  choose("删除");
  EXPECT_EQ(GetText(kContent, prop::rich::kText), "hello") << "nothing selected: nothing done";
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("!"));
  choose("全选");
  EXPECT_EQ(QApplication::focusWidget(), box());
  choose("剪切");
  EXPECT_EQ(GetText(kContent, prop::rich::kText), "");
  choose("粘贴");
  choose("粘贴");
  EXPECT_EQ(GetText(kContent, prop::rich::kText), "hellohello");
  select(0, 5);
  choose("删除");
  EXPECT_EQ(GetText(kContent, prop::rich::kText), "hello");
}

}  // namespace
}  // namespace nvx::test
