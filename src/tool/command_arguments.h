// What every nvx command shares: its arguments read one way (words, flags, options with a value,
// numbers and ranges of places), and one way to say what went wrong and to end.
#pragma once

#include <cstdint>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace nvx {
class SqliteDB;
}

namespace nvx::tool {

// Exit codes: 0 success, 1 failure (after one line on standard error naming the file and the
// reason), 2 wrong usage. A handler that returns kShowUsage gets the usage text shown and 2.
inline constexpr int kSuccess = 0;
inline constexpr int kFailure = 1;
inline constexpr int kUsage = 2;
inline constexpr int kShowUsage = -1;

// Arguments after the command: words, flags and options with a value ("--rule X" or "--rule=X").
// "--" ends the options; a negative number ("-5") is a word. `error` says what was wrong.
struct CommandArguments {
  std::vector<std::string> words;
  std::set<std::string> flags;
  std::map<std::string, std::string> values;
  std::string error;

  bool Has(const std::string& flag) const { return flags.count(flag) != 0; }
  bool HasValue(const std::string& option) const { return values.count(option) != 0; }
  std::string Value(const std::string& option, const std::string& otherwise = {}) const {
    const auto it = values.find(option);
    return it == values.end() ? otherwise : it->second;
  }
};

// `args` starts with the command, which is passed over.
CommandArguments ParseArguments(const std::vector<std::string>& args, const std::set<std::string>& flags,
                                const std::set<std::string>& valued);

// A whole number of at least `least`, written as decimal digits (a '-' before them for a
// negative one) and nothing else.
std::optional<std::int64_t> ParseNumber(std::string_view s, std::int64_t least = 1);

// "A-B" or "A-": 1-based places, B not below A; nothing when malformed.
struct PlaceRange {
  std::int64_t first = 1;
  std::int64_t last = std::numeric_limits<std::int64_t>::max();
};
std::optional<PlaceRange> ParseRange(std::string_view range);
inline constexpr const char* kRangeUsage = "--range is A-B or A- (places, from 1)";
// The --range option into `range` (all places when not given); false when it is malformed.
bool ReadRangeOption(const CommandArguments& a, PlaceRange& range);

// "1 article", "3 articles".
std::string Counted(std::int64_t n, const char* noun);

// "nvx: WHAT" on standard error, giving `code`: every message of nvx goes this way.
int Say(const std::string& what, int code);
// "nvx: FILE: REASON" on standard error, giving `code`.
int Fail(const std::string& file, const std::string& reason, int code = kFailure);
// "nvx: WHAT" on standard error; kShowUsage, so the usage text follows.
int UsageError(const std::string& what);

// Standard output written; false once any write failed.
bool WriteOut(std::string_view bytes);
// Says once that standard output could not be written: "nvx: FILE: cannot write output", giving
// `code`. FinishOutput then adds nothing.
int OutputFailed(const std::string& file, int code = kFailure);
// Flushes standard output at the end of a command: `code` when everything reached it and the
// failure was not said yet, otherwise `failed` after saying "cannot write output" (a full disk, a
// closed pipe, /dev/full).
int FinishOutput(int code, int failed = kFailure);

// File names arrive as UTF-8; the store takes texts in the local code page.
std::optional<std::string> LocalPath(const std::string& file);

// An article database opened that must be usable: nullopt, or the exit code after saying why.
std::optional<int> OpenArticles(SqliteDB& db, const std::string& file, int code = kFailure);

}  // namespace nvx::tool
