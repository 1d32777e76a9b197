#include "app/editor.h"

#include <QStandardPaths>

#include "app/article_editing.h"
#include "app/catalogue.h"
#include "app/file_drop.h"
#include "app/file_menu.h"
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

void OpenAbout() { LoadWindow(forms::about::kWindow, std::nullopt, true); }
void CloseAbout() { Destroy(forms::about::kWindow); }
void Nothing() {}

}  // namespace

void BindEditorHandlers() {
  using namespace forms;
  ClearHandlers();
  BindHandler(kLayout, &Layout);
  BindHandler(kStoreReadingState, &StoreReadingState);
  BindHandler(kCatalogueMenu, &ShowCatalogueMenu);
  BindHandler(kContentMenu, &ShowContentMenu);
  BindHandler(kFind, &reading::OpenFindWindow);
  BindHandler(kTitleFindCreated, &reading::TitleFindCreated);
  BindHandler(kAbout, &OpenAbout);
  BindHandler(kAboutOk, &CloseAbout);
  BindHandler(kAboutProductLabel, &Nothing);
  BindHandler(kBackgroundColour, &reading::OpenBackgroundWindow);
  // No menu item: a collection or a TXT book dropped onto the main window.
  SetFileDropHandler(main_window::kWindow, &DropFile);
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
  BindHandler(kAddTitle, &AddTitle);
  BindHandler(kModifyTitle, &ModifyTitle);
  BindHandler(kSaveArticle, &SaveArticle);
  BindHandler(kDeleteArticle, &DeleteArticle);
  BindHandler(kShrinkDatabase, &ShrinkDatabase);
  BindHandler(kFontSetting, &reading::FontSetting);
  BindHandler(kFontLarger, &reading::FontLarger);
  BindHandler(kFontSmaller, &reading::FontSmaller);
  BindHandler(kColorScheme1, &reading::ColorScheme1);
  BindHandler(kColorScheme2, &reading::ColorScheme2);
  BindHandler(kColorScheme3, &reading::ColorScheme3);
  BindHandler(kColorScheme4, &reading::ColorScheme4);
  BindHandler(kColorScheme5, &reading::ColorScheme5);
  BindHandler(kHideCatalogue, &reading::HideCatalogue);
  BindHandler(kShowCatalogue, &reading::ShowCatalogue);
  BindHandler(kSelectAll, &reading::SelectAll);
  BindHandler(kCopy, &reading::Copy);
  BindHandler(kPaste, &reading::Paste);
  BindHandler(kCut, &reading::Cut);
  BindHandler(kDelete, &reading::Delete);
  BindHandler(kContentKeyDown, nvx::Handler(&ContentKeyDown));
  BindHandler(kFindUp, &reading::FindUp);
  BindHandler(kTitleFindAccept, &reading::TitleFindAccept);
  BindHandler(kTitleFindEditKey, nvx::Handler(&reading::TitleFindEditKey));
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
