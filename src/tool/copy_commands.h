// `nvx backup` and `nvx diff`: safe copies of a collection and what differs between two.
#pragma once

#include <string>

#include "tool/command_arguments.h"

namespace nvx::tool {

// nvx backup FILE [--dir DIR] [--keep N]: prints the backup's path. A missing DIR is made.
int Backup(const CommandArguments& a);

// nvx diff A B: one line per article that differs, then a summary. Exit status as diff(1) has it:
// 0 the same, 1 different, 2 trouble (the reason on standard error).
int Diff(const std::string& first, const std::string& second);

}  // namespace nvx::tool
