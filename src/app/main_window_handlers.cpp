#include "app/main_window_handlers.h"

#include "app/program_state.h"
#include "forms/main_window.h"
#include "forms/main_window_refs.h"
#include "reading/appearance.h"
#include "reading/view_state.h"
#include "runtime/window_runtime.h"
#include "store/article_records.h"

namespace nvx::app {

namespace mw = forms::main_window;

// Always the layout with the catalogue shown: a resize shows a hidden catalogue again.
void Layout() {
  reading::ShowCatalogue();
  Move(forms::kSaveTitleButton, 8, 8, 80, 32);
}

// Fails quietly, whatever fails: the window closes all the same.
void StoreReadingState() {
  ProgramState& s = State();
  if (s.currentArticleId) {
    nvx::StoreReadingState(s.articleDb, *s.currentArticleId, RichEdit::FirstVisibleLine(forms::kContentBox),
                           reading::ToStoredFormat(reading::View().currentFormat));
  }
  s.articleDb.Close();
}

void ShowCatalogueMenu() { PopupMenu(mw::kWindow, mw::kMenuEdit); }

void ShowContentMenu() { PopupMenu(mw::kWindow, mw::kMenuReading); }

}  // namespace nvx::app
