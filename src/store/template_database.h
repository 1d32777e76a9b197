// The empty article database: 2048 bytes, two 1024-byte pages, the schema row for table `nr` on
// page 1 and the empty root page of `nr` on page 2. New files are written with exactly these bytes.
#pragma once

#include <array>
#include <cstdint>

namespace nvx {

inline constexpr std::size_t kTemplateDatabaseSize = 2048;

const std::array<std::uint8_t, kTemplateDatabaseSize>& TemplateDatabase();

}  // namespace nvx
