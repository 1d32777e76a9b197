// All windows of the program.
#pragma once

#include <span>

#include "runtime/form_types.h"

namespace nvx::forms {

// The main window first: it is the one the program opens with.
std::span<const WindowDef> AllWindows();

// nullptr for an identifier that is no window of the program.
const WindowDef* FindWindowDef(WindowId id);

}  // namespace nvx::forms
