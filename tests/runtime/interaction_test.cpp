#include "runtime/interaction.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <functional>

#include "base/codepage.h"
#include "runtime/runtime_error.h"
#include "runtime/value_commands.h"
#include "support/dialog_driver.h"
#include "support/gui_test.h"
#include "support/scripted_interaction.h"

namespace nvx {
namespace {

// Only the tests of the real dialogs need widgets.
void App() { test::EnsureApplication(); }

using test::DialogDriver;

TEST(InfoBox, ShowsTheContentAsTheUserReadsItUnderItsCaption) {
  struct Row {
    const char* name;
    Value content;
    QString shown;
  };
  const std::vector<Row> rows = {
      {"integer", std::int64_t{-7}, "-7"},
      {"double", 2.5, "2.5"},
      {"truth value", true, "真"},
      {"date", DateTime{45000}, "2023年3月15日"},
      {"text in the local code page", Text(L("你好")), "你好"},
      {"text ends at its zero byte", Text("ab\0cd", 5), "ab"},
      {"byte array shows nothing", Bytes{'a', 'b'}, ""},
      {"absent value shows nothing", Value(), ""},
  };
  for (const Row& row : rows) {
    ScopedScriptedInteraction scripted;
    scripted->AnswerMessage(kButtonNo);
    EXPECT_EQ(InfoBox(row.content, kMsgIconInformation | kMsgYesNo), kButtonNo) << row.name;
    ASSERT_NE(scripted->LastMessage(), nullptr) << row.name;
    EXPECT_EQ(scripted->LastMessage()->text, row.shown) << row.name;
    EXPECT_EQ(scripted->LastMessage()->caption, QStringLiteral("信息：")) << row.name;
    EXPECT_EQ(scripted->LastMessage()->flags, kMsgIconInformation | kMsgYesNo) << row.name;
  }

  ScopedScriptedInteraction scripted;
  InfoBox(Text(L("你好")).substr(0, 3), 0, L("导出"));
  EXPECT_EQ(scripted->LastMessage()->caption, QStringLiteral("导出"));
  // Cut inside a double-byte character, the text still shows what can be read.
  EXPECT_TRUE(scripted->LastMessage()->text.startsWith(QStringLiteral("你")));
}

TEST(RuntimeError, ReportTextNamesTheCodeAndTheMessage) {
  EXPECT_EQ(RuntimeErrorText(L("除数为零"), 0), L("运行时出错!\r\n\r\n错误信息：除数为零\r\n"));
  EXPECT_EQ(RuntimeErrorText(L("除数为零"), 7),
            L("运行时出错!\r\n\r\n错误代码：7\r\n\r\n错误信息：除数为零\r\n"));
  EXPECT_EQ(RuntimeErrorText(Text(), -3), L("运行时出错!\r\n\r\n错误代码：-3\r\n\r\n"));
  EXPECT_EQ(RuntimeErrorText(Text(), 0), L("运行时出错!\r\n\r\n"));
  EXPECT_FALSE(RuntimeErrorShowing());
}

// Puts each message box on standard error, since the process the report runs in ends. Can raise a
// second error from inside the box, as an event handler running under it would.
class EchoingInteraction : public ScriptedInteraction {
 public:
  int MessageBox(const QString& caption, const QString& text, int flags) override {
    std::fprintf(stderr, "[box %s %d %s]\n", caption.toUtf8().constData(), flags,
                 RuntimeErrorShowing() ? "showing" : "idle");
    if (!secondError.empty()) ReportRuntimeError(std::exchange(secondError, Text()));
    return ScriptedInteraction::MessageBox(caption, text, flags);
  }
  Text secondError;
};

struct Noisy {
  ~Noisy() { std::fputs("destructor ran\n", stderr); }
};

// The patterns end in "$": nothing, not a destructor nor an atexit handler, writes after the box.
TEST(RuntimeErrorDeathTest, ReportsAndEndsTheProcessAtOnce) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        SetInteraction(std::make_unique<EchoingInteraction>());
        std::atexit([] { std::fputs("atexit ran\n", stderr); });
        Noisy noisy;
        ReportRuntimeError(L("磁盘已满"), 7);
      },
      testing::ExitedWithCode(255),
      "运行时出错!\n\n错误代码：7\n\n错误信息：磁盘已满\n\\[box 错误 16 showing\\]\n$");
}

