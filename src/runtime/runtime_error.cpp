#include "runtime/runtime_error.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/codepage.h"
#include "runtime/interaction.h"
#include "runtime/qt_text.h"

namespace nvx {
namespace {

std::atomic<bool> showing{false};

// The report as a terminal wants it: UTF-8 with plain line ends.
void WriteToStandardError(const Text& report) {
  std::string utf8 = ToUtf8Lossy(report);
  std::string out;
  out.reserve(utf8.size());
  for (char c : utf8)
    if (c != '\r') out += c;
  std::fputs(out.c_str(), stderr);
  std::fflush(stderr);
}

[[noreturn]] void EndNow() {
  // Output the program wrote before the error still belongs to the user; nothing else runs.
  std::fflush(nullptr);
  std::_Exit(-1);
}

}  // namespace

bool RuntimeErrorShowing() { return showing.load(); }

Text RuntimeErrorText(const Text& message, int code) {
  static const Text kCrLf = "\r\n";
  Text report = L("运行时出错!") + kCrLf + kCrLf;
  if (code != 0) report += L("错误代码：") + std::to_string(code) + kCrLf + kCrLf;
  const Text shownMessage = message.substr(0, message.find('\0'));
  if (!shownMessage.empty()) report += L("错误信息：") + shownMessage + kCrLf;
  return report;
}

void ReportRuntimeError(const Text& message, int code) {
  // Showing the box runs an event loop; an error raised from inside it must not show a second
  // box over the first or return into a program that has already failed.
  const bool alreadyShowing = showing.exchange(true);
  const Text report = RuntimeErrorText(message, code);
  WriteToStandardError(report);
  if (alreadyShowing) EndNow();
  try {
    CurrentInteraction().MessageBox(ToQString(L("错误")), ToQString(report), kMsgOk | kMsgIconError);
  } catch (...) {
    // The process ends either way; a failing box must not turn the error into a crash.
  }
  EndNow();
}

}  // namespace nvx
