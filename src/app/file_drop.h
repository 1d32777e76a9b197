// Files dropped onto the main window: a collection opens as "文件 → 打开" opens a chosen file; a
// TXT book is split into chapters (an EPUB book into its contents entries) and, once the user
// agrees, added to the open collection.
#pragma once

#include "base/value.h"

namespace nvx::app {

// Handles one dropped file (local code page path); other kinds of file are ignored.
void DropFile(const Text& path);

}  // namespace nvx::app
