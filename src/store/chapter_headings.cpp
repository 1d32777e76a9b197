#include "store/chapter_headings.h"

#include <memory>

#include "store/book_import.h"

namespace nvx::book {

namespace {

constexpr std::string_view kFullWidthSpace = "\u3000";

// One character class per part of the default rule, written out once.
#define NVX_NUMERAL "[0-9０-９〇零一二两三四五六七八九十百千万壹贰叁肆伍陆柒捌玖拾佰仟]"
#define NVX_SPACE "[ \\t\\x{3000}]"
#define NVX_SEPARATOR "[ \\t\\x{3000}:：·・.．、\\-—_]"
#define NVX_OPENING "[（(【\\[「『《〔“\"]"
#define NVX_TITLE "(?:" NVX_SEPARATOR "+.{0,30}|(?=" NVX_OPENING ").{1,30})"

// A special heading alone, with a numeral, or with a separator and a title; or "第" + numeral +
// unit: 章 and 卷 may run straight into their title, the other units need a separator (so that
// 第三节课, 第一集合, 第四部分 and 第一回合 stay prose). A line ending as a sentence does is prose.
constexpr const char* kDefaultRule =
    "^" NVX_SPACE
    "{0,4}"
    "(?:(?:序章|序言|楔子|引子|终章|后记|尾声|番外)(?:" NVX_NUMERAL "{1,9})?" NVX_TITLE
    "?"
    "|(?:正文" NVX_SPACE "*)?第" NVX_NUMERAL "{1,9}(?:[章卷](?:" NVX_TITLE "|.{1,30})?|[回节集部篇]" NVX_TITLE
    "?))"
    "(?<![。，；,;])$";

constexpr const char* kUnitPattern = "第" NVX_NUMERAL "{1,9}([章回节卷集部篇])";

#undef NVX_TITLE
#undef NVX_OPENING
#undef NVX_SEPARATOR
#undef NVX_SPACE
#undef NVX_NUMERAL

const TextPattern& UnitPattern() {
  static const std::unique_ptr<TextPattern> pattern = TextPattern::Compile(kUnitPattern, {}, nullptr);
  return *pattern;
}

bool IsSpaceAt(std::string_view s, std::size_t i, std::size_t& length) {
  if (s[i] == ' ' || s[i] == '\t') {
    length = 1;
    return true;
  }
  if (s.substr(i).starts_with(kFullWidthSpace)) {
    length = kFullWidthSpace.size();
    return true;
  }
  return false;
}

}  // namespace

std::string_view TrimRight(std::string_view s) {
  while (!s.empty()) {
    if (s.back() == ' ' || s.back() == '\t') {
      s.remove_suffix(1);
    } else if (s.ends_with(kFullWidthSpace)) {
      s.remove_suffix(kFullWidthSpace.size());
    } else {
      break;
    }
  }
  return s;
}

std::string_view Trim(std::string_view s) {
  s = TrimRight(s);
  std::size_t i = 0, length = 0;
  while (i < s.size() && IsSpaceAt(s, i, length)) i += length;
  return s.substr(i);
}

const TextPattern& DefaultHeadingRule() {
  static const std::unique_ptr<TextPattern> rule = TextPattern::Compile(kDefaultRule, {}, nullptr);
  return *rule;
}

std::optional<bool> IsHeading(const TextPattern& rule, std::string_view line) {
  line = TrimRight(line);
  if (line.empty()) return false;
  std::size_t begin = 0, end = 0;
  switch (rule.Find(line, 0, begin, end)) {
    case TextPattern::Outcome::Found: return true;
    case TextPattern::Outcome::NotFound: return false;
    case TextPattern::Outcome::Failed: break;
  }
  return std::nullopt;
}

bool IsVolumeHeading(std::string_view title) {
  const TextPattern& units = UnitPattern();
  std::size_t at = 0, begin = 0, end = 0;
  std::string_view lastUnit;
  while (at < title.size() && units.Find(title, at, begin, end) == TextPattern::Outcome::Found) {
    lastUnit = title.substr(begin, end - begin);
    at = end;
  }
  return lastUnit.ends_with("卷") || lastUnit.ends_with("部") || lastUnit.ends_with("集");
}

}  // namespace nvx::book
