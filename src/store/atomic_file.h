// A file replaced as a whole or not at all.
//
// The new content goes into a temporary file beside the target (same directory, so the same file
// system); Commit flushes it to disk, renames it over the target and flushes the directory. Until
// then the target keeps its earlier content, and a failure, a crash or an AtomicFile dropped
// without Commit leaves it untouched: the temporary file is removed (a crash may leave one behind,
// named ".NAME.tmp-XXXXXX", never a half-written target).
//
// Writes go through one buffer; the first failure sticks, and Commit then fails. A target that is
// a symbolic link is written through the link, or, with Links::Replace, the link itself is
// replaced by the new file and whatever it points at is never opened; a target that exists but is
// not a regular file (a directory, FIFO or device) is refused. The replacement keeps an existing target's
// permissions; a new file gets the usual ones (0666 less the umask).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/value.h"

namespace nvx {

class AtomicFile {
 public:
  // Follow: a link stays and the file it points at is replaced (the user's own link to where the
  // file really lives). Replace: the link is replaced (a folder others may write into must not
  // be able to aim the write elsewhere).
  enum class Links { Follow, Replace };

  AtomicFile() = default;
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Creates the temporary file for replacing `path` (local code page). False when the name does
  // not convert, the target is not a regular file, or the directory takes no new file.
  bool Open(const Text& path, Links links = Links::Follow);

  bool Write(std::span<const std::uint8_t> bytes);
  bool Write(std::string_view bytes);

  // Flushes, renames over the target and flushes the directory; true when the target now holds
  // everything written. After a failure the target is as it was and the temporary file is gone.
  bool Commit();

  // Drops what was written and removes the temporary file; the target stays as it was.
  void Discard();

  bool IsOpen() const { return fd_ >= 0; }
  bool Failed() const { return failed_; }

 private:
  bool Flush();

  int fd_ = -1;
  bool failed_ = false;
  std::string target_;     // UTF-8, links resolved when followed
  std::string temporary_;  // UTF-8
  std::vector<char> buffer_;
};

}  // namespace nvx