TEST(RuntimeErrorDeathTest, AnErrorWhileTheReportIsUpEndsWithoutASecondBox) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        auto echoing = std::make_unique<EchoingInteraction>();
        echoing->secondError = L("又一个错误");
        SetInteraction(std::move(echoing));
        ReportRuntimeError(L("第一个错误"));
      },
      testing::ExitedWithCode(255), "第一个错误\n\\[box [^]]*\\]\n运行时出错!\n\n错误信息：又一个错误\n$");
}

TEST(Interaction, ScopedScriptedInteractionsNestAndRestore) {
  Interaction* builtIn = &CurrentInteraction();
  {
    ScopedScriptedInteraction outer;
    {
      ScopedScriptedInteraction inner;
      EXPECT_EQ(&CurrentInteraction(), &inner.Get());
    }
    EXPECT_EQ(&CurrentInteraction(), &outer.Get());
  }
  EXPECT_EQ(&CurrentInteraction(), builtIn);
  EXPECT_EQ(SetInteraction(nullptr), nullptr);  // the built-in one is never handed out
}

TEST(ScriptedInteraction, UnscriptedQuestionsGetADefaultAndAreNoted) {
  ScriptedInteraction scripted;
  scripted.AnswerFile(QStringLiteral("/tmp/a.nvx"));
  EXPECT_EQ(scripted.FileDialog(FileDialogRequest()), QStringLiteral("/tmp/a.nvx"));
  EXPECT_EQ(scripted.Unexpected(), 0);
  EXPECT_EQ(scripted.MessageBox(QStringLiteral("问"), QStringLiteral("删除吗?"), kMsgYesNo), kButtonYes);
  EXPECT_EQ(scripted.ColorDialog(Qt::red), std::nullopt);
  EXPECT_EQ(scripted.Unexpected(), 2);
  ASSERT_EQ(scripted.shown.size(), 3u);
  EXPECT_EQ(scripted.shown[2].color, QColor(Qt::red));
}

TEST(ScriptedInteraction, PopupRecordsTheMenuAndPicksLikeAClick) {
  App();
  QMenu menu;
  menu.addAction(QStringLiteral("打开(&O)\tCtrl+O"));
  menu.addSeparator();
  QMenu* content = menu.addMenu(QStringLiteral("内容操作"));
  QAction* copy = content->addAction(QStringLiteral("复制"));
  copy->setData(12);
  content->addAction(QStringLiteral("粘贴"))->setEnabled(false);
  menu.addAction(QStringLiteral("隐藏"))->setVisible(false);
  menu.addMenu(QStringLiteral("最近"));
  int copyFired = 0, menuFired = 0;
  QObject::connect(copy, &QAction::triggered, [&] { ++copyFired; });
  QObject::connect(&menu, &QMenu::triggered, [&] { ++menuFired; });

  ScriptedInteraction scripted;
  scripted.AnswerPopup({QStringLiteral("内容操作"), QStringLiteral("复制")});
  scripted.AnswerPopupData(12);
  scripted.AnswerPopup({QStringLiteral("内容操作"), QStringLiteral("粘贴")});
  scripted.AnswerPopupCancel();
  EXPECT_EQ(scripted.ShowPopupMenu(menu, QPoint()), copy);
  EXPECT_EQ(scripted.ShowPopupMenu(menu, QPoint()), copy);
  EXPECT_EQ(scripted.ShowPopupMenu(menu, QPoint()), nullptr);  // disabled: a person could not pick it
  EXPECT_EQ(scripted.ShowPopupMenu(menu, QPoint()), nullptr);
  EXPECT_EQ(scripted.Unexpected(), 1);
  EXPECT_EQ(copyFired, 2);
  EXPECT_EQ(menuFired, 2);

  const auto& shown = scripted.shown.front();
  EXPECT_EQ(shown.menuItems, QStringList({"打开", "-", "内容操作/复制", "内容操作/粘贴", "最近/"}));
  EXPECT_EQ(shown.disabledItems, QStringList({"内容操作/粘贴"}));
}

