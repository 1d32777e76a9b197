// The report of an error the program cannot go on from. It is shown once, and the process ends
// straight after: nothing of the program runs again, not even its clean-up.
#pragma once

#include "base/value.h"

namespace nvx {

// Shows the report (caption "错误", error icon, OK), also writes it to standard error, then ends the
// process with exit code -1 (255 to the shell) without running end routines, atexit handlers or
// destructors. A second error while the report is up ends the process at once.
[[noreturn]] void ReportRuntimeError(const Text& message, int code = 0);

// True from the moment a report starts until the process ends. Whatever delivers events to the
// program checks it: while the report waits for the user, nothing of the program may run.
bool RuntimeErrorShowing();

// The report's text: "运行时出错!", then "错误代码：<code>" when code is not 0, then "错误信息：<message>"
// when there is a message; CR LF line ends.
Text RuntimeErrorText(const Text& message, int code);

}  // namespace nvx
