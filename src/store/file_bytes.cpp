#include "store/file_bytes.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace nvx {
namespace {

std::size_t PageSize() {
  static const std::size_t size = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  return size;
}

std::size_t RoundUpToPage(std::size_t n) { return (n + PageSize() - 1) / PageSize() * PageSize(); }

struct Descriptor {
  int fd = -1;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
};

}  // namespace

std::optional<FileBytes> FileBytes::Read(const std::string& path) {
  // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused below.
  Descriptor file{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
  struct stat st {};
  if (file.fd < 0 || ::fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  FileBytes bytes;
  // One page more than the file, so that a file that did not grow is known by a short read.
  std::size_t capacity = RoundUpToPage(static_cast<std::size_t>(st.st_size) + 1);
  void* map = ::mmap(nullptr, capacity, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (map == MAP_FAILED) return std::nullopt;
  bytes.data_ = static_cast<char*>(map);
  bytes.mapped_ = capacity;
  while (true) {
    if (bytes.size_ == bytes.mapped_) {
      void* grown = ::mremap(bytes.data_, bytes.mapped_, bytes.mapped_ * 2, MREMAP_MAYMOVE);
      if (grown == MAP_FAILED) return std::nullopt;
      bytes.data_ = static_cast<char*>(grown);
      bytes.mapped_ *= 2;
    }
    const ssize_t n = ::read(file.fd, bytes.data_ + bytes.size_, bytes.mapped_ - bytes.size_);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    bytes.size_ += static_cast<std::size_t>(n);
  }
  return bytes;
}

FileBytes::FileBytes(FileBytes&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      mapped_(std::exchange(other.mapped_, 0)),
      released_(std::exchange(other.released_, 0)) {}

FileBytes& FileBytes::operator=(FileBytes&& other) noexcept {
  if (this != &other) {
    FileBytes gone(std::move(*this));
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    mapped_ = std::exchange(other.mapped_, 0);
    released_ = std::exchange(other.released_, 0);
  }
  return *this;
}

FileBytes::~FileBytes() {
  if (mapped_ > 0) ::munmap(data_ + released_, mapped_);
}

void FileBytes::ReleaseBefore(std::size_t offset) {
  const std::size_t end = std::min(offset, size_) / PageSize() * PageSize();
  if (end <= released_) return;
  const std::size_t length = end - released_;
  if (::munmap(data_ + released_, length) != 0) return;
  released_ = end;
  mapped_ -= length;
}

}  // namespace nvx
