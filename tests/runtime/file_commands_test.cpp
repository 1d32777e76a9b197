#include "runtime/file_commands.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "base/codepage.h"

namespace nvx {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

class FileCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "nvx_file_commands_XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  // A file in the temporary directory as a local-code-page path; `name` is UTF-8.
  Text Path(const std::string& name) const { return FromUtf8((dir_ / name).string()).value_or(""); }
  void Put(const std::string& name, const std::string& content) const {
    std::ofstream(dir_ / name, std::ios::binary) << content;
  }
  std::string ContentOf(const std::string& name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  fs::path dir_;
};

TEST_F(FileCommandsTest, FileWriteDataWritesRawRecords) {
  const struct {
    const char* name;
    Value value;
    std::string expected;
  } rows[] = {
      {"text gets one zero byte", Text("abc"), "abc\0"s},
      {"text ends at its inner zero", Text("a\0b"s), "a\0"s},
      {"array gets its length first", Bytes{1, 2, 3}, "\3\0\0\0\1\2\3"s},
  };
  for (const auto& row : rows) {
    const std::int32_t number = FileOpen(Path("record"), FileOpenMode::Rewrite);
    EXPECT_TRUE(FileWriteData(number, {row.value})) << row.name;
    EXPECT_TRUE(FileClose(number));
    EXPECT_EQ(ContentOf("record"), row.expected) << row.name;
  }
}

TEST_F(FileCommandsTest, FailedFileWriteDataLeavesNoTrace) {
  EXPECT_FALSE(FileWriteData(12345, {std::int32_t{1}}));
  const std::int32_t number = FileOpen(Path("data"), FileOpenMode::Rewrite);
  EXPECT_TRUE(FileWriteData(number, {std::int32_t{1}, Text("a")}));
  {
    // The file may grow to 10 bytes only: the write stops part-way, like on a full disk.
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limited = saved;
    limited.rlim_cur = 10;
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &limited);
    EXPECT_FALSE(FileWriteData(number, {Bytes(8, 'x')}));
    EXPECT_FALSE(WriteBytesToFile(Path("other"), {Bytes(16, 'x')}));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
  }
  EXPECT_TRUE(FileWriteData(number, {std::int16_t{3}}));
  EXPECT_TRUE(FileClose(number));
  EXPECT_EQ(ContentOf("data"), "\1\0\0\0a\0\3\0"s) << "the next write lands where the failed ones began";
}

// A value that cannot be written ends the call: the values before it are written, and the next
// write starts where the failed call began.
TEST_F(FileCommandsTest, FileWriteDataStopsAtABadValueAndMovesBack) {
  const std::int32_t number = FileOpen(Path("data"), FileOpenMode::Rewrite);
  EXPECT_TRUE(FileWriteData(number, {Text("a")}));
  EXPECT_FALSE(FileWriteData(number, {Text("bc"), std::int16_t{5}, Value{}, std::int32_t{9}}))
      << "an absent value cannot be written";
  EXPECT_EQ(ContentOf("data"), "a\0bc\0\5\0"s) << "the values before it are written";
  EXPECT_TRUE(FileWriteData(number, {std::uint8_t{'Z'}}));
  EXPECT_TRUE(FileClose(number));
  EXPECT_EQ(ContentOf("data"), "a\0Zc\0\5\0"s);
}

