// nvx convert, clean and dups, run as a user's script would run them; conversion is checked
// against the opencc command itself.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "support/sqlite_file.h"
#include "test_support.h"
#include "tool/nvx_runner.h"

namespace nvx {
namespace {

using Result = test::NvxResult;

// Titles and texts with CR LF and LF line ends, a lone CR, characters outside GBK (an emoji,
// Extension B), a zero-width joiner and text OpenCC converts differently on a second pass.
const std::vector<std::pair<std::string, std::string>> kArticles = {
    {"第一章 鼠标", "鼠标里面的硅二极管坏了，要我在网上搜索。\r\n　　他说：“头发干了。”\r\n"},
    {"第二章 後來", "後來他們回到臺灣，基於單元測試的結果。\n于是😀和𠀀都在。\r"},
    {"", "没有标题的文章\r\n"},
    {"第四章 空", ""},
    {"Chapter 5 English", "Only ASCII text.\r\n"},
    {"第六章 乾隆", "乾隆皇帝下江南，发现了一个干净的地方。\r\n基于单元"},
};

class TidyCommands : public ::testing::Test {
 protected:
  Result Run(const std::vector<std::string>& args) { return test::RunNvx(dir, args); }

  void SetUp() override {
    ASSERT_EQ(Run({"new", file}).code, 0);
    for (const auto& [title, text] : kArticles) {
      ASSERT_EQ(test::RunNvx(dir, {"add", file, title.empty() ? "x" : title}, text).code, 0);
    }
    Sql("UPDATE nr SET name='' WHERE rowid=3");
    Sql("UPDATE nr SET ksid=rowid*7, ys=NULL");
  }

  void Sql(const std::string& statement) { EXPECT_TRUE(test::ExecFile(file, statement)) << statement; }

  std::string Query(const std::string& sql) {
    const std::string command = "sqlite3 " + test::ShellQuote(file) + " " + test::ShellQuote(sql) + " >" +
                                test::ShellQuote(dir.File("query"));
    EXPECT_EQ(std::system(command.c_str()), 0);
    return test::ReadFile(dir.File("query"));
  }

  // What the opencc command makes of `text`.
  std::string OpenCC(const std::string& config, const std::string& text) {
    test::WriteFile(dir.File("in.txt"), text);
    const std::string command = "opencc -c " + config + " -i " + test::ShellQuote(dir.File("in.txt")) +
                                " -o " + test::ShellQuote(dir.File("out.txt"));
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return test::ReadFile(dir.File("out.txt"));
  }

