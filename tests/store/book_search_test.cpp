// Searching and counting decoded article texts, and the parallel walk that feeds them.
#include "store/book_search.h"
#include "store/book_import.h"

#include <gtest/gtest.h>

#include <map>

#include "base/codepage.h"
#include "store/article_file.h"
#include "store/article_walk.h"
#include "store/template_database.h"
#include "test_support.h"

namespace nvx::book {
namespace {

TEST(BookCounts, CharactersAndLines) {
  struct Row {
    const char* name;
    std::string text;
    std::int64_t characters;
    std::int64_t lines;
  };
  const Row rows[] = {
      {"empty", "", 0, 0},
      {"one line", "ab", 2, 1},
      {"CR LF is one line end", "第一\r\n第二", 4, 2},
      {"ending in a line end", "a\r\n", 1, 2},
      {"LF and lone CR", "a\nb\rc", 3, 3},
      {"blank lines", "\r\n\r\n", 0, 3},
      {"outside the BMP", "𠀀x", 2, 1},
  };
  for (const Row& row : rows) {
    const TextCounts counts = CountText(row.text);
    EXPECT_EQ(counts.characters, row.characters) << row.name;
    EXPECT_EQ(counts.lines, row.lines) << row.name;
  }
}

TEST(BookSearch, SnippetsAreWholeCharactersWithLineEndsMarked) {
  const std::string text = std::string("一二三四五六七八九十甲乙丙丁戊己庚辛壬癸子丑") + "\r\n" + "寅\t卯";
  struct Row {
    const char* name;
    std::string match;
    std::string snippet;
  };
  const Row rows[] = {
      {"at the start", "一", "一二三四五六七八九十甲乙丙丁戊己庚辛壬癸子"},
      {"twenty on each side", "子", "一二三四五六七八九十甲乙丙丁戊己庚辛壬癸子丑⏎寅 卯"},
      {"across the line end", "丑\r\n寅", "二三四五六七八九十甲乙丙丁戊己庚辛壬癸子丑⏎寅 卯"},
      {"at the end", "卯", "六七八九十甲乙丙丁戊己庚辛壬癸子丑⏎寅 卯"},
  };
  for (const Row& row : rows) {
    const std::size_t at = text.find(row.match);
    ASSERT_NE(at, std::string::npos);
    const std::string snippet = Snippet(text, at, at + row.match.size());
    EXPECT_EQ(snippet, row.snippet) << row.name;
    EXPECT_EQ(Utf8ValidPrefix(snippet), snippet.size()) << row.name;
  }
}

std::string Search(const std::string& needle, SearchOptions options, const std::string& text,
                   const std::string& title = "标题") {
  std::string error;
  const auto searcher = Searcher::Create(needle, options, &error);
  if (!searcher) return "error: " + error;
  ArticleJob job;
  job.id = 7;
  job.title = title;
  job.text = text;
  if (!searcher->Search(job)) return "failed";
  return job.output;
}

TEST(BookSearch, MatchesLinesCountsAndTitles) {
  const std::string text = "Alpha 的情\r\nＢｅｔａ beta\r\nalpha";
  SearchOptions plain, caseless, regex, count, titles;
  caseless.ignoreCase = true;
  regex.regex = true;
  count.countOnly = true;
  titles.titlesOnly = true;
  struct Row {
    const char* name;
    std::string needle;
    SearchOptions options;
    std::string output;
  };
  const Row rows[] = {
      {"plain, one line per match", "lpha", plain,
       "7\t标题\t1\tAlpha 的情⏎Ｂｅｔａ beta⏎alpha\n7\t标题\t3\tAlpha 的情⏎Ｂｅｔａ beta⏎alpha\n"},
      {"a character inside another's bytes in GB18030", "那", plain, ""},
      {"case matters by default", "ＢＥＴＡ", plain, ""},
      {"-i on full-width letters", "ｂｅｔａ", caseless, "7\t标题\t2\tAlpha 的情⏎Ｂｅｔａ beta⏎alpha\n"},
      {"-i on ASCII", "BETA", caseless, "7\t标题\t2\tAlpha 的情⏎Ｂｅｔａ beta⏎alpha\n"},
      {"-i takes the text literally", "a.p", caseless, ""},
      {"-E at line starts", "^al", regex, "7\t标题\t3\tAlpha 的情⏎Ｂｅｔａ beta⏎alpha\n"},
      {"-E at line ends before CR LF", "情$", regex, "7\t标题\t1\tAlpha 的情⏎Ｂｅｔａ beta⏎alpha\n"},
      {"-c", "a", count, "7\t标题\t4\n"},
      {"empty matches step on (once over CR LF)", "x*", SearchOptions{.regex = true, .countOnly = true},
       "7\t标题\t25\n"},
      {"--titles", "标", titles, "7\t标题\n"},
      {"--titles not the text", "Alpha", titles, ""},
      {"empty text", "", plain, "error: nothing to search for"},
      {"not UTF-8", "\xB5\xDA", plain, "error: the text to search for is not valid UTF-8"},
      {"bad pattern", "(", regex, "error: bad pattern: missing closing parenthesis at offset 1"},
  };
  for (const Row& row : rows) EXPECT_EQ(Search(row.needle, row.options, text), row.output) << row.name;
  EXPECT_EQ(Search("a", plain, "a", "tab\there"), "7\ttab here\t1\ta\n") << "a title keeps to its column";
}

class BookWalk : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto& image = TemplateDatabase();
    test::WriteFile(path, std::string(image.begin(), image.end()));
    ASSERT_TRUE(db.Open(path));
    ASSERT_TRUE(db.Execute("BEGIN"));
    for (int i = 1; i <= kArticles; ++i)
      ASSERT_TRUE(
          AddArticle(db, L("第") + std::to_string(i) + L("章"), ToByteArray(L("的情") + std::to_string(i))));
    ASSERT_TRUE(db.Execute("COMMIT"));
  }
  static constexpr int kArticles = 300;
  test::TempDir dir;
  std::string path = dir.File("walk.nvx");
  SqliteDB db;
};

