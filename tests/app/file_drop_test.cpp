// Files dropped onto the main window, as a file manager drops them.
#include <QDropEvent>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QUrl>

#include "editor_fixture.h"
#include "store/epub_writer.h"

namespace nvx::test {
namespace {

class FileDropTest : public EditorFixture {
 protected:
  // Drops `file` onto `target` (the main window when null) with a real drag-enter and drop.
  void Drop(const std::string& file, QWidget* target = nullptr) {
    if (target == nullptr) target = WindowWidget(mw::kWindow);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(file))});
    data.setText(QString::fromStdString(file));
    const QPointF at(target->width() / 2, target->height() / 2);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &dropped);
    ASSERT_TRUE(dropped.isAccepted());
    Settle();
  }

  QPlainTextEdit* ContentBox() { return WindowWidget(mw::kWindow)->findChild<QPlainTextEdit*>(); }
};

TEST_F(FileDropTest, BookIsImportedIntoTheOpenCollectionOnlyWhenTheUserAgrees) {
  OpenCollection({{1, "旧文", "x"}});
  const std::string book = dir.File("风起.txt");
  WriteFile(book, "引言一行\n第一章 初见\n那年春天。\n第二章 别离\n他走了。\n");

  ui->AnswerMessage(kButtonNo);
  Drop(book);
  ASSERT_NE(ui->LastMessage(), nullptr);
  EXPECT_EQ(ui->LastMessage()->text, QStringLiteral("导入 风起.txt: 3 篇?"));
  EXPECT_EQ(CatalogueRows().size(), 2u);  // the article and the trailing blank row
  EXPECT_EQ(QueryFile(path, "SELECT count(*) FROM nr"), "1");

  // Dropped onto the content box it is the same drop; the box takes no text from it.
  ui->AnswerMessage(kButtonYes);
  Drop(book, ContentBox()->viewport());
  EXPECT_EQ(ContentBox()->toPlainText(), QString());
  EXPECT_EQ(QueryFile(path, "SELECT group_concat(name, '|') FROM nr"), "旧文|前言|第一章 初见|第二章 别离");
  EXPECT_EQ(CatalogueRows().size(), 5u);
  EXPECT_TRUE(ui->problems.empty());
}

TEST_F(FileDropTest, EpubBookIsImportedOneArticlePerContentsEntry) {
  OpenCollection({{1, "旧文", "x"}});
  std::string epub;
  ASSERT_TRUE(epub::BuildEpub({}, {{"第一卷", ""}, {"第一章 初见", "那年春天。\r\n他来了。"}}, epub).ok);
  const std::string book = dir.File("风起.epub");
  WriteFile(book, epub);
  ui->AnswerMessage(kButtonYes);
  Drop(book);
  ASSERT_NE(ui->LastMessage(), nullptr);
  EXPECT_EQ(ui->LastMessage()->text, QStringLiteral("导入 风起.epub: 2 篇?"));
  EXPECT_EQ(QueryFile(path, "SELECT group_concat(name, '|') FROM nr"), "旧文|第一卷|第一章 初见");

  // A damaged book is refused and nothing is added.
  WriteFile(book, epub.substr(0, epub.size() / 2));
  Drop(book);
  EXPECT_EQ(ui->LastMessage()->flags & 0x30, kMsgIconError);
  EXPECT_EQ(QueryFile(path, "SELECT count(*) FROM nr"), "3");
  EXPECT_TRUE(ui->problems.empty());
}

TEST_F(FileDropTest, CollectionOpensAndOtherFilesAreRefusedOrIgnored) {
  const std::string other = dir.File("other.nvx");
  MakeCollection(other, {{4, "别处", "y"}});
  Drop(other);
  EXPECT_EQ(CatalogueRows().front(), "4|别处");
  EXPECT_EQ(State().articleDb.FileName(), FromUtf8(other).value());

  // A book that is not text in any encoding is refused and the collection is left as it was.
  const std::string bad = dir.File("bad.txt");
  WriteFile(bad, std::string("\xff\xfe\x00", 3) + std::string(1, '\xd8'));
  Drop(bad);
  ASSERT_NE(ui->LastMessage(), nullptr);
  EXPECT_EQ(ui->LastMessage()->flags & 0x30, kMsgIconError);
  EXPECT_EQ(QueryFile(other, "SELECT count(*) FROM nr"), "1");

  // With no collection open a book has nowhere to go: said, nothing written.
  Choose("关闭");
  const std::size_t before = ui->Messages().size();
  const std::string book = dir.File("b.txt");
  WriteFile(book, "第一章 甲\n乙\n第二章 丙\n丁\n");
  Drop(book);
  ASSERT_EQ(ui->Messages().size(), before + 1);
  EXPECT_EQ(ui->LastMessage()->text, QStringLiteral("请先打开或新建文章数据库"));
  EXPECT_TRUE(ui->problems.empty());
}

}  // namespace
}  // namespace nvx::test
