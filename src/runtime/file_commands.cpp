#include "runtime/file_commands.h"
#include "runtime/value_commands.h"

#include <fcntl.h>
#include <glob.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

#include "base/codepage.h"
#include "base/file_identity.h"

namespace nvx {
namespace {

// Owns a file descriptor; unique_ptr keeps it in a "pointer" that is just the number.
struct FdCloser {
  struct pointer {
    int fd = -1;
    pointer() = default;
    pointer(std::nullptr_t) {}
    explicit pointer(int descriptor) : fd(descriptor) {}
    explicit operator bool() const { return fd >= 0; }
    bool operator==(const pointer&) const = default;
  };
  void operator()(pointer p) const { ::close(p.fd); }
};
using UniqueFd = std::unique_ptr<int, FdCloser>;

int Descriptor(const UniqueFd& file) { return file.get().fd; }

// Closes and reports whether the system accepted the close; on some file systems a write error
// only shows up here.
bool CloseReporting(UniqueFd file) {
  if (!file) return false;
  return ::close(file.release().fd) == 0;
}

// A path as the file system takes it. A zero byte would silently cut the path short at the system
// call, so such a path is refused rather than letting the call act on a different file.
std::optional<std::string> SystemPath(const Text& path) {
  if (path.empty() || path.find('\0') != Text::npos) return std::nullopt;
  return ToUtf8(path);
}

// Locks here are flock(2) locks, which on Linux are advisory: they keep out other holders that ask
// for a lock too (another FileOpen, in this or another process), not programs that just open the
// file. That is as close as this system comes to opening a file with no or limited sharing.
constexpr int kNoLock = 0;

// Opens a disk file. `lockOperation` (LOCK_SH or LOCK_EX, or kNoLock) is taken without waiting.
// The file is emptied only after the lock is held, so a file someone else has locked is left as it
// was when the open fails.
UniqueFd OpenDiskFile(const Text& path, int accessFlags, int lockOperation, bool empty) {
  const std::optional<std::string> name = SystemPath(path);
  if (!name) return nullptr;
  int fd;
  // O_NONBLOCK keeps a FIFO from stalling the open until a partner turns up; it is refused below.
  do {
    fd = ::open(name->c_str(), accessFlags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
  } while (fd < 0 && errno == EINTR);
  UniqueFd file{FdCloser::pointer(fd)};
  if (!file) return nullptr;

  struct stat status {};
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) return nullptr;
  const int statusFlags = ::fcntl(fd, F_GETFL);
  if (statusFlags < 0 || ::fcntl(fd, F_SETFL, statusFlags & ~O_NONBLOCK) != 0) return nullptr;
  if (lockOperation != kNoLock) {
    int rc;
    do {
      rc = ::flock(fd, lockOperation | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) return nullptr;
  }
  if (empty && ::ftruncate(fd, 0) != 0) return nullptr;
  return file;
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
  // Linux moves at most about 2 GiB per call anyway; asking for less keeps the count within ssize_t.
  constexpr std::size_t kMaxChunk = 1u << 30;
  while (size > 0) {
    const ssize_t written = ::write(fd, data, std::min(size, kMaxChunk));
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (written == 0) return false;  // no progress and no error: do not spin
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

// Open files by number. The editor uses them from one thread; the mutex only keeps the table sound
// should that ever change. Files still open when the program ends close with the table.
class FileTable {
 public:
  std::unique_lock<std::mutex> Lock() { return std::unique_lock(mutex_); }

  std::int32_t Add(UniqueFd file) {
    if (files_.size() >= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max() - 1)) return 0;
    while (files_.contains(next_)) Advance();
    const std::int32_t number = next_;
    files_.emplace(number, std::move(file));
    Advance();
    return number;
  }

  // The descriptor of an open file, -1 when the number is not open.
  int Find(std::int32_t number) const {
    const auto it = files_.find(number);
    return it == files_.end() ? -1 : Descriptor(it->second);
  }

  UniqueFd Remove(std::int32_t number) {
    const auto it = files_.find(number);
    if (it == files_.end()) return nullptr;
    UniqueFd file = std::move(it->second);
    files_.erase(it);
    return file;
  }

 private:
  // Numbers are not reused right away, so a stale number of a closed file does not reach a file
  // opened just after it.
  void Advance() { next_ = next_ == std::numeric_limits<std::int32_t>::max() ? 1 : next_ + 1; }

  std::mutex mutex_;
  std::map<std::int32_t, UniqueFd> files_;
  std::int32_t next_ = 1;
};

FileTable& OpenFiles() {
  static FileTable table;
  return table;
}

// Appends a value's record; false for a value that has no record form.
bool AppendRecord(Bytes& out, const Value& value) {
  if (std::holds_alternative<std::monostate>(value)) return false;
  if (const auto* text = std::get_if<Text>(&value)) {
    // A reader takes the text up to the first zero byte; writing bytes past an inner zero would
    // make it read them as the next values.
    out.insert(out.end(), text->begin(), std::find(text->begin(), text->end(), '\0'));
    out.push_back(0);
    return true;
  }
  if (const auto* bytes = std::get_if<Bytes>(&value)) {
    if (bytes->size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) return false;
    const Bytes length = ToBytes(static_cast<std::int32_t>(bytes->size()));
    out.insert(out.end(), length.begin(), length.end());
    out.insert(out.end(), bytes->begin(), bytes->end());
    return true;
  }
  // Numbers, truth values and dates: their little-endian bytes, as ToBytes gives them.
  const Bytes raw = ToBytes(value);
  out.insert(out.end(), raw.begin(), raw.end());
  return true;
}

std::optional<std::string> ExecutablePath() {
  std::string buffer(256, '\0');
  constexpr std::size_t kMaxPath = 1u << 20;
  while (buffer.size() <= kMaxPath) {
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) return std::nullopt;
    if (static_cast<std::size_t>(length) < buffer.size()) {
      buffer.resize(static_cast<std::size_t>(length));
      return buffer;
    }
    buffer.resize(buffer.size() * 2);  // possibly cut short: try again with more room
  }
  return std::nullopt;
}

std::optional<std::string> RunDirectoryUtf8() {
  std::optional<std::string> path = ExecutablePath();
  if (!path || path->empty() || path->front() != '/') return std::nullopt;
  const std::size_t slash = path->rfind('/');
  return slash == 0 ? std::string("/") : path->substr(0, slash);
}

}  // namespace

Text RunDirectory() {
  const std::optional<std::string> directory = RunDirectoryUtf8();
  if (!directory) return Text();
  // A directory name the code page cannot hold is still better returned as it is than not at all.
  std::optional<Text> local = FromUtf8(*directory);
  return local ? std::move(*local) : *directory;
}

bool EnterRunDirectory() {
  const std::optional<std::string> directory = RunDirectoryUtf8();
  return directory && ::chdir(directory->c_str()) == 0;
}

bool SameFile(const Text& a, const Text& b) { return IsSameFile(a, b); }

bool FileExists(const Text& path) {
  const std::optional<std::string> name = SystemPath(path);
  if (!name) return false;
  struct stat status {};
  if (::lstat(name->c_str(), &status) == 0) return true;
  if (name->find_first_of("*?") == std::string::npos) return false;

  // Only "*" and "?" are wildcards; glob would also read "[...]" as a set and "\" as an escape.
  std::string pattern;
  for (char c : *name) {
    if (c == '[' || c == ']' || c == '\\') pattern += '\\';
    pattern += c;
  }
  glob_t matches{};
  const int rc = ::glob(pattern.c_str(), GLOB_NOSORT, nullptr, &matches);
  const std::unique_ptr<glob_t, decltype(&::globfree)> release(&matches, &::globfree);
  return rc == 0 && matches.gl_pathc > 0;
}

bool WriteBytesToFile(const Text& path, std::initializer_list<std::span<const std::uint8_t>> parts) {
  UniqueFd file = OpenDiskFile(path, O_WRONLY | O_CREAT, LOCK_EX, true);
  if (!file) return false;
  for (const std::span<const std::uint8_t> part : parts) {
    if (!WriteAll(Descriptor(file), part.data(), part.size())) return false;
  }
  return CloseReporting(std::move(file));
}

std::int32_t FileOpen(const Text& path, FileOpenMode openMode, FileShareMode shareMode) {
  int accessFlags;
  switch (openMode) {
    case FileOpenMode::Read: accessFlags = O_RDONLY; break;
    case FileOpenMode::Write: accessFlags = O_WRONLY; break;
    case FileOpenMode::ReadWrite: accessFlags = O_RDWR; break;
    case FileOpenMode::Rewrite: accessFlags = O_WRONLY | O_CREAT; break;
    case FileOpenMode::WriteKeep: accessFlags = O_WRONLY | O_CREAT; break;
    case FileOpenMode::ReadWriteKeep: accessFlags = O_RDWR | O_CREAT; break;
    default: return 0;
  }
  // What others may do, as a lock: allowing everything needs none; allowing reading only is a
  // shared lock (other readers that lock still get in, writers that lock do not); keeping others
  // from reading can only be had by keeping them out altogether.
  int lockOperation;
  switch (shareMode) {
    case FileShareMode::ReadWrite: lockOperation = kNoLock; break;
    case FileShareMode::Read: lockOperation = LOCK_SH; break;
    case FileShareMode::Write:
    case FileShareMode::None: lockOperation = LOCK_EX; break;
    default: return 0;
  }
  UniqueFd file = OpenDiskFile(path, accessFlags, lockOperation, openMode == FileOpenMode::Rewrite);
  if (!file) return 0;
  auto guard = OpenFiles().Lock();
  return OpenFiles().Add(std::move(file));
}

// The values are written in order from the current position. A value that cannot be written (an
// absent one, a byte array too long for its length field) ends the call: what came before it is
// in the file, the position moves back to where the call started, and the call fails.
bool FileWriteData(std::int32_t fileNumber, std::initializer_list<Value> values) {
  Bytes record;
  bool whole = true;
  for (const Value& value : values) {
    if (!AppendRecord(record, value)) {
      whole = false;
      break;
    }
  }
  auto guard = OpenFiles().Lock();
  const int fd = OpenFiles().Find(fileNumber);
  if (fd < 0) return false;
  const off_t start = ::lseek(fd, 0, SEEK_CUR);
  struct stat status {};
  if (start < 0 || ::fstat(fd, &status) != 0) return false;
  if (WriteAll(fd, record.data(), record.size())) {
    if (!whole) ::lseek(fd, start, SEEK_SET);
    return whole;
  }

  // Take back what a part-written record added, so the next write starts where this one did and
  // a reader finds no half record at the end. Bytes already overwritten within the old length
  // cannot be restored.
  struct stat now {};
  if (::fstat(fd, &now) == 0 && now.st_size > status.st_size) {
    [[maybe_unused]] const int ignored = ::ftruncate(fd, status.st_size);
  }
  ::lseek(fd, start, SEEK_SET);
  return false;
}

bool FileClose(std::int32_t fileNumber) {
  auto guard = OpenFiles().Lock();
  return CloseReporting(OpenFiles().Remove(fileNumber));
}

}  // namespace nvx
