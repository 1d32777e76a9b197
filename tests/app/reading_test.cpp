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
  QPlainTextEdit* Box() { return Control<QPlainTextEdit>(mw::kWindow, "编辑框1"); }
  void Key(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) {
    QTest::keyClick(Box(), k, m);
    Settle();
  }
  void Select(int start, int length) {
    SetInt(kContent, prop::rich::kSelStart, start);
    SetInt(kContent, prop::rich::kSelLength, length);
  }
  void Search(const char* text) {
    Control<QLineEdit>(tf::kWindow, "编辑框1")->setText(QString::fromUtf8(text));
  }
  void FindDown() {
    QTest::mouseClick(Control<QPushButton>(tf::kWindow, "按钮1"), Qt::LeftButton);
    Settle();
  }
  void FindUp() {
    QTest::mouseClick(Control<QPushButton>(tf::kWindow, "按钮2"), Qt::LeftButton);
    Settle();
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
    ui->AnswerFont(FontChoice{QStringLiteral("黑体"), 18, row.bold, row.italic, row.underline, row.strikeOut,
                              QColor(0, 128, 0)});
    Choose("字体设置");
    EXPECT_EQ(View().currentFormat.effects, row.effects);
    EXPECT_EQ(View().currentFormat.faceName, L("黑体"));
    EXPECT_EQ(View().currentFormat.size, 18);
    EXPECT_EQ(View().currentFormat.color, 0x008000);
  }
  EXPECT_EQ(Box()->font().pointSize(), 18);
  // The dialog starts from the article's face, size and colour.
  const auto shown = ui->OfKind(ScriptedInteraction::Shown::Font).back().font;
  EXPECT_EQ(shown.face, QStringLiteral("黑体"));
  EXPECT_EQ(shown.pointSize, 18);
  ui->AnswerFont(std::nullopt);
  Choose("字体设置");
  EXPECT_EQ(View().currentFormat.size, 18) << "cancel changes nothing";
}

TEST_F(ReadingTest, SizeStepsHaveNoBounds) {
  Choose("字体缩小");
  EXPECT_EQ(View().currentFormat.size, -1) << "from 9";
  OpenCollection({{1, "一", "a"}});
  ClickRow(0);
  Choose("字体缩小");
  EXPECT_EQ(View().currentFormat.size, 4) << "from 14";
  Choose("字体放大");
  Choose("字体放大");
  EXPECT_EQ(View().currentFormat.size, 24);
  EXPECT_EQ(Box()->font().pointSize(), 24);
  EXPECT_TRUE(ui->Messages().empty());
}

TEST_F(ReadingTest, SchemesColourTheBoxButNotTheArticlesFormat) {
  OpenCollection({{1, "一", "a"}, {2, "二", "b"}});
  ClickRow(0);
  View().currentFormat.color = 0x00112233;
  Choose("方案3");
  EXPECT_EQ(Box()->palette().color(QPalette::Base), QColor(49, 73, 107));
  EXPECT_EQ(Box()->palette().color(QPalette::Text), QColor(192, 192, 192));
  EXPECT_EQ(View().currentFormat.color, 0x00112233);
  Choose("字体放大");
  EXPECT_EQ(Box()->palette().color(QPalette::Base), QColor(49, 73, 107)) << "the background stays";
  EXPECT_EQ(Box()->palette().color(QPalette::Text), QColor(0x33, 0x22, 0x11)) << "the article's colour again";

  Choose("方案1");
  Choose("保存文章");
  EXPECT_EQ(QueryFile(path, "SELECT ys FROM nr WHERE id=1"), std::to_string(0x00112233))
      << "the pre-scheme colour";
  ClickRow(1);
  EXPECT_EQ(Box()->palette().color(QPalette::Base), QColor(214, 166, 107)) << "kept across articles";

  Choose("方案4");
  EXPECT_EQ(GetInt(kContent, prop::rich::kBackColor), 0x00B0C0CD) << "reference 0 runs like any other";
}

