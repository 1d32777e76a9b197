// `nvx backup` and `nvx diff`: safe copies of a collection and what differs between two.
#pragma once

#include <string>
#include <vector>

namespace nvx::tool {

// nvx backup FILE [--dir DIR] [--keep N]; `args` are those after the command. Prints the backup's
// path. 0 done, 1 failure (the reason on standard error), 2 wrong usage (nothing printed).
int Backup(const std::vector<std::string>& args);

// nvx diff A B: one line per article that differs, then a summary. Exit status as diff(1) has it:
// 0 the same, 1 different, 2 trouble (the reason on standard error).
int Diff(const std::string& first, const std::string& second);

}  // namespace nvx::tool
