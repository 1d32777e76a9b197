#include "app/catalogue.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <vector>

#include "app/messages.h"
#include "app/program_state.h"
#include "forms/window_parts.h"
#include "reading/view_state.h"
#include "runtime/progress.h"
#include "runtime/value_commands.h"
#include "store/article_records.h"
#include "store/article_walk.h"
#include "store/codepage.h"
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
  s.currentArticleId = Catalogue().ArticleAt(row);
  const auto article = s.currentArticleId ? nvx::LoadArticle(s.articleDb, *s.currentArticleId) : std::nullopt;
  // The stored title, not the row's text: a title another program stored in bytes that are not
  // UTF-8 shows as best it can in the row, but reads as none here, so a save leaves it as stored.
  // A row whose article is not there (the trailing blank row) has none either.
  s.currentTitle = article ? article->title : Text();
  if (article) {
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

// The catalogue takes its rows in batches that grow with it, so the list lays its rows out a few
// times during a long load, not once per batch.
constexpr std::size_t kFirstBatchRows = 4096;

}  // namespace

// One walk over the table fills the catalogue; a long load shows how far it is.
void LoadCatalogue() {
  ProgramState& s = State();
  Catalogue().Clear();
  std::int64_t articles = 0;
  if (s.articleDb.Handle() != nullptr) {
    const std::int64_t total = CountArticles(s.articleDb).value_or(0);
    const auto progress = BeginProgress(L("打开"), total, false);
    Utf8Rows batch;
    batch.columns = 2;
    std::size_t batchRows = kFirstBatchRows;
    auto flush = [&] {
      Catalogue().AppendRows(batch);
      batch.Clear();
    };
    char id[24];
    ForEachTitleUtf8(s.articleDb, [&](std::int64_t rowId, std::string_view title) {
      batch.Add(
          std::string_view(id, static_cast<std::size_t>(std::to_chars(id, id + sizeof id, rowId).ptr - id)));
      batch.Add(title);
      batch.keys.push_back(rowId);
      if (batch.Rows() == batchRows) {
        flush();
        batchRows = std::max(kFirstBatchRows, static_cast<std::size_t>(articles));
      }
      progress->Step(++articles);
      return true;
    });
    // After the last article, the trailing blank row ("0" and an empty title, its id 0).
    if (articles > 0) {
      batch.Add("0");
      batch.Add({});
      batch.keys.push_back(0);
    }
    flush();
  }
  StatusBar().SetArticleCount(articles);
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

// Next never moves onto the trailing blank row.
void Next() {
  Catalogue().SetSelectedRow(Catalogue().SelectedRow() + 1);
  const double r = Catalogue().SelectedRow();
  const double last = Catalogue().RowCount() - 1;
  if (std::fabs(r - last) > 1e-7) {
    LoadArticle();
    return;
  }
  Catalogue().SetSelectedRow(static_cast<int>(r) - 1);
  Tell("已经到底了,无法再往下");
}

void LinesRead() { StatusBar().SetLinesRead(ContentBox().FirstVisibleLine()); }

}  // namespace nvx::app
