// Conversion between the local code page and UTF-8.
//
// The program's own texts and everything that crosses the store's interface are in the local code
// page, GB18030: every GBK character keeps its GBK bytes, and characters outside GBK are kept too
// instead of becoming "?". The database and the file system hold UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace nvx {

// Local code page to UTF-8. Empty gives empty; bytes that are not valid in the code page fail.
// A character outside the Basic Multilingual Plane becomes one 4-byte sequence.
std::optional<std::string> ToUtf8(std::string_view local);

// UTF-8 to the local code page. Accepts 1- to 4-byte sequences; a bad lead byte, a continuation
// byte that is not 10xxxxxx, a cut-short sequence or a character the code page cannot hold fails
// the whole conversion. The text ends at a decoded U+0000, as a zero-terminated text would.
std::optional<std::string> FromUtf8(std::string_view utf8);

// The same, but a character that does not convert becomes "?" instead of failing the whole text:
// for what the user typed, which must never vanish because of one character.
std::string FromUtf8Lossy(std::string_view utf8);

// The program's own texts are written in the sources as UTF-8; this gives them in the local code
// page. Only for literals known to convert (it returns an empty text otherwise).
std::string L(std::string_view utf8Literal);

// Where `utf8` stops being well-formed UTF-8: the offset of the first byte that does not begin a
// complete, shortest-form sequence of a scalar value (no overlong forms, no surrogates, nothing
// past U+10FFFF). Nothing when the whole text is well-formed. A zero byte is well-formed.
std::optional<std::size_t> FindInvalidUtf8(std::string_view utf8);

// Local-code-page text shown as UTF-8 where a conversion must not fail (messages, file names on
// the command line): bytes that do not convert are replaced by U+FFFD.
std::string ToUtf8Lossy(std::string_view local);

}  // namespace nvx
