// The editor's start-up: program-wide state, handler table, the main window and the message loop.
#pragma once

#include "base/value.h"

namespace nvx::app {

// Binds every handler of the editor to its reference in the forms, and gives the main window its
// menu of commands (main_menu.h); before the main window is loaded.
void BindEditorHandlers();

// The start-up sequence: returns the program's exit code once the last window is gone. A file
// named on the command line (`nvxedit PATH`) is opened as Open opens a chosen file.
int RunEditor(const Text& fileToOpen = Text());

}  // namespace nvx::app
