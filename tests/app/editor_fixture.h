// The editor as a person meets it, headless: program state, every handler bound, the main window
// loaded; menu items chosen by their captions, dialogs answered by the scripted interaction.
#pragma once

#include <QAction>
#include <QMenuBar>
#include <QTreeView>

#include <filesystem>
#include "app/editor.h"
#include "app/program_state.h"
#include "base/codepage.h"
#include "collections.h"
#include "forms/forms.h"
#include "forms/main_window.h"
#include "forms/secondary_windows.h"
#include "reading/view_state.h"
#include "support/gui_test.h"
#include "test_support.h"

namespace nvx::test {

namespace mw = forms::main_window;

inline const UnitRef kMain{mw::kWindow, mw::kSelf};
inline const UnitRef kContent{mw::kWindow, mw::kContentBox};
inline const UnitRef kCatalogue{mw::kWindow, mw::kCatalogue};
inline const UnitRef kStatus{mw::kWindow, mw::kStatusBar};

// The catalogue's list widget.
QTreeView* CatalogueWidget();

// The base of the editor's test fixtures; each test file derives its own.
class EditorFixture : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    InitialiseForms(forms::AllWindows());
    app::CreateProgramState();
    std::filesystem::create_directories(dir.Path() / "program");
    State().programDirectory = (dir.Path() / "program").string();
    State().dataDirectory = (dir.Path() / "data").string();
    app::BindEditorHandlers();
    ASSERT_TRUE(LoadWindow(mw::kWindow));
  }
  void TearDown() override {
    GuiTest::TearDown();
    app::ReleaseProgramState();
  }

  // Chooses a menu item of the main window's menu bar by its caption, as a click would.
  void Choose(const char* caption) {
    QWidget* window = WindowWidget(mw::kWindow);
    ASSERT_NE(window, nullptr);
    for (QAction* a : window->findChild<QMenuBar*>()->findChildren<QAction*>()) {
      if (a->text() == QString::fromUtf8(caption) && !a->menu()) {
        a->trigger();
        Settle();
        return;
      }
    }
    FAIL() << "no menu item " << caption;
  }

  bool SaveTitleButtonShown() const {
    return GetInt({mw::kWindow, mw::kSaveTitleButton}, prop::kVisible) != 0;
  }

  static app::ProgramState& State() { return app::State(); }
  static reading::ViewState& View() { return reading::View(); }

  // Makes the collection "books.nvx" with these articles and opens it through the menu.
  void OpenCollection(const std::vector<Article>& articles) {
    path = dir.File("books.nvx");
    MakeCollection(path, articles);
    OpenThroughMenu(path);
  }

  // Opens `path` through the menu item "打开", the dialog answering with the path.
  void OpenThroughMenu(const std::string& path) {
    ui->AnswerFile(QString::fromStdString(path));
    Choose("打开");
  }

  // Makes two collections of one article each, "first.nvx" (一: a) and "second.nvx" (别的: b),
  // opens the first and clicks its article. Their paths are returned, first and second.
  std::pair<std::string, std::string> OpenFirstOfTwo() {
    const std::string first = dir.File("first.nvx");
    const std::string second = dir.File("second.nvx");
    MakeCollection(first, {{1, "一", "a"}});
    MakeCollection(second, {{1, "别的", "b"}});
    OpenThroughMenu(first);
    ClickRow(0);
    return {first, second};
  }

  // Clicks the catalogue row `row` as the user would.
  void ClickRow(int row);
  void DoubleClickRow(int row);

  Text StatusPart(int part) const;
  std::vector<std::string> CatalogueRows() const;  // "id|title" in UTF-8

  TempDir dir;
  std::string path;  // the collection openCollection made
};

}  // namespace nvx::test