TEST_F(ReadingTest, CatalogueHidesAndComesBackOnResize) {
  Move(kMain, std::nullopt, std::nullopt, 600, 400);
  Choose("关闭目录");
  EXPECT_EQ(GetInt(kCatalogue, prop::kWidth), 0);
  EXPECT_EQ(GetInt(kContent, prop::kLeft), 8);
  EXPECT_EQ(GetInt(kContent, prop::kWidth), 578);
  Choose("打开目录");
  EXPECT_EQ(GetInt(kCatalogue, prop::kWidth), 180);
  EXPECT_EQ(GetInt(kContent, prop::kLeft), 188);
  Choose("关闭目录");
  Move(kMain, std::nullopt, std::nullopt, 640, 400);
  EXPECT_EQ(GetInt(kCatalogue, prop::kWidth), 180) << "a resize shows it again";
}

TEST_F(ReadingTest, FindDownAndUpFollowTheLastResult) {
  OpenCollection({{1, "一", "甲乙丙甲乙丙"}});
  ClickRow(0);
  Choose("查找");
  Search("乙丙");
  FindDown();
  EXPECT_EQ(GetInt(kContent, prop::rich::kSelStart), 1) << "right after start-up the search starts at 1";
  EXPECT_EQ(GetText(kContent, prop::rich::kSelText), L("乙丙"));
  FindDown();
  EXPECT_EQ(GetInt(kContent, prop::rich::kSelStart), 4);
  FindDown();
  ASSERT_EQ(ui->Messages().size(), 1u);
  EXPECT_EQ(ui->Messages()[0].text, QStringLiteral("已经到尾部"));
  EXPECT_EQ(ui->Messages()[0].caption, QStringLiteral("提示"));
  EXPECT_EQ(ui->Messages()[0].flags, 64);
  EXPECT_EQ(GetText(kContent, prop::rich::kSelText), L("甲乙")) << "the first two characters";
  EXPECT_EQ(View().lastFoundPosition, -1);
  QTest::keyClick(Control<QLineEdit>(tf::kWindow, "编辑框1"), Qt::Key_Return);
  Settle();
  EXPECT_EQ(View().lastFoundPosition, 1) << "Enter finds down, from the start again";

  Search("甲");
  FindUp();
  EXPECT_EQ(View().lastFoundPosition, 0);
  FindUp();
  EXPECT_EQ(ui->Messages().back().text, QStringLiteral("已经到顶部"));
}

