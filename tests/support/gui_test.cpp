#include "support/gui_test.h"

#include <QCoreApplication>
#include <QEvent>

#include "forms/forms.h"

namespace nvx::test {

void GuiTest::SetUpTestSuite() {
  if (qApp == nullptr) {
    static int argc = 1;
    static char name[] = "nvx_tests";
    static char* argv[] = {name, nullptr};
    // Left alive to the end of the process: destroying it among the other static objects at exit
    // would tear down Qt's input devices before the test library's own.
    new QApplication(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
  }
}

void GuiTest::SetUp() {
  InitialiseForms(forms::AllWindows());
  ClearHandlers();
}

void GuiTest::TearDown() {
  for (const auto& def : forms::AllWindows()) {
    if (IsCreated(def.id)) Destroy(def.id);
  }
  settle();
  for (const auto& def : forms::AllWindows()) EXPECT_FALSE(IsCreated(def.id)) << "window left open";
  ClearHandlers();
  EXPECT_EQ(ui->unexpected(), 0) << ui->problems.join(QStringLiteral("; ")).toStdString();
}

void GuiTest::settle() {
  for (int i = 0; i < 3; ++i) {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
}

QWidget* GuiTest::windowWidget(WindowId id) {
  const QString name = QStringLiteral("window_%1").arg(id, 8, 16, QChar('0'));
  for (QWidget* w : QApplication::allWidgets())
    if (w->objectName() == name) return w;
  return nullptr;
}

}  // namespace nvx::test
