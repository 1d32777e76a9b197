// A rich edit box like the editor's content box, headless: its line count against the box's own
// layout, the count arriving after a long text, Find in both directions, its pop-up and its selection.
#include <QAbstractTextDocumentLayout>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>

#include "base/codepage.h"
#include "runtime/qt_text.h"
#include "runtime/unit_types.h"
#include "support/gui_test.h"
#include "test_forms.h"

namespace nvx {
namespace {

namespace mw = test_forms::main_window;
using test::GuiTest;

const UnitRef kContent{mw::kWindow, mw::kContentBox};

class RichEditTest : public GuiTest {
 protected:
  RichEditTest() : GuiTest(test_forms::AllWindows()) {}
  void SetUp() override {
    GuiTest::SetUp();
    ASSERT_TRUE(LoadWindow(mw::kWindow));
    box = Control<QPlainTextEdit>(mw::kWindow, "编辑框1");
    ASSERT_NE(box, nullptr);
    Move(kContent, 200, 0, 400, 300);
    Settle();
  }

  // Lines as the box's own document layout gives them when it lays out every block.
  int LaidOutLines() const {
    int lines = 0;
    for (QTextBlock b = box->document()->begin(); b.isValid(); b = b.next()) {
      box->document()->documentLayout()->blockBoundingRect(b);
      lines += std::max(1, b.lineCount());
    }
    return std::max(1, lines);
  }
  int LaidOutLinesBefore(const QTextBlock& block) const {
    int lines = 0;
    for (QTextBlock b = box->document()->begin(); b.isValid() && b != block; b = b.next()) {
      box->document()->documentLayout()->blockBoundingRect(b);
      lines += b.lineCount();
    }
    return lines;
  }

