// The main window's units as the handlers address them: (window, unit) pairs of the runtime.
#pragma once

#include "forms/main_window.h"
#include "runtime/window_runtime.h"

namespace nvx::forms {

inline constexpr UnitRef kMainWindow{main_window::kWindow, main_window::kSelf};
inline constexpr UnitRef kCatalogue{main_window::kWindow, main_window::kCatalogue};
inline constexpr UnitRef kContentBox{main_window::kWindow, main_window::kContentBox};
inline constexpr UnitRef kStatusBar{main_window::kWindow, main_window::kStatusBar};
inline constexpr UnitRef kSaveTitleButton{main_window::kWindow, main_window::kSaveTitleButton};
inline constexpr UnitRef kOpenDialog{main_window::kWindow, main_window::kOpenDialog};
inline constexpr UnitRef kSaveDialog{main_window::kWindow, main_window::kSaveDialog};
inline constexpr UnitRef kFontDialog{main_window::kWindow, main_window::kFontDialog};

}  // namespace nvx::forms
