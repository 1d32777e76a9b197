#include "reading/background_window.h"

#include "forms/main_window_refs.h"
#include "forms/secondary_windows.h"
#include "runtime/unit_numbers.h"
#include "runtime/window_runtime.h"

namespace nvx::reading {

namespace bg = forms::background_colour;

// The picker starts from the form's white every time, whatever the background is now.
void OpenBackgroundWindow() { LoadWindow(bg::kWindow, std::nullopt, true); }

// The colour holds until the program ends; it is not part of the article's format.
void BackgroundOk() {
  SetInt(forms::kContentBox, prop::rich::kBackColor,
         GetInt({bg::kWindow, bg::kColourPicker}, prop::picker::kColor));
  Destroy(bg::kWindow);
}

void BackgroundCancel() { Destroy(bg::kWindow); }

}  // namespace nvx::reading
