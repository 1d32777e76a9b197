#include "tool/copy_commands.h"

#include <unistd.h>

#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "store/article_file.h"
#include "store/codepage.h"
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

std::optional<int> Positive(const std::string& text) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end || value < 1) return std::nullopt;
  return value;
}

void Say(const std::string& file, const std::string& text) {
  std::fprintf(stderr, "nvx: %s: %s\n", file.c_str(), text.c_str());
}

}  // namespace

int Backup(const std::vector<std::string>& args) {
  std::string file;
  std::string dir;
  BackupOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const bool hasValue = i + 1 < args.size();
    if (args[i] == "--dir" && hasValue) {
      dir = args[++i];
    } else if (args[i] == "--keep" && hasValue) {
      const auto keep = Positive(args[++i]);
      if (!keep) return kUsage;
      options.keep = *keep;
    } else if (file.empty() && !args[i].empty() && args[i][0] != '-') {
      file = args[i];
    } else {
      return kUsage;
    }
  }
  if (file.empty()) return kUsage;
  const auto localFile = FromUtf8(file);
  const auto localDir = FromUtf8(dir);
  if (!localFile || !localDir) {
    Say(file, "cannot use this file name");
    return kFailure;
  }
  options.directory = *localDir;
  options.onTemporary = NoteTemporaryCopy;
  RemoveTemporaryCopyOnSignals();

  const BackupResult result = BackupCollection(*localFile, options);
  const std::string where = dir.empty() ? "its folder" : dir;
  switch (result.outcome) {
    case BackupOutcome::Done:
      for (const auto& note : result.notes) Say(file, note);
      std::printf("%s\n", ToUtf8Lossy(result.path).c_str());
      return kSuccess;
    case BackupOutcome::Missing: Say(file, "no such file"); break;
    case BackupOutcome::Busy:
      Say(file, std::string(DescribeState(ArticleFileState::Busy)) + ", no backup made, older backups kept");
      break;
    case BackupOutcome::Damaged: Say(file, "damaged, no backup made, older backups kept"); break;
    case BackupOutcome::NoTable: Say(file, "no table nr, no backup made, older backups kept"); break;
    case BackupOutcome::NotCollection:
      Say(file,
          "not a collection (nr is a view or has generated columns), no backup made, older backups kept");
      break;
    case BackupOutcome::CannotWrite:
      for (const auto& note : result.notes) Say(file, "cannot write the backup in " + where + ": " + note);
      Say(file, "no backup made, older backups kept");
      break;
    case BackupOutcome::BadCopy:
      for (const auto& note : result.notes) Say(file, "the copy did not verify: " + note);
      Say(file, "no backup made, older backups kept");
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
    Say(a ? second : first, "cannot use this file name");
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
      std::fputs(out.c_str(), stdout);
      out.clear();
    }
  });
  std::fputs(out.c_str(), stdout);
  if (!result.ok) {
    Say(result.failedFile == 0 ? first : second, result.reason);
    return kTrouble;
  }
  const DiffSummary& s = result.summary;
  std::printf("%lld same, %lld added, %lld removed, %lld changed\n", static_cast<long long>(s.same),
              static_cast<long long>(s.added), static_cast<long long>(s.removed),
              static_cast<long long>(s.changed));
  return s.added + s.removed + s.changed == 0 ? kSuccess : kDifferent;
}

}  // namespace nvx::tool
