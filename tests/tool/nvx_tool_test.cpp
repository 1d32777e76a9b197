// Runs the built nvx binary as a user's script would.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "store/small_disk.h"
#include "store/template_database.h"
#include "support/sqlite_file.h"
#include "test_support.h"
#include "tool/nvx_runner.h"

namespace nvx {
namespace {

using Result = test::NvxResult;
using test::ShellQuote;

class NvxTool : public ::testing::Test {
 protected:
  // Runs nvx with `input` on standard input and standard output into `out` (a file of the test's
  // own unless given). A run that hangs is ended after 20 s and gives code 124.
  Result Run(const std::vector<std::string>& args, const std::string& input = "", std::string out = "") {
    if (out.empty()) out = dir.File("stdout");
    test::WriteFile(dir.File("stdin"), input);
    std::string command = "timeout 20 " + ShellQuote(NVX_TOOL_PATH);
    for (const auto& a : args) command += " " + ShellQuote(a);
    command += " <" + ShellQuote(dir.File("stdin")) + " >" + ShellQuote(out) + " 2>" +
               ShellQuote(dir.File("stderr"));
    const int status = std::system(command.c_str());
    Result r;
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = out == dir.File("stdout") ? test::ReadFile(out) : "";
    r.err = test::ReadFile(dir.File("stderr"));
    return r;
  }

  // Runs one statement on `file` directly, as another program would.
  void Sql(const std::string& statement, const std::string& on = "") {
    ASSERT_TRUE(test::ExecFile(on.empty() ? file : on, statement)) << statement;
  }

  test::TempDir dir;
  std::string file = dir.File("books.nvx");
};

TEST_F(NvxTool, NewWritesTheEmptyDatabaseReplacingAnyFile) {
  test::WriteFile(file, std::string(5000, 'z'));
  const Result r = Run({"new", file});
  EXPECT_EQ(r.code, 0) << r.err;
  const auto& t = TemplateDatabase();
  EXPECT_EQ(test::ReadFile(file), std::string(t.begin(), t.end()));
  EXPECT_EQ(Run({"list", file}).out, "");
  EXPECT_EQ(Run({"check", file}).code, 0);

  const Result bad = Run({"new", dir.File("no/such/dir.nvx")});
  EXPECT_EQ(bad.code, 1);
  EXPECT_EQ(bad.err, "nvx: " + dir.File("no/such/dir.nvx") + ": cannot write\n");
}

TEST_F(NvxTool, AddListAndCatKeepTitlesAndTextExactly) {
  ASSERT_EQ(Run({"new", file}).code, 0);
  const std::string first = "第一回 宴桃园豪杰三结义\r\n滚滚长江东逝水，\r\n浪花淘尽英雄。𠀀\n末行";
  EXPECT_EQ(Run({"add", file, "第一回"}, first).out, "1\n");
  EXPECT_EQ(Run({"add", file, "空的"}, "").out, "2\n");
  EXPECT_EQ(Run({"add", file, "Third € 'quoted'"}, "x").out, "3\n");

  EXPECT_EQ(Run({"list", file}).out, "1\t第一回\n2\t空的\n3\tThird € 'quoted'\n");
  const Result cat = Run({"cat", file, "1"});
  EXPECT_EQ(cat.code, 0);
  EXPECT_EQ(cat.out, first);
  EXPECT_EQ(Run({"cat", file, "2"}).out, "");
  EXPECT_EQ(Run({"check", file}).out, file + ": sound article database\n");

  // What the editor reads: GBK bytes in the packed column, defaults of a new article.
  EXPECT_EQ(test::QueryFile(file,
                            "SELECT ksid || '|' || zt || '|' || ztdx || '|' || typeof(ys) || '|' || "
                            "typeof(xg) FROM nr WHERE id=1"),
            "0|宋体|14|null|null");
}

TEST_F(NvxTool, FailuresNameTheFileAndTheReason) {
  const std::string missing = dir.File("missing.nvx");
  const std::string text = dir.File("notes.txt");
  const std::string empty = dir.File("empty.nvx");
  test::WriteFile(text, std::string(2048, 'n'));
  test::WriteFile(empty, "");
  ASSERT_EQ(Run({"new", file}).code, 0);
  ASSERT_EQ(Run({"add", file, "one"}, "1").code, 0);

  struct Row {
    std::vector<std::string> args;
    std::string input;
    std::string err;
  };
  const Row rows[] = {
      {{"list", missing}, "", missing + ": no such file"},
      {{"list", text}, "", text + ": not a database"},
      {{"list", empty}, "", empty + ": no table nr"},
      {{"cat", file, "2"}, "", file + ": no such article 2"},
      {{"cat", text, "1"}, "", text + ": not a database"},
      {{"add", text, "t"}, "x", text + ": not a database"},
      {{"add", file, ""}, "x", file + ": the title is empty"},
      {{"add", file, "t"}, "bad \xFF utf-8", file + ": the text is not valid UTF-8 (byte offset 4)"},
      {{"add", file, "t"}, std::string("zero\0byte", 9), file + ": the text holds a zero byte"},
      {{"check", text}, "", text + ": not a database"},
      {{"check", empty}, "", empty + ": no table nr"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.args[0] + " " + row.args[1]);
    const Result r = Run(row.args, row.input);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "nvx: " + row.err + "\n");
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(test::ReadFile(text), std::string(2048, 'n')) << "a foreign file is left as it was";
  EXPECT_EQ(Run({"list", file}).out, "1\tone\n") << "failed adds added nothing";
}

TEST_F(NvxTool, CheckListsEveryDamagedArticle) {
  ASSERT_EQ(Run({"new", file}).code, 0);
  ASSERT_EQ(Run({"add", file, "good"}, "fine").code, 0);
  Sql("INSERT INTO nr(id,name,nr) VALUES(5,'short',x'0D0F3E'),"
      "(6,'huge length',x'0D0F3E03FFFFFF3F789C4B0400'), (7,'cut',x'0D0F3E0310000000789C')");
  const Result r = Run({"check", file});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "nvx: " + file + ": article 5: content is not packed text\n" + "nvx: " + file +
                       ": article 6: content does not unpack\n" + "nvx: " + file +
                       ": article 7: content does not unpack\n");
  EXPECT_EQ(Run({"cat", file, "6"}).out, "") << "damaged content reads as empty";
  EXPECT_EQ(Run({"cat", file, "6"}).code, 0);
}

TEST_F(NvxTool, ExportWritesTheEditorsBlocks) {
  ASSERT_EQ(Run({"new", file}).code, 0);
  ASSERT_EQ(Run({"add", file, "A"}, "x").code, 0);
  ASSERT_EQ(Run({"add", file, "B"}, "y").code, 0);
  const std::string out = dir.File("out.txt");
  const Result r = Run({"export", file, out});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "") << "no progress line when standard error is not a terminal";
  EXPECT_EQ(test::ReadFile(out), std::string("[\xB5\xDA"
                                             "1\xC6\xAA]A\r\nx\r\n\0[\xB5\xDA"
                                             "2\xC6\xAA]B\r\ny\r\n\0",
                                             28));
  const Result bad = Run({"export", file, dir.File("no/dir/out.txt")});
  EXPECT_EQ(bad.code, 1);
  EXPECT_EQ(bad.err, "nvx: " + dir.File("no/dir/out.txt") + ": cannot write\n");
  EXPECT_EQ(Run({"export", dir.File("missing.nvx"), out}).code, 1);
}

