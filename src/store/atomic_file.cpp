#include "store/atomic_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <random>

#include "base/codepage.h"

namespace nvx {
namespace {

constexpr std::size_t kBufferSize = 1 << 20;

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The file the target names: a symbolic link is followed to the file it points at, so that the
// link stays and its file is replaced.
std::string ResolveLink(const std::string& path) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return path;
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) == nullptr) return path;  // dangling: the link is replaced
  return resolved;
}

std::string RandomSuffix() {
  static thread_local std::mt19937_64 random{std::random_device{}()};
  constexpr char kDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string s(6, 'x');
  for (char& c : s) c = kDigits[random() % (sizeof kDigits - 1)];
  return s;
}

void SyncDirectory(const std::string& directory) {
  const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);  // some file systems cannot sync a directory; the rename has happened either way
  ::close(fd);
}

// Renames without replacing a file that appeared under the final name meanwhile; where the file
// system cannot refuse by itself, the name is checked free just before.
int RenameNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  struct stat existing {};
  if (::lstat(to.c_str(), &existing) == 0) return EEXIST;
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

}  // namespace

bool IsFileAt(int fd, const std::string& path) {
  struct stat open {
  }, named{};
  return ::fstat(fd, &open) == 0 && ::lstat(path.c_str(), &named) == 0 && open.st_dev == named.st_dev &&
         open.st_ino == named.st_ino;
}

AtomicFile::~AtomicFile() { Discard(); }

bool AtomicFile::Create(const std::string& temporary, mode_t mode,
                        std::function<void(const std::string&)> onTemporary) {
  Discard();
  failed_ = false;
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd < 0) return false;
  if (::flock(fd, LOCK_EX) != 0 || !IsFileAt(fd, temporary)) {
    ::close(fd);
    errno = EEXIST;
    return false;
  }
  fd_ = fd;
  temporary_ = temporary;
  onTemporary_ = std::move(onTemporary);
  if (onTemporary_) onTemporary_(temporary_);
  buffer_.reserve(kBufferSize);
  return true;
}

bool AtomicFile::Open(const Text& path, Links links) {
  Discard();
  failed_ = false;
  onTemporary_ = nullptr;
  const auto name = ToUtf8(path);
  if (!name || name->empty()) return false;
  target_ = links == Links::Follow ? ResolveLink(*name) : *name;
  struct stat existing {};
  // A link that is to be replaced counts as no file: nothing of what it points at is used.
  const bool exists = ::lstat(target_.c_str(), &existing) == 0 && !S_ISLNK(existing.st_mode);
  if (exists && !S_ISREG(existing.st_mode)) return false;

  const std::string directory = DirectoryOf(target_);
  const std::string base =
      target_.substr(target_.rfind('/') == std::string::npos ? 0 : target_.rfind('/') + 1);
  for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
    temporary_ = (directory == "/" ? "" : directory) + "/." + base + ".tmp-" + RandomSuffix();
    fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0 && errno != EEXIST) break;
  }
  if (fd_ < 0) {
    temporary_.clear();
    return false;
  }
  if (exists && ::fchmod(fd_, existing.st_mode & 07777) != 0) {
    Discard();
    return false;
  }
  buffer_.reserve(kBufferSize);
  return true;
}

bool AtomicFile::Flush() {
  if (failed_ || fd_ < 0) return false;
  if (!WriteAll(fd_, buffer_.data(), buffer_.size())) failed_ = true;
  buffer_.clear();
  return !failed_;
}

bool AtomicFile::Write(std::span<const std::uint8_t> bytes) {
  return Write(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

bool AtomicFile::Write(std::string_view bytes) {
  if (failed_ || fd_ < 0) return false;
  if (buffer_.size() + bytes.size() > kBufferSize) {
    if (!Flush()) return false;
    if (bytes.size() >= kBufferSize) {
      if (!WriteAll(fd_, bytes.data(), bytes.size())) failed_ = true;
      return !failed_;
    }
  }
  buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
  return true;
}

bool AtomicFile::Sync() {
  if (!Flush() || ::fsync(fd_) != 0) failed_ = true;
  return !failed_;
}

bool AtomicFile::Commit() {
  if (fd_ < 0) return false;
  bool ok = Sync();
  ok = ::close(fd_) == 0 && ok;
  fd_ = -1;
  ok = ok && ::rename(temporary_.c_str(), target_.c_str()) == 0;
  if (!ok) {
    failed_ = true;
    Discard();
    return false;
  }
  Forget();
  SyncDirectory(DirectoryOf(target_));
  return true;
}

int AtomicFile::CommitNew(const std::string& target) {
  if (fd_ < 0 || failed_) return EIO;
  const int error = RenameNoReplace(temporary_, target);
  if (error != 0) return error;
  target_ = target;
  Forget();
  SyncDirectory(DirectoryOf(target_));
  return 0;
}

// The temporary file has its final name: the descriptor, and with it the lock, go only now.
void AtomicFile::Forget() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  buffer_.clear();
  if (temporary_.empty()) return;
  temporary_.clear();
  if (onTemporary_) onTemporary_(std::string());
}

void AtomicFile::Discard() {
  // The name goes before the descriptor, so that a locked file is never seen unlocked.
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  Forget();
}

}  // namespace nvx
