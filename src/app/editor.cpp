#include "app/editor.h"

#include "app/main_window_handlers.h"
#include "app/program_state.h"
#include "app/title_find_window.h"
#include "forms/forms.h"
#include "forms/handler_refs.h"
#include "forms/main_window.h"
#include "forms/secondary_windows.h"
#include "reading/background_window.h"
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
}

int RunEditor() {
  InitialiseForms(forms::AllWindows());
  CreateProgramState();
  BindEditorHandlers();
  const int code = RunProgram(forms::main_window::kWindow);
  ReleaseProgramState();
  return code;
}

}  // namespace nvx::app