TEST_F(NvxTool, ExportNeverReplacesItsOwnCollectionOrASpecialFile) {
  ASSERT_EQ(Run({"new", file}).code, 0);
  ASSERT_EQ(Run({"add", file, "A"}, "x").code, 0);
  const std::string before = test::ReadFile(file);
  const std::string link = dir.File("link.txt");
  std::filesystem::create_symlink(file, link);
  const std::string fifo = dir.File("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

  const std::pair<std::string, std::string> rows[] = {
      {file, "is the collection being exported"},
      {link, "is the collection being exported"},
      {fifo, "not a regular file"},
      {"/dev/null", "not a regular file"},
  };
  for (const auto& [target, reason] : rows) {
    SCOPED_TRACE(target);
    const Result r = Run({"export", file, target});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "nvx: " + target + ": " + reason + "\n");
  }
  EXPECT_EQ(test::ReadFile(file), before);
  EXPECT_EQ(Run({"list", file}).out, "1\tA\n");
}

// A FIFO named as the collection would block an open for ever: it is refused first.
TEST_F(NvxTool, SpecialFilesAreRefusedWithoutBlocking) {
  const std::string fifo = dir.File("fifo.nvx");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  ASSERT_EQ(Run({"new", file}).code, 0);
  const std::vector<std::string> rows[] = {
      {"list", fifo},
      {"cat", fifo, "1"},
      {"add", fifo, "t"},
      {"check", fifo},
      {"export", fifo, dir.File("out.txt")},
      {"new", fifo},
      {"list", dir.Path().string()},
  };
  for (const auto& args : rows) {
    SCOPED_TRACE(args[0]);
    const Result r = Run(args, "text");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "nvx: " + args[1] + ": not a regular file\n");
  }
  EXPECT_TRUE(std::filesystem::is_fifo(fifo));
}

