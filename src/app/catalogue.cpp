#include "app/catalogue.h"

#include <algorithm>
#include <charconv>
#include <string>
#include <vector>

#include "app/messages.h"
#include "app/program_state.h"
#include "base/codepage.h"
#include "forms/main_window.h"
#include "forms/main_window_refs.h"
#include "reading/view_state.h"
#include "runtime/unit_numbers.h"
#include "runtime/value_commands.h"
#include "store/article_records.h"
#include "store/article_walk.h"
#include "store/packed_content.h"

namespace nvx::app {

namespace mw = forms::main_window;

using forms::kCatalogue;
using forms::kContentBox;
using forms::kStatusBar;

namespace {

// The steps both variants of Load article share: the article of the current row into the
// content box. The article is looked up by its id, so a click costs the same in a collection of a
// hundred articles and of a hundred thousand. False when no row is selected.
bool LoadCurrentArticle(bool emptyFirst) {
  const int row = GetInt(kCatalogue, prop::list::kCurrentRow);
  if (row == -1) return false;
  SetWaitCursor();
  ProgramState& s = State();
  s.currentArticleId = RowArticleId(row);
  const auto article = s.currentArticleId ? nvx::LoadArticle(s.articleDb, *s.currentArticleId) : std::nullopt;
  if (article) {
    // The stored title, not the row's text: a title another program stored in bytes that are not
    // UTF-8 shows as best it can in the row, but reads as none here, so a save leaves it as stored.
    s.currentTitle = article->title;
    CharFormat& format = reading::View().currentFormat;
    reading::TakeStoredFormat(format, article->format);
    RichEdit::SetCharFormat(kContentBox, format);
    if (emptyFirst) SetText(kContentBox, prop::rich::kText, Text());
    SetText(kContentBox, prop::rich::kText, ToText(Decompress(article->packed)));
  }
  return true;
}

// The line-count part follows the text: on a long article the count arrives a moment after the
// text is shown, and the part stays empty until then.
void ShowLineCountWhenReady() {
  StatusBar::SetPartText(kStatusBar, mw::kPartContentSize, Text());
  RichEdit::WhenLineCountReady(kContentBox, [](std::int32_t lines) {
    StatusBar::SetPartText(kStatusBar, mw::kPartContentSize, ToText(lines) + L("行"));
  });
}

// The first screenful of titles (and some to scroll) is read at once; the rest fill in between
// events, the window usable meanwhile.
constexpr std::size_t kFirstRows = 1024;

// The titles of the open collection for the catalogue, a batch at a time, with the trailing blank
// row ("0" and an empty title) after the last article. The count part says how many articles
// are listed: with "…" while more are coming.
ListView::RowSource CatalogueRows(SqliteDB& db) {
  auto batches = std::make_shared<TitleBatches>(db);
  auto articles = std::make_shared<std::int64_t>(0);
  return [batches, articles](Utf8Rows& rows, std::size_t most) {
    char id[24];
    const WalkResult read = batches->Next(most, [&](std::int64_t rowId, std::string_view title) {
      rows.Add(
          std::string_view(id, static_cast<std::size_t>(std::to_chars(id, id + sizeof id, rowId).ptr - id)));
      rows.Add(title);
      ++*articles;
    });
    const bool more = read == WalkResult::Stopped;
    if (!more && *articles > 0) {
      rows.Add("0");
      rows.Add({});
    }
    StatusBar::SetPartText(kStatusBar, mw::kPartArticleCount, ToText(*articles) + L(more ? "篇…" : "篇"));
    return more;
  };
}

}  // namespace

// The first screen of titles shows at once; the rest of the catalogue fills in the background.
void LoadCatalogue() {
  ProgramState& s = State();
  ListView::DeleteAllItems(kCatalogue);
  if (s.articleDb.Handle() == nullptr) {
    StatusBar::SetPartText(kStatusBar, mw::kPartArticleCount, "0" + L("篇"));
    return;
  }
  ListView::RowSource rows = CatalogueRows(s.articleDb);
  Utf8Rows first;
  first.columns = 2;
  const bool more = rows(first, kFirstRows);
  ListView::AppendUtf8Rows(kCatalogue, first);
  if (more) ListView::FillInBackground(kCatalogue, std::move(rows));
}

void LoadArticle() {
  if (!LoadCurrentArticle(true)) return;
  ProgramState& s = State();
  ShowLineCountWhenReady();
  StatusBar::SetPartText(kStatusBar, mw::kPartLinesRead, "0" + L("行"));
  s.editMode = EditMode::Loaded;
  RestoreCursor();
  StatusBar::SetPartText(kStatusBar, mw::kPartTitle, s.currentTitle);
}

void LoadArticleDoubleClick() {
  if (!LoadCurrentArticle(false)) return;
  Focus(kContentBox);
  ShowLineCountWhenReady();
  State().editMode = EditMode::Loaded;
  RestoreCursor();
}

void Previous() {
  const int row = GetInt(kCatalogue, prop::list::kCurrentRow);
  if (row == 0) {
    Tell("已经到了第一篇了,不能再后退了");
    return;
  }
  SetInt(kCatalogue, prop::list::kCurrentRow, row - 1);
  LoadArticle();
}

// Next never moves onto the trailing blank row. While the catalogue fills, only the rows up to the
// next one are waited for.
void Next() {
  SetInt(kCatalogue, prop::list::kCurrentRow, GetInt(kCatalogue, prop::list::kCurrentRow) + 1);
  const int r = GetInt(kCatalogue, prop::list::kCurrentRow);
  if (!ListView::IsLastItem(kCatalogue, r)) {
    LoadArticle();
    return;
  }
  SetInt(kCatalogue, prop::list::kCurrentRow, r - 1);
  Tell("已经到底了,无法再往下");
}

std::optional<std::int64_t> RowArticleId(int row) {
  const Text text = ListView::GetItemText(kCatalogue, row, mw::kColumnId);
  std::int64_t id = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return id;
}

std::int64_t ListedArticles() {
  if (ListView::Filling(kCatalogue)) return CountArticles(State().articleDb).value_or(0);
  const int rows = ListView::ItemCount(kCatalogue);
  return rows > 0 ? rows - 1 : 0;
}

void LinesRead() {
  StatusBar::SetPartText(kStatusBar, mw::kPartLinesRead,
                         ToText(RichEdit::FirstVisibleLine(kContentBox)) + L("行"));
}

}  // namespace nvx::app
