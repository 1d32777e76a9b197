// The main window's layout and the secondary windows, driven through the menus.
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextCursor>
#include <QTreeView>
#include <set>

#include "app/article_editing.h"
#include "app/main_menu.h"
#include "editor_fixture.h"

namespace nvx::test {
namespace {

class WindowsTest : public EditorFixture {};

namespace tf = forms::title_find;
namespace bg = forms::background_colour;
namespace about = forms::about;

TEST_F(WindowsTest, LayoutFollowsTheWindowSize) {
  EXPECT_EQ(GetText(kMain, prop::kTitle), L("NVX编辑器"));
  EXPECT_EQ(GetInt(kCatalogue, prop::kHeight), 600 - 80) << "placed when the window was created";
  Move(kMain, std::nullopt, std::nullopt, 600, 400);
  auto rect = [](UnitRef r) {
    return std::vector<int>{GetInt(r, prop::kLeft), GetInt(r, prop::kTop), GetInt(r, prop::kWidth),
                            GetInt(r, prop::kHeight)};
  };
  EXPECT_EQ(rect(kCatalogue), (std::vector<int>{8, 8, 180, 320}));
  EXPECT_EQ(rect(kContent), (std::vector<int>{188, 8, 398, 320}));
  EXPECT_EQ(rect({mw::kWindow, mw::kSaveTitleButton}), (std::vector<int>{8, 8, 80, 32}));
  EXPECT_EQ(GetInt({mw::kWindow, mw::kSaveTitleButton}, prop::kVisible), 0) << "keeps its visibility";
  // Narrower than the content box's margins: the computed width is passed on.
  Move(kMain, std::nullopt, std::nullopt, 150, 400);
  EXPECT_LE(GetInt(kContent, prop::kWidth), 0);
}

TEST_F(WindowsTest, AboutWindowShowsTheHelpAndClosesWithItsButton) {
  WhileModal(
      about::kWindow, [this] { Choose("关于"); },
      [] {
        EXPECT_FALSE(WindowWidget(mw::kWindow)->isEnabled()) << "modal";
        const QString help = Control<QLabel>(about::kWindow, "标签4")->text();
        const QStringList lines = help.split(QChar('\n'));
        ASSERT_EQ(lines.size(), 9);
        EXPECT_TRUE(lines[3].isEmpty() && lines[5].isEmpty());
        EXPECT_TRUE(lines[0].startsWith(QStringLiteral("    [编辑器帮助]")));
        EXPECT_TRUE(lines[4].contains(QStringLiteral("使用“保存文章”菜单")));
        EXPECT_TRUE(lines[6].contains(QStringLiteral("显示的\"保存文章标题\"按钮，使用\"保存文章\"菜单")));
        EXPECT_EQ(GetText({about::kWindow, about::kHelpLabel}, prop::label::kCaption), L(about::kHelpText))
            << "CR LF between lines";
        EXPECT_EQ(Control<QPlainTextEdit>(about::kWindow, "编辑框1")->toPlainText().split('\n').size(), 3);
        EXPECT_EQ(GetText({about::kWindow, about::kSelf}, prop::kTitle), L("关于"));
        QTest::mouseClick(Control<QPushButton>(about::kWindow, "超级按钮1"), Qt::LeftButton);
      });
  EXPECT_FALSE(IsCreated(about::kWindow));
  EXPECT_TRUE(WindowWidget(mw::kWindow)->isEnabled());
}

// Whether a box shows its selection while `focus` has the keyboard: the box with all its text
// selected looks different from the box with none.
bool SelectionShows(QPlainTextEdit* box, QWidget* focus) {
  focus->window()->activateWindow();
  if (!QTest::qWaitForWindowActive(focus->window())) return false;
  focus->setFocus();
  if (!focus->hasFocus()) return false;
  box->selectAll();
  const QImage selected = box->grab().toImage();
  QTextCursor cursor = box->textCursor();
  cursor.clearSelection();
  box->setTextCursor(cursor);
  return selected != box->grab().toImage();
}

// The About window's notes box hides its selection without the focus; the content box keeps
// showing it, since Find keeps the focus in its own window and selects the match there.
TEST_F(WindowsTest, OnlyTheContentBoxShowsItsSelectionWithoutTheFocus) {
  WhileModal(
      about::kWindow, [this] { Choose("关于"); },
      [] {
        auto* notes = Control<QPlainTextEdit>(about::kWindow, "编辑框1");
        auto* ok = Control<QPushButton>(about::kWindow, "超级按钮1");
        EXPECT_TRUE(SelectionShows(notes, notes));
        EXPECT_FALSE(SelectionShows(notes, ok));
        QTest::mouseClick(ok, Qt::LeftButton);
      });
  auto* content = Control<QPlainTextEdit>(mw::kWindow, "编辑框1");
  content->setPlainText(QStringLiteral("正文"));
  EXPECT_TRUE(SelectionShows(content, Control<QTreeView>(mw::kWindow, "超级列表框1")));
}

TEST_F(WindowsTest, BackgroundColourWindowSetsOnlyWhatOkConfirms) {
  auto background = [] { return GetInt(kContent, prop::rich::kBackColor); };
  const std::int32_t before = background();
  const auto openBackground = [this] { Choose("背景颜色"); };

  WhileModal(bg::kWindow, openBackground, [this] {
    EXPECT_EQ(GetInt({bg::kWindow, bg::kColourPicker}, prop::picker::kColor), 0x00FFFFFF);
    ui->AnswerColor(QColor(205, 192, 176));
    QTest::mouseClick(Control<QPushButton>(bg::kWindow, "颜色选择器1"), Qt::LeftButton);
    EXPECT_EQ(GetInt({bg::kWindow, bg::kColourPicker}, prop::picker::kColor), 0x00B0C0CD);
    QTest::mouseClick(Control<QPushButton>(bg::kWindow, "取消按钮"), Qt::LeftButton);
  });
  EXPECT_FALSE(IsCreated(bg::kWindow));
  EXPECT_EQ(background(), before) << "cancel changes nothing";

  WhileModal(bg::kWindow, openBackground, [this] {
    EXPECT_EQ(GetInt({bg::kWindow, bg::kColourPicker}, prop::picker::kColor), 0x00FFFFFF)
        << "white every time";
    ui->AnswerColor(QColor(49, 73, 107));
    QTest::mouseClick(Control<QPushButton>(bg::kWindow, "颜色选择器1"), Qt::LeftButton);
    QTest::keyClick(WindowWidget(bg::kWindow), Qt::Key_Escape);
  });
  EXPECT_EQ(background(), before) << "Esc closes without a change";

  WhileModal(bg::kWindow, openBackground, [this] {
    ui->AnswerColor(QColor(49, 73, 107));
    QTest::mouseClick(Control<QPushButton>(bg::kWindow, "颜色选择器1"), Qt::LeftButton);
    QTest::mouseClick(Control<QPushButton>(bg::kWindow, "确定按钮"), Qt::LeftButton);
  });
  EXPECT_EQ(background(), 0x006B4931);
  EXPECT_EQ(Control<QPlainTextEdit>(mw::kWindow, "编辑框1")->palette().color(QPalette::Base),
            QColor(49, 73, 107));
  EXPECT_EQ(View().currentFormat.color, kDefaultColor) << "not part of the article's format";
}

TEST_F(WindowsTest, WindowsDisabledByAModalOneCannotBeClosed) {
  WhileModal(
      bg::kWindow, [this] { Choose("背景颜色"); },
      [] {
        WindowWidget(mw::kWindow)->close();
        Settle();
        EXPECT_TRUE(IsCreated(mw::kWindow));
        QTest::mouseClick(Control<QPushButton>(bg::kWindow, "确定按钮"), Qt::LeftButton);
      });
  EXPECT_FALSE(IsCreated(bg::kWindow));
  EXPECT_TRUE(WindowWidget(mw::kWindow)->isEnabled());
}

// Seen as a person sees it: the button lies over the catalogue, which the window shows beneath it.
TEST_F(WindowsTest, SaveTitleButtonShowsOverTheCatalogue) {
  OpenCollection({{1, "第一章", "正文"}});
  auto* button = Control<QPushButton>(mw::kWindow, "保存按钮");
  auto* catalogue = Control<QTreeView>(mw::kWindow, "超级列表框1");
  ASSERT_TRUE(button && catalogue);
  Choose("添加标题");
  auto* input = Control<QLineEdit>(tf::kWindow, "编辑框1");
  ASSERT_NE(input, nullptr);
  input->setText(QStringLiteral("新标题"));
  QTest::keyClick(input, Qt::Key_Return);
  Settle();
  ASSERT_TRUE(button->isVisible());
  ASSERT_TRUE(button->geometry().intersects(catalogue->geometry()));
  EXPECT_GT(ShareSeen(*button), 0.95);
}

TEST_F(WindowsTest, FindWindowOpensOverTheContentBox) {
  Choose("查找");
  ASSERT_TRUE(IsCreated(tf::kWindow));
  EXPECT_EQ(View().inputWindowMode, reading::TitleFindMode::Find);
  QWidget* window = WindowWidget(tf::kWindow);
  EXPECT_FALSE(window->isWindow()) << "inside the main window";
  const UnitRef self{tf::kWindow, tf::kSelf};
  EXPECT_EQ(GetInt(self, prop::kLeft), GetInt(kContent, prop::kLeft));
  EXPECT_EQ(GetInt(self, prop::kTop), GetInt(kContent, prop::kTop));
  EXPECT_EQ(GetInt(self, prop::kWidth), 319);
  EXPECT_EQ(GetInt(self, prop::kHeight), 135);
  EXPECT_EQ(GetText(self, prop::kTitle), L("查找"));
  EXPECT_EQ(Control<QLabel>(tf::kWindow, "标签1")->text(), QStringLiteral("查找内容："));
  EXPECT_TRUE(Control<QPushButton>(tf::kWindow, "按钮2")->isVisible());
  EXPECT_EQ(Control<QPushButton>(tf::kWindow, "按钮1")->text(), QStringLiteral("向下查找"));
  EXPECT_EQ(QApplication::focusWidget(), Control<QLineEdit>(tf::kWindow, "编辑框1"));

  // Opening it again makes a fresh window; its close box closes it.
  Control<QLineEdit>(tf::kWindow, "编辑框1")->setText(QStringLiteral("typed"));
  Choose("查找");
  EXPECT_EQ(Control<QLineEdit>(tf::kWindow, "编辑框1")->text(), QString());
  QTest::mouseClick(WindowWidget(tf::kWindow)->findChild<QWidget*>("closeBox"), Qt::LeftButton);
  Settle();
  EXPECT_FALSE(IsCreated(tf::kWindow));
}

TEST_F(WindowsTest, PopupMenusOfTheCatalogueAndTheContentBox) {
  ui->AnswerPopupCancel();
  QTest::mousePress(Control<QTreeView>(mw::kWindow, "超级列表框1")->viewport(), Qt::RightButton);
  ui->AnswerPopupCancel();
  QTest::mousePress(Control<QPlainTextEdit>(mw::kWindow, "编辑框1")->viewport(), Qt::RightButton);
  const auto popups = ui->OfKind(ScriptedInteraction::Shown::Popup);
  ASSERT_EQ(popups.size(), 2u);
  EXPECT_EQ(popups[0].menuItems.first(), QStringLiteral("添加标题"));
  EXPECT_EQ(popups[1].menuItems.first(), QStringLiteral("上一篇"));
}

// Every item has its own id, and either opens the items one level below it, or is a separator, or
// runs a command;
// the help names the item that saves, as the menu spells it, and it saves as the button does.
TEST(MainMenu, NestsWithoutGapsAndOnlyLeavesAct) {
  const auto menu = app::MainMenu();
  ASSERT_FALSE(menu.empty());
  EXPECT_EQ(menu.front().level, 0);
  const MenuItemDef* save = nullptr;
  std::set<UnitId> ids;
  for (std::size_t i = 0; i < menu.size(); ++i) {
    const MenuItemDef& m = menu[i];
    EXPECT_TRUE(ids.insert(m.id).second) << m.caption << ": its id is another item's";
    EXPECT_EQ(m.id >> 24, 0x26u) << m.caption << ": a menu item's id";
    const bool opensSubmenu = i + 1 < menu.size() && menu[i + 1].level > m.level;
    if (i + 1 < menu.size()) {
      EXPECT_LE(menu[i + 1].level, m.level + 1) << m.caption;
    }
    EXPECT_EQ(m.handler, kNoHandler) << m.caption << ": menu items run their command";
    if (std::string_view(m.caption) == "-") {
      EXPECT_NE(m.level, 0) << "a separator on the menu bar";
      EXPECT_FALSE(opensSubmenu);
      EXPECT_EQ(m.command, nullptr);
    } else if (opensSubmenu || m.level == 0) {
      EXPECT_EQ(m.command, nullptr) << m.caption << " opens a menu, its command would never run";
      EXPECT_TRUE(opensSubmenu) << m.caption << " is an empty menu";
    } else {
      EXPECT_NE(m.command, nullptr) << m.caption << " does nothing";
    }
    if (m.command == &app::SaveArticle) save = &m;
  }
  ASSERT_NE(save, nullptr) << "the save-title button's function has its menu item";
  const std::string help = forms::about::kHelpText;
  EXPECT_NE(help.find(std::string("“") + save->caption + "”"), std::string::npos);
  EXPECT_NE(help.find(std::string("\"") + save->caption + "\""), std::string::npos);
}

}  // namespace
}  // namespace nvx::test
