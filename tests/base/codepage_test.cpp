#include "base/codepage.h"

#include <gtest/gtest.h>

namespace nvx {
namespace {

struct Row {
  const char* name;
  std::string utf8;
  std::string local;
};

// Both directions on texts whose local bytes are known: GBK characters keep their GBK bytes, and
// a character outside the Basic Multilingual Plane is one 4-byte sequence on both sides.
TEST(Codepage, ConvertsBothWaysByteExact) {
  const Row rows[] = {
      {"empty", "", ""},
      {"ascii", "id=12", "id=12"},
      {"gbk", "宋体", "\xCB\xCE\xCC\xE5"},
      {"full-width space", "\xE3\x80\x80", "\xA1\xA1"},
      {"outside gbk, inside gb18030", "\xE2\x82\xAC", "\xA2\xE3"},      // euro sign
      {"supplementary plane", "\xF0\xA0\x80\x80", "\x95\x32\x82\x36"},  // U+20000
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(FromUtf8(row.utf8), row.local);
    EXPECT_EQ(ToUtf8(row.local), row.utf8);
  }
}

TEST(Codepage, RejectsWhatDoesNotConvert) {
  const std::pair<const char*, std::string> badUtf8[] = {
      {"bad lead byte", "a\xFF"},    {"continuation not 10xxxxxx", "\xE5\xAE\x41"},
      {"cut short", "\xE5\xAE"},     {"lone continuation", "\x80"},
      {"surrogate", "\xED\xA0\x80"},
  };
  for (const auto& [name, bytes] : badUtf8) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(FromUtf8(bytes).has_value());
  }
  EXPECT_FALSE(ToUtf8("\xCB").has_value()) << "lead byte without its trail byte";
  EXPECT_FALSE(ToUtf8("\xFF\xFF").has_value());
}

TEST(Codepage, TextEndsAtDecodedZeroAndLossyConversionKeepsTheRest) {
  EXPECT_EQ(FromUtf8(std::string("ab\0cd", 5)), "ab");
  EXPECT_EQ(FromUtf8("\xC0\x80x"), "") << "an overlong zero still ends the text";
  EXPECT_EQ(ToUtf8Lossy("a\xFF"
                        "b"),
            "a\xEF\xBF\xBD"
            "b");
  EXPECT_EQ(L("宋体"), "\xCB\xCE\xCC\xE5");
}

// What the user types must not vanish because one character has no place in the code page: only
// that character becomes "?".
TEST(Codepage, LossyConversionKeepsEverythingThatConverts) {
  const std::string privateUse = "\xEE\x9E\x8D";  // U+E78D, which the converter refuses
  ASSERT_FALSE(FromUtf8("a" + privateUse + "b").has_value());
  EXPECT_EQ(FromUtf8Lossy("a" + privateUse + "\xE5\xAE\x8B"), "a?\xCB\xCE");
  EXPECT_EQ(FromUtf8Lossy("ok"), "ok");
  EXPECT_EQ(FromUtf8Lossy(privateUse + std::string("\0tail", 5)), "?");
}

// Each row: the text and where its first ill-formed byte is (-1: none).
TEST(Codepage, FindsTheFirstByteThatIsNotStrictUtf8) {
  const std::tuple<const char*, std::string, int> rows[] = {
      {"empty", "", -1},
      {"ascii and a zero", std::string("a\0b", 3), -1},
      {"two, three and four bytes", "\xC2\x80 \xE5\xAE\x8B \xF0\xA0\x80\x80", -1},
      {"edges of the ranges", "\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBF\xF4\x8F\xBF\xBF", -1},
      {"overlong zero",
       "abc\xC0\x80"
       "def",
       3},
      {"overlong A", "\xC1\x81", 0},
      {"overlong three bytes", "ab\xE0\x9F\xBF", 2},
      {"overlong four bytes", "\xF0\x8F\xBF\xBF", 0},
      {"surrogate", "x\xED\xA0\x80", 1},
      {"past U+10FFFF", "\xF4\x90\x80\x80", 0},
      {"F5 lead", "\xF5\x80\x80\x80", 0},
      {"lone continuation", "ok\x80", 2},
      {"cut short at the end", "\xE5\xAE\x8B\xE5\xAE", 3},
      {"continuation missing", "\xE5\x41\x42", 0},
      {"bad third byte", "\xF0\xA0\x41\x80", 0},
  };
  for (const auto& [name, text, offset] : rows) {
    SCOPED_TRACE(name);
    const auto found = FindInvalidUtf8(text);
    EXPECT_EQ(found ? static_cast<int>(*found) : -1, offset);
  }
}

// Long texts are converted in pieces: pieces must join without a seam, and a fault far into the
// text must still fail the whole conversion.
TEST(Codepage, LongTextsConvertAsWholes) {
  std::string utf8, local;
  for (int i = 0; i < 20000; ++i) {
    utf8 +=
        "\xE5\xAE\x8B"
        "a\xE2\x82\xAC\xF0\xA0\x80\x80";
    local +=
        "\xCB\xCE"
        "a\xA2\xE3\x95\x32\x82\x36";
  }
  EXPECT_EQ(FromUtf8(utf8), local);
  EXPECT_EQ(ToUtf8(local), utf8);
  EXPECT_EQ(ToUtf8Lossy(local), utf8);
  EXPECT_FALSE(FromUtf8(utf8 + "\xFF").has_value());
  EXPECT_FALSE(ToUtf8(local + "\xCB").has_value());
  EXPECT_EQ(FromUtf8(utf8 + std::string("\0\xFF", 2)), local) << "the text ends at its zero";
}

// The fast decoder gives exactly what the system converter gives, strict or lossy.
TEST(Codepage, FastDecoderGivesWhatTheConverterGives) {
  struct Row {
    const char* name;
    std::string local;
  };
  std::string everyPair;
  for (int lead = 0x81; lead <= 0xFE; ++lead)
    for (int trail = 0x40; trail <= 0xFE; ++trail)
      everyPair += {static_cast<char>(lead), static_cast<char>(trail), ' '};
  const Row rows[] = {
      {"ASCII and GBK", L("abc 第一章\r\n的情")},
      {"every two-byte code", everyPair},
      {"a four-byte character", L("前𠀀后")},
      {"a byte that starts nothing", L("前") + "\x80" + L("后")},
      {"a lead byte cut short", L("前") + "\x81"},
      {"a lead byte before ASCII", L("前") + "\x81" + "a"},
      {"0xFF", "\xFF"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(DecodeLocalText(row.local), ToUtf8Lossy(row.local)) << row.name;
    EXPECT_EQ(DecodeLocalTextStrictly(row.local), ToUtf8(row.local)) << row.name;
  }
}

// A book in another encoding: converted whole, or stopped at its first bad byte; the bytes done
// with are told as it goes, never past where it stopped, and all of them by the end.
TEST(Codepage, ConvertsAnyEncodingTellingWhatIsDone) {
  std::string big5;
  for (int i = 0; i < 400000; ++i) big5 += "\xA4\xA4";  // 中
  const std::tuple<const char*, std::string, const char*, bool, std::size_t> rows[] = {
      {"Big5", big5, "BIG5", true, big5.size()},
      {"bad byte far in", big5 + "\xFF" + big5, "BIG5", false, big5.size()},
      {"cut short at the end", "a\xA4", "BIG5", false, 1},
  };
  for (const auto& [name, bytes, encoding, ok, done] : rows) {
    SCOPED_TRACE(name);
    std::size_t told = 0;
    const Utf8Conversion c = ToUtf8From(bytes, encoding, [&](std::size_t upTo) {
      EXPECT_GE(upTo, told);
      told = upTo;
    });
    EXPECT_EQ(c.ok, ok);
    EXPECT_EQ(told, done);
    EXPECT_EQ(ok ? c.text.size() : c.badOffset, ok ? big5.size() / 2 * 3 : done);
  }
  EXPECT_EQ(ToUtf8From(std::string("a\0\x2D\x4E", 4), "UTF-16LE").text, "a中");
  EXPECT_TRUE(ToUtf8From("x", "NO-SUCH-ENCODING").unknownEncoding);
  EXPECT_EQ(ToUtf8From(big5, "BIG5", {}, false).text, "") << "only checked";
}

}  // namespace
}  // namespace nvx