TEST_F(NvxTool, OutputThatCannotBeWrittenFailsTheCommand) {
  ASSERT_EQ(Run({"new", file}).code, 0);
  ASSERT_EQ(Run({"add", file, "A"}, std::string(100000, 'x')).code, 0);
  const std::vector<std::string> rows[] = {{"list", file}, {"cat", file, "1"}, {"check", file}, {"--help"}};
  for (const auto& args : rows) {
    SCOPED_TRACE(args[0]);
    const Result r = Run(args, "", "/dev/full");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "nvx: cannot write output\n");
  }
}

// Input is taken only as well-formed UTF-8; the message names the first bad byte.
TEST_F(NvxTool, AddRefusesTextThatIsNotStrictUtf8) {
  ASSERT_EQ(Run({"new", file}).code, 0);
  const struct {
    const char* name;
    std::string title;
    std::string input;
    std::string reason;
  } rows[] = {
      {"overlong zero", "t",
       "abc\xC0\x80"
       "def",
       "the text is not valid UTF-8 (byte offset 3)"},
      {"overlong A", "t", "\xC1\x81", "the text is not valid UTF-8 (byte offset 0)"},
      {"surrogate", "t", "ab\xED\xA0\x80", "the text is not valid UTF-8 (byte offset 2)"},
      {"past U+10FFFF", "t", "\xF4\x90\x80\x80", "the text is not valid UTF-8 (byte offset 0)"},
      {"overlong slash in the title", "a\xC0\xAF", "x", "the title is not valid UTF-8 (byte offset 1)"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const Result r = Run({"add", file, row.title}, row.input);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "nvx: " + file + ": " + row.reason + "\n");
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(Run({"list", file}).out, "") << "nothing was stored";
}

// An insert counts only when its row is found in the file afterwards; a damaged or busy file is
// not written at all.
TEST_F(NvxTool, AddSaysWhenTheArticleWasNotStored) {
  ASSERT_EQ(Run({"new", file}).code, 0);
  Sql("CREATE TRIGGER gone AFTER INSERT ON nr BEGIN DELETE FROM nr WHERE id = new.id; END");
  Result r = Run({"add", file, "t"}, "text");
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "nvx: " + file + ": the article was not stored\n");
  EXPECT_EQ(r.out, "");
  Sql("DROP TRIGGER gone");

  for (int i = 0; i < 40; ++i)
    ASSERT_EQ(Run({"add", file, "article"}, std::string(3000, char('a' + i % 26))).code, 0);
  std::string bytes = test::ReadFile(file);
  for (std::size_t i = 4096 + 20; i < 4096 + 400; ++i) bytes[i] = '\x55';  // scribble over a b-tree page
  const std::string damaged = dir.File("damaged.nvx");
  test::WriteFile(damaged, bytes);
  r = Run({"add", damaged, "t"}, "text");
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "nvx: " + damaged + ": damaged (run nvx check)\n");
  EXPECT_EQ(test::ReadFile(damaged), bytes);

  const test::ExclusiveWriter other(file);
  ASSERT_TRUE(other.Held());
  r = Run({"add", file, "t"}, "text");
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "nvx: " + file + ": is busy (another program is writing it)\n");
}

// Replacing a file on a full disk fails and keeps the file that was there.
TEST_F(NvxTool, AFullDiskKeepsTheEarlierFiles) {
  test::SmallDisk disk(dir.Path() / "disk", 256 * 1024);
  if (!disk.Mounted()) GTEST_SKIP() << "no right to mount a tmpfs here";
  ASSERT_EQ(Run({"new", file}).code, 0);
  for (int i = 0; i < 20; ++i) ASSERT_EQ(Run({"add", file, "t"}, std::string(20000, 'z')).code, 0);
  const std::string collection = disk.File("books.nvx");
  const std::string exported = disk.File("books.txt");
  ASSERT_EQ(Run({"new", collection}).code, 0);
  ASSERT_EQ(Run({"add", collection, "kept"}, "text").code, 0);
  test::WriteFile(exported, "the earlier export");
  const std::string collectionBefore = test::ReadFile(collection);

  Result r = Run({"export", file, exported});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "nvx: " + exported + ": cannot write\n");
  disk.Fill();
  r = Run({"new", collection});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "nvx: " + collection + ": cannot write\n");
  EXPECT_EQ(test::ReadFile(exported), "the earlier export");
  EXPECT_EQ(test::ReadFile(collection), collectionBefore);
  EXPECT_EQ(disk.Names(), "books.nvx books.txt ");
}

