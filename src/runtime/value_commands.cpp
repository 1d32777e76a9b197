#include "runtime/value_commands.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <type_traits>
#include <variant>

#include "base/codepage.h"

namespace nvx {
namespace {

template <typename T>
void AppendLittleEndian(Bytes& out, T number) {
  static_assert(std::is_trivially_copyable_v<T>);
  std::uint8_t raw[sizeof(T)];
  std::memcpy(raw, &number, sizeof(T));
  if constexpr (std::endian::native == std::endian::big) std::reverse(std::begin(raw), std::end(raw));
  out.insert(out.end(), std::begin(raw), std::end(raw));
}

template <typename... Args>
Text Formatted(const char* format, Args... args) {
  char buffer[64];
  int length = std::snprintf(buffer, sizeof buffer, format, args...);
  if (length < 0) return Text();
  return Text(buffer, static_cast<std::size_t>(std::min<int>(length, sizeof buffer - 1)));
}

struct CivilDate {
  std::int64_t year;
  int month;
  int day;
};

// Proleptic Gregorian date of a day count since 1970-01-01 (valid for any count that fits, also
// before year 1, which a plain library call would not handle).
CivilDate CivilFromDays(std::int64_t days) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const std::int64_t dayOfEra = days - era * 146097;
  const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;  // March is 0
  const int day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
  const int month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
  return {yearOfEra + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

constexpr std::int64_t kDaysFrom1899To1970 = 25569;
// Far enough for any date anyone means (some two million years) while keeping the arithmetic exact.
constexpr double kMaxDateDays = 1e9;

Text DateText(DateTime date) {
  if (!std::isfinite(date.days) || std::fabs(date.days) > kMaxDateDays) return Text();
  // Dates are stored the way the older tools stored them: the whole part counts days from the epoch
  // and the fraction is always the time of day, also before 1899 (-1.25 is 29 Dec 1899, 6:00), so
  // a negative count cannot be treated as a point on a continuous time line.
  const double wholeDays = std::trunc(date.days);
  std::int64_t day = static_cast<std::int64_t>(wholeDays);
  std::int64_t seconds = std::llround(std::fabs(date.days - wholeDays) * 86400.0);
  if (seconds >= 86400) {
    ++day;
    seconds -= 86400;
  }
  const CivilDate civil = CivilFromDays(day - kDaysFrom1899To1970);
  const int hour = static_cast<int>(seconds / 3600);
  const int minute = static_cast<int>(seconds / 60 % 60);
  const int second = static_cast<int>(seconds % 60);

  static const Text kYear = L("年"), kMonth = L("月"), kDay = L("日");
  static const Text kHour = L("时"), kMinute = L("分"), kSecond = L("秒");
  Text text = std::to_string(civil.year) + kYear + std::to_string(civil.month) + kMonth +
              std::to_string(civil.day) + kDay;
  if (second != 0) {
    text +=
        std::to_string(hour) + kHour + std::to_string(minute) + kMinute + std::to_string(second) + kSecond;
  } else if (minute != 0) {
    text += std::to_string(hour) + kHour + std::to_string(minute) + kMinute;
  } else if (hour != 0) {
    text += std::to_string(hour) + kHour;
  }
  return text;
}

bool IsFullWidthSpace(const Text& text, std::size_t at) {
  return static_cast<unsigned char>(text[at]) == 0xA1 && at + 1 < text.size() &&
         static_cast<unsigned char>(text[at + 1]) == 0xA1;
}

}  // namespace

Text ToText(const Value& value) {
  return std::visit(
      [](const auto& v) -> Text {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          return Text();
        } else if constexpr (std::is_same_v<T, std::uint8_t>) {
          return std::to_string(static_cast<unsigned>(v));
        } else if constexpr (std::is_same_v<T, std::int16_t> || std::is_same_v<T, std::int32_t> ||
                             std::is_same_v<T, std::int64_t>) {
          return std::to_string(v);
        } else if constexpr (std::is_same_v<T, float>) {
          return Formatted("%.6g", static_cast<double>(v));
        } else if constexpr (std::is_same_v<T, double>) {
          return Formatted("%.13g", v);
        } else if constexpr (std::is_same_v<T, bool>) {
          static const Text kTrue = L("真"), kFalse = L("假");
          return v ? kTrue : kFalse;
        } else if constexpr (std::is_same_v<T, DateTime>) {
          return DateText(v);
        } else if constexpr (std::is_same_v<T, Text>) {
          return v;
        } else {
          static_assert(std::is_same_v<T, Bytes>);
          return Text(v.begin(), std::find(v.begin(), v.end(), std::uint8_t{0}));
        }
      },
      value);
}

Bytes ToBytes(const Value& value) {
  return std::visit(
      [](const auto& v) -> Bytes {
        using T = std::decay_t<decltype(v)>;
        Bytes out;
        if constexpr (std::is_same_v<T, std::monostate>) {
          // nothing
        } else if constexpr (std::is_same_v<T, bool>) {
          AppendLittleEndian<std::int32_t>(out, v ? 1 : 0);
        } else if constexpr (std::is_same_v<T, DateTime>) {
          AppendLittleEndian(out, v.days);
        } else if constexpr (std::is_same_v<T, Text>) {
          out.assign(v.begin(), v.end());
        } else if constexpr (std::is_same_v<T, Bytes>) {
          out = v;
        } else {
          static_assert(std::is_arithmetic_v<T>);
          AppendLittleEndian(out, v);
        }
        return out;
      },
      value);
}

Text CharText(std::uint8_t code) { return code == 0 ? Text() : Text(1, static_cast<char>(code)); }

std::int32_t TextLength(const Text& text) {
  const std::size_t length = std::min(text.find('\0'), text.size());
  return static_cast<std::int32_t>(std::min<std::size_t>(length, std::numeric_limits<std::int32_t>::max()));
}

Text TrimSpaces(const Text& text) {
  // Texts end at their first zero byte; what follows it is not part of the text.
  const std::size_t size = std::min(text.find('\0'), text.size());
  std::size_t start = 0;
  while (start < size) {
    if (text[start] == ' ') {
      ++start;
    } else if (start + 1 < size && IsFullWidthSpace(text, start)) {
      start += 2;
    } else {
      break;
    }
  }
  std::size_t end = start;
  for (std::size_t at = start; at < size;) {
    if (static_cast<unsigned char>(text[at]) < 0x80) {
      if (text[at] != ' ') end = at + 1;
      ++at;
    } else if (at + 1 < size) {
      if (!IsFullWidthSpace(text, at)) end = at + 2;
      at += 2;
    } else {
      end = at;  // a dangling lead byte: drop just it
      break;
    }
  }
  return text.substr(start, end - start);
}

std::int32_t ColorValue(std::int32_t red, std::int32_t green, std::int32_t blue) {
  const std::uint32_t colour = (static_cast<std::uint32_t>(red) & 0xFFu) |
                               (static_cast<std::uint32_t>(green) & 0xFFu) << 8 |
                               (static_cast<std::uint32_t>(blue) & 0xFFu) << 16;
  return static_cast<std::int32_t>(colour);
}

}  // namespace nvx
