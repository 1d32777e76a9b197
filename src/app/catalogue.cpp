#include "app/catalogue.h"

#include <algorithm>
#include <charconv>
#include <string>
#include <vector>

#include "app/messages.h"
#include "app/program_state.h"
#include "base/codepage.h"
#include "forms/window_parts.h"
#include "reading/view_state.h"
#include "runtime/value_commands.h"
#include "store/article_records.h"
#include "store/article_walk.h"
#include "store/packed_content.h"

namespace nvx::app {

using forms::Catalogue;
using forms::ContentBox;
using forms::StatusBar;

namespace {

// The steps both variants of Load article share: the article of the current row into the
// content box. The article is looked up by its id, so a click costs the same in a collection of a
// hundred articles and of a hundred thousand. False when no row is selected.
bool LoadCurrentArticle(bool emptyFirst) {
  const int row = Catalogue().SelectedRow();
  if (row == -1) return false;
  SetWaitCursor();
  ProgramState& s = State();
  const std::optional<std::int64_t> id = Catalogue().ArticleAt(row);
  const auto article = id ? nvx::LoadArticle(s.articleDb, *id) : std::nullopt;
  // An article that cannot be read while another program holds the file is not taken as the
  // current one: a save would write the text still shown, another article's, over it.
  if (!article && s.articleDb.Busy()) {
    RestoreCursor();
    return false;
  }
  s.currentArticleId = id;
  // The stored title, not the row's text: a title another program stored in bytes that are not
  // UTF-8 shows as best it can in the row, but reads as none here, so a save leaves it as stored.
  // A row whose article is not there (the trailing blank row) leaves the title, the format and
  // the box as they were.
  if (article) {
    s.currentTitle = article->title;
    CharFormat& format = reading::View().currentFormat;
    reading::TakeStoredFormat(format, article->format);
    ContentBox().SetFormat(format);
    if (emptyFirst) ContentBox().SetContent(Text());
    ContentBox().SetContent(ToText(Decompress(article->packed)));
  }
  return true;
}

// The line-count part follows the text: on a long article the count arrives a moment after the
// text is shown, and the part stays empty until then.
void ShowLineCountWhenReady() {
  StatusBar().SetContentSize(std::nullopt);
  ContentBox().WhenLineCountReady([](std::int32_t lines) { StatusBar().SetContentSize(lines); });
}

// The first screenful of titles (and some to scroll) is read at once; the rest fill in between
// events, the window usable meanwhile.
constexpr std::size_t kFirstRows = 1024;

// The titles of the open collection for the catalogue, a batch at a time, each row keyed with its
// article's id, with the trailing blank row ("0" and an empty title, its id 0) after the last
// article. The count part says how many articles are listed: with "…" while more are coming.
forms::CatalogueList::RowSource CatalogueRows(SqliteDB& db) {
  auto batches = std::make_shared<TitleBatches>(db);
  auto articles = std::make_shared<std::int64_t>(0);
  return [batches, articles](Utf8Rows& rows, std::size_t most) {
    char id[24];
    const WalkResult read = batches->Next(most, [&](std::int64_t rowId, std::string_view title) {
      rows.Add(
          std::string_view(id, static_cast<std::size_t>(std::to_chars(id, id + sizeof id, rowId).ptr - id)));
      rows.Add(title);
      rows.keys.push_back(rowId);
      ++*articles;
    });
    const bool more = read == WalkResult::Stopped;
    if (!more && *articles > 0) {
      rows.Add("0");
      rows.Add({});
      rows.keys.push_back(0);
    }
    StatusBar().SetArticleCount(*articles, more);
    return more;
  };
}

}  // namespace

// The first screen of titles shows at once; the rest of the catalogue fills in the background.
void LoadCatalogue() {
  ProgramState& s = State();
  Catalogue().Clear();
  if (s.articleDb.Handle() == nullptr) {
    StatusBar().SetArticleCount(0);
    return;
  }
  forms::CatalogueList::RowSource rows = CatalogueRows(s.articleDb);
  Utf8Rows first;
  first.columns = 2;
  const bool more = rows(first, kFirstRows);
  Catalogue().AppendRows(first);
  if (more) Catalogue().FillInBackground(std::move(rows));
}

void LoadArticle() {
  if (!LoadCurrentArticle(true)) return;
  ProgramState& s = State();
  ShowLineCountWhenReady();
  StatusBar().SetLinesRead(0);
  s.editMode = EditMode::Loaded;
  RestoreCursor();
  StatusBar().SetTitle(s.currentTitle);
}

void LoadArticleDoubleClick() {
  if (!LoadCurrentArticle(false)) return;
  ContentBox().Focus();
  ShowLineCountWhenReady();
  State().editMode = EditMode::Loaded;
  RestoreCursor();
}

void Previous() {
  const int row = Catalogue().SelectedRow();
  if (row == 0) {
    Tell("已经到了第一篇了,不能再后退了");
    return;
  }
  Catalogue().SetSelectedRow(row - 1);
  LoadArticle();
}

// Next never moves onto the trailing blank row. While the catalogue fills, only the rows up to the
// next one are waited for.
void Next() {
  Catalogue().SetSelectedRow(Catalogue().SelectedRow() + 1);
  const int r = Catalogue().SelectedRow();
  if (!Catalogue().IsLastRow(r)) {
    LoadArticle();
    return;
  }
  Catalogue().SetSelectedRow(r - 1);
  Tell("已经到底了,无法再往下");
}

std::int64_t ListedArticles() {
  const int rows = Catalogue().RowCount();
  return rows > 0 ? rows - 1 : 0;
}

void LinesRead() { StatusBar().SetLinesRead(ContentBox().FirstVisibleLine()); }

}  // namespace nvx::app
