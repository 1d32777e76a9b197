#include "app/editor.h"

#include <QStandardPaths>

#include "app/catalogue.h"
#include "app/file_menu.h"
#include "app/main_window_handlers.h"
#include "app/program_state.h"
#include "app/title_find_window.h"
#include "forms/forms.h"
#include "forms/handler_refs.h"
#include "forms/main_window.h"
#include "forms/secondary_windows.h"
#include "reading/background_window.h"
#include "runtime/file_commands.h"
#include "runtime/qt_text.h"
#include "runtime/window_runtime.h"

namespace nvx::app {

namespace {

void openAbout() { LoadWindow(forms::about::kWindow, std::nullopt, true); }
void closeAbout() { Destroy(forms::about::kWindow); }
void nothing() {}

}  // namespace

void BindEditorHandlers() {
  using namespace forms;
  ClearHandlers();
  BindHandler(kLayout, &Layout);
  BindHandler(kStoreReadingState, &StoreReadingState);
  BindHandler(kCatalogueMenu, &ShowCatalogueMenu);
  BindHandler(kContentMenu, &ShowContentMenu);
  BindHandler(kFind, &OpenFindWindow);
  BindHandler(kTitleFindCreated, &TitleFindCreated);
  BindHandler(kAbout, &openAbout);
  BindHandler(kAboutOk, &closeAbout);
  BindHandler(kAboutProductLabel, &nothing);
  BindHandler(kBackgroundColour, &reading::OpenBackgroundWindow);
  BindHandler(kBackgroundOk, &reading::BackgroundOk);
  BindHandler(kBackgroundCancel, &reading::BackgroundCancel);
  BindHandler(kLoadArticle, &LoadArticle);
  BindHandler(kLoadArticleDoubleClick, &LoadArticleDoubleClick);
  BindHandler(kLinesRead, &LinesRead);
  BindHandler(kPrevious, &Previous);
  BindHandler(kNext, &Next);
  BindHandler(kNew, &NewDatabase);
  BindHandler(kOpen, &OpenDatabase);
  BindHandler(kSaveAs, &SaveAs);
  BindHandler(kExport, &Export);
  BindHandler(kClose, &CloseDatabase);
  BindHandler(kExit, &Exit);
}

int RunEditor(const Text& fileToOpen) {
  InitialiseForms(forms::AllWindows());
  CreateProgramState();
  state().programDirectory = RunDirectory();
  state().dataDirectory = fromQString(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
  BindEditorHandlers();
  LoadStartWindow(forms::main_window::kWindow);
  if (!fileToOpen.empty()) OpenDatabaseAt(fileToOpen);
  RunMessageLoop();
  ReleaseProgramState();
  return 0;
}

}  // namespace nvx::app
