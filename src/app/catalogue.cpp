#include "app/catalogue.h"

#include <charconv>
#include <cmath>
#include <string>

#include "app/main_window_refs.h"
#include "app/program_state.h"
#include "forms/main_window.h"
#include "runtime/value_commands.h"
#include "store/article_schema.h"
#include "store/codepage.h"
#include "store/packed_content.h"

namespace nvx::app {

namespace mw = forms::main_window;

namespace {

// The steps both variants of Load article share: the article of the current row into the
// content box. False when no row is selected.
bool loadCurrentArticle(bool emptyFirst) {
  const int row = GetInt(kCatalogue, mw::kListCurrentRow);
  if (row == -1) return false;
  SetWaitCursor();
  ProgramState& s = state();
  s.currentArticleId = RowArticleId(row);
  s.articleTable.Open(schema::kTable, s.articleDb);
  if (s.currentArticleId && s.articleTable.Find("id=" + std::to_string(*s.currentArticleId))) {
    s.currentTitle = ListView::GetItemText(kCatalogue, row, mw::kColumnTitle);
    s.currentFormat.faceName = s.articleTable.ReadText(schema::kFace);
    s.currentFormat.size = s.articleTable.ReadInt(schema::kSize);
    s.currentFormat.color = s.articleTable.ReadInt(schema::kColor);
    s.currentFormat.effects = s.articleTable.ReadInt(schema::kEffects);
    RichEdit::SetCharFormat(kContentBox, s.currentFormat);
    if (emptyFirst) SetText(kContentBox, mw::kRichText, Text());
    SetText(kContentBox, mw::kRichText, ToText(Decompress(s.articleTable.ReadBytes(schema::kContent))));
  }
  s.articleTable.Close();
  return true;
}

}  // namespace

void LoadCatalogue() {
  ProgramState& s = state();
  s.articleTable.Open(schema::kTable, s.articleDb);
  ListView::DeleteAllItems(kCatalogue);
  // The pass that starts on the last row moves past it; its reads fail and give the trailing
  // blank row ("0" and an empty title).
  while (!s.articleTable.IsAfterLast()) {
    s.articleTable.Next();
    const int row = ListView::InsertItem(kCatalogue);
    ListView::SetItemText(kCatalogue, row, mw::kColumnId, ToText(s.articleTable.ReadInt(schema::kId)));
    ListView::SetItemText(kCatalogue, row, mw::kColumnTitle, s.articleTable.ReadText(schema::kName));
  }
  s.articleTable.Close();
  const int rows = ListView::ItemCount(kCatalogue);
  StatusBar::SetPartText(kStatusBar, mw::kPartArticleCount, ToText(rows == 0 ? 0 : rows - 1) + L("篇"));
}

void LoadArticle() {
  if (!loadCurrentArticle(true)) return;
  ProgramState& s = state();
  StatusBar::SetPartText(kStatusBar, mw::kPartContentSize, ToText(RichEdit::LineCount(kContentBox)) + L("行"));
  StatusBar::SetPartText(kStatusBar, mw::kPartLinesRead, "0" + L("行"));
  s.editMode = 2;
  RestoreCursor();
  StatusBar::SetPartText(kStatusBar, mw::kPartTitle, s.currentTitle);
}

void LoadArticleDoubleClick() {
  if (!loadCurrentArticle(false)) return;
  Focus(kContentBox);
  StatusBar::SetPartText(kStatusBar, mw::kPartContentSize, ToText(RichEdit::LineCount(kContentBox)) + L("行"));
  state().editMode = 2;
  RestoreCursor();
}

void Previous() {
  const int row = GetInt(kCatalogue, mw::kListCurrentRow);
  if (row == 0) {
    Tell("已经到了第一篇了,不能再后退了");
    return;
  }
  SetInt(kCatalogue, mw::kListCurrentRow, row - 1);
  LoadArticle();
}

// Next never moves onto the trailing blank row.
void Next() {
  SetInt(kCatalogue, mw::kListCurrentRow, GetInt(kCatalogue, mw::kListCurrentRow) + 1);
  const double r = GetInt(kCatalogue, mw::kListCurrentRow);
  const double last = ListView::ItemCount(kCatalogue) - 1;
  if (std::fabs(r - last) > 1e-7) {
    LoadArticle();
    return;
  }
  SetInt(kCatalogue, mw::kListCurrentRow, static_cast<int>(r) - 1);
  Tell("已经到底了,无法再往下");
}

std::optional<std::int64_t> RowArticleId(int row) {
  const Text text = ListView::GetItemText(kCatalogue, row, mw::kColumnId);
  std::int64_t id = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return id;
}

void LinesRead() {
  StatusBar::SetPartText(kStatusBar, mw::kPartLinesRead, ToText(RichEdit::FirstVisibleLine(kContentBox)) + L("行"));
}

}  // namespace nvx::app