TEST(QtInteraction, MessageBoxShowsEachButtonSetAndReturnsTheButtonsCode) {
  struct Row {
    int flags;
    QMessageBox::StandardButton button;
    int code;
  };
  const std::vector<Row> rows = {
      {kMsgOk, QMessageBox::Ok, kButtonOk},
      {kMsgOkCancel, QMessageBox::Cancel, kButtonCancel},
      {2, QMessageBox::Abort, 2},
      {2, QMessageBox::Retry, 3},
      {2, QMessageBox::Ignore, 4},
      {kMsgYesNoCancel, QMessageBox::Cancel, kButtonCancel},
      {kMsgYesNo, QMessageBox::Yes, kButtonYes},
      {kMsgYesNo, QMessageBox::No, kButtonNo},
      {5, QMessageBox::Retry, 3},
  };
  const auto real = MakeQtInteraction();
  for (const Row& row : rows) {
    DialogDriver driver;
    driver.Then<QMessageBox>([&row](QMessageBox& box) { box.button(row.button)->click(); });
    EXPECT_EQ(real->MessageBox(QStringLiteral("标题"), QString(), row.flags), row.code) << row.flags;
    EXPECT_TRUE(driver.Done()) << row.flags;
  }

  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QString text;
  DialogDriver driver;
  driver.Then<QMessageBox>([&](QMessageBox& box) {
    icon = box.icon();
    text = box.text();
    EXPECT_EQ(box.textFormat(), Qt::PlainText);
    box.button(QMessageBox::Ok)->click();
  });
  real->MessageBox(QStringLiteral("错误"), QStringLiteral("第一行\r\n<b>第二行</b>"), kMsgIconError);
  EXPECT_EQ(icon, QMessageBox::Critical);
  EXPECT_EQ(text, QStringLiteral("第一行\n<b>第二行</b>"));
}

void TypeFileName(QFileDialog& dialog, const QString& name) {
  dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(name);
  static_cast<QDialog&>(dialog).accept();  // what the Open/Save button does
}

TEST(QtInteraction, FileDialogAsksBeforeCreatingAndComesBackWhenRefused) {
  QTemporaryDir dir;
  FileDialogRequest request;
  request.title = QStringLiteral("打开工程");
  request.directory = dir.path();
  request.filters = QStringList{QStringLiteral("工程 (*.nvx)"), QStringLiteral("全部 (*)")};
  request.defaultSuffix = QStringLiteral("nvx");
  request.createPrompt = true;

  DialogDriver driver;
  driver
      .Then<QFileDialog>([&](QFileDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), request.title);
        TypeFileName(dialog, QStringLiteral("新工程"));
      })
      .Then<QMessageBox>([](QMessageBox& box) { box.button(QMessageBox::No)->click(); })
      .Then<QFileDialog>([](QFileDialog& dialog) { static_cast<QDialog&>(dialog).accept(); })
      .Then<QMessageBox>([](QMessageBox& box) { box.button(QMessageBox::Yes)->click(); });
  EXPECT_EQ(MakeQtInteraction()->FileDialog(request), dir.filePath(QStringLiteral("新工程.nvx")));
  EXPECT_TRUE(driver.Done());
}

TEST(QtInteraction, FileDialogRefusesAPathThatDoesNotExist) {
  QTemporaryDir dir;
  FileDialogRequest request;
  request.save = true;
  request.directory = dir.path();
  request.pathMustExist = true;

  QString warning;
  DialogDriver driver;
  driver
      .Then<QFileDialog>([&](QFileDialog& d) { TypeFileName(d, dir.filePath(QStringLiteral("缺少/a.nvx"))); })
      .Then<QMessageBox>([&](QMessageBox& box) {
        warning = box.text();
        box.button(QMessageBox::Ok)->click();
      })
      .Then<QFileDialog>([&](QFileDialog& d) { TypeFileName(d, dir.filePath(QStringLiteral("b.nvx"))); });
  EXPECT_EQ(MakeQtInteraction()->FileDialog(request), dir.filePath(QStringLiteral("b.nvx")));
  EXPECT_TRUE(warning.contains(QStringLiteral("缺少"))) << warning.toStdString();
  EXPECT_TRUE(driver.Done());
}

