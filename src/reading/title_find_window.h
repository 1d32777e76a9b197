// The small window that serves as the title input (Add title, Modify title) and as the Find
// window, chosen by the view state's inputWindowMode.
#pragma once

#include <functional>

#include "base/value.h"
#include "runtime/window_runtime.h"

namespace nvx::reading {

// What the title input is opened for: the title of a new article (the keyboard goes to the input
// box) or a new title for the selected one (the keyboard goes to the window).
enum class TitleFor { NewArticle, Rename };

// Opens the window anew as the title input, inside the main window over the catalogue, pre-filled
// with `title`. Its OK hands a non-empty typed title to `accepted`, then closes the window.
void OpenTitleInput(TitleFor purpose, const Text& title, std::function<void(const Text& title)> accepted);

// Opens the window for Find (menu "查找", Ctrl+F in the content box).
void OpenFindWindow();

// Creation complete: places the window inside the main window and sets it up for its mode.
void TitleFindCreated();

void FindDown();
void FindUp();

// The window's 按钮1 (and Enter in its input box): Accept title or Find down, by the window's mode.
void TitleFindAccept();
HandlerResult TitleFindEditKey(const EventArgs& args);

}  // namespace nvx::reading
