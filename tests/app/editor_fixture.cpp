#include "editor_fixture.h"

#include <QLabel>
#include <QTest>
#include <QTreeView>

#include "runtime/qt_text.h"

namespace nvx::test {

QTreeView* CatalogueWidget() { return GuiTest::Control<QTreeView>(mw::kWindow, "超级列表框1"); }

void EditorFixture::ClickRow(int row) {
  QTreeView* tree = CatalogueWidget();
  tree->scrollTo(tree->model()->index(row, 0));
  const QPoint at = tree->visualRect(tree->model()->index(row, 0)).center();
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  Settle();
}

void EditorFixture::DoubleClickRow(int row) {
  QTreeView* tree = CatalogueWidget();
  const QPoint at = tree->visualRect(tree->model()->index(row, 0)).center();
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  QTest::mouseDClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  Settle();
}

Text EditorFixture::StatusPart(int part) const {
  QWidget* bar = Control(mw::kWindow, "状态条1");
  return FromQString(bar->findChild<QLabel*>(QStringLiteral("part%1").arg(part))->text());
}

std::vector<std::string> EditorFixture::CatalogueRows() const {
  std::vector<std::string> rows;
  for (int i = 0; i < ListView::ItemCount(kCatalogue); ++i)
    rows.push_back(ToUtf8(ListView::GetItemText(kCatalogue, i, 0)).value() + "|" +
                   ToUtf8(ListView::GetItemText(kCatalogue, i, 1)).value());
  return rows;
}

}  // namespace nvx::test
