// The content box's editing commands, its keys, and Find.
#pragma once

#include "runtime/window_runtime.h"

namespace nvx::reading {

void SelectAll();
void Copy();
void Paste();
void Cut();
void Delete();

// Key down in the content box: Ctrl+F, C, V, X, A, S (Ctrl alone), and Delete or Backspace with
// any modifiers. A key whose command ran is kept from the box, so each takes effect once.
HandlerResult ContentKeyDown(const EventArgs& args);

void FindDown();
void FindUp();

// The title/find window's 按钮1 (and Enter in its input box): Accept title or Find down, by the
// window's mode.
void TitleFindAccept();
HandlerResult TitleFindEditKey(const EventArgs& args);

}  // namespace nvx::reading
