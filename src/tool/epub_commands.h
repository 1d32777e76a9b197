// The EPUB commands of `nvx`: `export FILE OUT.epub` writes articles as an e-book and
// `import FILE BOOK.epub` brings a book's chapters in. Each takes its arguments as the shell gave
// them (UTF-8).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace nvx::tool {

// Runs `export` or `import` when the book file's name ends in ".epub" (in any case), given the
// whole argument list (command first); nothing for anything else. On wrong usage it says what is
// wrong on standard error and returns what `usage` returns.
std::optional<int> RunEpubCommand(const std::vector<std::string>& args, int (*usage)());

}  // namespace nvx::tool
