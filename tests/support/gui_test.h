// The base of tests that load windows headless: one QApplication for the process, the forms the
// fixture names, a scripted interaction answering every dialog, and no window left open at the end
// of a test.
#pragma once

#include <gtest/gtest.h>
#include <QApplication>
#include <QImage>
#include <QWidget>
#include <functional>
#include <span>

#include "runtime/window_runtime.h"
#include "support/scripted_interaction.h"

namespace nvx::test {

// The process's one QApplication, made on first need (headless unless a platform is chosen) and
// left alive to the end of the process.
void EnsureApplication();

class GuiTest : public ::testing::Test {
 protected:
  // Without forms, a test runs on whatever forms the engine holds (a fixture may load its own in
  // SetUp); with them, every test of the fixture starts on `forms`.
  GuiTest() = default;
  explicit GuiTest(std::span<const WindowDef> forms) : forms_(forms) {}

  static void SetUpTestSuite();
  void SetUp() override;
  void TearDown() override;

  // Runs what is queued: deferred destroys, deferred deletes, layout.
  static void Settle();

  // Runs `open`, which loads window `id` modally and so returns only once that window is gone;
  // `act` runs inside the modal loop as soon as the window is up, and should close it. A window
  // still up a few seconds after `act` is destroyed, so a fault fails the test instead of hanging it.
  static void WhileModal(WindowId id, const std::function<void()>& open, const std::function<void()>& act);

 public:
  // The live window of the form, and a control of it by its form name.
  static QWidget* WindowWidget(WindowId id);
  template <typename T = QWidget>
  static T* Control(WindowId id, const char* name) {
    QWidget* w = WindowWidget(id);
    return w ? w->findChild<T*>(QString::fromUtf8(name)) : nullptr;
  }

 protected:
  ScopedScriptedInteraction ui;

 private:
  std::span<const WindowDef> forms_;
};

// What a person sees: the grab of `widget`'s whole window (controls stacked as they are shown),
// cut to the rectangle `widget` covers.
QImage SeenAt(QWidget& widget);
// The share (0 to 1) of `widget`'s rectangle where the window shows the widget itself: its pixels
// in the window's grab equal, within `tolerance` per channel, the widget's own rendering.
double ShareSeen(QWidget& widget, int tolerance = 4);
// The share of the pixels of `image` within `tolerance` per channel of `color`.
double ColorShare(const QImage& image, const QColor& color, int tolerance = 4);

}  // namespace nvx::test
