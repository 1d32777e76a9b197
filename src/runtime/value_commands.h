// Commands that turn values into texts and byte arrays, and small text helpers.
//
// Texts are in the local code page (GB18030). Where a command looks at characters, a byte >= 0x80
// starts a double-byte character; GB18030's four-byte characters then scan as two such pairs, which
// keeps the scan aligned. None of these commands throws or prints.
#pragma once

#include <cstdint>

#include "base/value.h"
#include "runtime/unit_numbers.h"

namespace nvx {

// A value as the user reads it. Numbers in C notation (a double with up to 13 significant digits,
// so 5.0 gives "5"), truth values as "真"/"假", a byte array as its bytes up to its first zero byte,
// a date as "2024年3月5日" followed by the time down to its last non-zero part ("8时", "8时30分",
// "8时30分15秒"). The absent value gives an empty text.
Text ToText(const Value& value);

// A value's raw bytes: numbers little-endian, a truth value as a 4-byte 0 or 1, a date as its 8-byte
// day count, a text without terminator. The absent value gives an empty array.
Bytes ToBytes(const Value& value);

// The one-byte text of `code`; code 0 gives the empty text (a zero byte ends a text).
Text CharText(std::uint8_t code);

// Number of bytes before the first zero byte.
std::int32_t TextLength(const Text& text);

// The text without the half-width (20) and full-width (A1 A1) spaces at both ends. A text cut short
// in the middle of a double-byte character loses only that dangling lead byte: the spaces before it
// stay, since they were not at the end of what the writer meant. The text ends at its first zero byte.
Text TrimSpaces(const Text& text);

// A colour as 0x00BBGGRR; each part counts with its low byte only.
std::int32_t ColorValue(std::int32_t red, std::int32_t green, std::int32_t blue);

// Shows `content` (as ToText gives it) in a message box and returns the button pressed. An empty
// caption shows "信息：". Provided by the window part of the runtime, not by this library.
std::int32_t InfoBox(const Value& content, std::int32_t flags = kMsgOk, const Text& caption = Text());

}  // namespace nvx
