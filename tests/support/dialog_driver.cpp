#include "support/dialog_driver.h"

#include "support/gui_test.h"

namespace nvx::test {

DialogDriver::DialogDriver() {
  EnsureApplication();
  clock_.start();
  QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
  timer_.start(20);
}

void DialogDriver::Poll() {
  QWidget* modal = QApplication::activeModalWidget();
  if (!modal || !modal->isVisible()) return;
  if (!timedOut_ && modal != acted_ && next_ < steps_.size() && steps_[next_](modal)) {
    ++next_;
    acted_ = modal;  // the next step waits for this one to go or come back
  } else if (clock_.elapsed() > 5000) {
    timedOut_ = true;
    if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
  }
}

}  // namespace nvx::test
