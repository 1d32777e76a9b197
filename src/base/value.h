// Values as the editor's logic passes them around.
//
// A text is a byte string in the local code page (GB18030, a superset of GBK). An empty std::string
// stands for both the empty and the absent text. A byte array is a plain vector of bytes.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace nvx {

using Text = std::string;
using Bytes = std::vector<std::uint8_t>;

// Days since 30 December 1899; the fraction is the time of day.
struct DateTime {
  double days = 0.0;
};

// Any basic value. std::monostate is the absent value (or one of a kind a command does not take).
using Value = std::variant<std::monostate, std::uint8_t, std::int16_t, std::int32_t, std::int64_t, float,
                           double, bool, DateTime, Text, Bytes>;

inline Bytes ToByteArray(std::string_view s) { return Bytes(s.begin(), s.end()); }
inline Text ToText(const Bytes& b) { return Text(b.begin(), b.end()); }

}  // namespace nvx
