#include "reading/content_operations.h"

#include "app/article_editing.h"
#include "app/main_window_refs.h"
#include "app/program_state.h"
#include "app/title_find_window.h"
#include "forms/main_window.h"
#include "forms/secondary_windows.h"
#include "runtime/value_commands.h"
#include "store/codepage.h"

namespace nvx::reading {

namespace mw = forms::main_window;
namespace tf = forms::title_find;

namespace {

using app::kContentBox;

constexpr int kCtrl = 1;
constexpr int kKeyDelete = 46;
constexpr int kKeyBackspace = 8;
constexpr int kKeyEnter = 13;

bool hasSelection() { return !GetText(kContentBox, prop::rich::kSelText).empty(); }

// Selects what a search found (the start of the text when nothing was) and tells when nothing was.
// The keyboard stays in the Find window: the next Enter finds the next match instead of replacing
// the selected one with a line break. The box shows its selection without the focus.
void showFound(std::int32_t found, const Text& searched, const char* notFound) {
  app::state().lastFoundPosition = found;
  SetInt(kContentBox, prop::rich::kSelStart, found);
  SetInt(kContentBox, prop::rich::kSelLength, TextPositions(searched));
  if (IsCreated(tf::kWindow)) {
    Focus({tf::kWindow, tf::kInputBox});
  } else {
    Focus(kContentBox);
  }
  if (found == -1) InfoBox(L(notFound), kMsgIconInformation, L("提示"));
}

Text searchText() { return GetText({tf::kWindow, tf::kInputBox}, prop::edit::kText); }

}  // namespace

void SelectAll() {
  Focus(kContentBox);
  SetInt(kContentBox, prop::rich::kSelLength, -1);
}

void Copy() {
  if (hasSelection()) RichEdit::Copy(kContentBox);
}

void Paste() { RichEdit::Paste(kContentBox); }

void Cut() {
  if (hasSelection()) RichEdit::Cut(kContentBox);
}

void Delete() {
  if (hasSelection()) RichEdit::DeleteSelection(kContentBox);
}

HandlerResult ContentKeyDown(const EventArgs& args) {
  const int key = args[0];
  const bool ctrl = args[1] == kCtrl;
  bool done = false;
  if (ctrl && key == 'F') {
    app::OpenFindWindow();
    done = true;
  }
  if (ctrl && key == 'C' && hasSelection()) {
    RichEdit::Copy(kContentBox);
    done = true;
  }
  if (ctrl && key == 'V') {
    Paste();
    done = true;
  }
  if (ctrl && key == 'X' && hasSelection()) {
    RichEdit::Cut(kContentBox);
    done = true;
  }
  if ((key == kKeyDelete || key == kKeyBackspace) && hasSelection()) {
    RichEdit::DeleteSelection(kContentBox);
    done = true;
  }
  if (ctrl && key == 'A') {
    SelectAll();
    done = true;
  }
  if (ctrl && key == 'S' && app::state().editMode == 2) {
    app::SaveArticle();
    done = true;
  }
  if (done) return 0;
  return std::nullopt;
}

// Each search starts one position from the last result, so overlapping matches are found too; the
// position is kept across articles and windows.
void FindDown() {
  const Text text = searchText();
  const std::int32_t found = RichEdit::FindText(kContentBox, app::state().lastFoundPosition + 1, true, false, text);
  showFound(found, text, "已经到尾部");
}

void FindUp() {
  const Text text = searchText();
  const std::int32_t found = RichEdit::FindTextBackward(kContentBox, app::state().lastFoundPosition - 1, true, text);
  showFound(found, text, "已经到顶部");
}

void TitleFindAccept() {
  if (app::state().inputWindowMode == 1) {
    app::AcceptTitle();
  } else {
    FindDown();
  }
}

HandlerResult TitleFindEditKey(const EventArgs& args) {
  if (args[0] == kKeyEnter) TitleFindAccept();
  return std::nullopt;
}

}  // namespace nvx::reading
