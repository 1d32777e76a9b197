// Stands in for the person at Qt's real dialogs: each step waits for the modal dialog it expects
// and acts on it from a queued call, so a step that opens another dialog does not stop the polling.
// Past its patience it rejects whatever is up, so a fault fails the test instead of hanging it.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <vector>

namespace nvx::test {

class DialogDriver {
 public:
  DialogDriver();

  // The next step: acts on the next modal dialog of type W (the step is skipped over nothing).
  template <class W>
  DialogDriver& Then(std::function<void(W&)> act) {
    steps_.push_back([act](QWidget* w) {
      auto* target = qobject_cast<W*>(w);
      if (target) {
        QMetaObject::invokeMethod(
            qApp,
            [act, t = QPointer<W>(target)] {
              if (t) act(*t);
            },
            Qt::QueuedConnection);
      }
      return target != nullptr;
    });
    return *this;
  }

  // Every step acted, none by force.
  bool Done() const { return next_ == steps_.size() && !timedOut_; }

 private:
  void Poll();

  QTimer timer_;
  QElapsedTimer clock_;
  std::vector<std::function<bool(QWidget*)>> steps_;
  std::size_t next_ = 0;
  QPointer<QWidget> acted_;
  bool timedOut_ = false;
};

}  // namespace nvx::test
