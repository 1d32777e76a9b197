// The text work behind nvx clean and nvx dups: junk rules line by line, and repeated texts found
// among many distinct ones.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>

#include "base/codepage.h"
#include "store/duplicate_finder.h"
#include "store/text_clean.h"

namespace nvx::text {
namespace {

TEST(CleanRules, RemoveLinesOrMatchesAndReportThem) {
  struct Row {
    const char* name;
    std::string rules;
    std::string text;
    std::string cleaned;
    std::vector<std::int64_t> lines;  // the lines of each removal
  };
  const Row rows[] = {
      {"a line rule takes the line and its line end", "广告", "一\r\n看广告了\r\n二", "一\r\n二", {2}},
      {"unprefixed is line:, # is a comment", "# c\n\nx\n", "x\n\ny", "\ny", {1}},
      {"every kind of line end", "line:^广告$", "广告\r一\n广告\r\n二\r\n广告", "一\n二\r\n", {1, 3, 5}},
      {"a text rule takes only its matches",
       "text:（未完待续）",
       "完了（未完待续）。（未完待续）\r\n",
       "完了。\r\n",
       {1, 1}},
      {"line rules first, then text rules in order", "text:b\ntext:ac\nline:x", "abc\nxb\n", "\n", {1, 1, 2}},
      {"nothing to remove", "text:广告", "正文\r\n", "正文\r\n", {}},
      {"a last line without a line end", "line:尾", "正文\r\n尾", "正文\r\n", {2}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::string error;
    const auto rules = CleanRules::Parse(row.rules, &error);
    ASSERT_TRUE(rules) << error;
    std::string text = row.text;
    std::vector<CleanRules::Removal> removed;
    ASSERT_TRUE(rules->Clean(text, &removed, &error)) << error;
    EXPECT_EQ(text, row.cleaned);
    std::vector<std::int64_t> lines;
    for (const auto& r : removed) lines.push_back(r.line);
    EXPECT_EQ(lines, row.lines);
  }
}

TEST(CleanRules, RefuseBadRulesWithTheirLineNumber) {
  const std::pair<std::string, std::string> rows[] = {
      {"# only comments\n\n", "no rules"},
      {"ok\ntext:(\n", "line 2: missing closing parenthesis at offset 1"},
      {"ok\r\n\r\nline:a?\r\n", "line 3: matches the empty text"},
      {"text:\n", "line 1: empty pattern"},
      {"ok\n\xFF\n", "line 2: not valid UTF-8"},
  };
  for (const auto& [rules, message] : rows) {
    std::string error;
    EXPECT_FALSE(CleanRules::Parse(rules, &error)) << rules;
    EXPECT_EQ(error, message);
  }
}

// Text of words drawn from a vocabulary with a few very common words, as prose has.
class Writer {
 public:
  explicit Writer(unsigned seed) : random_(seed) {
    std::uniform_int_distribution<int> character(0x4E00, 0x9FA5), length(1, 4);
    for (int w = 0; w < 5000; ++w) {
      std::u32string word;
      for (int k = length(random_); k > 0; --k) word += static_cast<char32_t>(character(random_));
      words_.push_back(word);
    }
  }

  std::u32string Text(int characters) {
    std::u32string text;
    std::uniform_real_distribution<double> u(0, 1);
    while (static_cast<int>(text.size()) < characters) {
      text += words_[static_cast<std::size_t>(std::pow(u(random_), 3) * words_.size())];
      if (u(random_) < 0.1) text += U"，";
      if (u(random_) < 0.03) text += U"。\r\n　　";
    }
    return text;
  }

  std::mt19937& Random() { return random_; }

 private:
  std::mt19937 random_;
  std::vector<std::u32string> words_;
};

// The text in the local code page, as the walks give it.
std::string Local(const std::u32string& text) {
  std::string out;
  for (char32_t c : text) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
    } else {
      out += {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
              static_cast<char>(0x80 | (c & 0x3F))};
    }
  }
  return *FromUtf8(out);
}

// 400 distinct chapters, 40 exact copies written with other spaces and line ends, and 100 copies
// with up to 5 % of their characters changed or added at the start or the end.
TEST(DuplicateFinder, FindsTheCopiesAndNoFalsePairs) {
  Writer writer(21);
  std::vector<std::u32string> originals;
  std::vector<TextPrint> prints;
  std::uniform_int_distribution<int> length(1500, 6000);
  for (int i = 0; i < 400; ++i) {
    originals.push_back(writer.Text(length(writer.Random())));
    prints.push_back(MakePrint(i + 1, Local(originals.back()), true));
  }
  std::set<std::pair<std::int64_t, std::int64_t>> exact, near;
  for (int i = 0; i < 40; ++i) {
    std::string copy = Local(originals[i * 7]);
    for (std::size_t at = 0; (at = copy.find("\r\n", at)) != std::string::npos;) copy.replace(at, 2, " \n");
    prints.push_back(MakePrint(1001 + i, "  " + copy + "\r\n", true));
    exact.insert({i * 7 + 1, 1001 + i});
  }
  for (int i = 0; i < 100; ++i) {
    std::u32string copy = originals[i * 3 + 1];
    const std::size_t changed = copy.size() * (i % 5 + 1) / 100;  // 1 % to 5 %
    const std::u32string other = writer.Text(static_cast<int>(changed)).substr(0, changed);
    switch (i % 4) {
      case 0: copy.replace(0, changed, other); break;
      case 1: copy.replace(copy.size() - changed, changed, other); break;
      case 2: copy = other + copy; break;
      case 3: copy += other; break;
    }
    prints.push_back(MakePrint(2001 + i, Local(copy), true));
    near.insert({i * 3 + 2, 2001 + i});
  }
  std::size_t exactFound = 0, nearFound = 0;
  for (const auto& pair : FindDuplicates(prints, 80)) {
    EXPECT_FALSE(pair.first <= 400 && pair.second <= 400) << pair.first << " " << pair.second;
    if (exact.count({pair.first, pair.second})) {
      EXPECT_EQ(pair.similarity, 100);
      ++exactFound;
    }
    if (near.count({pair.first, pair.second})) ++nearFound;
  }
  EXPECT_EQ(exactFound, exact.size());
  EXPECT_GE(nearFound * 100, near.size() * 95);
  EXPECT_EQ(FindDuplicates(prints, 0).size(), exact.size()) << "exact pairs alone";
}

}  // namespace
}  // namespace nvx::text
