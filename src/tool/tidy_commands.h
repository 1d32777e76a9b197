// The tidying commands of `nvx`: convert between simplified and traditional Chinese, clean junk
// lines out by rules, find repeated articles. Each takes its arguments as the shell gave them.
#pragma once

#include "tool/command_arguments.h"

namespace nvx::tool {

int Convert(const CommandArguments& a);  // convert FILE --config NAME
int Clean(const CommandArguments& a);    // clean FILE --rules RULES
int Dups(const CommandArguments& a);     // dups FILE: 0 none, 1 some, 2 error

}  // namespace nvx::tool
