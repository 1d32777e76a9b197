#include "app/article_editing.h"

#include <algorithm>
#include <string>

#include "app/catalogue.h"
#include "app/main_window_refs.h"
#include "app/program_state.h"
#include "forms/forms.h"
#include "forms/main_window.h"
#include "forms/secondary_windows.h"
#include "runtime/value_commands.h"
#include "store/article_file.h"
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

Bytes packedContent() { return Compress(ToBytes(GetText(kContentBox, mw::kRichText))); }

}  // namespace

void AddTitle() {
  state().editMode = 1;
  SetText(kContentBox, mw::kRichText, Text());
  openTitleInput();
  Focus({tf::kWindow, tf::kInputBox});
}

void ModifyTitle() {
  const int row = GetInt(kCatalogue, mw::kListCurrentRow);
  if (ListView::GetItemText(kCatalogue, row, mw::kColumnId).empty()) return;
  state().editMode = 2;
  openTitleInput();
  Focus({tf::kWindow, tf::kSelf});
}

void AcceptTitle() {
  const Text typed = GetText({tf::kWindow, tf::kInputBox}, tf::kEditText);
  if (!typed.empty()) {
    state().currentTitle = typed;
    SetInt(kSaveTitleButton, forms::kPropVisible, 1);
  }
  Destroy(tf::kWindow);
}

void SaveArticle() {
  ProgramState& s = state();
  // A loaded article is saved under its stored title even when that is empty (other programs
  // write such rows); a new article needs a title first, and its text stays in the box.
  if (s.currentTitle.empty() && s.editMode != 2) {
    SetInt(kSaveTitleButton, forms::kPropVisible, 0);
    if (s.editMode == 1) Tell("请先输入文章标题");
    return;
  }
  SetWaitCursor();
  const bool opened = s.articleTable.Open(schema::kTable, s.articleDb);
  // Something to write that could not be written: no collection open, a table that cannot be
  // read, or an insert or update the file refused.
  bool failed = (s.editMode == 1 || s.editMode == 2) && !opened;
  const Text condition = "id=" + std::to_string(s.currentArticleId.value_or(0));
  if (opened && s.editMode == 1) {
    failed = !InsertNewArticle(s.articleTable, s.currentTitle, packedContent());
  } else if (opened && s.editMode == 2 && !(s.currentArticleId && s.articleTable.Find(condition))) {
    // No such row writes nothing; a row that is there but cannot be reached is a failed save.
    const auto& ids = s.articleTable.rowIds();
    failed = s.currentArticleId &&
             std::find(ids.begin(), ids.end(), std::to_string(*s.currentArticleId)) != ids.end();
  } else if (opened && s.editMode == 2) {
    s.articleTable.Edit();
    // An empty title is the stored one as far as the editor could read it: it is left as stored.
    if (!s.currentTitle.empty()) s.articleTable.WriteField(schema::kName, s.currentTitle);
    s.articleTable.WriteField(schema::kContent, packedContent());
    s.articleTable.WriteField(schema::kFace, s.currentFormat.faceName);
    s.articleTable.WriteField(schema::kSize, s.currentFormat.size);
    s.articleTable.WriteField(schema::kColor, s.currentFormat.color);
    s.articleTable.WriteField(schema::kEffects, s.currentFormat.effects);
    failed = !s.articleTable.Update();
  }
  s.articleTable.Close();
  if (failed) {
    // The text stays in the box and the save can be tried again.
    RestoreCursor();
    Warn("保存失败,请检查文件是否正常");
    return;
  }
  LoadCatalogue();
  s.editMode = 0;
  SetInt(kSaveTitleButton, forms::kPropVisible, 0);
  RestoreCursor();
}

// The article deleted is the one of the selected row, the one the user points at, which need not
// be the one shown.
void DeleteArticle() {
  const int row = GetInt(kCatalogue, mw::kListCurrentRow);
  if (row == -1) return;
  const std::optional<std::int64_t> id = RowArticleId(row);
  ProgramState& s = state();
  const bool open = s.articleDb.connection() != nullptr;
  const bool opened = s.articleTable.Open(schema::kTable, s.articleDb);
  bool failed = open && !opened;
  if (opened && id && s.articleTable.Find("id=" + std::to_string(*id))) failed = !s.articleTable.Delete();
  s.articleTable.Close();
  LoadCatalogue();
  SetInt(kCatalogue, mw::kListCurrentRow, -1);
  // The box is emptied when it showed the deleted article, not when it holds a new one.
  if (s.editMode != 1 && id && id == s.currentArticleId) SetText(kContentBox, mw::kRichText, Text());
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