TEST_F(FileCommandsTest, FileOpenFollowsOpenModes) {
  const struct {
    const char* name;
    std::optional<std::string> before;  // none: the file is missing
    FileOpenMode openMode;
    FileShareMode shareMode;
    std::optional<std::string> after;  // after writing "X"; none: the file must not open or be made
  } rows[] = {
      {"read needs the file", std::nullopt, FileOpenMode::Read, FileShareMode::ReadWrite, std::nullopt},
      {"rewrite empties", "abc", FileOpenMode::Rewrite, FileShareMode::None, "X"},
      {"write-keep keeps", "abc", FileOpenMode::WriteKeep, FileShareMode::Read, "Xbc"},
      {"read-write-keep creates", std::nullopt, FileOpenMode::ReadWriteKeep, FileShareMode::Write, "X"},
      {"open mode 7", "abc", FileOpenMode{7}, FileShareMode::ReadWrite, std::nullopt},
      {"share mode 0", std::nullopt, FileOpenMode::Rewrite, FileShareMode{0}, std::nullopt},
  };
  for (const auto& row : rows) {
    const std::string name = "mode "s + row.name;
    if (row.before) Put(name, *row.before);
    const std::int32_t number = FileOpen(Path(name), row.openMode, row.shareMode);
    EXPECT_EQ(number != 0, row.after.has_value()) << row.name;
    if (number == 0) continue;
    EXPECT_TRUE(FileWriteData(number, {std::uint8_t{'X'}}));
    EXPECT_TRUE(FileClose(number));
    EXPECT_FALSE(FileClose(number)) << "a closed number is no longer open";
    EXPECT_EQ(ContentOf(name), *row.after) << row.name;
  }
  EXPECT_FALSE(fs::exists(dir_ / "mode share mode 0"));
  EXPECT_EQ(FileOpen("", FileOpenMode::Rewrite), 0);
  EXPECT_EQ(FileOpen(FromUtf8(dir_.string()).value_or(""), FileOpenMode::Read), 0)
      << "a directory is no file";
}

TEST_F(FileCommandsTest, ShareModesKeepOthersOut) {
  Put("shared", "content");
  const std::int32_t exclusive = FileOpen(Path("shared"), FileOpenMode::Read, FileShareMode::None);
  ASSERT_NE(exclusive, 0);
  EXPECT_EQ(FileOpen(Path("shared"), FileOpenMode::Read, FileShareMode::Read), 0);
  EXPECT_EQ(FileOpen(Path("shared"), FileOpenMode::Rewrite, FileShareMode::None), 0);
  EXPECT_FALSE(WriteBytesToFile(Path("shared"), {Bytes{'x'}}));
  EXPECT_EQ(ContentOf("shared"), "content") << "a refused open must not empty the file";
  EXPECT_TRUE(FileClose(exclusive));

  const std::int32_t readers[] = {FileOpen(Path("shared"), FileOpenMode::Read, FileShareMode::Read),
                                  FileOpen(Path("shared"), FileOpenMode::Read, FileShareMode::Read)};
  EXPECT_NE(readers[1], 0) << "readers that allow reading share";
  EXPECT_EQ(FileOpen(Path("shared"), FileOpenMode::Write, FileShareMode::None), 0);
  for (std::int32_t reader : readers) FileClose(reader);
}

TEST_F(FileCommandsTest, WriteBytesToFileReplacesContent) {
  Put("out", "much longer old content");
  EXPECT_TRUE(WriteBytesToFile(Path("out"), {Bytes{'a', 'b'}, Bytes{}, ToByteArray("cd")}));
  EXPECT_EQ(ContentOf("out"), "abcd");
  EXPECT_TRUE(WriteBytesToFile(Path("数据.bin"), {Bytes{'a'}}));
  EXPECT_EQ(ContentOf("数据.bin"), "a") << "the local-code-page name is stored as UTF-8";
  EXPECT_FALSE(WriteBytesToFile(Path("missing/out"), {Bytes{'a'}}));
}

TEST_F(FileCommandsTest, FileExistsFindsEntriesAndPatterns) {
  fs::create_directory(dir_ / "folder");
  Put("a[1].txt", "");
  Put("b1.txt", "");
  const struct {
    const char* name;
    Text path;
    bool exists;
  } rows[] = {
      {"directory", Path("folder"), true},           {"brackets are plain", Path("a[1].txt"), true},
      {"star matches", Path("*.txt"), true},         {"pattern with brackets", Path("a[1]?txt"), true},
      {"brackets are no set", Path("b[1]*"), false}, {"pattern without match", Path("*.none"), false},
      {"missing", Path("missing"), false},           {"empty", "", false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(FileExists(row.path), row.exists) << row.name;
  }
}

TEST(RunDirectory, IsTheDirectoryOfTheProgram) {
  const fs::path expected = fs::canonical("/proc/self/exe").parent_path();
  EXPECT_EQ(RunDirectory(), FromUtf8(expected.string()).value_or(expected.string()));

  const fs::path before = fs::current_path();
  fs::current_path(fs::temp_directory_path());
  EXPECT_TRUE(EnterRunDirectory());
  EXPECT_EQ(fs::current_path(), expected);
  fs::current_path(before);
}

}  // namespace
}  // namespace nvx