  test::TempDir dir;
  std::string file = dir.File("books.nvx");
};

TEST_F(TidyCommands, ConvertEqualsOpenCCForEveryTitleAndText) {
  const std::string state = Query("SELECT rowid,ksid,zt,ztdx,quote(ys),xg FROM nr");
  for (const char* config : {"s2t", "t2s.json", "s2twp", "/usr/share/opencc/tw2sp.json"}) {
    SCOPED_TRACE(config);
    for (int pass = 0; pass < 2; ++pass) {  // OpenCC is not always idempotent: a second pass equals it too
      std::vector<std::pair<std::string, std::string>> expected;
      for (std::size_t i = 0; i < kArticles.size(); ++i) {
        const std::string id = std::to_string(i + 1);
        const std::string title = Query("SELECT name FROM nr WHERE rowid=" + id);
        expected.emplace_back(OpenCC(config, title.substr(0, title.size() - 1)),
                              OpenCC(config, Run({"cat", file, id}).out));
      }
      const Result r = Run({"convert", file, "--config", config});
      ASSERT_EQ(r.code, 0) << r.err;
      for (std::size_t i = 0; i < kArticles.size(); ++i) {
        const std::string id = std::to_string(i + 1);
        EXPECT_EQ(Query("SELECT name FROM nr WHERE rowid=" + id), expected[i].first + "\n") << id;
        EXPECT_EQ(Run({"cat", file, id}).out, expected[i].second) << id;
      }
    }
  }
  EXPECT_EQ(Query("SELECT rowid,ksid,zt,ztdx,quote(ys),xg FROM nr"), state) << "reading state kept";
  EXPECT_EQ(Run({"check", file}).code, 0);
}

TEST_F(TidyCommands, ConvertChoosesWhatToConvertAndCountsInADryRun) {
  const std::string before = test::ReadFile(file);
  Result r = Run({"convert", file, "--config", "s2t", "--dry-run"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "would change 4 articles, 21 characters\n");
  EXPECT_EQ(test::ReadFile(file), before) << "byte for byte";

  r = Run({"convert", file, "--config", "s2t", "--titles-only", "--range", "1-2"});
  EXPECT_EQ(r.out, "changed 1 articles, 1 characters\n");
  EXPECT_EQ(Run({"cat", file, "1"}).out, kArticles[0].second);
  r = Run({"convert", file, "--config", "s2t", "--texts-only", "--range", "6-"});
  EXPECT_EQ(r.out, "changed 1 articles, 7 characters\n");
  EXPECT_EQ(Run({"list", file}).out,
            "1\t第一章 鼠標\n2\t第二章 後來\n3\t\n4\t第四章 空\n5\tChapter 5 English\n6\t第六章 乾隆\n");
}

// Junk lines of the kinds web-novel files carry, each one the built-in rules must remove.
const char* const kJunkLines[] = {
    "天才一秒记住本站地址：www.biquge.com 最快更新！无广告！",
    "笔趣阁 最快更新大明王朝最新章节！",
    "手机用户请浏览阅读，更好的阅读体验。",
    "本章未完，请点击下一页继续阅读》》",
    "请记住本书首发域名：xbiquge.la。",
    "https://www.69shu.com/txt/123.htm",
    "ｗｗｗ．ｂｉｑｕｇｅ．ｃｏｍ",
    "求月票！求推荐票！",
};

TEST_F(TidyCommands, CleanRemovesTheInjectedJunkAndNothingElse) {
  const std::string rules = std::string(NVX_SOURCE_DIR) + "/dist/clean-rules.txt";
  // A clean book: the sample poems, and prose with notes, numbers and Latin letters.
  std::vector<std::string> texts;
  for (const char* poem :
       {"01-静夜思.txt", "02-春晓.txt", "03-登鹳雀楼.txt", "04-道德经·第一章.txt", "05-论语·学而.txt"})
    texts.push_back(test::ReadFile(std::string(NVX_SOURCE_DIR) + "/scripts/sample/" + poem));
  texts.push_back("　　他说：“明天见。”（注：此处原文如此）\r\n　　2023年，他在Apple公司工作。\r\n");
  texts.push_back("　　“求你了。”她说，“收藏好这封信。”\r\n　　网上说，最新的消息是假的。\r\n");
  const std::string clean = dir.File("clean.nvx"), junk = dir.File("junk.nvx");
  ASSERT_EQ(Run({"new", clean}).code, 0);
  ASSERT_EQ(Run({"new", junk}).code, 0);
  for (const auto& text : texts) ASSERT_EQ(test::RunNvx(dir, {"add", clean, "章"}, text).code, 0);
  Result r = Run({"clean", clean, "--rules", rules, "--dry-run"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "would remove 0 lines and 0 matches in 0 articles\n") << "a clean book stays as it is";

  // Junk lines between the lines of articles 1, 2 and 6, and a note inside a line of article 2.
  std::mt19937 random(7);
  for (std::size_t j = 0; j < std::size(kJunkLines); ++j) {
    std::string& text = texts[j % 3 == 0 ? 0 : j % 3 == 1 ? 1 : 5];
    const std::size_t at = text.find('\n', random() % text.size());
    text.insert(at == std::string::npos ? 0 : at + 1, std::string(kJunkLines[j]) + "\r\n");
  }
  texts[1].insert(texts[1].find('\n'), "（未完待续。）");
  for (const auto& text : texts) ASSERT_EQ(test::RunNvx(dir, {"add", junk, "章"}, text).code, 0);
  r = Run({"diff", clean, junk});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("4 same, 0 added, 0 removed, 3 changed\n"), std::string::npos) << r.out;

  r = Run({"clean", junk, "--rules", rules, "--dry-run"});
  EXPECT_EQ(r.out.substr(r.out.rfind("would")), "would remove 8 lines and 1 matches in 3 articles\n");
  EXPECT_NE(r.out.find("2\t1\ttext\t（未完待续。）\n"), std::string::npos) << r.out;
  r = Run({"clean", junk, "--rules", rules});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "removed 8 lines and 1 matches in 3 articles\n");
  r = Run({"diff", clean, junk});
  EXPECT_EQ(r.code, 0) << r.out;
}
TEST_F(TidyCommands, RefusalsWriteNothing) {
  test::WriteFile(dir.File("bad-rule.txt"), "# junk\nline:广告\n\ntext:第(\n");
  test::WriteFile(dir.File("empty-match.txt"), "line:广告\nline:x*\n");
  test::WriteFile(dir.File("runaway.txt"), "# backtracks without end on a long line\nline:^(a|aa)+$\n");
  test::WriteFile(dir.File("rules.txt"), "line:鼠标\n");
  ASSERT_EQ(test::RunNvx(dir, {"add", file, "a"}, std::string(60, 'a') + "!").code, 0);
  struct Row {
    const char* name;
    std::vector<std::string> args;
    int code;
    std::string err;  // the first line on standard error
  };
  const Row rows[] = {
      {"unknown configuration", {"convert", file, "--config", "s2x"}, 2, "nvx: bad --config: s2x: s2x.json"},
      {"both halves left out",
       {"convert", file, "--config", "s2t", "--titles-only", "--texts-only"},
       2,
       "nvx: --titles-only and --texts-only exclude each other"},
      {"bad range", {"convert", file, "--config", "s2t", "--range", "3-1"}, 2, "nvx: --range is A-B or A-"},
      {"bad rule",
       {"clean", file, "--rules", dir.File("bad-rule.txt")},
       1,
       "nvx: " + dir.File("bad-rule.txt") +
           ": line 4: missing closing "
           "parenthesis at offset 4"},
      {"rule matching the empty text",
       {"clean", file, "--rules", dir.File("empty-match.txt")},
       1,
       "nvx: " + dir.File("empty-match.txt") + ": line 2: matches the empty text"},
      {"rule that runs away",
       {"clean", file, "--rules", dir.File("runaway.txt")},
       1,
       "nvx: " + file + ": article 7: " + dir.File("runaway.txt") +
           ": rule on line 2 runs away (match limit)"},
      {"no rules file",
       {"clean", file, "--rules", dir.File("none")},
       1,
       "nvx: " + dir.File("none") + ": cannot read"},
      {"near below 50", {"dups", file, "--near", "30"}, 2, "nvx: --near is a percentage from 50 to 100"},
  };
  const std::string before = test::ReadFile(file);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const Result r = Run(row.args);
    EXPECT_EQ(r.code, row.code);
    EXPECT_EQ(r.err.substr(0, row.err.size()), row.err) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(test::ReadFile(file), before);
  }

