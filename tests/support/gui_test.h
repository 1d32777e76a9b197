// The base of tests that load the program's real windows headless: one QApplication for the
// process, the program's forms, a scripted interaction answering every dialog, and no window left
// open at the end of a test.
#pragma once

#include <QApplication>
#include <QWidget>
#include <gtest/gtest.h>

#include "support/scripted_interaction.h"
#include "runtime/window_runtime.h"

namespace nvx::test {

class GuiTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  void SetUp() override;
  void TearDown() override;

  // Runs what is queued: deferred destroys, deferred deletes, layout.
  static void settle();

 public:

  // The live window of the form, and a control of it by its form name.
  static QWidget* windowWidget(WindowId id);
  template <typename T = QWidget>
  static T* control(WindowId id, const char* name) {
    QWidget* w = windowWidget(id);
    return w ? w->findChild<T*>(QString::fromUtf8(name)) : nullptr;
  }

 protected:
  ScopedScriptedInteraction ui;
};

}  // namespace nvx::test