TEST_F(BookWalk, HandsArticlesOverInOrderAndStopsWhenAsked) {
  std::vector<std::int64_t> ids;
  bool allDecoded = true;
  ASSERT_TRUE(WalkArticlesInParallel(
      db, Decoding::Utf8, [](ArticleJob& job) { job.output = job.text; },
      [&](ArticleJob& job) {
        ids.push_back(job.id);
        allDecoded = allDecoded && job.output == "的情" + std::to_string(job.id) &&
                     job.title == "第" + std::to_string(job.id) + "章" && job.place == job.id;
        return true;
      }));
  ASSERT_EQ(ids.size(), static_cast<std::size_t>(kArticles));
  for (int i = 0; i < kArticles; ++i) ASSERT_EQ(ids[i], i + 1);
  EXPECT_TRUE(allDecoded);

  std::string local;
  WalkArticlesInParallel(
      db, Decoding::LocalCodePage, [](ArticleJob&) {},
      [&](ArticleJob& job) {
        local = job.text;
        return false;
      });
  EXPECT_EQ(local, L("的情1")) << "undecoded texts stay GB18030; the walk stops after the first";
  EXPECT_EQ(CountArticles(db), kArticles);
}

// Titles reach the walk as the catalogue shows them: as stored when well-formed, with "?" for
// what does not convert otherwise.
TEST_F(BookWalk, TitlesAreShownAsTheCatalogueShowsThem) {
  ASSERT_TRUE(db.Execute("UPDATE nr SET name=x'FF' || CAST('" + L("章") + "' AS BLOB) WHERE id=2"));
  ASSERT_TRUE(db.Execute("UPDATE nr SET name=x'E2828C' WHERE id=3"));  // U+208C
  ASSERT_TRUE(db.Execute("UPDATE nr SET name=NULL WHERE id=4"));
  ASSERT_TRUE(db.Execute("UPDATE nr SET name=x'C181' || CAST('" + L("章") + "' AS BLOB) WHERE id=5"));
  std::map<std::int64_t, std::string> listed;
  ForEachTitleUtf8(db, [&](std::int64_t id, std::string_view title) {
    listed[id] = title;
    return id < 6;
  });
  WalkArticlesInParallel(
      db, Decoding::None, [](ArticleJob&) {},
      [&](ArticleJob& job) {
        EXPECT_EQ(job.title, listed[job.id]) << job.id;
        EXPECT_EQ(job.shownTitle, FromUtf8Lossy(listed[job.id])) << job.id;
        return job.id < 6;
      });
  EXPECT_EQ(listed[2], "?章");
  EXPECT_EQ(listed[3], "\xE2\x82\x8C");
  EXPECT_EQ(listed[5], "A章") << "an overlong form is read for what it encodes";
}

}  // namespace
}  // namespace nvx::book
