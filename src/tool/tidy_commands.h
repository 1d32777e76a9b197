// The tidying commands of `nvx`: convert between simplified and traditional Chinese, clean junk
// lines out by rules, find repeated articles. Each takes its arguments as the shell gave them.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace nvx::tool {

// Runs `convert`, `clean` or `dups`, given the whole argument list (command first); nothing for
// any other command. On wrong usage it says what is wrong and returns what `usage` returns.
std::optional<int> RunTidyCommand(const std::vector<std::string>& args, int (*usage)());

}  // namespace nvx::tool
