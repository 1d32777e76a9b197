#include "tool/copy_commands.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>

#include "base/codepage.h"
#include "store/article_file.h"
#include "store/collection_copy.h"
#include "tool/tool_commands.h"

namespace nvx::tool {
namespace {

// The temporary copy being written, for the signal handler: a copy cut short by Ctrl-C or a
// shutdown is removed instead of left behind.
char temporaryCopy[4096];
volatile std::sig_atomic_t haveTemporaryCopy = 0;

extern "C" void RemoveTemporaryCopy(int signalNumber) {
  if (haveTemporaryCopy) ::unlink(temporaryCopy);
  std::signal(signalNumber, SIG_DFL);
  std::raise(signalNumber);
}

void NoteTemporaryCopy(const std::string& path) {
  haveTemporaryCopy = 0;
  if (path.empty() || path.size() >= sizeof temporaryCopy) return;
  std::memcpy(temporaryCopy, path.c_str(), path.size() + 1);
  haveTemporaryCopy = 1;
}

void RemoveTemporaryCopyOnSignals() {
  for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) std::signal(signalNumber, RemoveTemporaryCopy);
}

}  // namespace

int Backup(const CommandArguments& a) {
  const std::string& file = a.words[0];
  const std::string dir = a.Value("--dir");
  BackupOptions options;
  if (a.HasValue("--keep")) {
    const auto keep = ParseNumber(a.Value("--keep"));
    if (!keep || *keep > std::numeric_limits<int>::max()) return UsageError("--keep needs a positive number");
    options.keep = static_cast<int>(*keep);
  }
  const auto localFile = FromUtf8(file);
  const auto localDir = FromUtf8(dir);
  if (!localFile || !localDir) return Fail(file, "cannot use this file name");
  // A folder named by --dir is made when missing, as a cron line that backs up into it expects.
  std::error_code ec;
  if (!dir.empty() && !std::filesystem::exists(dir, ec) && !std::filesystem::create_directories(dir, ec))
    return Fail(dir, "cannot make the folder: " + ec.message());
  options.directory = *localDir;
  options.onTemporary = NoteTemporaryCopy;
  RemoveTemporaryCopyOnSignals();

  const BackupResult result = BackupCollection(*localFile, options);
  const std::string where = dir.empty() ? "its folder" : dir;
  switch (result.outcome) {
    case BackupOutcome::Done:
      for (const auto& note : result.notes) Fail(file, note);
      std::printf("%s\n", ToUtf8Lossy(result.path).c_str());
      return kSuccess;
    case BackupOutcome::Missing: Fail(file, DescribeState(ArticleFileState::Missing)); break;
    case BackupOutcome::Damaged: Fail(file, "damaged, no backup made, older backups kept"); break;
    case BackupOutcome::NoTable: Fail(file, "no table nr, no backup made, older backups kept"); break;
    case BackupOutcome::Busy:
    case BackupOutcome::NotCollection:
      Fail(file, std::string(DescribeState(result.state)) + ", no backup made, older backups kept");
      break;
    case BackupOutcome::CannotWrite:
      for (const auto& note : result.notes) Fail(file, "cannot write the backup in " + where + ": " + note);
      Fail(file, "no backup made, older backups kept");
      break;
    case BackupOutcome::BadCopy:
      for (const auto& note : result.notes) Fail(file, "the copy did not verify: " + note);
      Fail(file, "no backup made, older backups kept");
      break;
  }
  return kFailure;
}

int Diff(const std::string& first, const std::string& second) {
  constexpr int kDifferent = 1;
  constexpr int kTrouble = 2;
  const auto a = FromUtf8(first);
  const auto b = FromUtf8(second);
  if (!a || !b) {
    Fail(a ? second : first, "cannot use this file name");
    return kTrouble;
  }
  std::string out;
  const DiffResult result = DiffCollections(*a, *b, [&out](const ArticleDifference& d) {
    static constexpr char kSigns[] = {'+', '-', '~'};
    out += kSigns[static_cast<int>(d.change)];
    out += " " + std::to_string(d.id) + " " + ToUtf8Lossy(d.title);
    if (d.change == ArticleChange::Changed) {
      std::string what;
      for (const auto& [differs, name] :
           {std::pair{d.titleDiffers, "title"}, std::pair{d.textDiffers, "text"},
            std::pair{d.stateDiffers, "state"}})
        if (differs) what += (what.empty() ? "" : ", ") + std::string(name);
      out += " (" + what + ")";
    }
    out += '\n';
    if (out.size() > 64 * 1024) {
      WriteOut(out);
      out.clear();
    }
  });
  if (!WriteOut(out) || std::fflush(stdout) != 0) return OutputFailed(first, kTrouble);
  if (!result.ok) {
    Fail(result.failedFile == 0 ? first : second, result.reason);
    return kTrouble;
  }
  const DiffSummary& s = result.summary;
  std::printf("%lld same, %lld added, %lld removed, %lld changed\n", static_cast<long long>(s.same),
              static_cast<long long>(s.added), static_cast<long long>(s.removed),
              static_cast<long long>(s.changed));
  if (std::fflush(stdout) != 0) return OutputFailed(first, kTrouble);
  return s.added + s.removed + s.changed == 0 ? kSuccess : kDifferent;
}

}  // namespace nvx::tool
