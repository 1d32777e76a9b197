// nvx import, grep, stat and export --split, run as a user's script would run them.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "base/codepage.h"
#include "store/book_import.h"
#include "support/sqlite_file.h"
#include "test_support.h"
#include "tool/nvx_runner.h"

namespace nvx {
namespace {

using Result = test::NvxResult;

// Chapters with a preface, a repeated heading, an empty chapter and a volume divider.
const std::string kBook =
    "《风起》 作者：某人\n\n"
    "第一卷 风\n"
    "第一章 初见\n\n第一章 初见\n　　他来了。\n\n"
    "第二章 空\n\n"
    "第三章 别离\n　　他走了。\n第二行\n";

class BookCommands : public ::testing::Test {
 protected:
  Result Run(const std::vector<std::string>& args) { return test::RunNvx(dir, args); }

  void SetUp() override { ASSERT_EQ(Run({"new", file}).code, 0); }

  std::string WriteBook(const std::string& name, const std::string& bytes) {
    const std::string path = dir.File(name);
    test::WriteFile(path, bytes);
    return path;
  }

  void Sql(const std::string& statement) { EXPECT_TRUE(test::ExecFile(file, statement)) << statement; }

  test::TempDir dir;
  std::string file = dir.File("books.nvx");
};

TEST_F(BookCommands, ImportAppendsTheChaptersAsNewArticles) {
  Sql("INSERT INTO nr(name) VALUES('已有')");
  const std::string book = WriteBook("风起.txt", kBook);
  const Result r = Run({"import", file, book});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "added 4 articles (ids 2-5), UTF-8, default\n");
  EXPECT_EQ(Run({"list", file}).out, "1\t已有\n2\t前言\n3\t第一卷 风\n4\t第一章 初见\n5\t第三章 别离\n");
  EXPECT_EQ(Run({"cat", file, "5"}).out, "　　他走了。\r\n第二行");
  EXPECT_EQ(Run({"cat", file, "3"}).out, "");
  EXPECT_EQ(Run({"check", file}).code, 0);
}

TEST_F(BookCommands, DryRunListsTheArticlesAndLeavesTheFileAlone) {
  const std::string before = test::ReadFile(file);
  const std::string book = WriteBook("book.txt", kBook + "第一章 初见\n又一次。\n");
  Result r = Run({"import", file, book, "--dry-run"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out,
            "1\t前言\t10\n2\t第一卷 风\t0\n3\t第一章 初见\t6\n4\t第三章 别离\t9\n5\t第一章 初见\t4\n"
            "encoding UTF-8; rule default; 5 articles; 1 empty dropped; duplicate titles: 第一章 初见 ×2; "
            "fallback: no; forms: 第N卷 ×1, 第N章 ×4\n");
  EXPECT_EQ(test::ReadFile(file), before) << "byte for byte";

  // Without headings the book is cut into pieces; a GBK file is told from its bytes.
  std::string plain;
  for (int i = 0; i < 220; ++i)
    plain += L("天下大势，分久必合，合久必分。天下大势，分久必合，合久必分。天下大势，分久必合，合久必分。"
               "天下大势，分久必合，合久必分。天下大势，分久必合，合久必分。天下大势，分久必合，合久必分。") +
             "\r\n";
  r = Run({"import", file, WriteBook("plain.txt", plain), "--dry-run"});
  EXPECT_EQ(r.out,
            "1\t第1节\t9900\n2\t第2节\t9900\n"
            "encoding GB18030; rule fallback; 2 articles; 0 empty dropped; duplicate titles: none; fallback: "
            "yes; forms: none\n");
  r = Run({"import", file, WriteBook("plain.txt", plain), "--max-chars", "100"});
  EXPECT_EQ(r.out, "added 2 articles (ids 1-2), GB18030, fallback\n");
}

TEST_F(BookCommands, ImportFailuresAddNothing) {
  const std::string usage = "Usage: nvx";
  const std::string undecodable = WriteBook("bad.txt", "\xB5\xDA\xD2\xBB\xD5\xC2\n\x81\x20");
  struct Row {
    const char* name;
    std::vector<std::string> args;
    int code;
    std::string err;  // the first line on standard error
  };
  const Row rows[] = {
      {"undecodable",
       {"import", file, undecodable},
       1,
       "nvx: " + undecodable + ": not valid GB18030 at byte 7 (use --encoding)"},
      {"UTF-8 cut inside its last character",
       {"import", file, WriteBook("cut.txt", "第一章\n正文\xE6\x96")},
       1,
       "nvx: " + dir.File("cut.txt") + ": looks like UTF-8 cut inside its last character at byte 16"},
      {"undecodable in the given encoding",
       {"import", file, undecodable, "--encoding", "UTF-8"},
       1,
       "nvx: " + undecodable + ": not valid UTF-8 at byte 0"},
      {"empty",
       {"import", file, WriteBook("empty.txt", "")},
       1,
       "nvx: " + dir.File("empty.txt") + ": no text"},
      {"blank",
       {"import", file, WriteBook("blank.txt", " \r\n　\n\t\n")},
       1,
       "nvx: " + dir.File("blank.txt") + ": no text"},
      {"missing book",
       {"import", file, dir.File("none.txt")},
       1,
       "nvx: " + dir.File("none.txt") + ": cannot read"},
      {"a folder as book",
       {"import", file, dir.Path().string()},
       1,
       "nvx: " + dir.Path().string() + ": cannot read"},
      {"bad rule",
       {"import", file, WriteBook("a.txt", kBook), "--rule", "第("},
       2,
       "nvx: bad --rule: missing closing parenthesis at offset 4"},
      {"rule matching an empty line: ",
       {"import", file, dir.File("a.txt"), "--rule", ""},
       2,
       "nvx: bad --rule: it matches an empty line"},
      {"rule matching an empty line: ^",
       {"import", file, dir.File("a.txt"), "--rule", "^"},
       2,
       "nvx: bad --rule: it matches an empty line"},
      {"rule matching an empty line: x*",
       {"import", file, dir.File("a.txt"), "--rule", "x*"},
       2,
       "nvx: bad --rule: it matches an empty line"},
      {"rule matching an empty line: (?=)",
       {"import", file, dir.File("a.txt"), "--rule", "(?=)"},
       2,
       "nvx: bad --rule: it matches an empty line"},
      {"unknown encoding",
       {"import", file, dir.File("a.txt"), "--encoding", "NO-SUCH"},
       2,
       "nvx: unknown encoding NO-SUCH"},
      {"bad --max-chars",
       {"import", file, dir.File("a.txt"), "--max-chars", "0"},
       2,
       "nvx: --max-chars needs a positive number"},
      {"not a collection",
       {"import", dir.File("a.txt"), dir.File("a.txt")},
       1,
       "nvx: " + dir.File("a.txt") + ": not a database"},
  };
  const std::string before = test::ReadFile(file);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const Result r = Run(row.args);
    EXPECT_EQ(r.code, row.code);
    EXPECT_EQ(r.err.substr(0, r.err.find('\n')), row.err);
    EXPECT_EQ(r.err.find(usage) != std::string::npos, row.code == 2);
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(test::ReadFile(file), before);
}

TEST_F(BookCommands, AFailureHalfwayAddsNothing) {
  Sql("INSERT INTO nr(name) VALUES('已有')");
  Sql("CREATE TRIGGER full BEFORE INSERT ON nr WHEN NEW.name='第三章 别离' BEGIN SELECT RAISE(ABORT, 'disk "
      "full'); END");
  const std::string book = WriteBook("book.txt", kBook);
  Result r = Run({"import", file, book});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "nvx: " + file + ": cannot write article 4; nothing was added\n");
  EXPECT_EQ(Run({"list", file}).out, "1\t已有\n");
  Sql("DROP TRIGGER full");

  if (geteuid() != 0) {  // permissions do not stop the superuser
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    r = Run({"import", file, book});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(Run({"list", file}).out, "1\t已有\n");
    ::chmod(file.c_str(), 0644);
  }
  EXPECT_EQ(Run({"import", file, book}).code, 0);
  EXPECT_EQ(Run({"list", file}).out.size(),
            std::string("1\t已有\n2\t前言\n3\t第一卷 风\n4\t第一章 初见\n5\t第三章 别离\n").size());
}

// Importing a book takes at most twice its size in memory, split into chapters or cut from
// one long line.
TEST_F(BookCommands, ImportMemoryStaysWithinTwiceTheBook) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer's own memory would count";
#endif
  std::vector<std::pair<std::string, long>> books;  // path, the size twice of which bounds memory
  {
    const std::string line = "　　天下大势，分久必合，合久必分。周末七国分争，并入于秦。";
    std::string chapters, oneLine;
    for (int chapter = 1; oneLine.size() < (24u << 20); ++chapter) {
      chapters += "第" + std::to_string(chapter) + "章\n";
      for (int i = 0; i < 200; ++i) {
        chapters += line + "\n";
        oneLine += line;
      }
    }
    // A GB18030 book's text is half as long again as its bytes once decoded: it is bounded by
    // twice its text, so its bytes and its text are never held whole side by side.
    books = {{WriteBook("chapters.txt", chapters), chapters.size()},
             {WriteBook("line.txt", oneLine), oneLine.size()},
             {WriteBook("gb18030.txt", *FromUtf8(chapters)), chapters.size()}};
  }  // the child starts from this process: its memory counts until nvx runs
  for (const auto& [book, size] : books) {
    SCOPED_TRACE(book);
    std::fflush(nullptr);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      if (!std::freopen("/dev/null", "w", stdout)) ::_exit(126);
      ::execl(NVX_TOOL_PATH, "nvx", "import", file.c_str(), book.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ASSERT_EQ(::wait4(child, &status, 0, &usage), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_LE(usage.ru_maxrss * 1024, 2 * size);
  }
}

TEST_F(BookCommands, GrepSearchesDecodedTexts) {
  ASSERT_EQ(
      Run({"import", file, WriteBook("a.txt", "第一章 甲\n他的情意\n第二章 乙\nＡＢＣ abc\n那时\n")}).code,
      0);
  struct Row {
    const char* name;
    std::vector<std::string> args;
    int code;
    std::string out;
  };
  const Row rows[] = {
      {"a hit per line", {"grep", file, "情"}, 0, "1\t第一章 甲\t1\t他的情意\n"},
      {"never across GB18030 bytes", {"grep", file, "那"}, 0, "2\t第二章 乙\t2\tＡＢＣ abc⏎那时\n"},
      {"nothing found", {"grep", file, "丙"}, 1, ""},
      {"-i on full-width letters", {"grep", file, "ａｂｃ", "-i"}, 0, "2\t第二章 乙\t1\tＡＢＣ abc⏎那时\n"},
      {"-c", {"grep", "-c", "-i", file, "abc"}, 0, "2\t第二章 乙\t1\n"},
      {"-E", {"grep", file, "-E", "^那."}, 0, "2\t第二章 乙\t2\tＡＢＣ abc⏎那时\n"},
      {"--titles", {"grep", file, "乙", "--titles"}, 0, "2\t第二章 乙\n"},
      {"bad pattern", {"grep", file, "-E", "("}, 2, ""},
      {"unknown option", {"grep", file, "x", "-z"}, 2, ""},
      {"missing file", {"grep", dir.File("none.nvx"), "x"}, 2, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const Result r = Run(row.args);
    EXPECT_EQ(r.code, row.code) << r.err;
    EXPECT_EQ(r.out, row.out);
    EXPECT_EQ(book::Utf8ValidPrefix(r.out), r.out.size());
  }
}

// Patterns that backtrack without end on every line or article share one budget for the whole
// command: they stop within seconds, not hours, and nothing is added.
TEST_F(BookCommands, RunawayPatternsStopAsTooCostly) {
  std::string lines;
  for (int i = 0; i < 3000; ++i) lines += std::string(30, 'a') + "b\n";
  Result r = Run({"import", file, WriteBook("a.txt", lines), "--rule", "^(a|aa)+$"});
  EXPECT_EQ(r.code, 2);
  EXPECT_TRUE(r.err.ends_with("; pattern too costly\n")) << r.err;
  EXPECT_EQ(Run({"list", file}).out, "");

  std::string book;
  for (int chapter = 1; chapter <= 60; ++chapter) {
    book += "第" + std::to_string(chapter) + "章\n";
    for (int line = 0; line < 100; ++line)
      book += "天下大势分久必合合久必分周末七国分争并入于秦天下大势分，久必合。\n";
  }
  ASSERT_EQ(Run({"import", file, WriteBook("b.txt", book)}).code, 0);
  r = Run({"grep", file, "-E", "(\\p{Han}|\\p{Han}\\p{Han})*\\d"});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "nvx: pattern too costly\n");
}

// An article's matches are written as they are found: output many times the article's size
// never has to fit in memory (here 128 MB for some 170 MB of output).
TEST_F(BookCommands, GrepMemoryIsBoundedByTheArticleNotItsOutput) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer's own memory is over the limit";
#endif
  std::string text;
  while (text.size() < 3'000'000) text += "天下大势，分久必合，合久必分。\n";
  ASSERT_EQ(test::RunNvx(dir, {"add", file, "大"}, text).code, 0);
  const std::string command = "ulimit -d 131072 && " + test::ShellQuote(NVX_TOOL_PATH) + " grep " +
                              test::ShellQuote(file) + " -E . >/dev/null";
  const int status = std::system(command.c_str());
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST_F(BookCommands, StatCountsCharactersAndLines) {
  ASSERT_EQ(Run({"import", file, WriteBook("a.txt", "第一章 甲\n一二三\n\n四\n第二章 乙\nabc\n")}).code, 0);
  Sql("UPDATE nr SET ksid=2 WHERE id=1");
  Sql("INSERT INTO nr(name) VALUES('空')");
  const Result r = Run({"stat", file});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "1\t第一章 甲\t4\t3\t2\n2\t第二章 乙\t3\t1\t0\n3\t空\t0\t0\t0\ntotal\t3 articles\t7\t4\n");
}

TEST_F(BookCommands, ExportSplitWritesOneFilePerArticle) {
  for (int i = 1; i <= 10; ++i) Sql("INSERT INTO nr(name, nr) VALUES('t" + std::to_string(i) + "', NULL)");
  ASSERT_EQ(Run({"import", file, WriteBook("a.txt", "第一章 a/b\n一\r\n二\n第二章 乙\n乙\n")}).code, 0);
  Sql("UPDATE nr SET name='.hidden' || char(9) || 'x' WHERE id=1");
  const std::filesystem::path out = dir.Path() / "out" / "deeper";
  std::filesystem::create_directories(out);
  test::WriteFile((out / "11-第一章 a_b.txt").string(), "old");
  test::WriteFile((out / "keep.txt").string(), "mine");

  Result r = Run({"export", file, out.string(), "--split", "--range", "11-"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(test::ReadFile((out / "11-第一章 a_b.txt").string()), "一\r\n二") << "replaced";
  EXPECT_EQ(test::ReadFile((out / "12-第二章 乙.txt").string()), "乙");
  EXPECT_EQ(test::ReadFile((out / "keep.txt").string()), "mine") << "other files untouched";
  std::size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(out)) files += entry.is_regular_file();
  EXPECT_EQ(files, 3u) << "no temporary files left";

  const std::filesystem::path all = dir.Path() / "all";
  r = Run({"export", file, all.string(), "--split", "--range", "1-2", "--encoding", "GB18030"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(std::filesystem::exists(all / "01-_hidden_x.txt"));
  EXPECT_TRUE(std::filesystem::exists(all / "02-t2.txt"));
  EXPECT_FALSE(std::filesystem::exists(all / "03-t3.txt"));
  r = Run({"export", file, all.string(), "--split", "--range", "12-12", "--encoding", "gb18030"});
  EXPECT_EQ(test::ReadFile((all / "12-第二章 乙.txt").string()), "\xD2\xD2");

  struct Row {
    const char* name;
    std::vector<std::string> args;
    int code;
  };
  const Row rows[] = {
      {"range backwards", {"export", file, all.string(), "--split", "--range", "5-2"}, 2},
      {"range of words", {"export", file, all.string(), "--split", "--range", "a-b"}, 2},
      {"range from 0", {"export", file, all.string(), "--split", "--range", "0-2"}, 2},
      {"range past the end", {"export", file, all.string(), "--split", "--range", "13-"}, 1},
      {"other encoding", {"export", file, all.string(), "--split", "--encoding", "big5"}, 2},
      {"folder that cannot be made", {"export", file, file + "/x", "--split"}, 1},
  };
  for (const Row& row : rows) EXPECT_EQ(Run(row.args).code, row.code) << row.name;

  // A title too long for a file name is cut on a character boundary.
  std::string longTitle;
  for (int i = 0; i < 100; ++i) longTitle += "长";
  Sql("UPDATE nr SET name='" + longTitle + "' WHERE id=2");
  const std::filesystem::path cut = dir.Path() / "cut";
  EXPECT_EQ(Run({"export", file, cut.string(), "--split", "--range", "2-2"}).code, 0);
  ASSERT_EQ(std::distance(std::filesystem::directory_iterator(cut), {}), 1);
  const std::string name = std::filesystem::directory_iterator(cut)->path().filename().string();
  EXPECT_LE(name.size(), 243u);
  EXPECT_EQ(name, "02-" + longTitle.substr(0, 234) + ".txt");
}

TEST_F(BookCommands, ExportSplitNeverWritesOverItsOwnCollection) {
  const std::filesystem::path folder = dir.Path() / "split";
  std::filesystem::create_directories(folder);
  const std::string own = (folder / "1-a.txt").string();
  ASSERT_EQ(Run({"new", own}).code, 0);
  test::ExecFile(own, "INSERT INTO nr(name) VALUES('a')");
  const std::string before = test::ReadFile(own);
  const Result r = Run({"export", own, folder.string(), "--split"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "nvx: " + own + ": is the collection itself\n");
  EXPECT_EQ(test::ReadFile(own), before);
}

// A link in the folder named like an output file is replaced by the file; what it points at,
// here a file outside the folder, is never written.
TEST_F(BookCommands, ExportSplitReplacesLinksAndNeverWritesThroughThem) {
  Sql("INSERT INTO nr(name) VALUES('第1章')");
  Sql("INSERT INTO nr(name) VALUES('第2章')");
  const std::filesystem::path folder = dir.Path() / "shared";
  const std::filesystem::path elsewhere = dir.Path() / "elsewhere";
  std::filesystem::create_directories(folder);
  std::filesystem::create_directories(elsewhere);
  test::WriteFile((elsewhere / "secret.txt").string(), "secret");
  std::filesystem::create_symlink("../elsewhere/secret.txt", folder / "1-第1章.txt");
  std::filesystem::create_symlink("../elsewhere/none.txt", folder / "2-第2章.txt");

  const Result r = Run({"export", file, folder.string(), "--split"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(test::ReadFile((elsewhere / "secret.txt").string()), "secret");
  EXPECT_FALSE(std::filesystem::exists(elsewhere / "none.txt"));
  for (const char* name : {"1-第1章.txt", "2-第2章.txt"})
    EXPECT_EQ(std::filesystem::symlink_status(folder / name).type(), std::filesystem::file_type::regular)
        << name;
}

TEST_F(BookCommands, HelpNamesTheBookCommands) {
  const Result help = Run({"--help"});
  for (const char* command :
       {"import FILE BOOK.txt", "grep FILE TEXT", "stat FILE", "export FILE DIR --split"})
    EXPECT_NE(help.out.find(command), std::string::npos) << command;
  EXPECT_EQ(Run({"import", file}).code, 2);
  EXPECT_EQ(Run({"stat"}).code, 2);
}

}  // namespace
}  // namespace nvx
