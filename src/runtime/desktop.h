// What makes the platform a Chinese desktop for the program: Qt's own translations for the
// standard dialogs and buttons, and installed CJK fonts standing in for the Windows faces that
// articles name ("宋体", "黑体", ...), without changing the stored face names.
#pragma once

namespace nvx {

void SetUpChineseDesktop();

// True when the program can show windows: a display, or a platform chosen explicitly.
bool DisplayAvailable();

}  // namespace nvx
