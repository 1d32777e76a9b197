#include "store/codepage.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <iconv.h>
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
    if (valid()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts all of `in`; fails on any byte sequence the source encoding does not allow, on a
  // sequence cut short, or on a character the target cannot hold.
  std::optional<std::string> convert(std::string_view in, std::size_t outCapacity) {
    if (!valid()) return std::nullopt;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    std::string out(outCapacity, '\0');
    char* inPtr = const_cast<char*>(in.data());
    std::size_t inLeft = in.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    if (iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) return std::nullopt;
    if (iconv(cd_, nullptr, nullptr, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
  }

  // Converts as much as converts; a byte that does not start a valid sequence becomes U+FFFD.
  std::string convertLossy(std::string_view in) {
    std::string result;
    if (!valid()) return result;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* inPtr = const_cast<char*>(in.data());
    std::size_t inLeft = in.size();
    std::vector<char> buffer(in.size() * 2 + 16);
    while (inLeft > 0) {
      char* outPtr = buffer.data();
      std::size_t outLeft = buffer.size();
      std::size_t rc = iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft);
      result.append(buffer.data(), buffer.size() - outLeft);
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

Converter& localToUtf8() {
  thread_local Converter c("UTF-8", kLocalCodePage);
  return c;
}

Converter& utf32ToLocal() {
  thread_local Converter c(kLocalCodePage, "UTF-32LE");
  return c;
}

// Decodes UTF-8 into code points. Lead bytes 0xxxxxxx, 110xxxxx, 1110xxxx and 11110xxx; every
// continuation byte must be 10xxxxxx. Stops at a decoded zero.
bool decodeUtf8(std::string_view s, std::vector<char32_t>& out) {
  std::size_t i = 0;
  while (i < s.size()) {
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
    if (cp == 0) break;
    out.push_back(cp);
  }
  return true;
}

}  // namespace

std::optional<std::string> ToUtf8(std::string_view local) {
  if (local.empty()) return std::string();
  return localToUtf8().convert(local, local.size() * 2 + 4);
}

std::optional<std::string> FromUtf8(std::string_view utf8) {
  if (utf8.empty()) return std::string();
  std::vector<char32_t> codePoints;
  codePoints.reserve(utf8.size());
  if (!decodeUtf8(utf8, codePoints)) return std::nullopt;
  if (codePoints.empty()) return std::string();
  std::string utf32;
  utf32.reserve(codePoints.size() * 4);
  for (char32_t cp : codePoints) {
    for (int k = 0; k < 4; ++k) utf32.push_back(static_cast<char>((cp >> (8 * k)) & 0xFF));
  }
  return utf32ToLocal().convert(utf32, codePoints.size() * 4 + 4);
}

std::string FromUtf8Lossy(std::string_view utf8) {
  if (auto whole = FromUtf8(utf8)) return *whole;
  std::string out;
  std::size_t i = 0;
  while (i < utf8.size()) {
    // One character at a time: its bytes by its lead byte, or one byte that starts nothing.
    const auto b = static_cast<std::uint8_t>(utf8[i]);
    const std::size_t length =
        std::min<std::size_t>(b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 1,
                              utf8.size() - i);
    const auto converted = FromUtf8(utf8.substr(i, length));
    if (converted && converted->empty()) break;  // a zero character ends the text
    out += converted ? *converted : std::string("?");
    i += length;
  }
  return out;
}

std::string L(std::string_view utf8Literal) { return FromUtf8(utf8Literal).value_or(std::string()); }

std::string ToUtf8Lossy(std::string_view local) { return localToUtf8().convertLossy(local); }

}  // namespace nvx
