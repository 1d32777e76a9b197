#include "app/article_editing.h"

#include <cstdint>
#include <optional>

#include "app/catalogue.h"
#include "app/main_window_refs.h"
#include "app/program_state.h"
#include "forms/forms.h"
#include "forms/main_window.h"
#include "forms/secondary_windows.h"
#include "runtime/value_commands.h"
#include "store/article_records.h"
#include "store/article_schema.h"
#include "store/codepage.h"
#include "store/packed_content.h"

namespace nvx::app {

namespace mw = forms::main_window;
namespace tf = forms::title_find;

namespace {

// Opens the title/find window anew as the title input, inside the main window.
void openTitleInput() {
  if (IsCreated(tf::kWindow)) Destroy(tf::kWindow);
  state().inputWindowMode = 1;
  LoadWindow(tf::kWindow, mw::kWindow);
}

Bytes packedContent() { return Compress(ToBytes(GetText(kContentBox, prop::rich::kText))); }

}  // namespace

void AddTitle() {
  state().editMode = 1;
  SetText(kContentBox, prop::rich::kText, Text());
  openTitleInput();
  Focus({tf::kWindow, tf::kInputBox});
}

void ModifyTitle() {
  const int row = GetInt(kCatalogue, prop::list::kCurrentRow);
  if (ListView::GetItemText(kCatalogue, row, mw::kColumnId).empty()) return;
  state().editMode = 2;
  openTitleInput();
  Focus({tf::kWindow, tf::kSelf});
}

void AcceptTitle() {
  const Text typed = GetText({tf::kWindow, tf::kInputBox}, prop::edit::kText);
  if (!typed.empty()) {
    state().currentTitle = typed;
    SetInt(kSaveTitleButton, prop::kVisible, 1);
  }
  Destroy(tf::kWindow);
}

namespace {

// Writes the loaded article back under `title`; with no title (a row another program wrote
// without one) only its text and format, leaving the stored name as it is. False when nothing
// was written.
bool saveLoadedArticle(std::int64_t id, const Text& title) {
  ProgramState& s = state();
  const StoredFormat format = ToStoredFormat(s.currentFormat);
  if (!title.empty()) return nvx::SaveArticle(s.articleDb, id, title, packedContent(), format);
  SqliteTable& table = s.articleTable;
  bool saved = table.Open(schema::kTable, s.articleDb) && table.FindId(id) && table.Edit();
  if (saved) {
    table.WriteField(schema::kContent, packedContent());
    table.WriteField(schema::kFace, format.face);
    table.WriteField(schema::kSize, format.size);
    table.WriteField(schema::kColor, format.color);
    table.WriteField(schema::kEffects, format.effects);
    saved = table.Update();
  }
  table.Close();
  return saved;
}

// Whether article `id` is in the open collection, or cannot be told to be missing (no collection,
// or another program holding the file). A save of an article that is gone writes nothing, quietly.
bool mayBeThere(std::int64_t id) {
  ProgramState& s = state();
  if (s.articleDb.connection() == nullptr || s.articleDb.Busy()) return true;
  return nvx::LoadArticle(s.articleDb, id).has_value() || s.articleDb.Busy();
}

}  // namespace

void SaveArticle() {
  ProgramState& s = state();
  // A loaded article is saved under its stored title even when that is empty (other programs
  // write such rows); a new article needs a title first, and its text stays in the box.
  if (s.currentTitle.empty() && s.editMode != 2) {
    SetInt(kSaveTitleButton, prop::kVisible, 0);
    if (s.editMode == 1) Tell("请先输入文章标题");
    return;
  }
  SetWaitCursor();
  // Something to write that could not be written: no collection open, an insert that is not in
  // the file afterwards, or an update of an article that is there (or cannot be told to be
  // missing, the file being busy) and did not land.
  bool failed = false;
  if (s.editMode == 1) {
    failed = !InsertArticle(s.articleDb, s.currentTitle, packedContent());
  } else if (s.editMode == 2 && s.currentArticleId) {
    const std::int64_t id = *s.currentArticleId;
    failed = !saveLoadedArticle(id, s.currentTitle) && mayBeThere(id);
  }
  if (failed) {
    // The text stays in the box and the save can be tried again.
    RestoreCursor();
    Warn("保存失败,请检查文件是否正常");
    return;
  }
  LoadCatalogue();
  s.editMode = 0;
  SetInt(kSaveTitleButton, prop::kVisible, 0);
  RestoreCursor();
}

// The article deleted is the one of the selected row, the one the user points at, which need not
// be the one shown.
void DeleteArticle() {
  const int row = GetInt(kCatalogue, prop::list::kCurrentRow);
  if (row == -1) return;
  const std::optional<std::int64_t> id = RowArticleId(row);
  ProgramState& s = state();
  const bool failed = s.articleDb.connection() != nullptr && id && !nvx::DeleteArticle(s.articleDb, *id);
  LoadCatalogue();
  SetInt(kCatalogue, prop::list::kCurrentRow, -1);
  // The box is emptied when it showed the deleted article, not when it holds a new one.
  if (s.editMode != 1 && id && id == s.currentArticleId) SetText(kContentBox, prop::rich::kText, Text());
  if (failed) Warn("删除失败,请检查文件是否正常");
}

void ShrinkDatabase() {
  ProgramState& s = state();
  SetWaitCursor();
  const bool failed = s.articleDb.connection() != nullptr && !s.articleDb.Compact();
  RestoreCursor();
  if (failed) Warn("收缩失败,请检查文件是否正常");
}

}  // namespace nvx::app
