#include "app/title_find_window.h"

#include "app/main_window_refs.h"
#include "app/program_state.h"
#include "forms/forms.h"
#include "forms/main_window.h"
#include "forms/secondary_windows.h"
#include "store/codepage.h"

namespace nvx::app {

namespace mw = forms::main_window;
namespace tf = forms::title_find;

void TitleFindCreated() {
  const UnitRef self{tf::kWindow, tf::kSelf};
  const UnitRef input{tf::kWindow, tf::kInputBox};
  SetParentWindow(tf::kWindow, mw::kWindow);
  Focus(input);
  // The window keeps its size wherever it goes: over the catalogue for a title, over the content
  // box for Find.
  UnitRef anchor = kContentBox;
  if (state().inputWindowMode == 1) {
    SetText(self, prop::kTitle, L("标题"));
    SetText({tf::kWindow, tf::kPromptLabel}, prop::label::kCaption, L("输入标题"));
    SetInt({tf::kWindow, tf::kFindUpButton}, prop::kVisible, 0);
    SetText({tf::kWindow, tf::kAcceptButton}, prop::button::kCaption, L("确定"));
    const int row = GetInt(kCatalogue, prop::list::kCurrentRow);
    SetText(input, prop::edit::kText, ListView::GetItemText(kCatalogue, row, mw::kColumnTitle));
    anchor = kCatalogue;
  }
  Move(self, GetInt(anchor, prop::kLeft), GetInt(anchor, prop::kTop), GetInt(self, prop::kWidth),
       GetInt(self, prop::kHeight));
  Focus(input);
}

void OpenFindWindow() {
  if (IsCreated(tf::kWindow)) Destroy(tf::kWindow);
  state().inputWindowMode = 2;
  LoadWindow(tf::kWindow);
  Focus({tf::kWindow, tf::kSelf});
}

}  // namespace nvx::app
