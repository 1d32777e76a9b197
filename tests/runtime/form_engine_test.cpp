// The form engine over the tests' own forms, headless: creation, events, properties and the
// operations on windows, with handlers bound by the tests.
#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTreeView>
#include <QWheelEvent>

#include "base/codepage.h"
#include "runtime/form_engine.h"
#include "runtime/qt_text.h"
#include "support/gui_test.h"
#include "test_forms.h"

namespace nvx {
namespace {

namespace mw = test_forms::main_window;
namespace tf = test_forms::input;
using test::GuiTest;

const UnitRef kMain{mw::kWindow, mw::kSelf};
const UnitRef kContent{mw::kWindow, mw::kContentBox};
const UnitRef kCatalogue{mw::kWindow, mw::kList};

class FormEngineTest : public GuiTest {
 protected:
  FormEngineTest() : GuiTest(test_forms::AllWindows()) {}

  // Binds `ref` to a handler that records `name` and returns `result`.
  void Record(HandlerRef ref, const std::string& name, HandlerResult result = std::nullopt) {
    BindHandler(ref, [this, name, result](const EventArgs& a) -> HandlerResult {
      std::string entry = name;
      for (int i = 0; i < a.count; ++i) entry += " " + std::to_string(a[i]);
      events.push_back(entry);
      return result;
    });
  }
  std::vector<std::string> events;
};

TEST_F(FormEngineTest, MainWindowIsCreatedInOrderAndRaisesItsEvents) {
  BindHandler(test_forms::kLayout, [this](const EventArgs&) -> HandlerResult {
    events.push_back("size changed " + std::to_string(GetInt(kMain, prop::kWidth)) + "x" +
                     std::to_string(GetInt(kMain, prop::kHeight)));
    return std::nullopt;
  });
  ASSERT_TRUE(LoadWindow(mw::kWindow));
  EXPECT_EQ(events, std::vector<std::string>{"size changed 800x600"});
  EXPECT_EQ(GetText(kMain, prop::kTitle), L("测试主窗口"));
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  EXPECT_EQ(GetInt(kMain, prop::kLeft), (screen.width() - 800) / 2);
  EXPECT_EQ(GetInt(kMain, prop::kTop), (screen.height() - 600) / 2);

  // Loading a window that exists creates nothing.
  events.clear();
  EXPECT_TRUE(LoadWindow(mw::kWindow));
  EXPECT_TRUE(events.empty());

  // Controls: the catalogue's heading and hidden id column, the empty content box, the hidden
  // save-title button, the status bar's labels, docked across the bottom of the client area.
  auto* tree = Control<QTreeView>(mw::kWindow, "超级列表框1");
  ASSERT_NE(tree, nullptr);
  EXPECT_EQ(tree->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("目录"));
  EXPECT_EQ(tree->columnWidth(0), 0);
  EXPECT_EQ(ListView::ItemCount(kCatalogue), 0);
  EXPECT_EQ(GetInt(kCatalogue, prop::list::kCurrentRow), -1);
  EXPECT_EQ(GetText(kContent, prop::rich::kText), "");
  EXPECT_EQ(GetInt({mw::kWindow, mw::kSaveTitleButton}, prop::kVisible), 0);
  EXPECT_EQ(GetText({mw::kWindow, mw::kSaveTitleButton}, prop::button::kCaption), L("保存标题"));
  QWidget* bar = Control(mw::kWindow, "状态条1");
  ASSERT_NE(bar, nullptr);
  QStringList parts;
  for (int i = 0; i < 8; ++i) parts << bar->findChild<QLabel*>(QStringLiteral("part%1").arg(i))->text();
  EXPECT_EQ(parts, (QStringList{"共：", "", "内容：", "", "行：", "", "标题：", ""}));
  EXPECT_EQ(bar->findChild<QLabel*>("part6")->x(), 350 + 2);
  EXPECT_EQ(bar->width(), bar->parentWidget()->width());
  EXPECT_EQ(bar->geometry().bottom(), bar->parentWidget()->height() - 1);

  // Resizing raises size changed after the status bar was docked anew.
  Move(kMain, std::nullopt, std::nullopt, 600, 400);
  EXPECT_EQ(events.back(), "size changed 600x400");
  EXPECT_EQ(bar->geometry().bottom(), bar->parentWidget()->height() - 1);
  EXPECT_EQ(bar->width(), bar->parentWidget()->width());
}

TEST_F(FormEngineTest, MenuBarAndPopupsShareItemsAndCommandNumbers) {
  Record(test_forms::kScheme2, "scheme2");
  Record(test_forms::kAddTitle, "add title");
  ASSERT_TRUE(LoadWindow(mw::kWindow));
  auto* bar = WindowWidget(mw::kWindow)->findChild<QMenuBar*>();
  ASSERT_NE(bar, nullptr);
  QStringList titles;
  for (QAction* a : bar->actions()) titles << a->text();
  EXPECT_EQ(titles, (QStringList{"文件", "阅读", "编辑", "说明"}));
  EXPECT_EQ(ScriptedInteraction::DescribeMenu(*bar->actions()[0]->menu()),
            (QStringList{"新建", "打开", "-", "退出"}));

  // The reading menu as a pop-up: its submenus, one separator, no shortcut texts.
  ui->AnswerPopup({"配色方案", "方案2"});
  PopupMenu(mw::kWindow, mw::kMenuReading);
  const auto popups = ui->OfKind(ScriptedInteraction::Shown::Popup);
  ASSERT_EQ(popups.size(), 1u);
  const QStringList reading = popups[0].menuItems;
  EXPECT_EQ(reading.mid(0, 4), (QStringList{"上一篇", "内容操作/复制", "内容操作/查找", "-"}));
  EXPECT_TRUE(reading.contains("界面设置/打开目录"));
  EXPECT_EQ(reading.filter(QStringLiteral("\t")).size(), 0);
  EXPECT_EQ(events, std::vector<std::string>{"scheme2"}) << "handler reference 0 runs like any other";

  // The same item from the menu bar, by its command number.
  QAction* scheme2 = nullptr;
  for (QAction* a : bar->findChildren<QAction*>())
    if (a->text() == QStringLiteral("方案2")) scheme2 = a;
  ASSERT_NE(scheme2, nullptr);
  EXPECT_EQ(scheme2->data().toInt(), 20000 + 13) << "its place among the menu records";
  scheme2->trigger();
  EXPECT_EQ(events.size(), 2u);

  ui->AnswerPopup({"添加标题"});
  PopupMenu(mw::kWindow, mw::kMenuEdit);
  EXPECT_EQ(ui->OfKind(ScriptedInteraction::Shown::Popup).back().menuItems,
            (QStringList{"添加标题", "-", "删除文章"}));
  EXPECT_EQ(events.back(), "add title");
  ui->AnswerPopupCancel();
  PopupMenu(mw::kWindow, mw::kMenuEdit);
  EXPECT_EQ(events.size(), 3u) << "a cancelled pop-up runs nothing";
}

// The program may give a window its own menu, each item naming the function it runs: the window
// loads with that menu, in place of its form's, and the function runs as a handler does (counted
// as running, so work waiting for handlers to finish waits for it too), from the bar or a pop-up.
bool commandRanAsHandler = false;
void Command() { commandRanAsHandler = FormEngine::Instance().HandlerRunning(); }

TEST_F(FormEngineTest, AMenuOfTheProgramsRunsItsFunctions) {
  static constexpr MenuItemDef kMenu[] = {
      {.id = 0x26FF0100, .level = 0, .caption = "工具"},
      {.id = 0x26FF0101, .level = 1, .caption = "运行", .command = &Command},
  };
  SetWindowMenu(mw::kWindow, kMenu);
  ASSERT_TRUE(LoadWindow(mw::kWindow));
  auto* bar = WindowWidget(mw::kWindow)->findChild<QMenuBar*>();
  ASSERT_NE(bar, nullptr);
  ASSERT_EQ(bar->actions().size(), 1);
  EXPECT_EQ(bar->actions()[0]->text(), QStringLiteral("工具"));
  bar->actions()[0]->menu()->actions()[0]->trigger();
  EXPECT_TRUE(commandRanAsHandler);
  commandRanAsHandler = false;
  ui->AnswerPopup({"运行"});
  PopupMenu(mw::kWindow, 0x26FF0100);
  EXPECT_TRUE(commandRanAsHandler);
  EXPECT_FALSE(FormEngine::Instance().HandlerRunning());
}

TEST_F(FormEngineTest, KeyAndMouseHandlersCanWithholdInput) {
  // Ctrl+K is withheld by the handler; everything else passes.
  BindHandler(test_forms::kContentKeyDown, [this](const EventArgs& a) -> HandlerResult {
    events.push_back("key " + std::to_string(a[0]) + " " + std::to_string(a[1]));
    if (a[0] == 'K' && a[1] == 1) return 0;
    return std::nullopt;
  });
  Record(test_forms::kContentRightDown, "right down", 0);
  ASSERT_TRUE(LoadWindow(mw::kWindow));
  auto* box = Control<QPlainTextEdit>(mw::kWindow, "编辑框1");
  box->setFocus();
  QTest::keyClicks(box, "ab");
  QTest::keyClick(box, Qt::Key_K, Qt::ControlModifier);
  QTest::keyClick(box, Qt::Key_Return);
  QTest::keyClick(box, Qt::Key_Backspace, Qt::ShiftModifier);
  QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
  // Modifier keys are keys too: Ctrl is 17, Shift 16.
  EXPECT_EQ(events, (std::vector<std::string>{"key 65 0", "key 66 0", "key 17 1", "key 75 1", "key 13 0",
                                              "key 16 2", "key 8 2", "key 16 2", "key 17 3", "key 67 3"}));
  EXPECT_EQ(box->toPlainText(), QStringLiteral("ab"))
      << "Ctrl+K withheld; Enter broke the line, Backspace took it back";

  QTest::mouseClick(box->viewport(), Qt::RightButton, Qt::NoModifier, QPoint(15, 12));
  EXPECT_EQ(events.back(), "right down 15 12 0");
}

// The mouse, key and wheel events are common to windows and controls: a window raises them for
// its client area and for keys no control took, and its handler can withhold them too.
TEST_F(FormEngineTest, AWindowRaisesTheCommonEventsToo) {
  namespace help = test_forms::help;
  Record(test_forms::kHelpRightDown, "right down");
  Record(test_forms::kHelpKeyDown, "key", 0);
  Record(test_forms::kHelpWheel, "wheel");
  ASSERT_TRUE(LoadWindow(help::kWindow));
  auto* client = WindowWidget(help::kWindow)->findChild<QWidget*>(QStringLiteral("client"));
  ASSERT_NE(client, nullptr);
  QTest::mouseClick(client, Qt::RightButton, Qt::NoModifier, QPoint(5, 150));
  QWheelEvent wheel(QPointF(5, 150), client->mapToGlobal(QPointF(5, 150)), QPoint(), QPoint(0, -240),
                    Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(client, &wheel);
  QWidget* ok = Control(help::kWindow, "超级按钮1");
  ok->setFocus();
  QTest::keyClick(ok, Qt::Key_F2);
  QTest::keyClick(ok, Qt::Key_Escape);
  EXPECT_EQ(events, (std::vector<std::string>{"right down 5 150 0", "wheel -2 1", "key 113 0", "key 27 0"}));
  EXPECT_TRUE(IsCreated(help::kWindow)) << "Esc withheld by the handler";
}

TEST_F(FormEngineTest, ListViewRowsAndClicks) {
  Record(test_forms::kListClicked, "clicked");
  Record(test_forms::kListDoubleClick, "double");
  ASSERT_TRUE(LoadWindow(mw::kWindow));
  for (const char* title : {"一", "二", "三", "四"}) {
    const int row = ListView::InsertItem(kCatalogue);
    ListView::SetItemText(kCatalogue, row, 0, std::to_string(row + 1));
    ListView::SetItemText(kCatalogue, row, 1, L(title));
  }
  EXPECT_EQ(ListView::InsertItem(kCatalogue), 4);
  EXPECT_EQ(ListView::ItemCount(kCatalogue), 5);
  EXPECT_EQ(ListView::GetItemText(kCatalogue, 1, 1), L("二"));
  EXPECT_EQ(ListView::GetItemText(kCatalogue, 4, 1), "");
  EXPECT_EQ(ListView::GetItemText(kCatalogue, 9, 1), "");

  auto* tree = Control<QTreeView>(mw::kWindow, "超级列表框1");
  const QRect second = tree->visualRect(tree->model()->index(1, 0));
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, second.center());
  EXPECT_EQ(events, std::vector<std::string>{"clicked"});
  EXPECT_EQ(GetInt(kCatalogue, prop::list::kCurrentRow), 1) << "the row is selected before clicked is raised";
  QTest::mouseDClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, second.center());
  EXPECT_EQ(events.back(), "double " + std::to_string(second.center().x()) + " " +
                               std::to_string(second.center().y()) + " 0");

