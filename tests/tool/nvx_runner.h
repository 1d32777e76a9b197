// Runs the built nvx binary as a user's script would: arguments quoted for the shell, standard
// input from a file, standard output and standard error captured.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "test_support.h"

namespace nvx::test {

struct NvxResult {
  int code = -1;
  std::string out;
  std::string err;
};

inline std::string ShellQuote(const std::string& arg) {
  std::string q = "'";
  for (char c : arg) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// Runs NVX_TOOL_PATH with `args`, keeping its input and output in `io`.
inline NvxResult RunNvx(const TempDir& io, const std::vector<std::string>& args,
                        const std::string& input = "") {
  WriteFile(io.File("stdin"), input);
  std::string command = ShellQuote(NVX_TOOL_PATH);
  for (const auto& a : args) command += " " + ShellQuote(a);
  command += " <" + ShellQuote(io.File("stdin")) + " >" + ShellQuote(io.File("stdout")) + " 2>" +
             ShellQuote(io.File("stderr"));
  const int status = std::system(command.c_str());
  NvxResult r;
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = ReadFile(io.File("stdout"));
  r.err = ReadFile(io.File("stderr"));
  return r;
}

}  // namespace nvx::test
