#include "app/main_window_handlers.h"

#include "app/program_state.h"
#include "forms/forms.h"
#include "forms/main_window.h"
#include "store/article_schema.h"

namespace nvx::app {

namespace mw = forms::main_window;

void PlaceCatalogueAndContent() {
  const UnitRef window{mw::kWindow, mw::kSelf};
  const int w = GetInt(window, forms::kPropWidth);
  const int h = GetInt(window, forms::kPropHeight);
  Move({mw::kWindow, mw::kCatalogue}, 8, 8, 180, h - 80);
  Move({mw::kWindow, mw::kContentBox}, 188, 8, w - 202, h - 80);
}

// Always the layout with the catalogue shown: a resize shows a hidden catalogue again.
void Layout() {
  PlaceCatalogueAndContent();
  Move({mw::kWindow, mw::kSaveTitleButton}, 8, 8, 80, 32);
}

void StoreReadingState() {
  ProgramState& s = state();
  s.articleTable.Open(schema::kTable, s.articleDb);
  if (s.articleTable.Find("id=" + s.currentArticleId)) {
    s.articleTable.Edit();
    s.articleTable.WriteField(schema::kFirstLine, RichEdit::FirstVisibleLine({mw::kWindow, mw::kContentBox}));
    s.articleTable.WriteField(schema::kFace, s.currentFormat.faceName);
    s.articleTable.WriteField(schema::kSize, s.currentFormat.size);
    s.articleTable.WriteField(schema::kColor, s.currentFormat.color);
    s.articleTable.WriteField(schema::kEffects, s.currentFormat.effects);
    s.articleTable.Update();
  }
  s.articleTable.Close();
  s.articleDb.Close();
}

void ShowCatalogueMenu() { PopupMenu(mw::kWindow, mw::kMenuEdit); }

void ShowContentMenu() { PopupMenu(mw::kWindow, mw::kMenuReading); }

}  // namespace nvx::app