  QPlainTextEdit* box = nullptr;
};

// Chinese running text in paragraphs of `width` characters, `count` of them, CR LF between.
Text Paragraphs(int count, int width) {
  Text text;
  const Text chars = L("春眠不觉晓处处闻啼鸟夜来风雨声花落知多少");
  for (int i = 0; i < count; ++i) {
    for (int k = 0; k < width; ++k) text += chars.substr(static_cast<std::size_t>(2 * ((i + k) % 20)), 2);
    text += "\r\n";
  }
  return text;
}

TEST_F(RichEditTest, LineCountIsTheBoxsOwnLayout) {
  const Text nbsp = L("\u00A0");
  const struct {
    const char* name;
    Text text;
  } rows[] = {
      {"empty", ""},
      {"one short line", "abc"},
      {"trailing line break", "abc\r\n"},
      {"Chinese paragraphs that wrap", Paragraphs(40, 130)},
      {"words and spaces", std::string(50, ' ') + "word " + std::string(300, 'x') +
                               " tail and more words here " +
                               "and there, again and again and again and again and again and again"},
      {"tabs", "a\tb\t\tc\t" + std::string(200, 'y') + "\t" + std::string(100, 'z')},
      {"no-break spaces", "one" + nbsp + "two" + nbsp + "three " + Paragraphs(3, 90)},
      {"a line separator inside a line", "before" + L("\u2028") + "after\r\nnext"},
      {"only line breaks", "\r\n\r\n\n\r"},
  };
  for (const int width : {400, 157}) {
    Move(kContent, 200, 0, width, 300);
    Settle();
    for (const auto& row : rows) {
      SetText(kContent, prop::rich::kText, row.text);
      const int counted = RichEdit::LineCount(kContent);
      EXPECT_EQ(counted, LaidOutLines()) << row.name << " at width " << width;
    }
  }
}

TEST_F(RichEditTest, LineCountArrivesAfterTheText) {
  const Text article = Paragraphs(3000, 120);
  SetText(kContent, prop::rich::kText, article);
  std::optional<int> arrived;
  RichEdit::WhenLineCountReady(kContent, [&](std::int32_t lines) { arrived = lines; });
  EXPECT_FALSE(arrived) << "a long text is counted in idle time, not before the call returns";
  // The user types while it is counted: the count is of the text as it was asked.
  QTextCursor end(box->document());
  end.movePosition(QTextCursor::End);
  end.insertText(QStringLiteral("\nmore\nlines"));
  QTRY_VERIFY_WITH_TIMEOUT(arrived.has_value(), 60000);
  end.movePosition(QTextCursor::End);
  end.movePosition(QTextCursor::PreviousBlock, QTextCursor::KeepAnchor, 2);
  end.removeSelectedText();
  EXPECT_EQ(*arrived, LaidOutLines());
  EXPECT_GT(*arrived, 3000);

  // The synchronous count agrees; once it is known, the next caller hears at once.
  EXPECT_EQ(RichEdit::LineCount(kContent), *arrived);
  std::optional<int> again;
  RichEdit::WhenLineCountReady(kContent, [&](std::int32_t lines) { again = lines; });
  EXPECT_EQ(again, arrived);

  // Another text set by the program drops a call still waiting; a newer call replaces an older.
  bool stale = false;
  SetText(kContent, prop::rich::kText, article + article);
  RichEdit::WhenLineCountReady(kContent, [&](std::int32_t) { stale = true; });
  SetText(kContent, prop::rich::kText, Paragraphs(2000, 50));
  std::optional<int> replaced, latest;
  RichEdit::WhenLineCountReady(kContent, [&](std::int32_t lines) { replaced = lines; });
  RichEdit::WhenLineCountReady(kContent, [&](std::int32_t lines) { latest = lines; });
  QTRY_VERIFY_WITH_TIMEOUT(latest.has_value(), 60000);
  EXPECT_FALSE(stale);
  EXPECT_FALSE(replaced);
  EXPECT_EQ(*latest, LaidOutLines());
}

// The lines-read part names the line at the top of the box among all lines, also when the box
// has laid out only what it showed: after it was resized, every block counts one line again
// until shown, even when the width comes back to the one the lines were counted at.
TEST_F(RichEditTest, FirstVisibleLineCountsTheWrappedLinesAbove) {
  SetText(kContent, prop::rich::kText, Paragraphs(400, 100));
  EXPECT_EQ(RichEdit::FirstVisibleLine(kContent), 0);
  RichEdit::LineCount(kContent);
  for (const int width : {300, 400}) {
    Move(kContent, 200, 0, width, 300);
    Settle();
    box->verticalScrollBar()->setValue(box->verticalScrollBar()->maximum() / 2);
    Settle();
    const int seen = RichEdit::FirstVisibleLine(kContent);
    const QTextCursor top = box->cursorForPosition(QPoint(1, 1));
    const QTextBlock block = top.block();
    const int inBlock = block.layout()->lineForTextPosition(top.positionInBlock()).lineNumber();
    EXPECT_EQ(seen, LaidOutLinesBefore(block) + inBlock) << "width " << width;
    EXPECT_GT(seen, 400) << "width " << width;
    box->verticalScrollBar()->setValue(0);
  }
}

TEST_F(RichEditTest, FindSearchesBothWaysWithTheSameRules) {
  const Text nbsp = L("\u00A0");
  const Text text = "a" + nbsp + "b a b A B" + "\r\n" + L("甲乙") + nbsp + L("甲乙 甲乙");
  SetText(kContent, prop::rich::kText, text);
  // Positions: "a\u00A0b a b A B" 0-10, the line break 11, "甲乙\u00A0甲乙 甲乙" 12-19.
  const struct {
    const char* name;
    Text needle;
    bool matchCase;
    std::int32_t start;
    std::int32_t down;  // FindText from start
    std::int32_t up;    // FindTextBackward from start
  } rows[] = {
      {"a no-break space is not a space", "a b", true, 0, 4, -1},
      {"a space is not a no-break space", L("乙 甲"), true, 0, 16, -1},
      {"a no-break space as typed", "a" + nbsp + "b", true, 0, 0, 0},
      {"a no-break space as typed, up", L("乙") + nbsp, true, 13, 13, 13},
      {"case matched", "A B", true, 0, 8, -1},
      {"case ignored", "A B", false, 7, 8, 4},
      {"case ignored, up from the end", "a b", false, 100, -1, 8},
      {"never across a line break", "B\r\n" + L("甲"), true, 0, -1, -1},
      {"overlapping start", L("甲乙"), true, 13, 15, 12},
      {"start past the end", "a", true, 25, -1, 4},
      {"start below 0", "a", true, -3, 0, -1},
      {"empty text", "", true, 0, -1, -1},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(RichEdit::FindText(kContent, row.start, row.matchCase, false, row.needle), row.down)
        << row.name;
    EXPECT_EQ(RichEdit::FindTextBackward(kContent, row.start, row.matchCase, row.needle), row.up) << row.name;
  }
  EXPECT_EQ(RichEdit::FindText(kContent, 1, true, true, "b"), 2) << "a no-break space ends a word";
  EXPECT_EQ(RichEdit::FindText(kContent, 0, true, true, L("甲")), -1)
      << "no whole word inside a run of letters";
  EXPECT_EQ(RichEdit::FindText(kContent, 13, true, true, L("甲乙")), 15);

  // The searched copy follows every change: the user's typing and the program's texts.
  QTextCursor c(box->document());
  c.insertText(QStringLiteral("xyz"));
  EXPECT_EQ(RichEdit::FindText(kContent, 0, true, false, "xyz"), 0);
  EXPECT_EQ(RichEdit::FindTextBackward(kContent, 100, true, "a b"), 7);
  SetText(kContent, prop::rich::kText, "new text");
  EXPECT_EQ(RichEdit::FindText(kContent, 0, true, false, "xyz"), -1);
  EXPECT_EQ(RichEdit::FindTextBackward(kContent, 100, true, "text"), 4);
}

// A right click sends the box a context-menu event after the press; the program's pop-up has
// already run on the press, so the box must show no menu of its own.
TEST_F(RichEditTest, RightClickShowsNoMenuOfTheBox) {
  SetText(kContent, prop::rich::kText, "some text");
  const QPoint at(20, 10);
  QContextMenuEvent event(QContextMenuEvent::Mouse, at, box->viewport()->mapToGlobal(at));
  QApplication::sendEvent(box->viewport(), &event);
  Settle();
  QStringList menus;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (qobject_cast<QMenu*>(w) != nullptr && w->isVisible()) {
      menus << w->objectName();
      w->close();
    }
  }
  Settle();
  EXPECT_TRUE(menus.isEmpty()) << "the box showed a menu of its own";
}

// Find keeps the focus in its own window; the match must show in the box all the same, as
// brightly as with the focus, also where the desktop greys out an inactive selection.
TEST_F(RichEditTest, SelectionShowsWhileTheBoxHasNoFocus) {
  Destroy(mw::kWindow);
  Settle();
  struct DesktopPalette {
    const QPalette desktop = QApplication::palette();
    ~DesktopPalette() { QApplication::setPalette(desktop); }
  } restore;
  QPalette greyed = restore.desktop;
  greyed.setColor(QPalette::Inactive, QPalette::Highlight, QColor(0xC0, 0xC0, 0xC0));
  QApplication::setPalette(greyed);
  ASSERT_TRUE(LoadWindow(mw::kWindow));
  box = Control<QPlainTextEdit>(mw::kWindow, "编辑框1");

  SetText(kContent, prop::rich::kText, std::string(30, 'W'));
  SetInt(kContent, prop::rich::kSelStart, 0);
  SetInt(kContent, prop::rich::kSelLength, -1);
  Control<QWidget>(mw::kWindow, "超级列表框1")->setFocus();
  ASSERT_FALSE(box->hasFocus());
  const QColor highlight = box->palette().color(QPalette::Active, QPalette::Highlight);
  ASSERT_NE(highlight, QColor(0xC0, 0xC0, 0xC0));
  const QImage seen = box->viewport()->grab().toImage();
  int highlighted = 0;
  for (int y = 0; y < seen.height(); ++y)
    for (int x = 0; x < seen.width(); ++x) highlighted += seen.pixelColor(x, y) == highlight;
  EXPECT_GT(highlighted, 100) << "the selected text shows in the highlight colour";
}

}  // namespace
}  // namespace nvx
