// Which file a path names, by device and inode, so that two spellings of one file (through links,
// relative parts or another hard link) are known to be the same file.
#pragma once

#include <cstdint>
#include <optional>

#include "base/value.h"

namespace nvx {

struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// The identity of the file at `path` (local code page), following symbolic links; nullopt when
// nothing is there or the name does not convert.
std::optional<FileIdentity> IdentifyFile(const Text& path);

// True when both paths name one existing file.
bool IsSameFile(const Text& a, const Text& b);

}  // namespace nvx
