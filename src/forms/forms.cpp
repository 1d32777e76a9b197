#include "forms/forms.h"

#include <array>

#include "forms/main_window.h"
#include "forms/secondary_windows.h"

namespace nvx::forms {

std::span<const WindowDef> AllWindows() {
  // Copied on first use rather than at static initialisation, so the order in which the
  // definitions' translation units are initialised never matters.
  static const std::array<WindowDef, 4> kAll = {
      main_window::Definition(),
      title_find::Definition(),
      about::Definition(),
      background_colour::Definition(),
  };
  return kAll;
}

const WindowDef* FindWindowDef(WindowId id) {
  for (const WindowDef& window : AllWindows()) {
    if (window.id == id) return &window;
  }
  return nullptr;
}

}  // namespace nvx::forms
