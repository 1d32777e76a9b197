// Telling chapter headings from prose in a book's lines: the default heading rule, and whether a
// heading opens a volume.
#pragma once

#include <optional>
#include <string_view>

namespace nvx::book {

class TextPattern;

// The heading rule used when none is given.
const TextPattern& DefaultHeadingRule();

// Whether `line` (one line, without its line end) is a heading under `rule`; trailing spaces are
// ignored. Empty when the rule failed to match (see TextPattern::Find).
std::optional<bool> IsHeading(const TextPattern& rule, std::string_view line);

// Whether a heading's title opens a volume: its last unit is 卷, 部 or 集 (第一卷 风, but not
// 第九卷 第二章 标题).
bool IsVolumeHeading(std::string_view title);

// `s` without ASCII spaces, tabs and full-width spaces at its end, or at both ends.
std::string_view TrimRight(std::string_view s);
std::string_view Trim(std::string_view s);

}  // namespace nvx::book
