// The editor's start-up: program-wide state, handler table, the main window and the message loop.
#pragma once

namespace nvx::app {

// Binds every handler of the editor to its reference in the forms.
void BindEditorHandlers();

// The start-up sequence: returns the program's exit code once the last window is gone.
int RunEditor();

}  // namespace nvx::app
