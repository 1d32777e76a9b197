#include "reading/title_find_window.h"

#include "base/codepage.h"
#include "forms/main_window.h"
#include "forms/main_window_refs.h"
#include "forms/secondary_windows.h"
#include "reading/view_state.h"
#include "runtime/unit_numbers.h"
#include "runtime/value_commands.h"

namespace nvx::reading {

namespace mw = forms::main_window;
namespace tf = forms::title_find;

using forms::kCatalogue;
using forms::kContentBox;

namespace {

constexpr UnitRef kSelf{tf::kWindow, tf::kSelf};
constexpr UnitRef kInput{tf::kWindow, tf::kInputBox};

// Destroys a window left open, so that each opening starts afresh.
void OpenAnew(TitleFindMode mode) {
  if (IsCreated(tf::kWindow)) Destroy(tf::kWindow);
  View().inputWindowMode = mode;
}

Text SearchText() { return GetText(kInput, prop::edit::kText); }

// Selects what a search found (the start of the text when nothing was) and tells when nothing was.
// The keyboard stays in the Find window: the next Enter finds the next match instead of replacing
// the selected one with a line break. The box shows its selection without the focus.
void ShowFound(std::int32_t found, const Text& searched, const char* notFound) {
  View().lastFoundPosition = found;
  SetInt(kContentBox, prop::rich::kSelStart, found);
  SetInt(kContentBox, prop::rich::kSelLength, TextPositions(searched));
  if (IsCreated(tf::kWindow)) {
    Focus(kInput);
  } else {
    Focus(kContentBox);
  }
  if (found == -1) InfoBox(L(notFound), kMsgIconInformation, L("提示"));
}

void AcceptTitle() {
  const Text typed = GetText(kInput, prop::edit::kText);
  if (!typed.empty() && View().titleAccepted) View().titleAccepted(typed);
  Destroy(tf::kWindow);
}

}  // namespace

void OpenTitleInput(TitleFor purpose, std::function<void(const Text& title)> accepted) {
  OpenAnew(TitleFindMode::Title);
  View().titleAccepted = std::move(accepted);
  LoadWindow(tf::kWindow, mw::kWindow);
  Focus(purpose == TitleFor::NewArticle ? kInput : kSelf);
}

void OpenFindWindow() {
  OpenAnew(TitleFindMode::Find);
  LoadWindow(tf::kWindow);
  Focus(kSelf);
}

void TitleFindCreated() {
  SetParentWindow(tf::kWindow, mw::kWindow);
  Focus(kInput);
  // The window keeps its size wherever it goes: over the catalogue for a title, over the content
  // box for Find.
  UnitRef anchor = kContentBox;
  if (View().inputWindowMode == TitleFindMode::Title) {
    SetText(kSelf, prop::kTitle, L("标题"));
    SetText({tf::kWindow, tf::kPromptLabel}, prop::label::kCaption, L("输入标题"));
    SetInt({tf::kWindow, tf::kFindUpButton}, prop::kVisible, 0);
    SetText({tf::kWindow, tf::kAcceptButton}, prop::button::kCaption, L("确定"));
    const int row = GetInt(kCatalogue, prop::list::kCurrentRow);
    SetText(kInput, prop::edit::kText, ListView::GetItemText(kCatalogue, row, mw::kColumnTitle));
    anchor = kCatalogue;
  }
  Move(kSelf, GetInt(anchor, prop::kLeft), GetInt(anchor, prop::kTop), GetInt(kSelf, prop::kWidth),
       GetInt(kSelf, prop::kHeight));
  Focus(kInput);
}

// Each search starts one position from the last result, so overlapping matches are found too; the
// position is kept across articles and windows.
void FindDown() {
  const Text text = SearchText();
  const std::int32_t found = RichEdit::FindText(kContentBox, View().lastFoundPosition + 1, true, false, text);
  ShowFound(found, text, "已经到尾部");
}

void FindUp() {
  const Text text = SearchText();
  const std::int32_t found =
      RichEdit::FindTextBackward(kContentBox, View().lastFoundPosition - 1, true, text);
  ShowFound(found, text, "已经到顶部");
}

void TitleFindAccept() {
  if (View().inputWindowMode == TitleFindMode::Title) {
    AcceptTitle();
  } else {
    FindDown();
  }
}

HandlerResult TitleFindEditKey(const EventArgs& args) {
  if (args[0] == key::kEnter) TitleFindAccept();
  return std::nullopt;
}

}  // namespace nvx::reading
