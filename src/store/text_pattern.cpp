#include "store/text_pattern.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <time.h>
#include <algorithm>
#include <atomic>

namespace nvx::book {

struct TextPattern::Code {
  struct Free {
    void operator()(pcre2_code* c) const { pcre2_code_free(c); }
    void operator()(pcre2_match_context* c) const { pcre2_match_context_free(c); }
    void operator()(pcre2_compile_context* c) const { pcre2_compile_context_free(c); }
    void operator()(pcre2_match_data* d) const { pcre2_match_data_free(d); }
  };
  std::unique_ptr<pcre2_code, Free> code;
  std::unique_ptr<pcre2_match_context, Free> context;
  // The time budget (Options::budget): what all matches may take, what they took, and whether
  // one has failed.
  bool budget = false;
  std::atomic<std::int64_t> allowedNs{std::int64_t{kBudgetBaseMs} * 1'000'000};
  std::atomic<std::int64_t> spentNs{0};
  std::atomic<bool> failed{false};
};

namespace {

// The time matches take, in nanoseconds, by the coarse clock: reading it costs a few
// nanoseconds at every starting position, and its millisecond steps even out over many matches.
std::int64_t NowNs() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
  return std::int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

// Enough for any sane pattern at one starting position of a line or an article (about a fifth
// of a second); a pattern that backtracks without end stops here instead of running for hours.
constexpr std::uint32_t kMatchLimit = 20'000'000;
// Nested backtracking, for the interpreter (the JIT is bounded by its stack).
constexpr std::uint32_t kDepthLimit = 250'000;
constexpr std::size_t kJitStackStart = 32 * 1024;
constexpr std::size_t kJitStackMost = 8 * 1024 * 1024;
// Put first in a budgeted pattern: called at every starting position, it ends the match once the
// budget is spent, so that one long article cannot outrun it.
constexpr std::string_view kBudgetCallout = "(?C)";

// Each thread matches on its own JIT stack.
pcre2_jit_stack* ThreadJitStack(void*) {
  struct Free {
    void operator()(pcre2_jit_stack* s) const { pcre2_jit_stack_free(s); }
  };
  thread_local std::unique_ptr<pcre2_jit_stack, Free> stack(
      pcre2_jit_stack_create(kJitStackStart, kJitStackMost, nullptr));
  return stack.get();
}

thread_local std::int64_t matchDeadlineNs = 0;

int StopPastDeadline(pcre2_callout_block*, void*) {
  return NowNs() > matchDeadlineNs ? PCRE2_ERROR_CALLOUT : 0;
}

// Where the budget's callout goes: after the settings a pattern may begin with, such as (*UCP)
// or (*LIMIT_MATCH=1000), which must come first.
std::size_t AfterLeadingSettings(std::string_view pattern) {
  std::size_t at = 0;
  while (pattern.substr(at).starts_with("(*")) {
    const std::size_t close = pattern.find(')', at);
    if (close == std::string_view::npos || close == at + 2) break;
    const std::string_view name = pattern.substr(at + 2, close - at - 2);
    if (!std::all_of(name.begin(), name.end(), [](char c) {
          return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '=';
        }))
      break;
    at = close + 1;
  }
  return at;
}

}  // namespace

TextPattern::TextPattern(std::unique_ptr<Code> code) : code_(std::move(code)) {}
TextPattern::~TextPattern() = default;

std::unique_ptr<TextPattern> TextPattern::Compile(std::string_view pattern, Options options,
                                                  std::string* error) {
  std::unique_ptr<pcre2_compile_context, Code::Free> compileContext(pcre2_compile_context_create(nullptr));
  pcre2_set_newline(compileContext.get(), PCRE2_NEWLINE_ANYCRLF);
  // A literal takes only the options about letters and code units.
  std::uint32_t flags = PCRE2_UTF | (options.literal ? PCRE2_LITERAL : PCRE2_UCP);
  if (options.caseless) flags |= PCRE2_CASELESS;
  if (!options.literal) flags |= options.multiline ? PCRE2_MULTILINE : PCRE2_DOLLAR_ENDONLY;
  int code = 0;
  PCRE2_SIZE offset = 0;
  auto compiled = std::make_unique<Code>();
  compiled->budget = options.budget && !options.literal;
  std::string source(pattern);
  const std::size_t calloutAt = AfterLeadingSettings(pattern);
  if (compiled->budget) source.insert(calloutAt, kBudgetCallout);
  compiled->code.reset(pcre2_compile(reinterpret_cast<PCRE2_SPTR>(source.data()), source.size(), flags, &code,
                                     &offset, compileContext.get()));
  if (!compiled->code) {
    if (compiled->budget && offset > calloutAt) offset -= std::min(offset - calloutAt, kBudgetCallout.size());
    if (error) {
      PCRE2_UCHAR message[256];
      pcre2_get_error_message(code, message, sizeof message);
      *error = std::string(reinterpret_cast<const char*>(message)) + " at offset " + std::to_string(offset);
    }
    return nullptr;
  }
  pcre2_jit_compile(compiled->code.get(), PCRE2_JIT_COMPLETE);  // without JIT it still matches
  compiled->context.reset(pcre2_match_context_create(nullptr));
  pcre2_set_match_limit(compiled->context.get(), kMatchLimit);
  pcre2_set_depth_limit(compiled->context.get(), kDepthLimit);
  pcre2_jit_stack_assign(compiled->context.get(), ThreadJitStack, nullptr);
  if (compiled->budget) pcre2_set_callout(compiled->context.get(), StopPastDeadline, nullptr);
  return std::unique_ptr<TextPattern>(new TextPattern(std::move(compiled)));
}

TextPattern::Outcome TextPattern::Find(std::string_view text, std::size_t start, std::size_t& begin,
                                       std::size_t& end, bool notEmptyAtStart) const {
  thread_local std::unique_ptr<pcre2_match_data, Code::Free> data(pcre2_match_data_create(1, nullptr));
  const std::uint32_t flags = PCRE2_NO_UTF_CHECK | (notEmptyAtStart ? PCRE2_NOTEMPTY_ATSTART : 0);
  Code& c = *code_;
  std::int64_t started = 0;
  if (c.budget) {
    if (start == 0 && !notEmptyAtStart)
      c.allowedNs += static_cast<std::int64_t>(text.size()) * kBudgetPerMegabyteMs * 1'000'000 / (1 << 20);
    const std::int64_t left = c.allowedNs - c.spentNs;
    if (c.failed || left <= 0) {
      c.failed = true;
      return Outcome::Failed;
    }
    started = NowNs();
    matchDeadlineNs = started + left;
  }
  const int rc = pcre2_match(c.code.get(), reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), start,
                             flags, data.get(), c.context.get());
  if (c.budget) {
    c.spentNs += NowNs() - started;
    if (rc < 0 && rc != PCRE2_ERROR_NOMATCH) c.failed = true;
  }
  if (rc == PCRE2_ERROR_NOMATCH) return Outcome::NotFound;
  if (rc < 0) return Outcome::Failed;
  const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data.get());
  begin = ovector[0];
  end = std::max(ovector[1], ovector[0]);  // \K may put the end before the start
  return Outcome::Found;
}

}  // namespace nvx::book
