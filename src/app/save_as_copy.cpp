#include "app/save_as_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "base/codepage.h"
#include "runtime/file_commands.h"
#include "store/article_records.h"
#include "store/article_walk.h"
#include "store/template_database.h"

namespace nvx::app {
namespace {

// Replaces the articles of the open collection `copy` with those of `source`, in one transaction
// and one statement; the dialog follows the rows copied. `lastChance(copied)` is asked right
// before the commit.
CopyOutcome CopyArticles(SqliteDB& source, SqliteDB& copy, Progress& progress,
                         const std::function<bool(std::int64_t)>& lastChance) {
  switch (ReplaceArticles(
      copy, source, [&](std::int64_t copied) { return progress.Step(copied); }, lastChance)) {
    case CopyResult::Done: return CopyOutcome::Done;
    case CopyResult::Cancelled: return CopyOutcome::Cancelled;
    case CopyResult::Failed: break;
  }
  return CopyOutcome::Failed;
}

// The last look at the dialog before the step that cannot be undone; past it, no cancel is offered.
bool LastChance(Progress& progress, std::int64_t copied) {
  if (!progress.Step(copied)) return false;
  progress.Finishing();
  return true;
}

bool WriteAll(int fd, std::span<const std::uint8_t> bytes) {
  std::size_t at = 0;
  while (at < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + at, bytes.size() - at);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    at += static_cast<std::size_t>(n);
  }
  return true;
}

bool SyncPath(const std::string& path, int flags) {
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = ::fsync(fd) == 0;
  return ::close(fd) == 0 && synced;
}

// A file made beside the target for building the copy; removed again unless it was renamed.
class TemporaryFile {
 public:
  // Creates an empty collection (the template) under a new name in `directory`.
  explicit TemporaryFile(const std::string& directory) {
    std::string pattern = directory + "/.nvx-save-XXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) return;
    path_ = pattern;
    // mkstemp makes the file private; the copy gets the permissions a new file gets.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    const bool written = ::fchmod(fd, 0666 & ~mask) == 0 && WriteAll(fd, TemplateDatabase());
    if (::close(fd) != 0 || !written) Remove();
  }
  ~TemporaryFile() { Remove(); }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  bool Made() const { return !path_.empty(); }
  const std::string& Path() const { return path_; }

  // Flushes the file to disk and gives it the name `target`, durably.
  bool RenameTo(const std::string& target, const std::string& directory) {
    if (!SyncPath(path_, O_RDONLY) || ::rename(path_.c_str(), target.c_str()) != 0) return false;
    path_.clear();
    SyncPath(directory, O_RDONLY | O_DIRECTORY);
    return true;
  }

 private:
  void Remove() {
    if (!path_.empty()) ::unlink(path_.c_str());
    path_.clear();
  }
  std::string path_;
};

std::string DirectoryOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

CopyOutcome CopyIntoNewFile(SqliteDB& source, const std::string& target, Progress& progress) {
  const std::string directory = DirectoryOf(target);
  TemporaryFile building(directory);
  if (!building.Made()) return CopyOutcome::Failed;
  SqliteDB copy;
  const auto localPath = FromUtf8(building.Path());
  if (!localPath || !copy.Open(*localPath)) return CopyOutcome::Failed;
  std::int64_t copied = 0;
  const CopyOutcome outcome = CopyArticles(source, copy, progress, [&](std::int64_t n) {
    copied = n;
    return true;
  });
  const bool closed = copy.Close();
  if (outcome != CopyOutcome::Done) return outcome;
  if (!closed) return CopyOutcome::Failed;
  // The rename is what cannot be undone: a cancel until then leaves no file.
  if (!LastChance(progress, copied)) return CopyOutcome::Cancelled;
  return building.RenameTo(target, directory) ? CopyOutcome::Done : CopyOutcome::Failed;
}

}  // namespace

CopyOutcome CopyCollection(SqliteDB& source, const Text& target, Progress& progress) {
  // A source that cannot be read is found out before anything is written.
  if (source.Handle() == nullptr || !CountArticles(source)) return CopyOutcome::Failed;
  const auto path = ToUtf8(target);
  if (!path || path->empty()) return CopyOutcome::Failed;
  if (!FileExists(target)) return CopyIntoNewFile(source, *path, progress);
  SqliteDB copy;
  if (!copy.Open(target)) return CopyOutcome::Failed;
  const CopyOutcome outcome =
      CopyArticles(source, copy, progress, [&](std::int64_t copied) { return LastChance(progress, copied); });
  copy.Close();
  return outcome;
}

}  // namespace nvx::app
