// Start-up, the catalogue and moving between articles, through the real forms.
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>

#include "app/article_editing.h"
#include "app/catalogue.h"
#include "app/file_menu.h"
#include "collections.h"
#include "editor_fixture.h"
#include "store/sqlite_table.h"

namespace nvx::test {
namespace {

class CatalogueTest : public EditorFixture {};

TEST_F(CatalogueTest, StartsWithNothingOpen) {
  EXPECT_EQ(GetText(kMain, prop::kTitle), L("NVX编辑器"));
  EXPECT_EQ(ListView::ItemCount(kCatalogue), 0);
  EXPECT_EQ(GetText(kContent, prop::rich::kText), "");
  EXPECT_EQ(State().articleDb.Handle(), nullptr);
  EXPECT_EQ(State().editMode, app::EditMode::None);
  EXPECT_EQ(View().currentFormat.faceName, L("宋体"));
  EXPECT_EQ(View().currentFormat.size, 9);
  EXPECT_EQ(View().currentFormat.color, kDefaultColor);
  for (int part : {1, 3, 5, 7}) EXPECT_EQ(StatusPart(part), "");
  EXPECT_FALSE(SaveTitleButtonShown());
  Choose("保存文章");
  EXPECT_TRUE(ui->Messages().empty()) << "nothing pending: a save does nothing and says nothing";
}

TEST_F(CatalogueTest, CatalogueListsArticlesAndATrailingBlankRow) {
  const std::string path = dir.File("三篇.nvx");
  MakeCollection(path, {{2, "第二", "甲"}, {5, "第五", "乙"}, {9, "第九", "丙"}});
  OpenThroughMenu(path);
  EXPECT_EQ(CatalogueRows(), (std::vector<std::string>{"2|第二", "5|第五", "9|第九", "0|"}));
  EXPECT_EQ(StatusPart(1), L("3篇"));
  EXPECT_EQ(GetText(kMain, prop::kTitle), L("NVX编辑器 [") + FromUtf8(path).value() + "]");
  EXPECT_EQ(GetInt(kCatalogue, prop::list::kCurrentRow), -1) << "no row selected after loading";

  // An empty collection and a file that is not a database: no rows, "0篇", the path in the title.
  const std::string empty = dir.File("empty.nvx");
  MakeCollection(empty, {});
  OpenThroughMenu(empty);
  EXPECT_EQ(ListView::ItemCount(kCatalogue), 0);
  EXPECT_EQ(StatusPart(1), L("0篇"));
  const std::string notes = dir.File("notes.txt");
  WriteFile(notes, std::string(4096, 'n'));
  OpenThroughMenu(notes);
  EXPECT_EQ(ListView::ItemCount(kCatalogue), 0);
  EXPECT_EQ(StatusPart(1), L("0篇"));
  EXPECT_EQ(GetText(kMain, prop::kTitle), L("NVX编辑器 [") + notes + "]");
  EXPECT_EQ(ReadFile(notes), std::string(4096, 'n')) << "the foreign file is untouched";
}

TEST_F(CatalogueTest, ClickingShowsTheArticleInItsOwnFormat) {
  const std::string path = dir.File("books.nvx");
  MakeCollection(path, {{1, "一", "第一行\r\n第二行"}, {4, "四", ""}, {6, "六", "x"}});
  QueryFile(path, "SELECT 1");
  {
    SqliteDB db;
    ASSERT_TRUE(db.Open(path));
    ASSERT_TRUE(db.Execute("UPDATE nr SET zt='" + L("黑体") + "', ztdx=20, ys=255, xg=2 WHERE id=6"));
  }
  OpenThroughMenu(path);

  ClickRow(0);
  EXPECT_EQ(GetText(kContent, prop::rich::kText), L("第一行\r\n第二行"));
  EXPECT_EQ(State().currentArticleId, 1);
  EXPECT_EQ(State().currentTitle, L("一"));
  EXPECT_EQ(State().editMode, app::EditMode::Loaded);
  EXPECT_EQ(StatusPart(3), L("2行"));
  EXPECT_EQ(StatusPart(5), L("0行"));
  EXPECT_EQ(StatusPart(7), L("一"));
  // Never written colour and effects: black, plain; face and size as stored.
  EXPECT_EQ(View().currentFormat.color, 0);
  EXPECT_EQ(View().currentFormat.effects, 0);
  EXPECT_EQ(View().currentFormat.size, 14);
  auto* box = Control<QPlainTextEdit>(mw::kWindow, "编辑框1");
  EXPECT_EQ(box->palette().color(QPalette::Text), QColor(Qt::black));
  EXPECT_EQ(QueryFile(path, "SELECT typeof(xg) FROM nr WHERE id=1"), "null");
  QTest::keyClick(box, Qt::Key_S, Qt::ControlModifier);
  Settle();
  EXPECT_EQ(QueryFile(path, "SELECT xg FROM nr WHERE id=1"), "0") << "Ctrl+S saves the article loaded";

  ClickRow(2);
  EXPECT_EQ(View().currentFormat.faceName, L("黑体"));
  EXPECT_EQ(box->font().pointSize(), 20);
  EXPECT_TRUE(box->font().italic());
  EXPECT_EQ(box->palette().color(QPalette::Text), QColor(255, 0, 0));

  ClickRow(1);
  EXPECT_EQ(GetText(kContent, prop::rich::kText), "");
  EXPECT_EQ(StatusPart(3), L("1行")) << "an empty box has one line";

  // The trailing blank row loads nothing but is taken as the current article.
  ClickRow(1);
  SetText(kContent, prop::rich::kText, "typed");
  ClickRow(3);
  EXPECT_EQ(GetText(kContent, prop::rich::kText), "typed");
  EXPECT_EQ(State().currentTitle, ListView::GetItemText(kCatalogue, 1, 1)) << "the title stays as it was";
  EXPECT_EQ(State().currentArticleId, 0);
  EXPECT_EQ(State().editMode, app::EditMode::Loaded);
  Choose("保存文章");
  EXPECT_EQ(QueryFile(path, "SELECT count(*) FROM nr"), "3") << "a save rewrites article 0, which is none";
  EXPECT_TRUE(ui->Messages().empty());

  // A double click loads and moves the keyboard focus into the content box.
  DoubleClickRow(0);
  EXPECT_EQ(GetText(kContent, prop::rich::kText), L("第一行\r\n第二行"));
  EXPECT_EQ(QApplication::focusWidget(), box);
}

TEST_F(CatalogueTest, PreviousAndNextStopAtBothEnds) {
  const std::string path = dir.File("books.nvx");
  MakeCollection(path, {{3, "甲", "a"}, {7, "乙", "b"}, {8, "丙", "c"}});
  OpenThroughMenu(path);

  Choose("上一篇");
  EXPECT_TRUE(ui->Messages().empty()) << "nothing selected: nothing happens";
  Choose("下一篇");
  EXPECT_EQ(State().currentArticleId, 3) << "with nothing selected, Next shows the first";
  Choose("上一篇");
  ASSERT_EQ(ui->Messages().size(), 1u);
  EXPECT_EQ(ui->Messages().back().text, QStringLiteral("已经到了第一篇了,不能再后退了"));
  EXPECT_EQ(ui->Messages().back().caption, QStringLiteral("友情提示!"));
  EXPECT_EQ(ui->Messages().back().flags, 64);

  Choose("下一篇");
  Choose("下一篇");
  EXPECT_EQ(StatusPart(7), L("丙"));
  Choose("下一篇");
  EXPECT_EQ(ui->Messages().back().text, QStringLiteral("已经到底了,无法再往下"));
  EXPECT_EQ(GetInt(kCatalogue, prop::list::kCurrentRow), 2) << "stays on the last article";
  EXPECT_EQ(GetText(kContent, prop::rich::kText), "c");
  Choose("上一篇");
  EXPECT_EQ(GetText(kContent, prop::rich::kText), "b");
}

// A long catalogue shows its first screen at once and fills the rest between events. Meanwhile a
// click, Next past the rows read, Previous, a save and a delete act on the article they name;
// closing, or opening another collection, stops the fill.
TEST_F(CatalogueTest, ALongCatalogueFillsInTheBackgroundWhileEveryCommandActsOnTheRightArticle) {
  const std::string path = dir.File("long.nvx");
  MakeNumberedCollection(path, 20000);
  const auto shownRows = [] { return CatalogueWidget()->model()->rowCount(); };
  const auto open = [&](const std::string& file) {
    ASSERT_TRUE(app::OpenDatabaseAt(FromUtf8(file).value()));
  };
  const auto select = [](int row) { SetInt(kCatalogue, prop::list::kCurrentRow, row); };
  open(path);
  ASSERT_TRUE(ListView::Filling(kCatalogue));
  EXPECT_LT(shownRows(), 20000);
  EXPECT_EQ(StatusPart(mw::kPartArticleCount), std::to_string(shownRows()) + L("篇…"));

  select(5);
  app::LoadArticle();
  EXPECT_EQ(State().currentArticleId, 6);
  const int last = shownRows() - 1;
  select(last);
  app::Next();
  EXPECT_EQ(State().currentArticleId, last + 2) << "the next row is read on demand";
  EXPECT_EQ(StatusPart(mw::kPartTitle), "t" + std::to_string(last + 2));
  app::Previous();
  EXPECT_EQ(State().currentArticleId, last + 1);
  SetText(kContent, prop::rich::kText, L("新的"));
  app::SaveArticle();
  select(15000);
  app::DeleteArticle();
  EXPECT_EQ(QueryFile(path, "SELECT group_concat(id) FROM nr WHERE id IN (15000, 15001, 15002)"),
            "15000,15002");
  EXPECT_TRUE(ListView::Filling(kCatalogue)) << "only the rows needed were read";

  while (ListView::Filling(kCatalogue)) QCoreApplication::processEvents();
  ASSERT_EQ(ListView::ItemCount(kCatalogue), 20000) << "19,999 articles and the trailing blank row";
  EXPECT_EQ(StatusPart(mw::kPartArticleCount), "19999" + L("篇"));
  for (int row = 0; row < 19999; ++row) {
    const std::string id = std::to_string(row + 1 + (row >= 15000));
    ASSERT_EQ(ListView::GetItemText(kCatalogue, row, 0), id) << "row " << row;
    ASSERT_EQ(ListView::GetItemText(kCatalogue, row, 1), "t" + id);
  }
  select(last);
  app::LoadArticle();
  EXPECT_EQ(GetText(kContent, prop::rich::kText), L("新的")) << "saved under its own id";

  open(path);
  ASSERT_TRUE(ListView::Filling(kCatalogue));
  Choose("关闭");
  EXPECT_FALSE(ListView::Filling(kCatalogue));
  EXPECT_EQ(ListView::ItemCount(kCatalogue), 0);
  open(path);
  const std::string small = dir.File("small.nvx");
  MakeCollection(small, {{1, "一", "a"}});
  open(small);
  EXPECT_FALSE(ListView::Filling(kCatalogue));
  EXPECT_EQ(CatalogueRows(), (std::vector<std::string>{"1|一", "0|"}));
}

TEST_F(CatalogueTest, LineEndsAreShownAndKeptAsStored) {
  const std::string path = dir.File("ends.nvx");
  MakeCollection(path, {{1, "crlf", "a\r\nb"}, {2, "lf", "a\nb\nc"}, {3, "cr", "a\rb"}});
  OpenThroughMenu(path);
  for (int row : {0, 1, 2}) {
    ClickRow(row);
    EXPECT_EQ(RichEdit::LineCount(kContent), row == 1 ? 3 : 2);
  }
  EXPECT_EQ(GetText(kContent, prop::rich::kText), "a\rb") << "only read: the bytes as stored";
  QTest::keyClicks(Control<QPlainTextEdit>(mw::kWindow, "编辑框1"), "z");
  EXPECT_EQ(GetText(kContent, prop::rich::kText), "za\r\nb") << "edited: CR LF line ends";
}

TEST_F(CatalogueTest, ClosingTheWindowStoresTheReadingStateButExitDoesNot) {
  const std::string path = dir.File("state.nvx");
  std::string longText;
  for (int i = 0; i < 300; ++i) longText += "第" + std::to_string(i) + "行\r\n";
  MakeCollection(path, {{1, "长", longText}, {2, "短", "x"}});
  OpenThroughMenu(path);
  ClickRow(0);
  Control<QPlainTextEdit>(mw::kWindow, "编辑框1")->verticalScrollBar()->setValue(42);
  View().currentFormat.color = 0x00123456;
  WindowWidget(mw::kWindow)->close();
  Settle();
  EXPECT_FALSE(IsCreated(mw::kWindow));
  EXPECT_EQ(
      QueryFile(path, "SELECT ksid || '|' || zt || '|' || ztdx || '|' || ys || '|' || xg FROM nr WHERE id=1"),
      "42|宋体|14|1193046|0");
  EXPECT_EQ(QueryFile(path, "SELECT typeof(ys) FROM nr WHERE id=2"), "null") << "only the article shown";
  EXPECT_EQ(State().articleDb.Handle(), nullptr);

  ASSERT_TRUE(LoadWindow(mw::kWindow));
  OpenThroughMenu(path);
  ClickRow(1);
  View().currentFormat.size = 30;
  Choose("退出");
  EXPECT_FALSE(IsCreated(mw::kWindow));
  EXPECT_EQ(QueryFile(path, "SELECT ztdx FROM nr WHERE id=2"), "14") << "Exit stores nothing";
}

}  // namespace
}  // namespace nvx::test
