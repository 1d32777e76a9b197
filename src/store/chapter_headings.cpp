#include "store/chapter_headings.h"

#include <algorithm>
#include <array>
#include <memory>

#include "store/text_pattern.h"

namespace nvx::book {

namespace {

// Spaces that pad headings and titles: ASCII space and tab, no-break space, ideographic space.
constexpr std::array<std::string_view, 4> kSpaces = {" ", "\t", "\u00A0", "\u3000"};

// One character class per part of the default rule, written out once.
#define NVX_NUMERAL "[0-9０-９〇零一二两三四五六七八九十百千万壹贰叁肆伍陆柒捌玖拾佰仟]"
#define NVX_SPACE "[ \\t\\x{A0}\\x{3000}]"
#define NVX_SEPARATOR "[ \\t\\x{A0}\\x{3000}:：·・.．、\\-—_]"
#define NVX_OPENING "[（(【\\[「『《〔“\"]"
#define NVX_TITLE "(?:" NVX_SEPARATOR "+.{0,30}|(?=" NVX_OPENING ").{1,30})"
// Up to four spaces of indent, then perhaps an opening bracket (the only capturing group).
#define NVX_LEAD NVX_SPACE "{0,4}(?:([【〖\\[])" NVX_SPACE "*)?"
// "第" + numeral (spaces may stand around it: 第 1 章), after 正文 or 正文卷 perhaps.
#define NVX_ORDINAL "(?:正文卷?" NVX_SPACE "*)?第" NVX_SPACE "{0,2}" NVX_NUMERAL "{1,9}" NVX_SPACE "{0,2}"
#define NVX_VOLUME_WORD "卷" NVX_NUMERAL "{1,9}"
#define NVX_ENGLISH "(?:Chapter|CHAPTER)" NVX_SPACE "+(?:[0-9０-９]{1,4}|[IVXLCDM]{1,8})"
// Longer words first: the form of a line is the first word that its start matches.
#define NVX_WORDS "(?:序章|序言|楔子|引子|终章|后记|尾声|番外篇|番外|附录|序)"
#define NVX_WORDS_ALONE "(?:完本感言|作者的话)"

// A heading: a special word alone, with a numeral, or with a separator and a title (完本感言 and
// 作者的话 only alone); 卷 + numeral alone or with a separator and a title; Chapter N alone or
// with a separator and a title; or "第" + numeral + unit: 章 may run straight into its title, 卷
// only into another unit (第一卷第一章, but 第一卷书 is prose), the other units need a separator
// (so that 第三节课, 第一集合, 第四部分 and 第一回合 stay prose). In brackets (【第一章】初见) the
// title may follow the closing one. A line ending as a sentence does is prose.
constexpr const char* kDefaultRule =
    "^" NVX_LEAD "(?:" NVX_WORDS "(?:" NVX_NUMERAL "{1,9})?" NVX_TITLE "?|" NVX_WORDS_ALONE
    "|" NVX_VOLUME_WORD NVX_TITLE "?|" NVX_ENGLISH "(?:" NVX_SEPARATOR "+.{0,60})?|" NVX_ORDINAL
    "(?:章(?:" NVX_TITLE "|.{1,30})?|卷(?:" NVX_TITLE "|(?=第).{1,30})?|[回节集部篇话幕]" NVX_TITLE
    "?))(?(1)" NVX_SPACE "*[】〗\\]].{0,30})(?<![。，；,;]|[a-z]\\.)$";

// The indent and opening bracket before a heading, then the start of a heading, which names its
// form; \G anchors each where the search starts.
constexpr const char* kLeadPattern = "\\G" NVX_LEAD;
constexpr const char* kFormPattern = "\\G(?:" NVX_ORDINAL "[章回节卷集部篇话幕]|" NVX_VOLUME_WORD
                                     "|" NVX_ENGLISH "|" NVX_WORDS_ALONE "|" NVX_WORDS ")";

// A unit that follows another on one line (第九卷 第二章).
constexpr const char* kNextUnitPattern =
    "\\G" NVX_SEPARATOR "*第" NVX_SPACE "{0,2}" NVX_NUMERAL "{1,9}" NVX_SPACE "{0,2}[章回节卷集部篇话幕]";

// Units anywhere in a title, for telling a volume heading.
constexpr const char* kUnitPattern =
    "第" NVX_SPACE "{0,2}" NVX_NUMERAL "{1,9}" NVX_SPACE "{0,2}[章回节卷集部篇话幕]|" NVX_VOLUME_WORD;

#undef NVX_WORDS_ALONE
#undef NVX_WORDS
#undef NVX_ENGLISH
#undef NVX_VOLUME_WORD
#undef NVX_ORDINAL
#undef NVX_LEAD
#undef NVX_TITLE
#undef NVX_OPENING
#undef NVX_SEPARATOR
#undef NVX_SPACE
#undef NVX_NUMERAL

// The forms, by their index; 0 is no heading, 1 a heading in no form named here (one that a rule
// of the user's took).
constexpr std::string_view kForms[] = {
    "",      "other", "第N章", "第N回",     "第N节", "第N话", "第N幕",    "第N卷",   "第N部",
    "第N集", "第N篇", "卷N",   "Chapter N", "序章",  "序言",  "序",       "楔子",    "引子",
    "终章",  "后记",  "尾声",  "番外篇",    "番外",  "附录",  "完本感言", "作者的话"};
constexpr std::size_t kFormCount = std::size(kForms);
constexpr std::uint8_t kOtherForm = 1;

// Chapter words that start chapters only where the book uses them for its chapters: at least
// kChapterWordMinimum such headings and none of 第N章 or 第N回. Elsewhere they are sections inside
// a chapter (第一节 in a book of 第N章) or text (Chapter 1 under a 第一章).
constexpr std::array<std::string_view, 4> kChapterWords = {"第N节", "第N话", "第N幕", "Chapter N"};
constexpr std::array<std::string_view, 2> kChapters = {"第N章", "第N回"};
constexpr std::size_t kChapterWordMinimum = 2;

std::uint8_t FormIndex(std::string_view name) {
  const auto at = std::find(std::begin(kForms), std::end(kForms), name);
  return at == std::end(kForms) ? 0 : static_cast<std::uint8_t>(at - std::begin(kForms));
}

std::size_t SpaceAt(std::string_view s, std::size_t i) {
  for (const std::string_view space : kSpaces)
    if (s.substr(i).starts_with(space)) return space.size();
  return 0;
}

bool Found(const TextPattern& pattern, std::string_view text, std::size_t start, std::size_t& end) {
  std::size_t begin = 0;
  return pattern.Find(text, start, begin, end) == TextPattern::Outcome::Found;
}

// The form named by the start of a line the default rule took.
std::string_view FormOfStart(std::string_view line) {
  static const std::unique_ptr<TextPattern> lead = TextPattern::Compile(kLeadPattern, {}, nullptr);
  static const std::unique_ptr<TextPattern> start = TextPattern::Compile(kFormPattern, {}, nullptr);
  static const std::unique_ptr<TextPattern> nextUnit = TextPattern::Compile(kNextUnitPattern, {}, nullptr);
  std::size_t leadEnd = 0, end = 0;
  if (!Found(*lead, line, 0, leadEnd) || !Found(*start, line, leadEnd, end)) return {};
  const std::string_view token = line.substr(leadEnd, end - leadEnd);
  if (token.starts_with("Chapter") || token.starts_with("CHAPTER")) return "Chapter N";
  if (token.starts_with("卷")) return "卷N";
  if (token.find("第") == std::string_view::npos) return kForms[FormIndex(token)];
  // A volume's unit followed by another unit on its line: the line is the later unit's heading.
  for (std::size_t at = end; Found(*nextUnit, line, at, end);) at = end;
  return kForms[FormIndex("第N" + std::string(line.substr(end - 3, 3)))];
}

}  // namespace

std::string_view TrimRight(std::string_view s) {
  for (bool trimmed = true; trimmed && !s.empty();) {
    trimmed = false;
    for (const std::string_view space : kSpaces) {
      if (s.ends_with(space)) {
        s.remove_suffix(space.size());
        trimmed = true;
      }
    }
  }
  return s;
}

std::string_view Trim(std::string_view s) {
  s = TrimRight(s);
  std::size_t i = 0;
  while (i < s.size()) {
    const std::size_t length = SpaceAt(s, i);
    if (length == 0) break;
    i += length;
  }
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

std::string_view HeadingForm(std::string_view line) {
  return IsHeading(DefaultHeadingRule(), line) == std::optional<bool>(true) ? FormOfStart(TrimRight(line))
                                                                            : "";
}

std::string_view HeadingFormName(std::uint8_t form) { return form < kFormCount ? kForms[form] : ""; }

BookHeadings FindHeadings(const std::vector<std::string_view>& lines, const TextPattern* rule) {
  BookHeadings headings;
  headings.form.assign(lines.size(), 0);
  for (std::size_t n = 0; n < lines.size(); ++n) {
    const auto heading = IsHeading(rule ? *rule : DefaultHeadingRule(), lines[n]);
    if (!heading) {
      headings.failedLine = n;
      return headings;
    }
    if (!*heading) continue;
    const std::string_view form = rule ? HeadingForm(lines[n]) : FormOfStart(TrimRight(lines[n]));
    headings.form[n] = std::max(FormIndex(form), kOtherForm);
  }
  if (rule) return headings;

  std::array<std::size_t, kFormCount> uses{};
  for (const std::uint8_t form : headings.form) ++uses[form];
  const bool chapters = std::any_of(kChapters.begin(), kChapters.end(),
                                    [&](std::string_view c) { return uses[FormIndex(c)] > 0; });
  for (const std::string_view word : kChapterWords) {
    const std::uint8_t form = FormIndex(word);
    if (!chapters && uses[form] >= kChapterWordMinimum) continue;
    std::replace(headings.form.begin(), headings.form.end(), form, std::uint8_t{0});
  }
  return headings;
}

bool IsVolumeHeading(std::string_view title) {
  static const std::unique_ptr<TextPattern> units = TextPattern::Compile(kUnitPattern, {}, nullptr);
  std::size_t at = 0, begin = 0, end = 0;
  std::string_view lastUnit;
  while (at < title.size() && units->Find(title, at, begin, end) == TextPattern::Outcome::Found) {
    lastUnit = title.substr(begin, end - begin);
    at = end;
  }
  return lastUnit.starts_with("卷") || lastUnit.ends_with("卷") || lastUnit.ends_with("部") ||
         lastUnit.ends_with("集");
}

}  // namespace nvx::book
