// Telling chapter headings from prose in a book's lines: the default heading rule, the form each
// heading is written in, which forms a book uses for its chapters, and whether a heading opens a
// volume.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace nvx::book {

class TextPattern;

// The heading rule used when none is given.
const TextPattern& DefaultHeadingRule();

// Whether `line` (one line, without its line end) is a heading under `rule`; trailing spaces are
// ignored. Empty when the rule failed to match (see TextPattern::Find).
std::optional<bool> IsHeading(const TextPattern& rule, std::string_view line);

// The form a heading is written in, named by its start: "第N章" (also 第 1 章, 【第一章】,
// 正文卷 第一章, 第九卷 第二章), "第N卷", "卷N", "Chapter N", or the word itself ("楔子", "番外篇",
// ...); empty when the line does not start as a heading of the default rule does.
std::string_view HeadingForm(std::string_view line);

// Which lines of a book start chapters. Under the default rule, 第N节, 第N话, 第N幕 and Chapter N
// start chapters only in a book that writes its chapters so: at least two of them and no 第N章
// or 第N回; elsewhere such lines stay text (sections inside a chapter, an English line under a
// Chinese heading).
struct BookHeadings {
  std::vector<std::uint8_t> form;  // per line: 0 for text, else the heading's form (see HeadingFormName)
  std::optional<std::size_t> failedLine;  // the rule failed to match on this line (see IsHeading)
};
BookHeadings FindHeadings(const std::vector<std::string_view>& lines, const TextPattern* rule);

// The name of a form in BookHeadings: as HeadingForm gives it, or "other" for a line a rule of
// the user's took that starts in no form named here.
std::string_view HeadingFormName(std::uint8_t form);

// Whether a heading's title opens a volume: its last unit is 卷, 部 or 集, or 卷 + numeral (第一卷 风,
// 卷一 风起, but not 第九卷 第二章 标题).
bool IsVolumeHeading(std::string_view title);

// `s` without ASCII spaces, tabs, no-break and ideographic spaces at its end, or at both ends.
std::string_view TrimRight(std::string_view s);
std::string_view Trim(std::string_view s);

}  // namespace nvx::book
