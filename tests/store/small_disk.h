// A small tmpfs mounted for one test, to see what a full disk does. Mounting needs the right to
// mount (root outside a restricted container); a test checks Mounted() and skips itself without it.
#pragma once

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>
#include <cerrno>
#include <filesystem>
#include <set>

#include <string>
#include "test_support.h"

namespace nvx::test {

class SmallDisk {
 public:
  SmallDisk(const std::filesystem::path& where, std::size_t bytes) : where_(where) {
    std::filesystem::create_directories(where_);
    const std::string options = "size=" + std::to_string(bytes);
    mounted_ = ::mount("tmpfs", where_.c_str(), "tmpfs", 0, options.c_str()) == 0;
  }
  ~SmallDisk() {
    if (mounted_) ::umount2(where_.c_str(), MNT_DETACH);
  }
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;

  bool Mounted() const { return mounted_; }
  std::string File(const std::string& name) const { return (where_ / name).string(); }

  // Fills what is left of the disk with one file, so that the next write fails.
  void Fill() const {
    const int fd = ::open(File(".filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const std::string block(4096, 'f');
    while (fd >= 0 && ::write(fd, block.data(), block.size()) > 0) {
    }
    const std::string byte(1, 'f');
    while (fd >= 0 && ::write(fd, byte.data(), 1) > 0) {
    }
    if (fd >= 0) ::close(fd);
  }

  // The names in the disk's root in order, except the filler: what a failed write may have left.
  std::string Names() const {
    std::string all;
    for (const auto& name : NamesIn(where_))
      if (name != ".filler") all += name + " ";
    return all;
  }

 private:
  std::filesystem::path where_;
  bool mounted_ = false;
};

}  // namespace nvx::test
