#include "store/text_clean.h"

#include "base/codepage.h"

namespace nvx::text {
namespace {

constexpr std::string_view kLinePrefix = "line:";
constexpr std::string_view kTextPrefix = "text:";

bool Blank(std::string_view line) { return line.find_first_not_of(" \t") == std::string_view::npos; }

std::string RuleError(std::int64_t fileLine, const std::string& why) {
  return "line " + std::to_string(fileLine) + ": " + why;
}

}  // namespace

std::unique_ptr<CleanRules> CleanRules::Parse(std::string_view rules, std::string* error) {
  std::unique_ptr<CleanRules> parsed(new CleanRules());
  std::int64_t fileLine = 0;
  std::size_t at = 0;
  auto fail = [&](const std::string& why) {
    if (error) *error = RuleError(fileLine, why);
    return nullptr;
  };
  while (at < rules.size()) {
    const std::size_t end = std::min(rules.find('\n', at), rules.size());
    std::string_view line = rules.substr(at, end - at);
    at = end + 1;
    ++fileLine;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (fileLine == 1 && line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);
    if (FindInvalidUtf8(line)) return fail("not valid UTF-8");
    if (Blank(line) || line.front() == '#') continue;
    RuleKind kind = RuleKind::Line;
    if (line.substr(0, kTextPrefix.size()) == kTextPrefix) {
      kind = RuleKind::Text;
      line.remove_prefix(kTextPrefix.size());
    } else if (line.substr(0, kLinePrefix.size()) == kLinePrefix) {
      line.remove_prefix(kLinePrefix.size());
    }
    if (line.empty()) return fail("empty pattern");
    std::string why;
    auto pattern = book::TextPattern::Compile(line, {}, &why);
    if (!pattern) return fail(why);
    std::size_t begin = 0, stop = 0;
    switch (pattern->Find("", 0, begin, stop)) {
      case book::TextPattern::Outcome::Found: return fail("matches the empty text");
      case book::TextPattern::Outcome::Failed: return fail("runs away (match limit)");
      case book::TextPattern::Outcome::NotFound: break;
    }
    parsed->rules_.push_back(Rule{kind, fileLine, std::move(pattern)});
  }
  if (parsed->rules_.empty()) {
    if (error) *error = "no rules";
    return nullptr;
  }
  return parsed;
}

namespace {

// Removes every match of `pattern` from `line` (line `lineNumber`), telling `removed` of each
// text removed; false when the pattern ran out of its limits.
bool RemoveMatches(const book::TextPattern& pattern, std::string& line, std::int64_t lineNumber,
                   std::vector<CleanRules::Removal>* removed) {
  std::string rest;
  std::size_t from = 0, begin = 0, stop = 0;
  bool notEmpty = false;
  for (;;) {
    const auto found = pattern.Find(line, from, begin, stop, notEmpty);
    if (found == book::TextPattern::Outcome::Failed) return false;
    if (found == book::TextPattern::Outcome::NotFound) break;
    rest.append(line, from, begin - from);
    if (removed && stop > begin)
      removed->push_back({lineNumber, RuleKind::Text, line.substr(begin, stop - begin)});
    from = stop;
    notEmpty = stop == begin;  // step past an empty match instead of finding it again
    if (from >= line.size()) break;
  }
  if (from == 0 && rest.empty()) return true;
  rest.append(line, std::min(from, line.size()));
  line = std::move(rest);
  return true;
}

}  // namespace

bool CleanRules::Clean(std::string& text, std::vector<Removal>* removed, std::string* error) const {
  std::string out;
  out.reserve(text.size());
  std::int64_t lineNumber = 0;
  std::size_t at = 0;
  auto ranAway = [&](const Rule& rule) {
    if (error) *error = "rule on line " + std::to_string(rule.fileLine) + " runs away (match limit)";
    return false;
  };
  while (at < text.size()) {
    std::size_t end = text.find_first_of("\r\n", at);
    if (end == std::string::npos) end = text.size();
    std::size_t next = end;
    if (next < text.size())
      next += text[next] == '\r' && next + 1 < text.size() && text[next + 1] == '\n' ? 2 : 1;
    const std::string_view line = std::string_view(text).substr(at, end - at);
    const std::string_view lineEnd = std::string_view(text).substr(end, next - end);
    at = next;
    ++lineNumber;

    bool drop = false;
    std::size_t begin = 0, stop = 0;
    for (const Rule& rule : rules_) {
      if (rule.kind != RuleKind::Line) continue;
      const auto found = rule.pattern->Find(line, 0, begin, stop);
      if (found == book::TextPattern::Outcome::Failed) return ranAway(rule);
      if (found == book::TextPattern::Outcome::Found) {
        drop = true;
        break;
      }
    }
    if (drop) {
      if (removed) removed->push_back({lineNumber, RuleKind::Line, std::string(line)});
      continue;
    }
    std::string kept(line);
    for (const Rule& rule : rules_) {
      if (rule.kind == RuleKind::Text && !RemoveMatches(*rule.pattern, kept, lineNumber, removed))
        return ranAway(rule);
    }
    out += kept;
    out += lineEnd;
  }
  text = std::move(out);
  return true;
}

}  // namespace nvx::text
