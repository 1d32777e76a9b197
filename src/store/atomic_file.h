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
//
// A writer that needs the file by name (SQLite) writes the temporary file at TemporaryPath()
// after Flush, and Commit then makes it the target. A file that must never replace another one
// (a backup) is made with Create under a name of the caller's choosing and ends with CommitNew.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
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

  // Creates the temporary file as `temporary` (UTF-8), which must not exist yet, with `mode`, and
  // holds an exclusive flock on it until its name is gone (renamed or removed): the system drops
  // the lock with the process, so a temporary file nobody locks is one a killed process left.
  // False with errno set otherwise (EEXIST too when another process took the name first).
  // `onTemporary` is told the name once the file is made and an empty name once it is gone.
  bool Create(const std::string& temporary, mode_t mode,
              std::function<void(const std::string&)> onTemporary = nullptr);

  bool Write(std::span<const std::uint8_t> bytes);
  bool Write(std::string_view bytes);

  // Flushes, renames over the target and flushes the directory; true when the target now holds
  // everything written. After a failure the target is as it was and the temporary file is gone.
  bool Commit();

  // Flushes what was written to disk; Commit does it too.
  bool Sync();

  // Gives the synced temporary file the name `target` (UTF-8) without replacing a file that has
  // it, then flushes the directory: 0, or the errno. On EEXIST the temporary file stays, for the
  // caller to try another name.
  int CommitNew(const std::string& target);

  // The file being written (UTF-8), for a writer that opens it by name.
  const std::string& TemporaryPath() const { return temporary_; }

  // Drops what was written and removes the temporary file; the target stays as it was.
  void Discard();

  bool IsOpen() const { return fd_ >= 0; }
  bool Failed() const { return failed_; }

  // Writes the buffered bytes into the temporary file.
  bool Flush();

 private:
  void Forget();

  int fd_ = -1;
  bool failed_ = false;
  std::string target_;     // UTF-8, links resolved when followed
  std::string temporary_;  // UTF-8
  std::vector<char> buffer_;
  std::function<void(const std::string&)> onTemporary_;
};

// Whether `fd` is the file at `path` (UTF-8): not a link, and not a file put in its place.
bool IsFileAt(int fd, const std::string& path);

}  // namespace nvx
