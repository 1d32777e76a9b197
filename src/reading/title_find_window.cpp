#include "reading/title_find_window.h"

#include "base/codepage.h"
#include "forms/main_window.h"
#include "forms/secondary_windows.h"
#include "forms/window_parts.h"
#include "reading/view_state.h"
#include "runtime/value_commands.h"

namespace nvx::reading {

namespace mw = forms::main_window;
namespace tf = forms::title_find;

using forms::Catalogue;
using forms::ContentBox;
using forms::TitleWindow;

namespace {

// Destroys a window left open, so that each opening starts afresh.
void OpenAnew(TitleFindMode mode) {
  if (IsCreated(tf::kWindow)) Destroy(tf::kWindow);
  View().inputWindowMode = mode;
}

Text SearchText() { return TitleWindow().Input(); }

// Selects what a search found (the start of the text when nothing was) and tells when nothing was.
// The keyboard stays in the Find window: the next Enter finds the next match instead of replacing
// the selected one with a line break. The box shows its selection without the focus.
void ShowFound(std::int32_t found, const Text& searched, const char* notFound) {
  View().lastFoundPosition = found;
  ContentBox().Select(found, TextPositions(searched));
  if (IsCreated(tf::kWindow)) {
    TitleWindow().FocusInput();
  } else {
    ContentBox().Focus();
  }
  if (found == -1) InfoBox(L(notFound), kMsgIconInformation, L("提示"));
}

void AcceptTitle() {
  const Text typed = TitleWindow().Input();
  if (!typed.empty() && View().titleAccepted) View().titleAccepted(typed);
  Destroy(tf::kWindow);
}

}  // namespace

void OpenTitleInput(TitleFor purpose, const Text& title, std::function<void(const Text& title)> accepted) {
  OpenAnew(TitleFindMode::Title);
  View().titleOffered = title;
  View().titleAccepted = std::move(accepted);
  LoadWindow(tf::kWindow, mw::kWindow);
  if (purpose == TitleFor::NewArticle) {
    TitleWindow().FocusInput();
  } else {
    TitleWindow().Focus();
  }
}

void OpenFindWindow() {
  OpenAnew(TitleFindMode::Find);
  LoadWindow(tf::kWindow);
  TitleWindow().Focus();
}

void TitleFindCreated() {
  SetParentWindow(tf::kWindow, mw::kWindow);
  TitleWindow().FocusInput();
  // The window keeps its size wherever it goes: over the catalogue for a title, over the content
  // box for Find.
  if (View().inputWindowMode == TitleFindMode::Title) {
    TitleWindow().SetTitle(L("标题"));
    TitleWindow().SetPrompt(L("输入标题"));
    TitleWindow().HideFindUp();
    TitleWindow().SetAcceptCaption(L("确定"));
    TitleWindow().SetInput(View().titleOffered);
    TitleWindow().MoveTo(Catalogue().Left(), Catalogue().Top());
  } else {
    TitleWindow().MoveTo(ContentBox().Left(), ContentBox().Top());
  }
  TitleWindow().FocusInput();
}

// Each search starts one position from the last result, so overlapping matches are found too; the
// position is kept across articles and windows.
void FindDown() {
  const Text text = SearchText();
  const std::int32_t found = ContentBox().FindText(View().lastFoundPosition + 1, true, false, text);
  ShowFound(found, text, "已经到尾部");
}

void FindUp() {
  const Text text = SearchText();
  const std::int32_t found = ContentBox().FindTextBackward(View().lastFoundPosition - 1, true, text);
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