// A family with one style that is neither bold nor italic, as the Chinese families installed here.
QString OneStyleFamily() {
  for (const QString& family : QFontDatabase::families()) {
    const QStringList styles = QFontDatabase::styles(family);
    if (styles.size() == 1 && !QFontDatabase::bold(family, styles[0]) &&
        !QFontDatabase::italic(family, styles[0]))
      return family;
  }
  return QString();
}

QListWidget& ListOf(QDialog& dialog, const char* name) {
  return *dialog.findChild<QListWidget*>(QString::fromLatin1(name));
}

void SelectFamily(QDialog& dialog, const QString& family) {
  QListWidget& list = ListOf(dialog, "familyList");
  list.setCurrentItem(list.findItems(family, Qt::MatchExactly).value(0));
}

void ClickOk(QDialog& dialog) {
  dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
}

// A face the desktop shows with another family opens on that family, and comes back exactly as it
// was when the family is left alone, whatever else changes; every family offers bold and italic.
TEST(QtInteraction, FontDialogKeepsAnUntouchedFaceAndOffersEveryStyle) {
  App();
  const QString oneStyle = OneStyleFamily();
  ASSERT_FALSE(oneStyle.isEmpty()) << "the desktop's Chinese font packages are missing";
  // "宋体" is not a family here: the desktop shows it with a stand-in.
  QFont::insertSubstitution(QStringLiteral("宋体"), oneStyle);
  const QString shown = QFontInfo(QFont(QStringLiteral("宋体"))).family();
  ASSERT_NE(shown, QStringLiteral("宋体"));

  FontChoice initial;
  initial.face = QStringLiteral("宋体");
  initial.pointSize = 14;
  initial.underline = true;
  initial.color = Qt::red;

  struct Row {
    const char* name;
    std::function<void(QDialog&)> act;  // before OK
    QString face;
    bool bold, italic, underline;
    int size;
  };
  const std::vector<Row> rows = {
      {"nothing changed", [](QDialog&) {}, QStringLiteral("宋体"), false, false, true, 14},
      {"bold", [](QDialog& d) { ListOf(d, "styleList").setCurrentRow(2); }, QStringLiteral("宋体"), true,
       false, true, 14},
      {"italic, no underline, size 20",
       [](QDialog& d) {
         ListOf(d, "styleList").setCurrentRow(1);
         d.findChild<QCheckBox*>(QStringLiteral("underline"))->setChecked(false);
         d.findChild<QComboBox*>(QStringLiteral("sizeBox"))->setCurrentText(QStringLiteral("20"));
       },
       QStringLiteral("宋体"), false, true, false, 20},
      {"another family, bold italic",
       [](QDialog& d) {
         SelectFamily(d, QStringLiteral("DejaVu Sans"));
         ListOf(d, "styleList").setCurrentRow(3);
       },
       QStringLiteral("DejaVu Sans"), true, true, true, 14},
      {"away and back to the shown family",
       [&](QDialog& d) {
         SelectFamily(d, QStringLiteral("DejaVu Sans"));
         SelectFamily(d, shown);
       },
       QStringLiteral("宋体"), false, false, true, 14},
  };
  for (const Row& row : rows) {
    QString opened;
    QStringList styles;
    DialogDriver driver;
    driver.Then<QDialog>([&](QDialog& dialog) {
      EXPECT_EQ(dialog.windowTitle(), QStringLiteral("字体"));
      opened = ListOf(dialog, "familyList").currentItem()->text();
      for (int i = 0; i < ListOf(dialog, "styleList").count(); ++i)
        styles << ListOf(dialog, "styleList").item(i)->text();
      row.act(dialog);
      ClickOk(dialog);
    });
    const auto chosen = MakeQtInteraction()->FontDialog(initial);
    EXPECT_TRUE(driver.Done()) << row.name;
    EXPECT_EQ(opened, shown) << row.name;
    EXPECT_EQ(styles, (QStringList{"常规", "倾斜", "粗体", "粗偏斜体"})) << row.name;
    ASSERT_TRUE(chosen) << row.name;
    EXPECT_EQ(chosen->face, row.face) << row.name;
    EXPECT_EQ(chosen->bold, row.bold) << row.name;
    EXPECT_EQ(chosen->italic, row.italic) << row.name;
    EXPECT_EQ(chosen->underline, row.underline) << row.name;
    EXPECT_FALSE(chosen->strikeOut) << row.name;
    EXPECT_EQ(chosen->pointSize, row.size) << row.name;
    EXPECT_EQ(chosen->color, QColor(Qt::red)) << row.name;
  }
  QFont::removeSubstitutions(QStringLiteral("宋体"));
}

