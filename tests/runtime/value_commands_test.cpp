#include "runtime/value_commands.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/codepage.h"

namespace nvx {
namespace {

using namespace std::string_literals;

struct TextRow {
  const char* name;
  Value value;
  Text expected;
};

// A time of day as a fraction of a day, for date rows.
constexpr double At(int hour, int minute, int second) {
  return (hour * 3600 + minute * 60 + second) / 86400.0;
}

TEST(ToText, GivesEachKindInItsReadableForm) {
  const std::vector<TextRow> rows = {
      {"whole double without point", 5.0, "5"},
      {"double keeps 13 digits", 1.0 / 3.0, "0.3333333333333"},
      {"float keeps 6 digits", 1.0f / 3.0f, "0.333333"},
      {"true", true, L("真")},
      {"byte array stops at zero", Bytes{'a', 'b', 0, 'c'}, "ab"},
      {"seconds show zero minutes", DateTime{45000 + At(8, 0, 5)}, L("2023年3月15日8时0分5秒")},
      {"minutes only", DateTime{45000 + At(0, 5, 0)}, L("2023年3月15日0时5分")},
      {"hour only", DateTime{45000 + At(14, 0, 0)}, L("2023年3月15日14时")},
      {"1900 has no leap day", DateTime{60}, L("1900年2月28日")},
      {"before 1899", DateTime{-36522}, L("1800年1月1日")},
      {"negative with time of day", DateTime{-1.25}, L("1899年12月29日6时")},
      {"rounds to the next day", DateTime{45000 + At(23, 59, 59) + 0.9 / 86400}, L("2023年3月16日")},
  };
  for (const TextRow& row : rows) {
    EXPECT_EQ(ToText(row.value), row.expected) << row.name;
  }
}

TEST(TrimSpaces, DropsHalfAndFullWidthSpacesAtCharacterBoundaries) {
  const Text fullSpace = "\xA1\xA1";
  const Text middle = L("中") + " a" + fullSpace + "b";
  const std::vector<TextRow> rows = {
      {"full-width before, half-width after", fullSpace + fullSpace + middle + " ", middle},
      {"spaces only", " " + fullSpace + "  " + fullSpace, ""},
      {"dangling lead byte keeps the spaces before it", "ab " + fullSpace + "\xB0", "ab " + fullSpace},
      {"A1 A1 across two characters is no space", "\xB0\xA1\xA1\xA1", "\xB0\xA1"},
      {"a space that is a trail byte stays", "x\xA1 ", "x\xA1 "},
      {"text ends at a zero byte", "ab \0 cd"s, "ab"},
  };
  for (const TextRow& row : rows) {
    EXPECT_EQ(TrimSpaces(std::get<Text>(row.value)), row.expected) << row.name;
  }
}

TEST(ValueHelpers, GiveBytesLengthsAndColours) {
  EXPECT_EQ(ToBytes(true), (Bytes{1, 0, 0, 0}));
  EXPECT_EQ(ToBytes(DateTime{1.0}), (Bytes{0, 0, 0, 0, 0, 0, 0xF0, 0x3F}));

  EXPECT_EQ(TextLength(L("中文")), 4);
  EXPECT_EQ(TextLength("ab\0cd"s), 2);
  EXPECT_EQ(CharText(0), "");

  EXPECT_EQ(ColorValue(205, 192, 176), 0x00B0C0CD);
  EXPECT_EQ(ColorValue(0x101, -1, 0), 0x0000FF01) << "only the low byte of each part counts";
}

}  // namespace
}  // namespace nvx
