#include "app/editor.h"

#include <QStandardPaths>

#include "app/article_editing.h"
#include "app/catalogue.h"
#include "app/file_drop.h"
#include "app/file_menu.h"
#include "app/main_menu.h"
#include "app/main_window_handlers.h"
#include "app/program_state.h"
#include "forms/forms.h"
#include "forms/handler_refs.h"
#include "forms/main_window.h"
#include "forms/secondary_windows.h"
#include "reading/appearance.h"
#include "reading/background_window.h"
#include "reading/content_operations.h"
#include "reading/title_find_window.h"
#include "runtime/file_commands.h"
#include "runtime/qt_text.h"
#include "runtime/window_runtime.h"

namespace nvx::app {

namespace {

void CloseAbout() { Destroy(forms::about::kWindow); }
void Nothing() {}

}  // namespace

void BindEditorHandlers() {
  using namespace forms;
  ClearHandlers();
  SetWindowMenu(main_window::kWindow, MainMenu());
  BindHandler(kLayout, &Layout);
  BindHandler(kStoreReadingState, &StoreReadingState);
  BindHandler(kCatalogueMenu, &ShowCatalogueMenu);
  BindHandler(kContentMenu, &ShowContentMenu);
  BindHandler(kLoadArticle, &LoadArticle);
  BindHandler(kLoadArticleDoubleClick, &LoadArticleDoubleClick);
  BindHandler(kLinesRead, &LinesRead);
  BindHandler(kSaveArticle, &SaveArticle);
  BindHandler(kContentKeyDown, nvx::Handler(&ContentKeyDown));
  // No menu item: a collection or a book dropped onto the main window.
  SetFileDropHandler(main_window::kWindow, &DropFile);
  BindHandler(kTitleFindCreated, &reading::TitleFindCreated);
  BindHandler(kFindUp, &reading::FindUp);
  BindHandler(kTitleFindAccept, &reading::TitleFindAccept);
  BindHandler(kTitleFindEditKey, nvx::Handler(&reading::TitleFindEditKey));
  BindHandler(kAboutOk, &CloseAbout);
  BindHandler(kAboutProductLabel, &Nothing);
  BindHandler(kBackgroundOk, &reading::BackgroundOk);
  BindHandler(kBackgroundCancel, &reading::BackgroundCancel);
}

int RunEditor(const Text& fileToOpen) {
  InitialiseForms(forms::AllWindows());
  CreateProgramState();
  State().programDirectory = RunDirectory();
  State().dataDirectory = FromQString(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
  BindEditorHandlers();
  LoadStartWindow(forms::main_window::kWindow);
  if (!fileToOpen.empty()) OpenDatabaseAt(fileToOpen);
  RunMessageLoop();
  ReleaseProgramState();
  return 0;
}

}  // namespace nvx::app