  SetInt(kCatalogue, prop::list::kCurrentRow, 3);
  EXPECT_EQ(GetInt(kCatalogue, prop::list::kCurrentRow), 3);
  ListView::DeselectItem(kCatalogue, 3);
  EXPECT_EQ(GetInt(kCatalogue, prop::list::kCurrentRow), -1);
  ListView::DeleteAllItems(kCatalogue);
  EXPECT_EQ(ListView::ItemCount(kCatalogue), 0);
}

TEST_F(FormEngineTest, RichEditTextLinesSelectionAndFind) {
  ASSERT_TRUE(LoadWindow(mw::kWindow));
  EXPECT_EQ(RichEdit::LineCount(kContent), 1) << "an empty box has one line";

  // Every kind of line end shows as one break; the text comes back as it was set until edited.
  const Text mixed = "one\r\ntwo\nthree\rfour";
  SetText(kContent, prop::rich::kText, mixed);
  EXPECT_EQ(RichEdit::LineCount(kContent), 4);
  EXPECT_EQ(GetText(kContent, prop::rich::kText), mixed);
  SetInt(kContent, prop::rich::kSelStart, 4);
  SetInt(kContent, prop::rich::kSelLength, 3);
  EXPECT_EQ(GetText(kContent, prop::rich::kSelText), "two");
  SetText(kContent, prop::rich::kSelText, "2");
  EXPECT_EQ(GetText(kContent, prop::rich::kText), "one\r\n2\r\nthree\r\nfour");
  SetInt(kContent, prop::rich::kSelStart, -5);
  SetInt(kContent, prop::rich::kSelLength, -7);
  EXPECT_EQ(GetInt(kContent, prop::rich::kSelStart), 0);
  EXPECT_EQ(GetText(kContent, prop::rich::kSelText), "one\r\n2\r\nthree\r\nfour")
      << "-1 and below: the whole text";

  const Text hay = L("甲乙甲乙甲");
  SetText(kContent, prop::rich::kText, hay);
  EXPECT_EQ(RichEdit::FindText(kContent, 0, true, false, L("甲")), 0);
  EXPECT_EQ(RichEdit::FindText(kContent, 1, true, false, L("甲")), 2);
  EXPECT_EQ(RichEdit::FindText(kContent, 5, true, false, L("甲")), -1);
  SetText(kContent, prop::rich::kText, "Abc abc");
  EXPECT_EQ(RichEdit::FindText(kContent, 0, true, false, "abc"), 4);
  EXPECT_EQ(RichEdit::FindText(kContent, 0, false, false, "abc"), 0);

  // A long paragraph wraps: its lines count, and scrolling moves the first visible line.
  Text longText;
  for (int i = 0; i < 400; ++i) longText += L("长文章的内容");
  SetText(kContent, prop::rich::kText, longText + "\r\n" + longText);
  const int lines = RichEdit::LineCount(kContent);
  EXPECT_GT(lines, 20);
  EXPECT_EQ(RichEdit::FirstVisibleLine(kContent), 0);
  Control<QPlainTextEdit>(mw::kWindow, "编辑框1")->verticalScrollBar()->setValue(7);
  EXPECT_EQ(RichEdit::FirstVisibleLine(kContent), 7);

  SetInt(kContent, prop::rich::kBackColor, 0x00B0C0CD);
  EXPECT_EQ(Control<QPlainTextEdit>(mw::kWindow, "编辑框1")->palette().color(QPalette::Base),
            QColor(205, 192, 176));
  CharFormat format{L("宋体"), 20, 0, kEffectItalic | kEffectUnderline, 0x000000FF};
  EXPECT_TRUE(RichEdit::SetCharFormat(kContent, format));
  const QFont font = Control<QPlainTextEdit>(mw::kWindow, "编辑框1")->font();
  EXPECT_EQ(font.pointSize(), 20);
  EXPECT_TRUE(font.italic() && font.underline() && !font.bold());
  format.size = -1;
  EXPECT_TRUE(RichEdit::SetCharFormat(kContent, format)) << "a size no font has still shows";
}

TEST_F(FormEngineTest, MoveDestroyAndCloseFollowTheirRules) {
  Record(test_forms::kCloseRequested, "close requested", 0);
  ASSERT_TRUE(LoadWindow(mw::kWindow));
  const UnitRef button{mw::kWindow, mw::kSaveTitleButton};
  Move(button, 30, 40);
  EXPECT_EQ(GetInt(button, prop::kLeft), 30);
  EXPECT_EQ(GetInt(button, prop::kWidth), 80) << "width kept";
  Move(button, std::nullopt, std::nullopt, -1, 50);
  EXPECT_EQ(GetInt(button, prop::kWidth), 80);
  EXPECT_EQ(GetInt(button, prop::kHeight), 50);

  // A close request answered with false keeps the window; answered with nothing closes it.
  WindowWidget(mw::kWindow)->close();
  Settle();
  EXPECT_TRUE(IsCreated(mw::kWindow));
  Record(test_forms::kCloseRequested, "close requested");
  WindowWidget(mw::kWindow)->close();
  Settle();
  EXPECT_FALSE(IsCreated(mw::kWindow));

  // Destroy waits until the handler that asked for it has returned.
  ASSERT_TRUE(LoadWindow(mw::kWindow));
  bool createdAfterDestroy = false;
  BindHandler(test_forms::kExit, [&](const EventArgs&) -> HandlerResult {
    Destroy(mw::kWindow);
    createdAfterDestroy = IsCreated(mw::kWindow);
    return std::nullopt;
  });
  auto* bar = WindowWidget(mw::kWindow)->findChild<QMenuBar*>();
  for (QAction* a : bar->findChildren<QAction*>())
    if (a->text() == QStringLiteral("退出")) a->trigger();
  EXPECT_TRUE(createdAfterDestroy);
  Settle();
  EXPECT_FALSE(IsCreated(mw::kWindow));
}

TEST_F(FormEngineTest, ModalWindowsDisableTheOthersAndEscClosesThem) {
  ASSERT_TRUE(LoadWindow(mw::kWindow));
  WhileModal(
      test_forms::help::kWindow,
      [] { EXPECT_TRUE(LoadWindow(test_forms::help::kWindow, std::nullopt, true)); },
      [] {
        EXPECT_FALSE(WindowWidget(mw::kWindow)->isEnabled());
        const Text help =
            GetText({test_forms::help::kWindow, test_forms::help::kTextLabel}, prop::label::kCaption);
        EXPECT_EQ(help, L(test_forms::help::kText));
        QTest::keyClick(WindowWidget(test_forms::help::kWindow), Qt::Key_Escape);
      });
  EXPECT_FALSE(IsCreated(test_forms::help::kWindow));
  EXPECT_TRUE(WindowWidget(mw::kWindow)->isEnabled());

  QTest::keyClick(WindowWidget(mw::kWindow), Qt::Key_Escape);
  Settle();
  EXPECT_TRUE(IsCreated(mw::kWindow)) << "Esc does not close the main window";
}

TEST_F(FormEngineTest, AWindowCanSitInsideTheMainWindow) {
  ASSERT_TRUE(LoadWindow(mw::kWindow));
  ASSERT_TRUE(LoadWindow(tf::kWindow));
  QWidget* find = WindowWidget(tf::kWindow);
  EXPECT_TRUE(find->isWindow());
  SetParentWindow(tf::kWindow, mw::kWindow);
  EXPECT_FALSE(find->isWindow());
  EXPECT_EQ(find->parentWidget()->objectName(), QStringLiteral("client"));
  EXPECT_TRUE(WindowWidget(mw::kWindow)->isAncestorOf(find));
  const UnitRef self{tf::kWindow, tf::kSelf};
  Move(self, 188, 8);
  EXPECT_EQ(GetInt(self, prop::kLeft), 188);
  EXPECT_EQ(GetInt(self, prop::kWidth), 319);
  EXPECT_EQ(GetInt(self, prop::kHeight), 135);
  // Destroying the main window takes the window inside it along.
  Destroy(mw::kWindow);
  Settle();
  EXPECT_FALSE(IsCreated(tf::kWindow));
}

TEST_F(FormEngineTest, DialogsGoThroughTheSeam) {
  ASSERT_TRUE(LoadWindow(mw::kWindow));
  const UnitRef save{mw::kWindow, mw::kSaveDialog};
  ui->AnswerFile(QStringLiteral("/tmp/集子.nvx"));
  EXPECT_TRUE(CommonDlg::Open(save));
  EXPECT_EQ(GetText(save, prop::dlg::kFileName), L("/tmp/集子.nvx"));
  const auto request = ui->OfKind(ScriptedInteraction::Shown::File).back().file;
  EXPECT_TRUE(request.save);
  EXPECT_EQ(request.filters, QStringList{"sqlite数据库文件(*.nvx)"});
  EXPECT_EQ(request.defaultSuffix, QStringLiteral("nvx"));
  EXPECT_FALSE(request.fileMustExist) << "a save dialog can name a new file";
  EXPECT_TRUE(request.overwritePrompt);

  ui->AnswerFile(std::nullopt);
  SetText(save, prop::dlg::kFilter, L("文本文件(*.txt)|*.txt|所有文件|*.*"));
  SetInt(save, prop::dlg::kKind, 0);
  EXPECT_FALSE(CommonDlg::Open(save));
  EXPECT_EQ(GetText(save, prop::dlg::kFileName), L("/tmp/集子.nvx")) << "cancel changes nothing";
  EXPECT_EQ(ui->OfKind(ScriptedInteraction::Shown::File).back().file.filters,
            (QStringList{"文本文件(*.txt)", "所有文件 (*.*)"}));

  const UnitRef font{mw::kWindow, mw::kFontDialog};
  FontChoice chosen{QStringLiteral("黑体"), 16, true, false, true, false, QColor(0, 0, 255)};
  ui->AnswerFont(chosen);
  SetText(font, prop::dlg::kFaceName, L("宋体"));
  SetInt(font, prop::dlg::kFontSize, 9);
  EXPECT_TRUE(CommonDlg::Open(font));
  EXPECT_EQ(ui->OfKind(ScriptedInteraction::Shown::Font).back().font.face, QStringLiteral("宋体"));
  EXPECT_EQ(GetText(font, prop::dlg::kFaceName), L("黑体"));
  EXPECT_EQ(GetInt(font, prop::dlg::kFontSize), 16);
  EXPECT_EQ(GetInt(font, prop::dlg::kBold), 1);
  EXPECT_EQ(GetInt(font, prop::dlg::kUnderline), 1);
  EXPECT_EQ(GetInt(font, prop::dlg::kFontColor), 0x00FF0000);
}

TEST_F(FormEngineTest, DragByClientAreaOnlyOnTheWindowItself) {
  ASSERT_TRUE(LoadWindow(mw::kWindow));
  auto* window = static_cast<QWidget*>(WindowWidget(mw::kWindow));
  QWidget* client = window->findChild<QWidget*>("client");
  const int before = window->property("dragStarts").toInt();
  QTest::mousePress(client, Qt::LeftButton, Qt::NoModifier, QPoint(client->width() - 4, 4));
  QTest::mouseRelease(client, Qt::LeftButton, Qt::NoModifier, QPoint(client->width() - 4, 4));
  QTest::mouseClick(Control<QTreeView>(mw::kWindow, "超级列表框1")->viewport(), Qt::LeftButton);
  EXPECT_EQ(window->property("dragStarts").toInt(), before + 1);
}

TEST_F(FormEngineTest, WaitCursorNestsAndRestoresOnce) {
  SetWaitCursor();
  SetWaitCursor();
  ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
  RestoreCursor();
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << "one restore undoes nested waits";
  RestoreCursor();
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

using FormEngineDeathTest = FormEngineTest;

TEST_F(FormEngineDeathTest, AddressingWhatIsNotLoadedEndsTheProgramWithTheReport) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(GetInt(kContent, prop::rich::kText), testing::ExitedWithCode(255),
              "运行时出错!.*错误信息：未载入欲访问窗口组件所在的窗口");
  EXPECT_EXIT(RichEdit::LineCount({test_forms::help::kWindow, test_forms::help::kOkButton}),
              testing::ExitedWithCode(255), "指定窗口或窗口组件不存在或尚未载入");
  EXPECT_EXIT(
      {
        LoadWindow(mw::kWindow);
        SetProperty(kContent, prop::rich::kSelStart, Text("x"));
      },
      testing::ExitedWithCode(255), "欲转换数据类型不是数值");
}

}  // namespace
}  // namespace nvx
