// The EPUB commands of `nvx`: `export FILE OUT.epub` writes articles as an e-book and
// `import FILE BOOK.epub` brings a book's chapters in. Each takes its arguments as the shell gave
// them (UTF-8).
#pragma once

#include "tool/command_arguments.h"

namespace nvx::tool {

int ExportEpub(const CommandArguments& a);
int ImportEpub(const CommandArguments& a);

}  // namespace nvx::tool