// The person presses Enter again and again to find the next match: the keys go where the focus
// is, which stays in the Find window, and the box shows each match while it has no focus.
TEST_F(ReadingTest, EnterKeepsFindingAndNeverTypesIntoTheText) {
  OpenCollection({{1, "一", "甲乙甲乙甲"}});
  ClickRow(0);
  QWidget* main = WindowWidget(mw::kWindow);
  main->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(main));
  Choose("查找");
  Search("甲");
  auto* input = Control<QLineEdit>(tf::kWindow, "编辑框1");
  input->setFocus();
  const QColor highlight = Box()->palette().color(QPalette::Active, QPalette::Highlight);
  for (int expected : {2, 4}) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    Settle();
    EXPECT_EQ(GetInt(kContent, prop::rich::kSelStart), expected);
    EXPECT_EQ(QApplication::focusWidget(), input) << "after finding " << expected;
    const QImage seen = SeenAt(*Box());
    EXPECT_GT(ColorShare(seen, highlight, 8) * seen.width() * seen.height(), 40) << "the match shows";
  }
  EXPECT_EQ(GetText(kContent, prop::rich::kText), L("甲乙甲乙甲"));
  EXPECT_FALSE(Box()->document()->isModified());
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
  OpenCollection({{1, "一", "正文"}});
  for (const Row& row : rows) {
    if (!IsCreated(mw::kWindow)) {
      ASSERT_TRUE(LoadWindow(mw::kWindow));
      OpenThroughMenu(path);
    }
    ClickRow(0);
    DialogDriver driver;
    driver.Then<QDialog>([&row](QDialog& dialog) {
      row.act(dialog);
      dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    std::unique_ptr<Interaction> scripted = SetInteraction(MakeQtInteraction());  // the real dialogs
    Choose("字体设置");
    SetInteraction(std::move(scripted));
    EXPECT_TRUE(driver.Done()) << row.name;
    WindowWidget(mw::kWindow)->close();  // stores the reading state, the format with it
    Settle();
    EXPECT_EQ(QueryFile(path, "SELECT zt || '|' || xg FROM nr WHERE id=1"), row.stored) << row.name;
  }
}

TEST_F(ReadingTest, FindUpRightAfterStartUpAndMatchingRules) {
  OpenCollection({{1, "一", "Word word  two"}});
  ClickRow(0);
  Choose("查找");
  Search("word");
  FindUp();
  EXPECT_EQ(ui->Messages().back().text, QStringLiteral("已经到顶部")) << "position 0 - 1 is below the start";
  FindDown();
  EXPECT_EQ(View().lastFoundPosition, 5) << "from 0 after the failed search; case-sensitive: not Word at 0";
  Search(" two");
  FindDown();
  EXPECT_EQ(View().lastFoundPosition, 10) << "spaces are searched for";
  Search("word");
  FindUp();
  EXPECT_EQ(View().lastFoundPosition, 5);

  // Loading another article keeps the position, even past the end of a shorter text.
  ClickRow(0);
  EXPECT_EQ(View().lastFoundPosition, 5);
  SetText(kContent, prop::rich::kText, "wordword");
  View().lastFoundPosition = 40;
  FindUp();
  EXPECT_EQ(View().lastFoundPosition, 4) << "the last one, searching from the end";
}

TEST_F(ReadingTest, ContentKeysTakeEffectOnce) {
  OpenCollection({{1, "一", "abcdef"}});
  ClickRow(0);
  QGuiApplication::clipboard()->setText(QStringLiteral("XY"));
  Select(0, 2);
  Key(Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("XY")) << "Ctrl+Shift+C is not Copy";
  Key(Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("ab"));
  Select(6, 0);
  Key(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(GetText(kContent, prop::rich::kText), "abcdefab") << "pasted once";

  Select(2, 2);
  Key(Qt::Key_Backspace);
  EXPECT_EQ(GetText(kContent, prop::rich::kText), "abefab") << "only the selection";
  Select(0, 1);
  Key(Qt::Key_Delete, Qt::ShiftModifier);
  EXPECT_EQ(GetText(kContent, prop::rich::kText), "befab") << "with any modifiers";
  Select(2, 0);
  Key(Qt::Key_Backspace);
  EXPECT_EQ(GetText(kContent, prop::rich::kText), "bfab") << "no selection: the box's own Backspace";
  Key(Qt::Key_Delete);
  EXPECT_EQ(GetText(kContent, prop::rich::kText), "bab");

  Key(Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(GetText(kContent, prop::rich::kSelText), "bab");
  Key(Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(GetText(kContent, prop::rich::kText), "");
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("bab"));

  Key(Qt::Key_F, Qt::ControlModifier);
  EXPECT_TRUE(IsCreated(tf::kWindow));
  EXPECT_EQ(View().inputWindowMode, reading::TitleFindMode::Find);
  EXPECT_EQ(GetText({tf::kWindow, tf::kSelf}, prop::kTitle), L("查找"));
}

TEST_F(ReadingTest, ContentMenuItemsActOnTheSelection) {
  OpenCollection({{1, "一", "hello"}});
  ClickRow(0);
  QGuiApplication::clipboard()->setText(QStringLiteral("!"));
  Select(0, 0);
  Choose("复制");
  Choose("剪切");
  Choose("删除");
  EXPECT_EQ(GetText(kContent, prop::rich::kText), "hello") << "nothing selected: nothing done";
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("!"));
  Choose("全选");
  EXPECT_EQ(QApplication::focusWidget(), Box());
  Choose("剪切");
  EXPECT_EQ(GetText(kContent, prop::rich::kText), "");
  Choose("粘贴");
  Choose("粘贴");
  EXPECT_EQ(GetText(kContent, prop::rich::kText), "hellohello");
  Select(0, 5);
  Choose("删除");
  EXPECT_EQ(GetText(kContent, prop::rich::kText), "hello");
}

}  // namespace
}  // namespace nvx::test
