// A list view like the editor's catalogue, headless: rows appended in one step, and selecting a
// row by its property.
#include <QFontDatabase>
#include <QFontInfo>
#include <QRawFont>
#include <QScrollBar>
#include <QTreeView>

#include "base/codepage.h"
#include "runtime/qt_text.h"
#include "runtime/unit_types.h"
#include "support/gui_test.h"
#include "test_forms.h"

namespace nvx {
namespace {

namespace mw = test_forms::main_window;
using test::GuiTest;

const UnitRef kCatalogue{mw::kWindow, mw::kList};

class ListViewTest : public GuiTest {
 protected:
  ListViewTest() : GuiTest(test_forms::AllWindows()) {}
  void SetUp() override {
    GuiTest::SetUp();
    ASSERT_TRUE(LoadWindow(mw::kWindow));
    tree = Control<QTreeView>(mw::kWindow, "超级列表框1");
    ASSERT_NE(tree, nullptr);
  }
  QTreeView* tree = nullptr;
};

// Rows appended in bulk read back and show as rows appended one by one do.
TEST_F(ListViewTest, AppendRowsKeepsOrderTextsAndAlignment) {
  const int one = ListView::InsertItem(kCatalogue);
  ListView::SetItemText(kCatalogue, one, 0, "7");
  ListView::SetItemText(kCatalogue, one, 1, L("第七章"));

  std::vector<std::vector<Text>> rows;
  for (int i = 0; i < 2500; ++i)
    rows.push_back({std::to_string(100 + i), L("第") + std::to_string(i) + L("章")});
  rows.push_back({"0", ""});                // the trailing blank row
  rows.push_back({"5"});                    // fewer columns than the list has
  rows.push_back({"6", L("六"), "extra"});  // more: the extra text goes nowhere
  EXPECT_EQ(ListView::AppendRows(kCatalogue, rows), 1) << "the index of the first new row";
  ASSERT_EQ(ListView::ItemCount(kCatalogue), 1 + 2503);
  for (int i : {0, 1, 1234, 2500}) {
    const std::vector<Text>& row = rows[static_cast<std::size_t>(i)];
    EXPECT_EQ(ListView::GetItemText(kCatalogue, 1 + i, 0), row[0]) << "row " << i;
    EXPECT_EQ(ListView::GetItemText(kCatalogue, 1 + i, 1), row[1]) << "row " << i;
  }
  EXPECT_EQ(ListView::GetItemText(kCatalogue, 2502, 1), "");
  EXPECT_EQ(ListView::GetItemText(kCatalogue, 2503, 1), L("六"));
  for (int column : {0, 1}) {
    EXPECT_EQ(tree->model()->index(1, column).data(Qt::TextAlignmentRole),
              tree->model()->index(0, column).data(Qt::TextAlignmentRole))
        << "column " << column;
  }
  EXPECT_EQ(ListView::AppendRows(kCatalogue, {}), 2504) << "nothing appended: the row count";
  EXPECT_EQ(ListView::InsertItem(kCatalogue), 2504);
}

// Each row keeps the key it was appended with, by its index, whatever rows come before or after;
// rows given none, and rows not there, have none, and an emptied list keeps none.
TEST_F(ListViewTest, RowsKeepTheirKeys) {
  ListView::InsertItem(kCatalogue);
  Utf8Rows batch;
  batch.columns = 2;
  for (const std::int64_t id : {std::int64_t{9}, std::int64_t{-4}, std::int64_t{1} << 40}) {
    batch.Add(std::to_string(id));
    batch.Add("t");
    batch.keys.push_back(id);
  }
  batch.Add("0");  // a row past the keys given
  batch.Add("");
  EXPECT_EQ(ListView::AppendUtf8Rows(kCatalogue, batch), 1);
  batch.Clear();
  batch.Add("0");
  batch.Add("");
  batch.keys.push_back(0);
  ListView::AppendUtf8Rows(kCatalogue, batch);
  // Rows -1 to 6: none there, the row inserted, the three keyed, the one past them, the second
  // batch's, none there.
  const std::optional<std::int64_t> expected[] = {std::nullopt,          std::nullopt, 9, -4,
                                                  std::int64_t{1} << 40, std::nullopt, 0, std::nullopt};
  for (int row = -1; row <= 6; ++row)
    EXPECT_EQ(ListView::ItemKey(kCatalogue, row), expected[row + 1]) << "row " << row;
  ListView::DeleteAllItems(kCatalogue);
  ListView::InsertItem(kCatalogue);
  EXPECT_EQ(ListView::ItemKey(kCatalogue, 0), std::nullopt);
}

// A list reads in one face. A title with a character the first substitute lacks (Hangul, which
// AR PL UMing has not) moves every row to the first substitute that has all their characters;
// an emptied list goes back.
TEST_F(ListViewTest, EveryRowReadsInOneFace) {
  const QString song = QString::fromUtf8("宋体");
  const QString uming = QStringLiteral("AR PL UMing CN");
  const QString hei = QStringLiteral("WenQuanYi Micro Hei");
  if (!QFontDatabase::hasFamily(uming) || !QFontDatabase::hasFamily(hei)) GTEST_SKIP() << "CJK fonts missing";
  QFont::insertSubstitutions(song, {uming, hei});
  // The one face the rows are drawn in, and whether it has Hangul.
  const auto face = [&] { return QFontInfo(tree->font()).family().toStdString(); };
  const auto hasHangul = [&] {
    QFont shown = tree->font();
    shown.setFamily(QString::fromStdString(face()));
    return QRawFont::fromFont(shown).supportsCharacter(U'한');
  };
  using Rows = std::vector<std::vector<Text>>;
  ListView::AppendRows(kCatalogue, Rows{{"1", L("静夜思")}, {"2", L("道德经·第一章")}});
  EXPECT_EQ(face(), uming.toStdString());
  ListView::AppendRows(kCatalogue, Rows{{"3", L("한국어 제목")}});
  EXPECT_EQ(face(), hei.toStdString()) << "AR PL UMing lacks five characters, WenQuanYi only the middle dot";
  EXPECT_TRUE(hasHangul());
  ListView::DeleteAllItems(kCatalogue);
  ListView::AppendRows(kCatalogue, Rows{{"1", L("静夜思")}});
  EXPECT_EQ(face(), uming.toStdString());
  ListView::SetItemText(kCatalogue, ListView::InsertItem(kCatalogue), 1, L("春晓 한"));
  EXPECT_EQ(face(), hei.toStdString());
  QFont::removeSubstitutions(song);
}

// A row's place on screen, worked out from its index, is where a click finds that row, wherever
// the list is scrolled and in either scroll mode.
TEST_F(ListViewTest, EveryRowIsWhereAClickFindsIt) {
  std::vector<std::vector<Text>> rows;
  for (int i = 0; i < 5000; ++i) rows.push_back({std::to_string(i), L("第") + std::to_string(i) + L("章")});
  ListView::AppendRows(kCatalogue, rows);
  for (auto mode : {QAbstractItemView::ScrollPerItem, QAbstractItemView::ScrollPerPixel}) {
    tree->setVerticalScrollMode(mode);
    for (int target : {0, 2500, 4999}) {
      tree->scrollTo(tree->model()->index(target, 1));
      Settle();
      const int first = tree->indexAt({2, 2}).row();
      for (int row = first; row < first + 5; ++row) {
        for (int column : {0, 1}) {
          const QModelIndex index = tree->model()->index(row, column);
          const QRect rect = tree->visualRect(index);
          if (rect.width() > 0) {
            EXPECT_EQ(tree->indexAt(rect.center()), index) << mode << " " << row;
          }
        }
        const QRect rect = tree->visualRect(tree->model()->index(row, 1));
        EXPECT_EQ(tree->indexAt(QPoint(rect.left() + 1, rect.bottom())).row(), row) << "the row's last line";
      }
    }
  }
}

// Texts set again and again (the catalogue's titles renamed) read back as last set, every row.
TEST_F(ListViewTest, ChangedTextsReadBackAsLastSet) {
  std::vector<std::vector<Text>> rows;
  for (int i = 0; i < 300; ++i) rows.push_back({std::to_string(i), L("标题") + std::to_string(i)});
  ListView::AppendRows(kCatalogue, rows);
  for (int round = 0; round < 20; ++round)
    for (int i = 0; i < 300; i += 3)
      ListView::SetItemText(kCatalogue, i, 1, L("改") + std::to_string(round * 1000 + i));
  for (int i : {0, 1, 2, 150, 297, 299}) {
    EXPECT_EQ(ListView::GetItemText(kCatalogue, i, 0), std::to_string(i));
    EXPECT_EQ(ListView::GetItemText(kCatalogue, i, 1),
              i % 3 == 0 ? L("改") + std::to_string(19000 + i) : L("标题") + std::to_string(i));
  }
}

// Previous and Next select a row by the current-row property; the catalogue stays where the user
// scrolled it.
TEST_F(ListViewTest, SelectingARowDoesNotScroll) {
  std::vector<std::vector<Text>> rows;
  for (int i = 0; i < 500; ++i) rows.push_back({std::to_string(i + 1), L("标题") + std::to_string(i)});
  ListView::AppendRows(kCatalogue, rows);
  Settle();
  QScrollBar* bar = tree->verticalScrollBar();
  ASSERT_GT(bar->maximum(), 0);
  bar->setValue(10);
  SetInt(kCatalogue, prop::list::kCurrentRow, 400);
  Settle();
  EXPECT_EQ(GetInt(kCatalogue, prop::list::kCurrentRow), 400);
  EXPECT_EQ(bar->value(), 10);
  SetInt(kCatalogue, prop::list::kCurrentRow, 2);
  Settle();
  EXPECT_EQ(GetInt(kCatalogue, prop::list::kCurrentRow), 2);
  EXPECT_EQ(bar->value(), 10);
  EXPECT_TRUE(tree->hasAutoScroll()) << "the user's own moves still scroll";
}

}  // namespace
}  // namespace nvx
