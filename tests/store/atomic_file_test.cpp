#include "store/atomic_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>

#include <filesystem>

#include "store/small_disk.h"
#include "test_support.h"

namespace nvx {
namespace {

TEST(AtomicFile, TheTargetChangesOnlyOnCommit) {
  test::TempDir dir;
  const std::string target = dir.File("out.txt");
  test::WriteFile(target, "earlier");
  ::chmod(target.c_str(), 0640);
  {
    AtomicFile file;
    ASSERT_TRUE(file.Open(target));
    EXPECT_TRUE(file.Write("new "));
    EXPECT_TRUE(file.Write(std::string(3 << 20, 'x'))) << "larger than the buffer";
    EXPECT_EQ(test::ReadFile(target), "earlier") << "nothing reaches the target before Commit";
  }
  EXPECT_EQ(test::ReadFile(target), "earlier") << "dropped without Commit";
  EXPECT_EQ(test::NamesIn(dir.Path()), std::vector<std::string>{"out.txt"}) << "no temporary file left";

  AtomicFile file;
  ASSERT_TRUE(file.Open(target));
  file.Write("new");
  file.Discard();
  EXPECT_FALSE(file.Commit());
  EXPECT_EQ(test::ReadFile(target), "earlier");

  ASSERT_TRUE(file.Open(target));
  file.Write("new ");
  file.Write("content");
  EXPECT_TRUE(file.Commit());
  EXPECT_EQ(test::ReadFile(target), "new content");
  struct stat status {};
  ASSERT_EQ(::stat(target.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0640u) << "the replacement keeps the permissions";
  EXPECT_EQ(test::NamesIn(dir.Path()), std::vector<std::string>{"out.txt"});
}

TEST(AtomicFile, LinksAreWrittenThroughAndOnlyRegularFilesReplaced) {
  test::TempDir dir;
  const std::string real = dir.File("real.txt");
  const std::string link = dir.File("link.txt");
  test::WriteFile(real, "old");
  std::filesystem::create_symlink(real, link);
  AtomicFile file;
  ASSERT_TRUE(file.Open(link));
  file.Write("through the link");
  ASSERT_TRUE(file.Commit());
  EXPECT_TRUE(std::filesystem::is_symlink(link)) << "the link stays a link";
  EXPECT_EQ(test::ReadFile(real), "through the link");

  const std::string fifo = dir.File("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::pair<const char*, std::string> refused[] = {
      {"directory", dir.Path().string()},
      {"fifo", fifo},
      {"device", "/dev/null"},
      {"missing directory", dir.File("no/such/file.txt")},
      {"empty name", ""},
  };
  for (const auto& [name, path] : refused) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(file.Open(path));
  }
  EXPECT_TRUE(std::filesystem::is_fifo(fifo));
}

// A file written by name under a name of the caller's, locked while it is written, that takes its
// final name only where no file has it.
TEST(AtomicFile, ANewFileNeverReplacesAnother) {
  test::TempDir dir;
  const std::string temporary = dir.File("copy.tmp");
  const std::string taken = dir.File("taken.nvx");
  test::WriteFile(taken, "someone else's");
  std::vector<std::string> told;
  AtomicFile file;
  ASSERT_TRUE(file.Create(temporary, 0600, [&](const std::string& name) { told.push_back(name); }));
  const int other = ::open(temporary.c_str(), O_RDONLY | O_CLOEXEC);
  EXPECT_NE(::flock(other, LOCK_EX | LOCK_NB), 0) << "locked while it is written";
  ::close(other);
  AtomicFile second;
  EXPECT_FALSE(second.Create(temporary, 0600));
  EXPECT_EQ(errno, EEXIST);

  ASSERT_TRUE(file.Write("by descriptor, ") && file.Flush());
  std::ofstream(file.TemporaryPath(), std::ios::app) << "then by name";
  ASSERT_TRUE(file.Sync());
  EXPECT_EQ(file.CommitNew(taken), EEXIST);
  EXPECT_EQ(test::ReadFile(taken), "someone else's");
  EXPECT_EQ(file.CommitNew(dir.File("free.nvx")), 0);
  EXPECT_EQ(test::ReadFile(dir.File("free.nvx")), "by descriptor, then by name");
  EXPECT_EQ(test::NamesIn(dir.Path()), (std::vector<std::string>{"free.nvx", "taken.nvx"}))
      << "no temporary file left";
  EXPECT_EQ(told, (std::vector<std::string>{temporary, ""}));
}

TEST(AtomicFile, AFullDiskKeepsTheEarlierFile) {
  test::TempDir dir;
  test::SmallDisk disk(dir.Path() / "disk", 64 * 1024);
  if (!disk.Mounted()) GTEST_SKIP() << "no right to mount a tmpfs here";
  const std::string target = disk.File("export.txt");
  test::WriteFile(target, "the earlier export");
  AtomicFile file;
  ASSERT_TRUE(file.Open(target));
  const std::string block(16 * 1024, 'b');
  bool written = true;
  for (int i = 0; i < 8 && written; ++i) written = file.Write(block);
  EXPECT_FALSE(file.Commit());
  EXPECT_TRUE(file.Failed());
  EXPECT_EQ(test::ReadFile(target), "the earlier export");
  EXPECT_EQ(disk.Names(), "export.txt ") << "the temporary file is gone";
}

}  // namespace
}  // namespace nvx
