// All windows of the program, and the property indices every unit shares.
#pragma once

#include <span>

#include "forms/form_types.h"

namespace nvx::forms {

// Property indices common to every control.
inline constexpr int kPropLeft = 0;
inline constexpr int kPropTop = 1;
inline constexpr int kPropWidth = 2;
inline constexpr int kPropHeight = 3;
inline constexpr int kPropTag = 4;
inline constexpr int kPropVisible = 5;
inline constexpr int kPropDisabled = 6;
inline constexpr int kPropCursor = 7;

// Every window's title.
inline constexpr int kPropTitle = 8;

// The main window first: it is the one the program opens with.
std::span<const WindowDef> AllWindows();

// nullptr for an identifier that is no window of the program.
const WindowDef* FindWindowDef(WindowId id);

}  // namespace nvx::forms
