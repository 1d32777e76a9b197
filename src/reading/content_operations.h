// The content box's editing commands and its keys.
#pragma once

#include "runtime/window_runtime.h"

namespace nvx::reading {

void SelectAll();
void Copy();
void Paste();
void Cut();
void Delete();

// Key down in the content box: Ctrl+F, C, V, X, A (Ctrl alone), and Delete or Backspace with any
// modifiers. A key whose command ran is kept from the box, so each takes effect once; any other
// key is left to the box (no value returned).
HandlerResult ContentKeyDown(const EventArgs& args);

// Whether `args` (a key-down event's) is the key `letter` with Ctrl alone.
bool IsCtrlKey(const EventArgs& args, char letter);

}  // namespace nvx::reading
