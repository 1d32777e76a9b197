// Conversions between the local code page and UTF-8, on any bytes taken both as local text and as
// UTF-8. A text that converts must convert back to itself; the lossy conversions never fail and
// give text that converts.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/codepage.h"

using namespace nvx;

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

// Well-formed UTF-8 as Unicode defines it: shortest forms only, no surrogates, nothing past
// U+10FFFF. Written apart from the program's own check, which it is compared with.
bool IsWellFormedUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<std::uint8_t>(s[i]);
    if (b < 0x80) {
      ++i;
      continue;
    }
    int extra;
    char32_t cp;
    char32_t min;
    if (b >= 0xC2 && b <= 0xDF) {
      extra = 1, cp = b & 0x1F, min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
      extra = 2, cp = b & 0x0F, min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
      extra = 3, cp = b & 0x07, min = 0x10000;
    } else {
      return false;
    }
    if (i + extra >= s.size()) return false;  // cut short
    for (int k = 1; k <= extra; ++k) {
      const auto c = static_cast<std::uint8_t>(s[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += extra + 1;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const bool hasZero = bytes.find('\0') != std::string_view::npos;
  const bool wellFormed = IsWellFormedUtf8(bytes);
  Require(FindInvalidUtf8(bytes).has_value() != wellFormed);

  // As local text: what converts to UTF-8 converts back to the same bytes.
  if (const auto utf8 = ToUtf8(bytes)) {
    if (!hasZero) {
      Require(IsWellFormedUtf8(*utf8));
      const auto back = FromUtf8(*utf8);
      Require(back && *back == bytes);
    }
  }
  ToUtf8Lossy(bytes);

  // As UTF-8: well-formed text that the code page holds comes back unchanged (unless it has a zero
  // character, where a converted text ends).
  const auto local = FromUtf8(bytes);
  if (local && wellFormed && !hasZero) {
    const auto back = ToUtf8(*local);
    Require(back && *back == bytes);
  }
  const std::string lossy = FromUtf8Lossy(bytes);
  Require(ToUtf8(lossy).has_value());
  return 0;
}