// What nvx shows on a terminal (standard output and error together), with its exit status.
std::pair<std::string, int> RunOnTerminal(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  std::vector<std::string> copy = args;
  for (auto& a : copy) argv.push_back(a.data());
  argv.push_back(nullptr);
  int terminal = -1;
  const pid_t child = ::forkpty(&terminal, nullptr, nullptr, nullptr);
  if (child < 0) return {"forkpty failed", -1};
  if (child == 0) {
    ::execv(NVX_TOOL_PATH, argv.data());
    ::_exit(127);
  }
  std::string shown;
  char chunk[256];
  ssize_t n;
  while ((n = ::read(terminal, chunk, sizeof chunk)) > 0) shown.append(chunk, static_cast<std::size_t>(n));
  ::close(terminal);
  int status = 0;
  ::waitpid(child, &status, 0);
  return {shown, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

// On a terminal, export and check show how far they are on standard error and wipe the line at
// the end.
TEST_F(NvxTool, ExportAndCheckShowProgressOnATerminal) {
  ASSERT_EQ(Run({"new", file}).code, 0);
  for (const char* title : {"A", "B", "C"}) ASSERT_EQ(Run({"add", file, title}, "x").code, 0);
  const std::string out = dir.File("out.txt");
  const auto [exported, exportCode] = RunOnTerminal({"nvx", "export", file, out});
  EXPECT_EQ(exportCode, 0);
  EXPECT_NE(exported.find("\rexport: 3 / 3"), std::string::npos) << exported;
  EXPECT_EQ(exported.substr(exported.size() - 4), "\r\033[K");
  EXPECT_EQ(test::ReadFile(out).size(), 3 * 14u);

  const auto [checked, checkCode] = RunOnTerminal({"nvx", "check", file});
  EXPECT_EQ(checkCode, 0);
  EXPECT_NE(checked.find("\rcheck: 3 / 3\r\033[K"), std::string::npos) << checked;
  EXPECT_NE(checked.find("sound article database"), std::string::npos) << checked;
}

// Each command says what went wrong one way: one line, the exit code its answers leave free.
TEST_F(NvxTool, ErrorsAreSaidOnceWithTheRightExitCode) {
  ASSERT_EQ(Run({"new", file}).code, 0);
  ASSERT_EQ(Run({"add", file, "one"}, "text").code, 0);
  const std::string made = dir.File("made/by/backup");
  struct Row {
    const char* name;
    std::vector<std::string> args;
    std::string out;  // where standard output goes; the test's own file when empty
    int code;
    std::string errStart;
    std::string outHas;
  };
  const Row rows[] = {
      {"grep's output fails",
       {"grep", file, "text"},
       "/dev/full",
       2,
       "nvx: " + file + ": cannot write output\n",
       ""},
      {"diff's output fails",
       {"diff", file, file},
       "/dev/full",
       2,
       "nvx: " + file + ": cannot write output\n",
       ""},
      {"add's id is not written",
       {"add", file, "two"},
       "/dev/full",
       1,
       "nvx: " + file + ": cannot write output\n",
       ""},
      {"unknown command", {"frobnicate", file}, "", 2, "nvx: unknown command frobnicate\nUsage: nvx", ""},
      {"id not a number",
       {"cat", file, "abc"},
       "",
       2,
       "nvx: the article id is a whole number: abc\nUsage: nvx",
       ""},
      {"id with more",
       {"cat", file, "1 OR 1=1"},
       "",
       2,
       "nvx: the article id is a whole number: 1 OR 1=1\nUsage: nvx",
       ""},
      {"one article", {"stat", file}, "", 0, "", "total\t1 article\t"},
      {"backup into a missing folder", {"backup", file, "--dir", made}, "", 0, "", made + "/books-"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const Result r = Run(row.args, "x", row.out);
    EXPECT_EQ(r.code, row.code);
    EXPECT_EQ(r.err.substr(0, row.errStart.size()), row.errStart);
    if (row.errStart.find("Usage") == std::string::npos) {
      EXPECT_EQ(r.err.size(), row.errStart.size()) << "said once: " << r.err;
    }
    EXPECT_NE(r.out.find(row.outHas), std::string::npos) << r.out;
  }
  EXPECT_EQ(Run({"list", file}).out, "1\tone\n") << "an add whose id was not written stored nothing";
}

TEST_F(NvxTool, WrongUsageShowsTheUsageText) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {}, {"frobnicate", file}, {"list"}, {"cat", file}, {"add", file}, {"new", file, "extra"}}) {
    const Result r = Run(args);
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("Usage: nvx"), std::string::npos);
  }
  const Result help = Run({"--help"});
  EXPECT_EQ(help.code, 0);
  for (const char* command :
       {"new FILE", "list FILE", "cat FILE ID", "add FILE TITLE", "check FILE", "export FILE OUT"})
    EXPECT_NE(help.out.find(command), std::string::npos) << command;
}

}  // namespace
}  // namespace nvx
