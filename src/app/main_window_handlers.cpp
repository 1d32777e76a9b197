#include "app/main_window_handlers.h"


#include "app/main_window_refs.h"
#include "app/program_state.h"
#include "forms/forms.h"
#include "forms/main_window.h"
#include "store/article_records.h"

namespace nvx::app {

namespace mw = forms::main_window;

void PlaceCatalogueAndContent() {
  const int w = GetInt(kMainWindow, prop::kWidth);
  const int h = GetInt(kMainWindow, prop::kHeight);
  Move(kCatalogue, 8, 8, 180, h - 80);
  Move(kContentBox, 188, 8, w - 202, h - 80);
}

// Always the layout with the catalogue shown: a resize shows a hidden catalogue again.
void Layout() {
  PlaceCatalogueAndContent();
  Move(kSaveTitleButton, 8, 8, 80, 32);
}

// Fails quietly, whatever fails: the window closes all the same.
void StoreReadingState() {
  ProgramState& s = state();
  if (s.currentArticleId) {
    nvx::StoreReadingState(s.articleDb, *s.currentArticleId, RichEdit::FirstVisibleLine(kContentBox),
                           ToStoredFormat(s.currentFormat));
  }
  s.articleDb.Close();
}

void ShowCatalogueMenu() { PopupMenu(mw::kWindow, mw::kMenuEdit); }

void ShowContentMenu() { PopupMenu(mw::kWindow, mw::kMenuReading); }

}  // namespace nvx::app