  // An article that does not unpack, a write a trigger refuses halfway, a damaged file.
  const std::vector<std::vector<std::string>> commands = {{"convert", file, "--config", "s2t"},
                                                          {"clean", file, "--rules", dir.File("rules.txt")},
                                                          {"dups", file}};
  Sql("UPDATE nr SET nr=X'0D0F3E0310000000789C0000' WHERE rowid=4");
  for (const auto& command : commands) {
    const Result r = Run(command);
    EXPECT_EQ(r.code, command[0] == "dups" ? 2 : 1);
    EXPECT_EQ(r.err, "nvx: " + file + ": article 4: content does not unpack\n");
  }
  Sql("UPDATE nr SET nr=NULL WHERE rowid=4");
  Sql("CREATE TRIGGER full BEFORE UPDATE ON nr WHEN NEW.rowid=6 BEGIN SELECT RAISE(ABORT, 'disk full'); END");
  const std::string withTrigger = test::ReadFile(file);
  EXPECT_EQ(Run(commands[0]).err, "nvx: " + file + ": cannot write article 6; nothing was changed\n");
  EXPECT_EQ(test::ReadFile(file), withTrigger);
  EXPECT_EQ(Run({"cat", file, "1"}).out, kArticles[0].second);

  Sql("DROP TRIGGER full");
  Sql("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<40) "
      "INSERT INTO nr(name,nr) SELECT 'x', randomblob(3000) FROM n");
  std::string bytes = test::ReadFile(file);
  for (std::size_t i = 4096 + 20; i < 4096 + 400; ++i) bytes[i] = '\x55';  // scribble over a b-tree page
  test::WriteFile(file, bytes);
  for (const auto& command : commands) {
    const Result r = Run(command);
    EXPECT_EQ(r.code, command[0] == "dups" ? 2 : 1);
    EXPECT_EQ(r.err, "nvx: " + file + ": damaged (run nvx check)\n");
    EXPECT_EQ(test::ReadFile(file), bytes);
  }
}
TEST_F(TidyCommands, DupsPrintsRepeatedArticlesAndSaysSoInItsExitCode) {
  Result r = Run({"dups", file});
  EXPECT_EQ(r.code, 0) << r.err;  // article 4 is empty and pairs with nothing
  EXPECT_EQ(r.out, "");
  std::string chapter;
  for (int i = 0; i < 40; ++i) chapter += "第" + std::to_string(i) + "句，天下大势，分久必合，合久必分。\r\n";
  std::string edited = chapter;
  edited.replace(edited.rfind("第38句"), std::string::npos, "本站网址：abc");  // the last 5 %
  std::string respaced = "  " + chapter;
  for (std::size_t at = 0; (at = respaced.find("\r\n", at)) != std::string::npos;)
    respaced.replace(at, 2, "\n　");
  for (const auto& [title, text] : std::vector<std::pair<std::string, std::string>>{
           {"第七章", chapter}, {"第八章", ""}, {"第七章\t重复", respaced}, {"第九章", edited}})
    ASSERT_EQ(test::RunNvx(dir, {"add", file, title}, text).code, 0);
  r = Run({"dups", file});
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_EQ(r.out, "7\t9\t100\t第七章\t第七章 重复\n");
  r = Run({"dups", file, "--near", "80"});
  EXPECT_EQ(r.code, 1) << r.err;
  // The edited copy pairs with the chapter and with its exact copy, at an estimated 80 % or more.
  std::string pairs;  // each line with a near similarity of 80 or more shown as "≥80"
  for (std::size_t at = 0, end; (end = r.out.find('\n', at)) != std::string::npos; at = end + 1) {
    std::string line = r.out.substr(at, end - at + 1);
    const std::size_t from = line.find('\t', line.find('\t') + 1) + 1, to = line.find('\t', from);
    const int similarity = std::stoi(line.substr(from, to - from));
    if (similarity >= 80 && similarity < 100) line.replace(from, to - from, "≥80");
    pairs += line;
  }
  EXPECT_EQ(pairs,
            "7\t9\t100\t第七章\t第七章 重复\n7\t10\t≥80\t第七章\t第九章\n9\t10\t≥80\t第七章 重复\t第九章\n")
      << r.out;
}

TEST_F(TidyCommands, ImportConvertsTheChaptersItAdds) {
  const std::string book = "第一章 鼠标\n鼠标坏了，基于单元。\n第二章 头发\n头发干了。\n";
  test::WriteFile(dir.File("book.txt"), book);
  Result r = Run({"import", file, dir.File("book.txt"), "--convert", "s2twp"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(Run({"list", file}).out.substr(Run({"list", file}).out.find("7\t")),
            "7\t第一章 滑鼠\n8\t第二章 頭髮\n");
  EXPECT_EQ(Run({"cat", file, "7"}).out, OpenCC("s2twp", "鼠标坏了，基于单元。"));
  r = Run({"import", file, dir.File("book.txt"), "--convert", "nosuch"});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err.substr(0, 26), "nvx: bad --convert: nosuch");
}
}  // namespace
}  // namespace nvx
