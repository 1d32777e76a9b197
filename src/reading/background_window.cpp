#include "reading/background_window.h"

#include "forms/secondary_windows.h"
#include "forms/window_parts.h"
#include "runtime/window_runtime.h"

namespace nvx::reading {

namespace bg = forms::background_colour;

// The picker starts from the form's white every time, whatever the background is now.
void OpenBackgroundWindow() { LoadWindow(bg::kWindow, std::nullopt, true); }

// The colour holds until the program ends; it is not part of the article's format.
void BackgroundOk() {
  forms::ContentBox().SetBackColor(forms::PickedBackgroundColour());
  Destroy(bg::kWindow);
}

void BackgroundCancel() { Destroy(bg::kWindow); }

}  // namespace nvx::reading
