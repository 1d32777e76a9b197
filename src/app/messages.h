// Message boxes of the file, navigation and editing commands: caption "友情提示!", with the
// information icon (Tell) or the error icon (Warn). Texts are written as UTF-8 literals.
#pragma once

namespace nvx::app {

void Tell(const char* text);
void Warn(const char* text);

}  // namespace nvx::app
