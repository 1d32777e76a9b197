// Removing junk from texts (the ads and site notices web-novel files carry) by rules of PCRE2
// patterns, one a line:
//   line:PATTERN   removes every line in which PATTERN matches, with its line end (the default
//                  when a line has no prefix)
//   text:PATTERN   removes only what PATTERN matches, every match, within each line
//   # ...          a comment; blank lines are skipped too
// Lines of a text end at CR LF, LF or a lone CR; patterns see one line at a time, without its
// line end. Line rules are tried first; a line no line rule removes goes through the text rules
// in their order.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "store/text_pattern.h"

namespace nvx::text {

enum class RuleKind { Line, Text };

class CleanRules {
 public:
  // Parses a rules file (UTF-8). Null when a line is not valid UTF-8, a pattern does not compile,
  // or a pattern matches the empty text (it would remove every line, or nothing); `error` says
  // "line N: why". A file without any rule is refused too.
  static std::unique_ptr<CleanRules> Parse(std::string_view rules, std::string* error);

  struct Removal {
    std::int64_t line = 0;  // 1-based line of the text as it was
    RuleKind kind = RuleKind::Line;
    std::string text;  // the line removed (without its line end), or the text removed from it
  };

  // Applies the rules to `text` (UTF-8). False when a rule ran out of its match budget (a
  // pattern that backtracks without end); `error` then names its line in the rules file, and
  // `text` is left as it was.
  bool Clean(std::string& text, std::vector<Removal>* removed, std::string* error) const;

  std::size_t size() const { return rules_.size(); }

 private:
  struct Rule {
    RuleKind kind;
    std::int64_t fileLine;
    std::unique_ptr<book::TextPattern> pattern;
  };
  CleanRules() = default;
  std::vector<Rule> rules_;
};

}  // namespace nvx::text
