// A one-line progress counter of the nvx commands that can run for seconds.
#pragma once

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>

namespace nvx::tool {

// "export: 1200 / 20000" on standard error, rewritten in place, while a long command runs; only
// when standard error is a terminal, at most ten times a second, and wiped at the end.
class ProgressLine {
 public:
  explicit ProgressLine(const char* what) : what_(what), shown_(::isatty(STDERR_FILENO) == 1) {}
  ~ProgressLine() {
    if (printed_) std::fputs("\r\033[K", stderr);
  }
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  bool operator()(std::int64_t done, std::int64_t total) {
    if (!shown_) return true;
    const auto now = std::chrono::steady_clock::now();
    if (printed_ && done != total && now - last_ < std::chrono::milliseconds(100)) return true;
    last_ = now;
    printed_ = true;
    std::fprintf(stderr, "\r%s: %lld / %lld", what_, static_cast<long long>(done),
                 static_cast<long long>(total));
    std::fflush(stderr);
    return true;
  }

 private:
  const char* what_;
  bool shown_;
  bool printed_ = false;
  std::chrono::steady_clock::time_point last_{};
};

}  // namespace nvx::tool
