// The main window's units as the handlers address them, and the messages they show.
#pragma once

#include "forms/main_window.h"
#include "runtime/window_runtime.h"

namespace nvx::app {

inline constexpr UnitRef kMainWindow{forms::main_window::kWindow, forms::main_window::kSelf};
inline constexpr UnitRef kCatalogue{forms::main_window::kWindow, forms::main_window::kCatalogue};
inline constexpr UnitRef kContentBox{forms::main_window::kWindow, forms::main_window::kContentBox};
inline constexpr UnitRef kStatusBar{forms::main_window::kWindow, forms::main_window::kStatusBar};
inline constexpr UnitRef kSaveTitleButton{forms::main_window::kWindow, forms::main_window::kSaveTitleButton};
inline constexpr UnitRef kOpenDialog{forms::main_window::kWindow, forms::main_window::kOpenDialog};
inline constexpr UnitRef kSaveDialog{forms::main_window::kWindow, forms::main_window::kSaveDialog};
inline constexpr UnitRef kFontDialog{forms::main_window::kWindow, forms::main_window::kFontDialog};

// Message boxes of the file, navigation and editing commands: caption "友情提示!", with the
// information icon (Tell) or the error icon (Warn). Texts are written as UTF-8 literals.
void Tell(const char* text);
void Warn(const char* text);

}  // namespace nvx::app
