#include "base/file_identity.h"

#include <sys/stat.h>

#include "base/codepage.h"

namespace nvx {

std::optional<FileIdentity> IdentifyFile(const Text& path) {
  const auto name = ToUtf8(path);
  struct stat status {};
  // A zero byte would cut the name short at the system call and name another file.
  if (!name || name->empty() || name->find('\0') != std::string::npos || ::stat(name->c_str(), &status) != 0)
    return std::nullopt;
  return FileIdentity{static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
}

bool IsSameFile(const Text& a, const Text& b) {
  const auto first = IdentifyFile(a);
  return first && first == IdentifyFile(b);
}

}  // namespace nvx
