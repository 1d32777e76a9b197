#include "base/codepage.h"

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

  // Converts all of `in` into `out` (or only checks it, when `out` is null); fails on any byte
  // sequence the source encoding does not allow, on a sequence cut short, or on a character the
  // target cannot hold, with `consumed` the offset of that sequence. The output grows as it is
  // written, through one small buffer, so converting a large text costs its result and no more;
  // `release` hears after each buffer how much of `in` is done with. Unless `reset` is false, the
  // descriptor starts afresh; converting a text in pieces passes false for every piece after the
  // first (the piece must then end between two characters).
  bool ConvertInto(std::string_view in, std::string* out, std::size_t& consumed, bool reset = true,
                   const std::function<void(std::size_t)>& release = {}) {
    consumed = 0;
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
      const bool failed = rc == static_cast<std::size_t>(-1) && !full;
      if (out) out->append(buffer, sizeof buffer - outLeft);
      consumed = static_cast<std::size_t>(inPtr - in.data());
      if (release) release(consumed);
      if (failed) return false;
      if (!full && inLeft == 0) return true;
    }
  }

  bool ConvertInto(std::string_view in, std::string& out, bool reset = true) {
    std::size_t consumed = 0;
    return ConvertInto(in, &out, consumed, reset);
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

// Decodes UTF-8 into code points, from `i` on until `out` holds `most` of them. Sequences as
// Utf8SequenceLength reads them, every continuation byte 10xxxxxx. Stops at a decoded zero (then `i`
// is the size of `s`). Nothing more is checked here: a surrogate or a value past U+10FFFF is refused
// by the converter, an overlong form is read for what it encodes.
bool DecodeUtf8(std::string_view s, std::size_t& i, std::vector<char32_t>& out, std::size_t most) {
  while (i < s.size() && out.size() < most) {
    const auto b = static_cast<std::uint8_t>(s[i]);
    const std::size_t length = Utf8SequenceLength(b);
    if (b >= 0x80 && length == 1) return false;  // leads nothing
    if (i + length > s.size()) return false;     // cut short
    char32_t cp = length == 1 ? b : b & (0xFF >> (length + 1));
    for (std::size_t k = 1; k < length; ++k) {
      const auto c = static_cast<std::uint8_t>(s[i + k]);
      if (!IsUtf8Continuation(c)) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    i += length;
    if (cp == 0) {
      i = s.size();
      break;
    }
    out.push_back(cp);
  }
  return true;
}

// GB18030 to UTF-8 through a table of every one- and two-byte character of the Basic Multilingual
// Plane, made once from the system converter; a text with anything else gives nothing, for the
// converter to do.
class LocalDecoder {
 public:
  static const LocalDecoder& Get() {
    static const LocalDecoder decoder;
    return decoder;
  }

  std::optional<std::string> Decode(std::string_view local) const {
    std::string out(local.size() + local.size() / 2 + 1, '\0');  // two bytes become at most three
    char* o = out.data();
    const auto* p = reinterpret_cast<const unsigned char*>(local.data());
    const auto* end = p + local.size();
    while (p < end) {
      if (*p < 0x80) {
        *o++ = static_cast<char>(*p++);
        continue;
      }
      const char16_t c = p + 1 < end ? LookUp(p[0], p[1]) : 0;
      if (c == 0) return std::nullopt;
      if (c < 0x800) {
        *o++ = static_cast<char>(0xC0 | (c >> 6));
      } else {
        *o++ = static_cast<char>(0xE0 | (c >> 12));
        *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      }
      *o++ = static_cast<char>(0x80 | (c & 0x3F));
      p += 2;
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
    return out;
  }

 private:
  static constexpr int kTrails = 0xFF - 0x40;  // trail bytes 0x40-0xFE

  LocalDecoder() : table_(0x7E * kTrails, 0) {
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
      for (int trail = 0x40; trail <= 0xFE; ++trail) {
        const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        const auto utf8 = ToUtf8(std::string_view(pair, 2));
        if (!utf8 || utf8->size() < 2 || utf8->size() > 3) continue;  // not one character of the BMP
        const auto* u = reinterpret_cast<const unsigned char*>(utf8->data());
        const char16_t c = utf8->size() == 2 ? ((u[0] & 0x1F) << 6) | (u[1] & 0x3F)
                                             : ((u[0] & 0x0F) << 12) | ((u[1] & 0x3F) << 6) | (u[2] & 0x3F);
        table_[(lead - 0x81) * kTrails + (trail - 0x40)] = c;
      }
    }
  }

  char16_t LookUp(unsigned char lead, unsigned char trail) const {
    if (lead < 0x81 || lead > 0xFE || trail < 0x40 || trail > 0xFE) return 0;
    return table_[(lead - 0x81) * kTrails + (trail - 0x40)];
  }

  std::vector<char16_t> table_;
};

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
    const std::size_t length =
        std::min(Utf8SequenceLength(static_cast<std::uint8_t>(utf8[i])), utf8.size() - i);
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
    const std::size_t length = Utf8SequenceLength(b);
    if (length == 1 || b < 0xC2 || b > 0xF4) return i;
    const std::uint8_t low = b == 0xE0 ? 0xA0 : b == 0xF0 ? 0x90 : 0x80;
    const std::uint8_t high = b == 0xED ? 0x9F : b == 0xF4 ? 0x8F : 0xBF;
    if (n - i < length) return i;
    if (bytes[i + 1] < low || bytes[i + 1] > high) return i;
    for (std::size_t k = 2; k < length; ++k) {
      if (!IsUtf8Continuation(bytes[i + k])) return i;
    }
    i += length;
  }
  return std::nullopt;
}

std::size_t Utf8CharacterStart(std::string_view text, std::size_t at) {
  while (at > 0 && at < text.size() && IsUtf8Continuation(static_cast<unsigned char>(text[at]))) --at;
  return at;
}

std::string DecodeLocalText(std::string_view local) {
  if (auto fast = LocalDecoder::Get().Decode(local)) return *std::move(fast);
  return ToUtf8Lossy(local);
}

std::optional<std::string> DecodeLocalTextStrictly(std::string_view local) {
  if (auto fast = LocalDecoder::Get().Decode(local)) return fast;
  return ToUtf8(local);
}

Utf8Conversion ToUtf8From(std::string_view bytes, const char* encoding,
                          const std::function<void(std::size_t)>& release, bool keepText) {
  Utf8Conversion result;
  Converter converter("UTF-8", encoding);
  if (!converter.Valid()) {
    result.unknownEncoding = true;
    return result;
  }
  // No encoding a book comes in takes more than 3 UTF-8 bytes for 2 of its own; a reserve is
  // given memory only where it is written.
  if (keepText) result.text.reserve(bytes.size() + bytes.size() / 2 + 16);
  // The caller hears of the bytes done with a megabyte at a time, and once more at the end.
  constexpr std::size_t kReleaseStep = 1 << 20;
  std::size_t told = 0;
  const auto tell = [&](std::size_t done) {
    if (done - told < kReleaseStep) return;
    told = done;
    release(done);
  };
  result.ok = converter.ConvertInto(bytes, keepText ? &result.text : nullptr, result.badOffset, true,
                                    release ? std::function<void(std::size_t)>(tell) : nullptr);
  if (release && result.badOffset > told) release(result.badOffset);
  return result;
}

}  // namespace nvx
