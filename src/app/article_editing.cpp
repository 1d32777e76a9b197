#include "app/article_editing.h"

#include <cstdint>
#include <optional>

#include "app/catalogue.h"
#include "app/messages.h"
#include "app/program_state.h"
#include "base/codepage.h"
#include "forms/window_parts.h"
#include "reading/content_operations.h"
#include "reading/title_find_window.h"
#include "reading/view_state.h"
#include "runtime/value_commands.h"
#include "store/article_records.h"
#include "store/packed_content.h"

namespace nvx::app {

using forms::Catalogue;
using forms::ContentBox;
using forms::MainWindow;

namespace {

// The title input's OK with a title typed: the title a save writes, and the button to save it.
void TitleAccepted(const Text& title) {
  State().currentTitle = title;
  MainWindow().ShowSaveTitleButton(true);
}

Bytes PackedContent() { return Compress(ToBytes(ContentBox().Content())); }

StoredFormat CurrentFormat() { return reading::ToStoredFormat(reading::View().currentFormat); }

// Writes the loaded article back under `title`; with no title (a row another program wrote
// without one) only its text and format, leaving the stored name as it is. False when nothing
// was written.
bool SaveLoadedArticle(std::int64_t id, const Text& title) {
  SqliteDB& db = State().articleDb;
  if (title.empty()) return SaveArticleContent(db, id, PackedContent(), CurrentFormat());
  return nvx::SaveArticle(db, id, title, PackedContent(), CurrentFormat());
}

// Whether article `id` is in the open collection, or cannot be told to be missing (no collection,
// or another program holding the file). A save of an article that is gone writes nothing, quietly.
bool MayBeThere(std::int64_t id) {
  SqliteDB& db = State().articleDb;
  if (db.Handle() == nullptr || db.Busy()) return true;
  return nvx::LoadArticle(db, id).has_value() || db.Busy();
}

}  // namespace

void AddTitle() {
  State().editMode = EditMode::Adding;
  ContentBox().SetContent(Text());
  // Offered as a start: the title of the row selected.
  reading::OpenTitleInput(reading::TitleFor::NewArticle, Catalogue().RowTitle(Catalogue().SelectedRow()),
                          &TitleAccepted);
}

// The title shown in the input and the article renamed are one article: the row pointed at (by a
// right click or a keyboard move) is loaded first, as a click would, when it is not the article
// loaded already; the one loaded keeps what was typed into it. The input offers the loaded
// article's title as the state holds it, which is what a save writes when it is accepted as it is;
// a row whose article is not there (the trailing blank row) offers its own text.
void ModifyTitle() {
  const int row = Catalogue().SelectedRow();
  const std::optional<std::int64_t> id = Catalogue().SelectedArticle();
  if (!id) return;
  if (id != State().currentArticleId) LoadArticle();
  State().editMode = EditMode::Loaded;
  const Text offered = MayBeThere(*id) ? State().currentTitle : Catalogue().RowTitle(row);
  reading::OpenTitleInput(reading::TitleFor::Rename, offered, &TitleAccepted);
}

void SaveArticle() {
  ProgramState& s = State();
  // A loaded article is saved under its stored title even when that is empty (other programs
  // write such rows); a new article needs a title first, and its text stays in the box.
  if (s.currentTitle.empty() && s.editMode != EditMode::Loaded) {
    MainWindow().ShowSaveTitleButton(false);
    if (s.editMode == EditMode::Adding) Tell("请先输入文章标题");
    return;
  }
  SetWaitCursor();
  // Something to write that could not be written: no collection open, an insert that is not in
  // the file afterwards, or an update of an article that is there (or cannot be told to be
  // missing, the file being busy) and did not land.
  bool failed = false;
  if (s.editMode == EditMode::Adding) {
    failed = !InsertArticle(s.articleDb, s.currentTitle, PackedContent());
  } else if (s.editMode == EditMode::Loaded && s.currentArticleId) {
    const std::int64_t id = *s.currentArticleId;
    failed = !SaveLoadedArticle(id, s.currentTitle) && MayBeThere(id);
  }
  if (failed) {
    // The text stays in the box and the save can be tried again.
    RestoreCursor();
    Warn("保存失败,请检查文件是否正常");
    return;
  }
  LoadCatalogue();
  s.editMode = EditMode::None;
  MainWindow().ShowSaveTitleButton(false);
  RestoreCursor();
}

// The article deleted is the one of the selected row, the one the user points at, which need not
// be the one shown.
void DeleteArticle() {
  const int row = Catalogue().SelectedRow();
  if (row == -1) return;
  const std::optional<std::int64_t> id = Catalogue().ArticleAt(row);
  ProgramState& s = State();
  const bool failed = s.articleDb.Handle() != nullptr && id && !nvx::DeleteArticle(s.articleDb, *id);
  LoadCatalogue();
  Catalogue().SetSelectedRow(-1);
  // The box is emptied when it showed the deleted article, not when it holds a new one.
  if (s.editMode != EditMode::Adding && id && id == s.currentArticleId) {
    ContentBox().SetContent(Text());
  }
  if (failed) Warn("删除失败,请检查文件是否正常");
}

void ShrinkDatabase() {
  ProgramState& s = State();
  SetWaitCursor();
  const bool failed = s.articleDb.Handle() != nullptr && !s.articleDb.Compact();
  RestoreCursor();
  if (failed) Warn("收缩失败,请检查文件是否正常");
}

// Saving is the editor's command, not the reading view's: Ctrl+S is taken here, and only with an
// article loaded.
HandlerResult ContentKeyDown(const EventArgs& args) {
  if (reading::IsCtrlKey(args, 'S') && State().editMode == EditMode::Loaded) {
    SaveArticle();
    return 0;
  }
  return reading::ContentKeyDown(args);
}

}  // namespace nvx::app
