#include "app/article_editing.h"

#include <algorithm>

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
  if (s.currentTitle.empty()) {
    SetInt(kSaveTitleButton, forms::kPropVisible, 0);
    return;
  }
  SetWaitCursor();
  const bool opened = s.articleTable.Open(schema::kTable, s.articleDb);
  // Something to write that could not be written: no collection open, a table that cannot be
  // read, or an insert or update the file refused.
  bool failed = (s.editMode == 1 || s.editMode == 2) && !opened;
  if (opened && s.editMode == 1) {
    failed = !InsertNewArticle(s.articleTable, s.currentTitle, packedContent());
  } else if (opened && s.editMode == 2 && !s.articleTable.Find("id=" + s.currentArticleId)) {
    // No such row writes nothing; a row that is there but cannot be reached is a failed save.
    const auto& ids = s.articleTable.rowIds();
    failed = std::find(ids.begin(), ids.end(), s.currentArticleId) != ids.end();
  } else if (opened && s.editMode == 2) {
    s.articleTable.Edit();
    s.articleTable.WriteField(schema::kName, s.currentTitle);
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

void DeleteArticle() {
  if (GetInt(kCatalogue, mw::kListCurrentRow) == -1) return;
  ProgramState& s = state();
  const bool open = s.articleDb.connection() != nullptr;
  const bool opened = s.articleTable.Open(schema::kTable, s.articleDb);
  bool failed = open && !opened;
  if (opened && s.articleTable.Find("id=" + s.currentArticleId)) failed = !s.articleTable.Delete();
  s.articleTable.Close();
  LoadCatalogue();
  SetInt(kCatalogue, mw::kListCurrentRow, -1);
  SetText(kContentBox, mw::kRichText, Text());
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