TEST(QtInteraction, FontDialogColourAndHowItCloses) {
  App();
  FontChoice initial;
  initial.face = QStringLiteral("DejaVu Sans");
  initial.pointSize = 11;
  initial.bold = initial.italic = initial.strikeOut = true;
  initial.color = Qt::green;

  DialogDriver colours;
  colours
      .Then<QDialog>([](QDialog& dialog) {
        EXPECT_EQ(ListOf(dialog, "styleList").currentRow(), 3) << "bold italic";
        EXPECT_TRUE(dialog.findChild<QCheckBox*>(QStringLiteral("strikeOut"))->isChecked());
        dialog.findChild<QPushButton*>(QStringLiteral("colorButton"))->click();
      })
      .Then<QColorDialog>([](QColorDialog& dialog) {
        EXPECT_EQ(dialog.currentColor(), QColor(Qt::green));
        dialog.setCurrentColor(Qt::blue);
        dialog.accept();
      })
      .Then<QDialog>([](QDialog& dialog) { ClickOk(dialog); });
  const auto recoloured = MakeQtInteraction()->FontDialog(initial);
  EXPECT_TRUE(colours.Done());
  ASSERT_TRUE(recoloured);
  EXPECT_EQ(recoloured->color, QColor(Qt::blue));
  EXPECT_TRUE(recoloured->bold && recoloured->italic && recoloured->strikeOut);

  struct Row {
    const char* name;
    const char* target;  // object name of the widget with the focus
    int key;
  };
  for (const Row& row : {Row{"Enter in the family list", "familyList", Qt::Key_Return},
                         Row{"Enter in the family name", "familyEdit", Qt::Key_Enter},
                         Row{"Esc in the style list", "styleList", Qt::Key_Escape}}) {
    DialogDriver driver;
    driver.Then<QDialog>([&row](QDialog& dialog) {
      auto* target = dialog.findChild<QWidget*>(QString::fromLatin1(row.target));
      target->setFocus();
      QTest::keyClick(target, static_cast<Qt::Key>(row.key));
    });
    const auto chosen = MakeQtInteraction()->FontDialog(initial);
    EXPECT_TRUE(driver.Done()) << row.name;
    ASSERT_EQ(chosen.has_value(), row.key != Qt::Key_Escape) << row.name;
    if (chosen) {
      EXPECT_EQ(chosen->face, QStringLiteral("DejaVu Sans")) << row.name;
      EXPECT_EQ(chosen->pointSize, 11) << row.name;
      EXPECT_EQ(chosen->color, QColor(Qt::green)) << row.name;
    }
  }
}

QProgressDialog* ProgressDialog() {
  for (QWidget* w : QApplication::allWidgets())
    if (w->objectName() == QStringLiteral("progressDialog")) return qobject_cast<QProgressDialog*>(w);
  return nullptr;
}

