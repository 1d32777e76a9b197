#include "tool/command_arguments.h"

#include <charconv>
#include <cstdio>

#include "base/codepage.h"
#include "store/article_file.h"

namespace nvx::tool {
namespace {

// Whether standard output failed and that was said already.
bool outputFailureSaid = false;

bool IsOption(const std::string& a) { return a.size() >= 2 && a[0] == '-' && !(a[1] >= '0' && a[1] <= '9'); }

}  // namespace

CommandArguments ParseArguments(const std::vector<std::string>& args, const std::set<std::string>& flags,
                                const std::set<std::string>& valued) {
  CommandArguments parsed;
  bool optionsEnded = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    const auto eq = a.find('=');
    if (optionsEnded || !IsOption(a)) {
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

std::optional<std::int64_t> ParseNumber(std::string_view s, std::int64_t least) {
  std::int64_t value = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (s.empty() || ec != std::errc() || end != s.data() + s.size() || value < least) return std::nullopt;
  return value;
}

std::optional<PlaceRange> ParseRange(std::string_view range) {
  const auto dash = range.find('-');
  if (dash == std::string_view::npos) return std::nullopt;
  PlaceRange parsed;
  const auto first = ParseNumber(range.substr(0, dash));
  if (!first) return std::nullopt;
  parsed.first = *first;
  if (dash + 1 < range.size()) {
    const auto last = ParseNumber(range.substr(dash + 1));
    if (!last || *last < *first) return std::nullopt;
    parsed.last = *last;
  }
  return parsed;
}

bool ReadRangeOption(const CommandArguments& a, PlaceRange& range) {
  if (!a.HasValue("--range")) return true;
  const auto parsed = ParseRange(a.Value("--range"));
  if (parsed) range = *parsed;
  return parsed.has_value();
}

std::string Counted(std::int64_t n, const char* noun) {
  return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

int Say(const std::string& what, int code) {
  std::fprintf(stderr, "nvx: %s\n", what.c_str());
  return code;
}

int Fail(const std::string& file, const std::string& reason, int code) {
  return Say(file + ": " + reason, code);
}

int UsageError(const std::string& what) { return Say(what, kShowUsage); }

bool WriteOut(std::string_view bytes) {
  return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() && !std::ferror(stdout);
}

int OutputFailed(const std::string& file, int code) {
  outputFailureSaid = true;
  return Fail(file, "cannot write output", code);
}

int FinishOutput(int code, int failed) {
  if ((std::fflush(stdout) == 0 && !std::ferror(stdout)) || outputFailureSaid) return code;
  return Say("cannot write output", failed);
}

std::optional<std::string> LocalPath(const std::string& file) {
  if (file.empty()) return std::nullopt;
  return FromUtf8(file);
}

std::optional<int> OpenArticles(SqliteDB& db, const std::string& file, int code) {
  const auto path = LocalPath(file);
  if (!path) return Fail(file, "cannot use this file name", code);
  const ArticleFileState state = OpenArticleFile(db, *path);
  if (state != ArticleFileState::Sound) return Fail(file, DescribeState(state), code);
  return std::nullopt;
}

}  // namespace nvx::tool
