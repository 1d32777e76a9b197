// nvx export to EPUB and import from EPUB, run as a user's script would run them.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "test_support.h"
#include "tool/nvx_runner.h"

namespace nvx {
namespace {

using Result = test::NvxResult;

const std::string kBook =
    "第一卷 风\n第一章 初见\n　　他来了。\n\n  & < >\n第二章 别离\n　　他走了。\n"
    "第二卷 雨\n第三章 重逢\n𠀀\n第四章 终\n完。\n";

class EpubCommands : public ::testing::Test {
 protected:
  Result Run(const std::vector<std::string>& args) { return test::RunNvx(dir, args); }

  void SetUp() override {
    ASSERT_EQ(Run({"new", file}).code, 0);
    test::WriteFile(dir.File("book.txt"), kBook);
    ASSERT_EQ(Run({"import", file, dir.File("book.txt")}).code, 0);
    setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
  }
  void TearDown() override { unsetenv("SOURCE_DATE_EPOCH"); }

  test::TempDir dir;
  std::string file = dir.File("books.nvx");
};

TEST_F(EpubCommands, ExportedBookImportsBackUnchanged) {
  const std::string epub = dir.File("风起.epub");
  Result r = Run({"export", file, epub, "--title", "风起", "--author", "某人"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, epub + ": 6 articles, 2 volumes, 6 files\n");
  const std::string first = test::ReadFile(epub);
  ASSERT_EQ(Run({"export", file, epub, "--title", "风起", "--author", "某人"}).code, 0);
  EXPECT_EQ(test::ReadFile(epub), first) << "SOURCE_DATE_EPOCH makes the same bytes";

  const std::string copy = dir.File("copy.nvx");
  ASSERT_EQ(Run({"new", copy}).code, 0);
  r = Run({"import", copy, epub});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "added 6 articles (ids 1-6), contents from the nav\n");
  r = Run({"diff", file, copy});
  EXPECT_EQ(r.code, 0) << r.out;

  // --range and --per: the third to the sixth article, two to a book.
  r = Run({"export", file, dir.File("part.epub"), "--range", "3-", "--per", "2"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(std::filesystem::exists(dir.File("part-2.epub")));
  EXPECT_FALSE(std::filesystem::exists(dir.File("part-3.epub")));
  EXPECT_FALSE(std::filesystem::exists(dir.File("part.epub")));
  r = Run({"import", copy, dir.File("part-2.epub"), "--dry-run"});
  EXPECT_EQ(r.out, "1\t第三章 重逢\t1\n2\t第四章 终\t2\ncontents nav; 2 articles\n");
}

TEST_F(EpubCommands, RefusedBookLeavesTheCollectionAsItWas) {
  const std::string before = test::ReadFile(file);
  test::WriteFile(dir.File("bad.epub"), "PK\x03\x04 not really a book");
  Result r = Run({"import", file, dir.File("bad.epub")});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err.rfind("nvx: " + dir.File("bad.epub") + ": damaged ZIP", 0), 0u) << r.err;
  EXPECT_EQ(test::ReadFile(file), before);

  // An empty range writes nothing; --per takes a positive number.
  r = Run({"export", file, dir.File("none.epub"), "--range", "9-"});
  EXPECT_EQ(r.code, 1);
  EXPECT_FALSE(std::filesystem::exists(dir.File("none.epub")));
  EXPECT_EQ(Run({"export", file, dir.File("x.epub"), "--per", "0"}).code, 2);
}

}  // namespace
}  // namespace nvx
