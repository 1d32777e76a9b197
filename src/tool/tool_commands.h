// The commands of `nvx`, the command-line companion. Each takes its arguments as the shell gave
// them (UTF-8) and returns the process exit code: 0 success, 1 failure (after one line on standard
// error naming the file and the reason).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace nvx {
class SqliteDB;
}

namespace nvx::tool {

inline constexpr int kSuccess = 0;
inline constexpr int kFailure = 1;
inline constexpr int kUsage = 2;

int NewFile(const std::string& file);
int List(const std::string& file);
int Cat(const std::string& file, const std::string& id);
int Add(const std::string& file, const std::string& title);
int Check(const std::string& file);
int ExportText(const std::string& file, const std::string& out);

// What every command shares: "nvx: FILE: REASON" on standard error, giving `code`; an article
// database opened that must be usable (nullopt, or the exit code after saying why); standard
// output written, false once any write failed.
int Fail(const std::string& file, const std::string& reason, int code = kFailure);
std::optional<int> OpenArticles(SqliteDB& db, const std::string& file, int code = kFailure);
bool WriteOut(std::string_view bytes);

// Flushes standard output at the end of a command: `code` when everything reached it, otherwise
// kFailure after saying "cannot write output" (a full disk, a closed pipe, /dev/full).
int FinishOutput(int code);

}  // namespace nvx::tool
