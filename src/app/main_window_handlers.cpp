#include "app/main_window_handlers.h"

#include "app/main_menu.h"
#include "app/program_state.h"
#include "forms/main_window.h"
#include "forms/window_parts.h"
#include "reading/appearance.h"
#include "reading/view_state.h"
#include "runtime/window_runtime.h"
#include "store/article_records.h"

namespace nvx::app {

namespace mw = forms::main_window;

// Always the layout with the catalogue shown: a resize shows a hidden catalogue again.
void Layout() {
  reading::ShowCatalogue();
  forms::MainWindow().PlaceSaveTitleButton(8, 8, 80, 32);
}

// Fails quietly, whatever fails: the window closes all the same.
void StoreReadingState() {
  ProgramState& s = State();
  if (s.currentArticleId) {
    nvx::StoreReadingState(s.articleDb, *s.currentArticleId, forms::ContentBox().FirstVisibleLine(),
                           reading::ToStoredFormat(reading::View().currentFormat));
  }
  s.articleDb.Close();
}

void ShowCatalogueMenu() { PopupMenu(mw::kWindow, kMenuEdit); }

void ShowContentMenu() { PopupMenu(mw::kWindow, kMenuReading); }

}  // namespace nvx::app
