// The empty article database: 2048 bytes, two 1024-byte pages, the schema row for table `nr` on
// page 1 and the empty root page of `nr` on page 2. New files are written with exactly these bytes.
#pragma once

#include <array>
#include <cstdint>

#include "base/value.h"

namespace nvx {

inline constexpr std::size_t kTemplateDatabaseSize = 2048;

const std::array<std::uint8_t, kTemplateDatabaseSize>& TemplateDatabase();

// Replaces `path` (local code page) with the empty database, whole or not at all: a failure or a
// crash on the way leaves an earlier file as it was. False when the file could not be replaced.
bool WriteNewCollection(const Text& path);

}  // namespace nvx
