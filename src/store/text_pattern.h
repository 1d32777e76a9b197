// Regular expressions and plain-text patterns over UTF-8 text, for chapter headings, search and
// the text clean-up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace nvx::book {

// A compiled PCRE2 pattern in UTF mode. One pattern may be used by several threads at once.
//
// Every match is held to PCRE2's match limit (per starting position) and depth limit. A pattern
// of the user's (Options::budget) also gets one budget of matching time for all its matches
// together, summed over threads: kBudgetBase, plus kBudgetPerMegabyte for every megabyte of text
// it is set on (a Find from offset 0). A pattern that backtracks without end on every line or
// article of a book thus stops within seconds instead of running for hours; once any match of
// it has failed, every later Find fails at once.
inline constexpr int kBudgetBaseMs = 2000;
inline constexpr int kBudgetPerMegabyteMs = 1000;

class TextPattern {
 public:
  struct Options {
    bool literal = false;    // the pattern is plain text, not a regular expression
    bool caseless = false;   // letters match either case (full-width Latin letters too)
    bool multiline = false;  // ^ and $ match at every line start and end (CR, LF or CR LF)
    bool budget = false;     // a regular expression of the user's: held to the time budget
  };
  enum class Outcome { Found, NotFound, Failed };

  // Compiles `pattern` (UTF-8). On failure gives null and, in `error`, PCRE2's message and the
  // character it stopped at.
  static std::unique_ptr<TextPattern> Compile(std::string_view pattern, Options options, std::string* error);

  ~TextPattern();
  TextPattern(const TextPattern&) = delete;
  TextPattern& operator=(const TextPattern&) = delete;

  // Looks for the first match in `text` (valid UTF-8) from byte `start` on. `notEmptyAtStart`
  // refuses an empty match at `start` (for stepping past an empty match). Failed: the pattern ran
  // out of its match or depth limit or its budget (a pattern that backtracks without end), or
  // another matching error.
  Outcome Find(std::string_view text, std::size_t start, std::size_t& begin, std::size_t& end,
               bool notEmptyAtStart = false) const;

 private:
  struct Code;
  explicit TextPattern(std::unique_ptr<Code> code);
  std::unique_ptr<Code> code_;
};

}  // namespace nvx::book