// Work that ends in a moment shows nothing; work that runs on shows "N / M" in a modal dialog that
// stays up until the work ends, whose cancel (button, close box or Esc) is what step reports.
TEST(QtInteraction, ProgressShowsAfterAMomentAndReportsTheCancel) {
  App();
  struct Row {
    const char* name;
    bool cancellable;
    std::function<void(QProgressDialog&)> act;  // what the person does once it shows
    bool cancels;
  };
  const std::vector<Row> rows = {
      {"cancel button", true, [](QProgressDialog& d) { d.findChild<QPushButton*>()->click(); }, true},
      {"close box", true, [](QProgressDialog& d) { d.close(); }, true},
      {"Esc", true,
       [](QProgressDialog& d) {
         QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
         QCoreApplication::sendEvent(&d, &esc);
       },
       true},
      {"nothing to cancel with", false,
       [](QProgressDialog& d) {
         EXPECT_EQ(d.findChild<QPushButton*>(), nullptr);
         d.close();
         QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
         QCoreApplication::sendEvent(&d, &esc);
       },
       false},
  };
  for (const Row& row : rows) {
    auto progress = MakeQtInteraction()->BeginProgress(QStringLiteral("导出"), 5, row.cancellable);
    EXPECT_TRUE(progress->Step(1)) << row.name;
    EXPECT_EQ(ProgressDialog(), nullptr) << row.name << ": shown at once";
    QThread::msleep(600);
    EXPECT_TRUE(progress->Step(2)) << row.name;
    QProgressDialog* dialog = ProgressDialog();
    ASSERT_NE(dialog, nullptr) << row.name;
    EXPECT_TRUE(dialog->isVisible()) << row.name;
    EXPECT_EQ(QApplication::activeModalWidget(), dialog) << row.name;
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("导出")) << row.name;
    EXPECT_EQ(dialog->findChild<QLabel*>()->text(), QStringLiteral("2 / 5")) << row.name;

    row.act(*dialog);
    EXPECT_EQ(progress->Step(3), !row.cancels) << row.name;
    EXPECT_EQ(progress->Cancelled(), row.cancels) << row.name;
    EXPECT_TRUE(dialog->isVisible()) << row.name << ": gone before the work ended";
    QThread::msleep(50);
    progress->Step(5);
    EXPECT_EQ(dialog->findChild<QLabel*>()->text(), QStringLiteral("5 / 5")) << row.name;
    progress.reset();
    EXPECT_EQ(ProgressDialog(), nullptr) << row.name;
  }
}

TEST(ScriptedInteraction, ProgressIsRecordedAndCancelledWhereScripted) {
  ScopedScriptedInteraction scripted;
  scripted->CancelProgressAt(3);
  {
    auto progress = CurrentInteraction().BeginProgress(QStringLiteral("另存为"), 10, true);
    for (int done = 1; done <= 10 && progress->Step(done); ++done) {
    }
    EXPECT_TRUE(progress->Cancelled());
  }
  auto quiet = CurrentInteraction().BeginProgress(QStringLiteral("打开"), 2, false);
  EXPECT_TRUE(quiet->Step(1));
  EXPECT_TRUE(quiet->Step(2));

  ASSERT_EQ(scripted->progress.size(), 2u);
  const auto& saved = scripted->progress[0];
  EXPECT_EQ(saved.caption, QStringLiteral("另存为"));
  EXPECT_EQ(saved.total, 10);
  EXPECT_EQ(saved.steps, (std::vector<std::int64_t>{1, 2, 3}));
  EXPECT_TRUE(saved.cancelled && saved.ended);
  EXPECT_FALSE(scripted->progress[1].cancelled || scripted->progress[1].ended);

  // Cancelling what cannot be cancelled is a scripting mistake, noted like an unasked question.
  scripted->CancelProgressAt(1);
  auto other = CurrentInteraction().BeginProgress(QStringLiteral("打开"), 2, false);
  EXPECT_TRUE(other->Step(2));
  EXPECT_EQ(scripted->Unexpected(), 1);
}

}  // namespace
}  // namespace nvx
