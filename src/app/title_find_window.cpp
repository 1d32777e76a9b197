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
    SetText(self, forms::kPropTitle, L("标题"));
    SetText({tf::kWindow, tf::kPromptLabel}, tf::kLabelCaption, L("输入标题"));
    SetInt({tf::kWindow, tf::kFindUpButton}, forms::kPropVisible, 0);
    SetText({tf::kWindow, tf::kAcceptButton}, tf::kButtonCaption, L("确定"));
    const int row = GetInt(kCatalogue, mw::kListCurrentRow);
    SetText(input, tf::kEditText, ListView::GetItemText(kCatalogue, row, mw::kColumnTitle));
    anchor = kCatalogue;
  }
  Move(self, GetInt(anchor, forms::kPropLeft), GetInt(anchor, forms::kPropTop), GetInt(self, forms::kPropWidth),
       GetInt(self, forms::kPropHeight));
  Focus(input);
}

void OpenFindWindow() {
  if (IsCreated(tf::kWindow)) Destroy(tf::kWindow);
  state().inputWindowMode = 2;
  LoadWindow(tf::kWindow);
  Focus({tf::kWindow, tf::kSelf});
}

}  // namespace nvx::app
