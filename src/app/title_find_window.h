// The small window that serves as the title input (Add title, Modify title) and as the Find
// window, chosen by inputWindowMode.
#pragma once

namespace nvx::app {

// Creation complete: places the window inside the main window and sets it up for its mode.
void TitleFindCreated();

// Opens the window for Find (menu "查找", Ctrl+F in the content box).
void OpenFindWindow();

}  // namespace nvx::app
