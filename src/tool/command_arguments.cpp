#include "tool/command_arguments.h"

#include <sys/stat.h>

#include <charconv>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace nvx::tool {

CommandArguments ParseArguments(const std::vector<std::string>& args, const std::set<std::string>& flags,
                                const std::set<std::string>& valued) {
  CommandArguments parsed;
  bool optionsEnded = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    const auto eq = a.find('=');
    if (optionsEnded || a.size() < 2 || a[0] != '-') {
      parsed.words.push_back(a);
    } else if (a == "--") {
      optionsEnded = true;
    } else if (flags.count(a)) {
      parsed.flags.insert(a);
    } else if (eq != std::string::npos && valued.count(a.substr(0, eq))) {
      parsed.values[a.substr(0, eq)] = a.substr(eq + 1);
    } else if (!valued.count(a)) {
      parsed.error = "unknown option " + a;
      return parsed;
    } else if (i + 1 == args.size()) {
      parsed.error = a + " needs a value";
      return parsed;
    } else {
      parsed.values[a] = args[++i];
    }
  }
  return parsed;
}

std::optional<std::int64_t> ParsePositive(std::string_view s) {
  std::int64_t value = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (s.empty() || ec != std::errc() || end != s.data() + s.size() || value < 1) return std::nullopt;
  return value;
}

std::optional<PlaceRange> ParseRange(std::string_view range) {
  const auto dash = range.find('-');
  if (dash == std::string_view::npos) return std::nullopt;
  PlaceRange parsed;
  const auto first = ParsePositive(range.substr(0, dash));
  if (!first) return std::nullopt;
  parsed.first = *first;
  if (dash + 1 < range.size()) {
    const auto last = ParsePositive(range.substr(dash + 1));
    if (!last || *last < *first) return std::nullopt;
    parsed.last = *last;
  }
  return parsed;
}

int UsageError(const std::string& what, int (*usage)()) {
  std::fprintf(stderr, "nvx: %s\n", what.c_str());
  return usage();
}

std::optional<std::string> ReadWholeFile(const std::string& file) {
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) return std::nullopt;
  return bytes;
}

}  // namespace nvx::tool
