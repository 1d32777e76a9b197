#include "support/gui_test.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>
#include <cstdlib>

#include "runtime/form_engine.h"
#include "runtime/form_window.h"

namespace nvx::test {

void EnsureApplication() {
  if (qApp != nullptr) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "nvx_tests";
  static char* argv[] = {name, nullptr};
  // Left alive to the end of the process: destroying it among the other static objects at exit
  // would tear down Qt's input devices before the test library's own.
  new QApplication(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
}

void GuiTest::SetUpTestSuite() { EnsureApplication(); }

void GuiTest::SetUp() {
  if (!forms_.empty()) InitialiseForms(forms_);
  ClearHandlers();
}

void GuiTest::TearDown() {
  for (FormWindow* window : FormEngine::Instance().LiveWindows()) Destroy(window->Id());
  Settle();
  for (FormWindow* window : FormEngine::Instance().LiveWindows())
    ADD_FAILURE() << "window left open: " << window->objectName().toStdString();
  ClearHandlers();
  EXPECT_EQ(ui->Unexpected(), 0) << ui->problems.join(QStringLiteral("; ")).toStdString();
}

void GuiTest::Settle() {
  for (int i = 0; i < 3; ++i) {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
}

void GuiTest::WhileModal(WindowId id, const std::function<void()>& open, const std::function<void()>& act) {
  bool acted = false;
  bool forced = false;
  QElapsedTimer clock;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (!IsCreated(id)) return;
    if (!acted) {
      acted = true;
      clock.start();
      act();
    } else if (clock.elapsed() > 5000 && !forced) {
      forced = true;
      Destroy(id);
    }
  });
  poll.start(5);
  open();
  poll.stop();
  EXPECT_TRUE(acted) << "the modal window never came up";
  EXPECT_FALSE(forced) << "the modal window stayed open";
}

namespace {

bool Near(QRgb a, QRgb b, int tolerance) {
  return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
         std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

}  // namespace

QImage SeenAt(QWidget& widget) {
  QWidget* window = widget.window();
  const QImage all = window->grab().toImage();
  const QRect where(widget.mapTo(window, QPoint(0, 0)), widget.size());
  return all.copy(where);
}

double ShareSeen(QWidget& widget, int tolerance) {
  const QImage seen = SeenAt(widget).convertToFormat(QImage::Format_RGB32);
  const QImage own = widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
  if (seen.size() != own.size() || own.isNull()) return 0;
  qint64 same = 0;
  for (int y = 0; y < own.height(); ++y)
    for (int x = 0; x < own.width(); ++x) same += Near(seen.pixel(x, y), own.pixel(x, y), tolerance);
  return static_cast<double>(same) / (static_cast<double>(own.width()) * own.height());
}

double ColorShare(const QImage& image, const QColor& color, int tolerance) {
  if (image.isNull()) return 0;
  const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
  qint64 same = 0;
  for (int y = 0; y < rgb.height(); ++y)
    for (int x = 0; x < rgb.width(); ++x) same += Near(rgb.pixel(x, y), color.rgb(), tolerance);
  return static_cast<double>(same) / (static_cast<double>(rgb.width()) * rgb.height());
}

QWidget* GuiTest::WindowWidget(WindowId id) {
  const QString name = QStringLiteral("window_%1").arg(id, 8, 16, QChar('0'));
  for (QWidget* w : QApplication::allWidgets())
    if (w->objectName() == name) return w;
  return nullptr;
}

}  // namespace nvx::test
