// The basic commands of `nvx`: new, list, cat, add, check and export to a text file. Each takes
// its arguments as the shell gave them (UTF-8) and returns the process exit code.
#pragma once

#include <string>

#include "tool/command_arguments.h"

namespace nvx::tool {

int NewFile(const std::string& file);
int List(const std::string& file);
int Cat(const std::string& file, const std::string& id);
int Add(const std::string& file, const std::string& title);
int Check(const std::string& file);
int ExportText(const std::string& file, const std::string& out);

}  // namespace nvx::tool
