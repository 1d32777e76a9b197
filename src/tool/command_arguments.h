// Reading the arguments of an nvx command: words, flags and options with a value, a range of
// places, a positive number, and a small input file read whole.
#pragma once

#include <cstdint>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace nvx::tool {

// Arguments after the command: words, flags and options with a value ("--rule X" or "--rule=X").
// "--" ends the options; `error` says what was wrong.
struct CommandArguments {
  std::vector<std::string> words;
  std::set<std::string> flags;
  std::map<std::string, std::string> values;
  std::string error;

  bool Has(const std::string& flag) const { return flags.count(flag) != 0; }
};

CommandArguments ParseArguments(const std::vector<std::string>& args, const std::set<std::string>& flags,
                                const std::set<std::string>& valued);

// A whole number of at least 1, digits only.
std::optional<std::int64_t> ParsePositive(std::string_view s);

// "A-B" or "A-": 1-based places, B not below A; nothing when malformed.
struct PlaceRange {
  std::int64_t first = 1;
  std::int64_t last = std::numeric_limits<std::int64_t>::max();
};
std::optional<PlaceRange> ParseRange(std::string_view range);

// "nvx: WHAT" on standard error, then whatever `usage` returns.
int UsageError(const std::string& what, int (*usage)());

// The whole of a regular file; nothing for anything else (a FIFO is never opened).
std::optional<std::string> ReadWholeFile(const std::string& file);

}  // namespace nvx::tool
