// The book commands of `nvx`: import a TXT book, search the texts, count them, export one file per
// article. Each takes its arguments as the shell gave them (UTF-8).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace nvx::tool {

// Runs `import`, `grep`, `stat`, or `export` with `--split`, given the whole argument list
// (command first); nothing for any other command. On wrong usage it says what is wrong on standard
// error and returns what `usage` (which shows the usage text) returns.
std::optional<int> RunBookCommand(const std::vector<std::string>& args, int (*usage)());

}  // namespace nvx::tool
