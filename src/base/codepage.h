// The one place where text changes encoding: the local code page and UTF-8 both ways, the rules of
// UTF-8 sequences, and books in any encoding the system converter knows.
//
// The program's own texts and everything that crosses the store's interface are in the local code
// page, GB18030: every GBK character keeps its GBK bytes, and characters outside GBK are kept too
// instead of becoming "?". The database and the file system hold UTF-8.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace nvx {

// ---- UTF-8 sequences ----------------------------------------------------------------------------

// The bytes of the sequence `lead` starts, by its bit pattern: 1 (0xxxxxxx), 2 (110xxxxx),
// 3 (1110xxxx) or 4 (11110xxx). A byte that leads nothing (10xxxxxx, 11111xxx) counts as 1, so that
// a walk over text that is not UTF-8 still moves on.
constexpr std::size_t Utf8SequenceLength(unsigned char lead) {
  return lead < 0x80             ? 1
         : (lead & 0xE0) == 0xC0 ? 2
         : (lead & 0xF0) == 0xE0 ? 3
         : (lead & 0xF8) == 0xF0 ? 4
                                 : 1;
}

// Whether `byte` continues a sequence (10xxxxxx) instead of starting a character.
constexpr bool IsUtf8Continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Where the character that holds byte `at` of UTF-8 `text` starts: `at` moved back over
// continuation bytes (never before 0; the end of the text stays). Cutting a text there never splits
// a character.
std::size_t Utf8CharacterStart(std::string_view text, std::size_t at);

// Where `utf8` stops being well-formed UTF-8: the offset of the first byte that does not begin a
// complete, shortest-form sequence of a scalar value (no overlong forms, no surrogates, nothing
// past U+10FFFF). Nothing when the whole text is well-formed. A zero byte is well-formed.
std::optional<std::size_t> FindInvalidUtf8(std::string_view utf8);

// ---- The local code page ------------------------------------------------------------------------

// Local code page to UTF-8. Empty gives empty; bytes that are not valid in the code page fail.
// A character outside the Basic Multilingual Plane becomes one 4-byte sequence.
std::optional<std::string> ToUtf8(std::string_view local);

// UTF-8 to the local code page. Accepts 1- to 4-byte sequences as Utf8SequenceLength reads them;
// a bad lead byte, a continuation byte that is not 10xxxxxx, a cut-short sequence or a character
// the code page cannot hold fails the whole conversion. Where FindInvalidUtf8 is strict, this is
// not: an overlong form is read for what it encodes, as texts stored by other programs may hold
// them. The text ends at a decoded U+0000, as a zero-terminated text would.
std::optional<std::string> FromUtf8(std::string_view utf8);

// The same, but a character that does not convert becomes "?" instead of failing the whole text:
// for what the user typed, which must never vanish because of one character.
std::string FromUtf8Lossy(std::string_view utf8);

// The program's own texts are written in the sources as UTF-8; this gives them in the local code
// page. Only for literals known to convert (it returns an empty text otherwise).
std::string L(std::string_view utf8Literal);

// Local-code-page text shown as UTF-8 where a conversion must not fail (messages, file names on
// the command line): bytes that do not convert are replaced by U+FFFD.
std::string ToUtf8Lossy(std::string_view local);

// The same as ToUtf8Lossy and ToUtf8, for texts as large as articles and collections, where the
// system converter would cost nearly as much as unpacking them: one- and two-byte characters go
// through a table made once from that same converter, and only a text with a four-byte character
// or a byte that does not decode goes the long way.
std::string DecodeLocalText(std::string_view local);
std::optional<std::string> DecodeLocalTextStrictly(std::string_view local);

// ---- Any encoding -------------------------------------------------------------------------------

struct Utf8Conversion {
  bool ok = false;
  bool unknownEncoding = false;  // the system converter does not know the encoding
  std::string text;              // UTF-8, as the converter gives it; empty without keepText
  std::size_t badOffset = 0;     // when not ok: the first byte that does not convert
};

// Converts `bytes` in `encoding` (any name iconv knows) to UTF-8, stopping at the first sequence
// that does not convert or is cut short at the end. `release` is told, as the conversion goes, how
// many bytes at the start it is done with (the caller may give their memory back), so that a large
// book and its text are held side by side only a little at a time. Without `keepText` it only
// tells whether, and how far, the bytes convert. The converter's own UTF-8 lets the old five- and
// six-byte forms through: check its result with FindInvalidUtf8 where that matters.
Utf8Conversion ToUtf8From(std::string_view bytes, const char* encoding,
                          const std::function<void(std::size_t done)>& release = {}, bool keepText = true);

}  // namespace nvx
