#include "app/main_window_handlers.h"

#include <string>

#include "app/main_window_refs.h"
#include "app/program_state.h"
#include "forms/forms.h"
#include "forms/main_window.h"
#include "store/article_schema.h"

namespace nvx::app {

namespace mw = forms::main_window;

void PlaceCatalogueAndContent() {
  const int w = GetInt(kMainWindow, forms::kPropWidth);
  const int h = GetInt(kMainWindow, forms::kPropHeight);
  Move(kCatalogue, 8, 8, 180, h - 80);
  Move(kContentBox, 188, 8, w - 202, h - 80);
}

// Always the layout with the catalogue shown: a resize shows a hidden catalogue again.
void Layout() {
  PlaceCatalogueAndContent();
  Move(kSaveTitleButton, 8, 8, 80, 32);
}

void StoreReadingState() {
  ProgramState& s = state();
  s.articleTable.Open(schema::kTable, s.articleDb);
  if (s.currentArticleId && s.articleTable.Find("id=" + std::to_string(*s.currentArticleId))) {
    s.articleTable.Edit();
    s.articleTable.WriteField(schema::kFirstLine, RichEdit::FirstVisibleLine(kContentBox));
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
