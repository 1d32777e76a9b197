#include "store/codepage.h"

#include <iconv.h>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <vector>

namespace nvx {
namespace {

constexpr const char* kLocalCodePage = "GB18030";

// One conversion descriptor per direction and thread, opened on first use. glibc loads the
// converter module once; opening a descriptor per call would cost more than most conversions.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (Valid()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool Valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts all of `in`; fails on any byte sequence the source encoding does not allow, on a
  // sequence cut short, or on a character the target cannot hold. The output grows as it is
  // written, through one small buffer, so converting a large text costs its result and no more.
  // Unless `reset` is false, the descriptor starts afresh; converting a text in pieces passes false
  // for every piece after the first (the piece must then end between two characters).
  bool ConvertInto(std::string_view in, std::string& out, bool reset = true) {
    if (!Valid()) return false;
    if (reset) iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* inPtr = const_cast<char*>(in.data());
    std::size_t inLeft = in.size();
    char buffer[64 * 1024];
    for (;;) {
      char* outPtr = buffer;
      std::size_t outLeft = sizeof buffer;
      const std::size_t rc = inLeft > 0 ? iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft)
                                        : iconv(cd_, nullptr, nullptr, &outPtr, &outLeft);
      const bool full = rc == static_cast<std::size_t>(-1) && errno == E2BIG;
      if (rc == static_cast<std::size_t>(-1) && !full) return false;
      out.append(buffer, sizeof buffer - outLeft);
      if (!full && inLeft == 0) return true;
    }
  }

  std::optional<std::string> Convert(std::string_view in) {
    std::string out;
    out.reserve(in.size());
    if (!ConvertInto(in, out)) return std::nullopt;
    return out;
  }

  // Converts as much as converts; a byte that does not start a valid sequence becomes U+FFFD.
  std::string ConvertLossy(std::string_view in) {
    std::string result;
    if (!Valid()) return result;
    result.reserve(in.size());
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* inPtr = const_cast<char*>(in.data());
    std::size_t inLeft = in.size();
    char buffer[64 * 1024];
    while (inLeft > 0) {
      char* outPtr = buffer;
      std::size_t outLeft = sizeof buffer;
      std::size_t rc = iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft);
      result.append(buffer, sizeof buffer - outLeft);
      if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
        result += "\xEF\xBF\xBD";
        ++inPtr;
        --inLeft;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
      }
    }
    return result;
  }

 private:
  iconv_t cd_;
};

Converter& LocalToUtf8() {
  thread_local Converter c("UTF-8", kLocalCodePage);
  return c;
}

Converter& Utf32ToLocal() {
  thread_local Converter c(kLocalCodePage, "UTF-32LE");
  return c;
}

// Decodes UTF-8 into code points, from `i` on until `out` holds `most` of them. Lead bytes
// 0xxxxxxx, 110xxxxx, 1110xxxx and 11110xxx; every continuation byte must be 10xxxxxx. Stops at a
// decoded zero (then `i` is the size of `s`). Nothing more is checked here: a surrogate or a value
// past U+10FFFF is refused by the converter, an overlong form is read for what it encodes.
bool DecodeUtf8(std::string_view s, std::size_t& i, std::vector<char32_t>& out, std::size_t most) {
  while (i < s.size() && out.size() < most) {
    const auto b = static_cast<std::uint8_t>(s[i]);
    int extra;
    char32_t cp;
    if (b < 0x80) {
      extra = 0;
      cp = b;
    } else if ((b & 0xE0) == 0xC0) {
      extra = 1;
      cp = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
      extra = 2;
      cp = b & 0x0F;
    } else if ((b & 0xF8) == 0xF0) {
      extra = 3;
      cp = b & 0x07;
    } else {
      return false;
    }
    if (i + extra >= s.size()) return false;  // cut short
    for (int k = 1; k <= extra; ++k) {
      const auto c = static_cast<std::uint8_t>(s[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    i += extra + 1;
    if (cp == 0) {
      i = s.size();
      break;
    }
    out.push_back(cp);
  }
  return true;
}

}  // namespace

std::optional<std::string> ToUtf8(std::string_view local) {
  if (local.empty()) return std::string();
  return LocalToUtf8().Convert(local);
}

std::optional<std::string> FromUtf8(std::string_view utf8) {
  // In pieces of a few thousand characters, so that a large text never exists a second time as
  // code points: the cost is the text and its result.
  constexpr std::size_t kPiece = 16 * 1024;
  std::vector<char32_t> codePoints;
  codePoints.reserve(std::min(kPiece, utf8.size()));
  std::string utf32;
  std::string out;
  out.reserve(utf8.size());
  Converter& converter = Utf32ToLocal();
  std::size_t i = 0;
  bool first = true;
  while (i < utf8.size()) {
    codePoints.clear();
    if (!DecodeUtf8(utf8, i, codePoints, kPiece)) return std::nullopt;
    utf32.clear();
    for (char32_t cp : codePoints) {
      for (int k = 0; k < 4; ++k) utf32.push_back(static_cast<char>((cp >> (8 * k)) & 0xFF));
    }
    if (!converter.ConvertInto(utf32, out, first)) return std::nullopt;
    first = false;
  }
  return out;
}

std::string FromUtf8Lossy(std::string_view utf8) {
  if (auto whole = FromUtf8(utf8)) return *whole;
  std::string out;
  std::size_t i = 0;
  while (i < utf8.size()) {
    // One character at a time: its bytes by its lead byte, or one byte that starts nothing.
    const auto b = static_cast<std::uint8_t>(utf8[i]);
    const std::size_t length = std::min<std::size_t>(b < 0x80             ? 1
                                                     : (b & 0xE0) == 0xC0 ? 2
                                                     : (b & 0xF0) == 0xE0 ? 3
                                                     : (b & 0xF8) == 0xF0 ? 4
                                                                          : 1,
                                                     utf8.size() - i);
    const auto converted = FromUtf8(utf8.substr(i, length));
    if (converted && converted->empty()) break;  // a zero character ends the text
    out += converted ? *converted : std::string("?");
    i += length;
  }
  return out;
}

std::string L(std::string_view utf8Literal) { return FromUtf8(utf8Literal).value_or(std::string()); }

std::string ToUtf8Lossy(std::string_view local) { return LocalToUtf8().ConvertLossy(local); }

std::optional<std::size_t> FindInvalidUtf8(std::string_view utf8) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(utf8.data());
  const std::size_t n = utf8.size();
  std::size_t i = 0;
  while (i < n) {
    const std::uint8_t b = bytes[i];
    if (b < 0x80) {
      ++i;
      continue;
    }
    // The range the second byte must lie in follows from the lead byte: that is what rules out
    // overlong forms (E0 80..9F, F0 80..8F), surrogates (ED A0..BF) and values past U+10FFFF
    // (F4 90..BF); C0, C1 and F5..FF lead nothing.
    std::size_t extra = 0;
    std::uint8_t low = 0x80, high = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
      extra = 1;
    } else if (b >= 0xE0 && b <= 0xEF) {
      extra = 2;
      if (b == 0xE0) low = 0xA0;
      if (b == 0xED) high = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      extra = 3;
      if (b == 0xF0) low = 0x90;
      if (b == 0xF4) high = 0x8F;
    } else {
      return i;
    }
    if (n - i <= extra) return i;
    if (bytes[i + 1] < low || bytes[i + 1] > high) return i;
    for (std::size_t k = 2; k <= extra; ++k) {
      if ((bytes[i + k] & 0xC0) != 0x80) return i;
    }
    i += extra + 1;
  }
  return std::nullopt;
}

}  // namespace nvx
