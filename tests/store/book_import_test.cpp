// Telling a book's encoding, finding its headings and cutting it into articles, also in books
// nobody here wrote, from Debian packages the test setup installs.
#include "store/book_import.h"
#include "store/text_pattern.h"

#include <gtest/gtest.h>
#include <iconv.h>
#include <sqlite3.h>
#include <zlib.h>

#include <filesystem>

#include "base/codepage.h"
#include "store/article_schema.h"
#include "store/packed_content.h"
#include "store/template_database.h"
#include "test_support.h"

namespace nvx::book {
namespace {

std::string Repeat(std::string_view s, std::size_t n) {
  std::string out;
  for (std::size_t i = 0; i < n; ++i) out += s;
  return out;
}

// `utf8` in another encoding, through the system's converter.
std::string Encode(const std::string& utf8, const char* to) {
  iconv_t cd = iconv_open(to, "UTF-8");
  std::string out(utf8.size() * 4 + 16, '\0');
  char* in = const_cast<char*>(utf8.data());
  std::size_t inLeft = utf8.size();
  char* o = out.data();
  std::size_t outLeft = out.size();
  const std::size_t rc = iconv(cd, &in, &inLeft, &o, &outLeft);
  iconv_close(cd);
  EXPECT_NE(rc, static_cast<std::size_t>(-1)) << to;
  out.resize(out.size() - outLeft);
  return out;
}

std::vector<std::string> Titles(const SplitBook& book) {
  std::vector<std::string> t;
  for (const auto& a : book.articles) t.push_back(a.title);
  return t;
}

TEST(BookHeadings, DefaultRuleTakesHeadingsAndLeavesProse) {
  const std::string nbsp = "\u00A0";
  struct Row {
    const char* name;
    std::string line;
    std::string form;  // empty: prose
  };
  const std::string thirty = Repeat("字", 30);
  const Row rows[] = {
      {"chapter", "第一章 风起", "第N章"},
      {"arabic numeral", "第12章 重逢", "第N章"},
      {"full-width digits", "第１２章 重逢", "第N章"},
      {"one thousand and one", "第一千零一章 夜", "第N章"},
      {"two hundred with 两", "第两百章", "第N章"},
      {"financial numerals", "第壹佰贰拾章 归来", "第N章"},
      {"nine numerals", "第一二三四五六七八九章", "第N章"},
      {"ten numerals", "第一二三四五六七八九十章", ""},
      {"hui", "第一回 宴桃园豪杰三结义", "第N回"},
      {"jie with separator", "第三节 初见", "第N节"},
      {"juan alone", "第二卷", "第N卷"},
      {"ji", "第一集 开端", "第N集"},
      {"bu", "第一部：风云", "第N部"},
      {"pian", "第一篇 序", "第N篇"},
      {"after 正文", "正文 第一章 开始", "第N章"},
      {"after 正文 without a space", "正文第一章", "第N章"},
      {"four ASCII spaces", "    第一章", "第N章"},
      {"two full-width spaces", "　　第一章 标题", "第N章"},
      {"a tab", "\t第一章", "第N章"},
      {"five spaces", "     第一章", ""},
      {"trailing spaces", "第一章 风起 \t　", "第N章"},
      {"volume and chapter", "第九卷 第二章 标题", "第N章"},
      {"title in quotes", "第五章 “你好”他说", "第N章"},
      {"title in brackets", "第五回【大战】", "第N回"},
      {"title straight after 章", "第五章重逢", "第N章"},
      {"colon", "第五章：重逢", "第N章"},
      {"thirty characters of title", "第一章 " + thirty, "第N章"},
      {"longer than the rule allows", "第一章 " + thirty + "字", ""},
      {"merely contains 第一章", "他读完了第一章", ""},
      {"第三节课", "第三节课", ""},
      {"第一集合", "第一集合", ""},
      {"第四部分", "第四部分", ""},
      {"第一回合", "第一回合", ""},
      {"第一封信", "第一封信", ""},
      {"第四本书记载", "第四本书记载", ""},
      {"正文第一段。", "正文第一段。", ""},
      {"a sentence", "第一章的内容很短。", ""},
      {"第十个人", "第十个人", ""},
      {"序章", "序章", "序章"},
      {"序言", "序言", "序言"},
      {"楔子", "楔子", "楔子"},
      {"引子", "引子", "引子"},
      {"终章", "终章", "终章"},
      {"后记", "后记", "后记"},
      {"尾声", "尾声", "尾声"},
      {"番外", "番外", "番外"},
      {"番外 第一章", "番外 第一章", "番外"},
      {"番外 with a numeral", "番外一", "番外"},
      {"番外 numeral and title", "番外2 归来", "番外"},
      {"后记 with a separator", "后记：写在最后", "后记"},
      {"special word in prose", "尾声里的故事很长", ""},
      // Forms real books write.
      {"spaces inside", "第 1 章 空格", "第N章"},
      {"no-break spaces inside", "第" + nbsp + "1" + nbsp + "章" + nbsp + "GNU/Linux 教程", "第N章"},
      {"ideographic spaces inside", "第　2　章", "第N章"},
      {"full-width digit", "第１章", "第N章"},
      {"in 【】, title after", "【第一章】初见", "第N章"},
      {"in 〖〗", "〖第二章 再见〗", "第N章"},
      {"in []", "[第三章] 三见", "第N章"},
      {"special word in 【】", "【楔子】", "楔子"},
      {"卷 + numeral", "卷一 风起", "卷N"},
      {"卷 + numeral and colon", "卷十二：风起", "卷N"},
      {"卷 + numeral alone", "卷一", "卷N"},
      {"卷 + numeral in prose", "卷一张饼", ""},
      {"卷 starting a poem line", "卷地风来忽吹散，望湖楼下水如天。", ""},
      {"第一卷书", "第一卷书", ""},
      {"volume straight into chapter", "第一卷第一章 风起", "第N章"},
      {"hua", "第一话 甲", "第N话"},
      {"mu alone", "第一幕", "第N幕"},
      {"hua in prose", "第一话就说错了", ""},
      {"番外篇", "番外篇 初见", "番外篇"},
      {"正文卷", "正文卷 第一章 开始", "第N章"},
      {"Chapter", "Chapter 1", "Chapter N"},
      {"CHAPTER with a title", "CHAPTER 12 The End", "Chapter N"},
      {"Chapter with a Roman numeral", "Chapter IV.", "Chapter N"},
      {"Chapter with a colon", "Chapter 3: Home", "Chapter N"},
      {"English sentence", "Chapter 3 tells how he went home.", ""},
      {"Chapter in a word", "Chapter 1st", ""},
      {"序", "序", "序"},
      {"序 and a title", "序：缘起", "序"},
      {"序 in a word", "序号 12", ""},
      {"完本感言", "完本感言", "完本感言"},
      {"作者的话", "作者的话", "作者的话"},
      {"作者的话 with a note", "作者的话：今天两更", ""},
      {"附录", "附录" + nbsp + "A." + nbsp + "附录", "附录"},
      {"blank", "　　", ""},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(IsHeading(DefaultHeadingRule(), row.line), std::optional<bool>(!row.form.empty())) << row.name;
    EXPECT_EQ(HeadingForm(row.line), row.form) << row.name;
  }
}

TEST(BookHeadings, ChapterWordsStartChaptersWhereTheBookUsesThemThroughout) {
  using Forms = std::vector<std::pair<std::string, std::size_t>>;
  struct Row {
    const char* name;
    std::string text;
    std::vector<std::string> titles;
    Forms forms;
  };
  const Row rows[] = {
      {"话 book", "第一话 甲\n一\n第二话 乙\n二", {"第一话 甲", "第二话 乙"}, {{"第N话", 2}}},
      {"幕 in volumes",
       "卷一 风起\n第一幕\n一\n第二幕\n二",
       {"卷一 风起", "第一幕", "第二幕"},
       {{"卷N", 1}, {"第N幕", 2}}},
      {"English book",
       "Chapter 1\none\nCHAPTER 2 Two\ntwo",
       {"Chapter 1", "CHAPTER 2 Two"},
       {{"Chapter N", 2}}},
      {"节 are sections in a book of 章",
       "第一章 甲\n第一节 开端\n一\n第二章 乙\n第一节 再起\n二",
       {"第一章 甲", "第二章 乙"},
       {{"第N章", 2}}},
      {"Chapter under 第N回 is text",
       "第一回 甲\nChapter 1\n一\n第二回 乙\nChapter 2\n二",
       {"第一回 甲", "第二回 乙"},
       {{"第N回", 2}}},
      {"one 话 is text", "楔子\n零\n第一话 甲\n一\n后记\n二", {"楔子", "后记"}, {{"楔子", 1}, {"后记", 1}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const SplitBook book = SplitIntoArticles(row.text, {});
    EXPECT_EQ(book.rule, SplitRule::Default);
    EXPECT_EQ(Titles(book), row.titles);
    EXPECT_EQ(book.forms, row.forms);
  }
}

// A book from an installed Debian package, unpacked when gzipped. The setup installs it
// (scripts/install-deps.sh); a missing file fails the test rather than skipping it.
std::string RealBook(const std::string& path, const char* package) {
  EXPECT_TRUE(std::filesystem::exists(path)) << path << " is missing: install the Debian package " << package
                                             << " (make test does, through scripts/install-deps.sh)";
  if (!path.ends_with(".gz")) return test::ReadFile(path);
  std::string text;
  gzFile file = gzopen(path.c_str(), "rb");
  if (!file) return text;
  char buffer[1 << 16];
  for (int n; (n = gzread(file, buffer, sizeof buffer)) > 0;)
    text.append(buffer, static_cast<std::size_t>(n));
  gzclose(file);
  return text;
}

TEST(RealBooks, DebianReferenceGuideIsItsTwelveChapters) {
  const std::string bytes =
      RealBook("/usr/share/debian-reference/debian-reference.zh-cn.txt.gz", "debian-reference-zh-cn");
  ASSERT_FALSE(bytes.empty());
  const DecodedBook decoded = DecodeBook(bytes);
  ASSERT_TRUE(decoded.ok);
  EXPECT_EQ(decoded.encoding, "UTF-8");
  // Chapter headings are written 第 N 章 with no-break spaces. 序言 stands once over the contents
  // list and once over the preface; the appendix follows the twelfth chapter.
  const std::string nbsp = "\u00A0";
  std::vector<std::string> expected = {"前言", "序言", "序言"};
  const char* chapters[] = {
      "GNU/Linux 教程",          "Debian 软件包管理", "系统初始化", "认证和访问控制", "网络设置", "网络应用",
      "GUI（图形用户界面）系统", "国际化和本地化",    "系统技巧",   "数据管理",       "数据转换", "编程"};
  for (int n = 1; n <= 12; ++n)
    expected.push_back("第" + nbsp + std::to_string(n) + nbsp + "章" + nbsp + chapters[n - 1]);
  expected.push_back("附录" + nbsp + "A." + nbsp + "附录");
  const SplitBook book = SplitIntoArticles(decoded.text, {.maxChars = 1u << 30});
  EXPECT_FALSE(book.fallback);
  EXPECT_EQ(Titles(book), expected) << "every other line, prose, lists and commands, stays text";
  using Forms = std::vector<std::pair<std::string, std::size_t>>;
  EXPECT_EQ(book.forms, (Forms{{"序言", 2}, {"第N章", 12}, {"附录", 1}}));
}

TEST(RealBooks, TangAndSongPoemsHaveNoHeadingLine) {
  struct Row {
    const char* name;
    std::size_t lines;
    std::size_t pieces;
  };
  // Poems parted by "%" lines, each titled 《…》 in terminal colours: no line is a chapter
  // heading, so each book is cut into 第N节 pieces.
  const Row rows[] = {{"tang300", 2545, 3}, {"song100", 722, 1}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string text = RealBook(std::string("/usr/share/games/fortunes/") + row.name, "fortunes-zh");
    std::size_t lines = 0;
    std::string taken;
    for (std::size_t start = 0; start < text.size(); ++lines) {
      const std::size_t end = std::min(text.find('\n', start), text.size());
      const std::string_view line = std::string_view(text).substr(start, end - start);
      if (IsHeading(DefaultHeadingRule(), line) != std::optional<bool>(false))
        taken += std::string(line) + "\n";
      start = end + 1;
    }
    EXPECT_EQ(lines, row.lines);
    EXPECT_EQ(taken, "") << "lines taken as headings";
    const SplitBook book = SplitIntoArticles(text, {});
    EXPECT_EQ(book.rule, SplitRule::Fallback);
    EXPECT_EQ(book.articles.size(), row.pieces);
  }
}

TEST(BookSplit, ChaptersPrefaceRepeatsEmptiesAndDividers) {
  struct Row {
    const char* name;
    std::string text;
    std::vector<std::string> titles;
    std::vector<std::string> bodies;
    std::size_t emptyDropped;
  };
  const Row rows[] = {
      {"preface and chapters",
       "简介：一本书\n\n第一章 甲\n一\n第二章 乙\n二\n",
       {"前言", "第一章 甲", "第二章 乙"},
       {"简介：一本书", "一", "二"},
       0},
      {"blank preface is no article",
       "\n　　\n第一章 甲\n一\n第二章 乙\n二",
       {"第一章 甲", "第二章 乙"},
       {"一", "二"},
       0},
      {"repeated heading counts once",
       "第一章 甲\n\n  第一章 甲\n一\n第二章 乙\n二",
       {"第一章 甲", "第二章 乙"},
       {"一", "二"},
       0},
      {"same title later is another chapter",
       "第一章 甲\n一\n第一章 甲\n二\n第二章 乙\n三",
       {"第一章 甲", "第一章 甲", "第二章 乙"},
       {"一", "二", "三"},
       0},
      {"empty chapter dropped, volume kept",
       "第一卷 风\n第一章 甲\n一\n第二章 乙\n\n第三章 丙\n三\n第二部\n第四章 丁\n四",
       {"第一卷 风", "第一章 甲", "第三章 丙", "第二部", "第四章 丁"},
       {"", "一", "三", "", "四"},
       1},
      {"volume with a chapter on its line is a chapter",
       "第九卷 第二章 标题\n\n第三章 丙\n三",
       {"第三章 丙"},
       {"三"},
       1},
      {"line ends become CR LF, blank ends dropped",
       "第一章 甲\r\n\r\n　　一\r二\n\n三\n\n第二章 乙\n二",
       {"第一章 甲", "第二章 乙"},
       {"　　一\r\n二\r\n\r\n三", "二"},
       0},
      {"titles trimmed of spaces",
       "  第一章 甲　\n一\n　第二章 乙\t\n二",
       {"第一章 甲", "第二章 乙"},
       {"一", "二"},
       0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const SplitBook book = SplitIntoArticles(row.text, {});
    EXPECT_EQ(book.rule, SplitRule::Default);
    EXPECT_FALSE(book.fallback);
    EXPECT_EQ(Titles(book), row.titles);
    std::vector<std::string> bodies;
    for (const auto& a : book.articles) bodies.push_back(a.body);
    EXPECT_EQ(bodies, row.bodies);
    EXPECT_EQ(book.emptyDropped, row.emptyDropped);
  }
}

TEST(BookSplit, FallbackCutsBooksWithoutHeadingsAndOverlongChapters) {
  const std::string line = Repeat("天", 99) + "。\n";  // 100 characters
  struct Row {
    const char* name;
    std::string text;
    SplitRule rule;
    std::vector<std::string> titles;
    std::vector<std::string> overlong;
  };
  const Row rows[] = {
      {"no headings", Repeat(line, 250), SplitRule::Fallback, {"第1节", "第2节", "第3节"}, {}},
      {"one heading only", "第一章 甲\n" + Repeat(line, 50), SplitRule::Fallback, {"第1节"}, {}},
      {"one over-long chapter",
       "第一章 甲\n一\n第二章 乙\n" + Repeat(line, 600) + "第三章 丙\n三",
       SplitRule::Default,
       {"第一章 甲", "第1节", "第2节", "第3节", "第4节", "第5节", "第6节", "第三章 丙"},
       {"第二章 乙"}},
      {"one line with no end",
       "第一章 甲\n一\n第二章 乙\n" + Repeat("长", 60000) + "\n第三章 丙\n三",
       SplitRule::Default,
       {"第一章 甲", "第1节", "第2节", "第3节", "第4节", "第三章 丙"},
       {"第二章 乙"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const SplitBook book = SplitIntoArticles(row.text, {});
    EXPECT_EQ(book.rule, row.rule);
    EXPECT_TRUE(book.fallback);
    EXPECT_EQ(Titles(book), row.titles);
    EXPECT_EQ(book.overlong, row.overlong);
    std::size_t characters = 0;
    for (const auto& a : book.articles) {
      EXPECT_EQ(Utf8ValidPrefix(a.body), a.body.size()) << a.title << ": cut on a character boundary";
      EXPECT_LE(a.characters, 15000u) << a.title;
      characters += a.characters;
    }
    const SplitBook unsplit = SplitIntoArticles(row.text, {.maxChars = 1u << 30});
    std::size_t whole = 0;
    for (const auto& a : unsplit.articles) whole += a.characters;
    if (row.rule == SplitRule::Default) {
      EXPECT_EQ(characters, whole) << "no text lost in the cutting";
    }
  }

  // Under a rule of the user's an over-long chapter stays whole and is only reported.
  std::string error;
  const auto rule = TextPattern::Compile("^第.章", {}, &error);
  ASSERT_TRUE(rule) << error;
  const SplitBook given = SplitIntoArticles("第一章 甲\n" + Repeat(line, 600), {.rule = rule.get()});
  EXPECT_EQ(given.rule, SplitRule::Given);
  EXPECT_FALSE(given.fallback);
  EXPECT_EQ(Titles(given), std::vector<std::string>{"第一章 甲"});
  EXPECT_EQ(given.overlong, std::vector<std::string>{"第一章 甲"});
  EXPECT_EQ(Titles(SplitIntoArticles("no heading here", {.rule = rule.get()})),
            std::vector<std::string>{"前言"});

  EXPECT_FALSE(TextPattern::Compile("第(", {}, &error));
  EXPECT_NE(error.find("missing closing parenthesis"), std::string::npos) << error;
  const auto runaway = TextPattern::Compile("^(a+)+$", {}, &error);
  EXPECT_FALSE(SplitIntoArticles(Repeat("a", 40) + "b", {.rule = runaway.get()}).error.empty())
      << "a rule that backtracks without end fails instead of hanging";
}

TEST(BookDecode, EveryEncodingOfOneBookGivesTheSameTitles) {
  // Characters that GBK and Big5 both hold, and enough text for the detector.
  const std::string book = "書名：風雲\n\n第一章 風起雲湧\n" +
                           Repeat("天下大勢，分久必合，合久必分。周末七國分爭，並入於秦。\n", 8) +
                           "第二章 英雄\n" +
                           Repeat("滾滾長江東逝水，浪花淘盡英雄。是非成敗轉頭空，青山依舊在。\n", 8);
  const std::vector<std::string> expected = {"前言", "第一章 風起雲湧", "第二章 英雄"};
  struct Row {
    const char* name;
    std::string bytes;
    const char* encoding;
  };
  const Row rows[] = {
      {"UTF-8", book, "UTF-8"},
      {"UTF-8 with BOM", "\xEF\xBB\xBF" + book, "UTF-8"},
      {"UTF-16LE with BOM", "\xFF\xFE" + Encode(book, "UTF-16LE"), "UTF-16LE"},
      {"UTF-16BE without BOM", Encode(book, "UTF-16BE"), "UTF-16BE"},
      {"UTF-16LE without BOM", Encode(book, "UTF-16LE"), "UTF-16LE"},
      {"GBK", Encode(book, "GBK"), "GB18030"},
      {"Big5", Encode(book, "BIG5"), "Big5"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const DecodedBook decoded = DecodeBook(row.bytes);
    ASSERT_TRUE(decoded.ok) << decoded.encoding << " at " << decoded.badOffset;
    EXPECT_EQ(decoded.encoding, row.encoding);
    EXPECT_EQ(decoded.text, book);
    EXPECT_EQ(Titles(SplitIntoArticles(decoded.text, {})), expected);
  }
}

TEST(BookDecode, BytesThatDoNotDecodeAreNamed) {
  const std::string gbk = Encode("第一章 甲\n", "GB18030");
  struct Row {
    const char* name;
    std::string bytes;
    std::string encoding;  // given
    std::string tried;
    std::size_t offset;
    bool unknown;
  };
  const Row rows[] = {
      {"GB18030 with a broken pair", gbk + "ab\x81\x20", "", "GB18030", gbk.size() + 2, false},
      {"GB18030 cut short", gbk + "\x81", "", "GB18030", gbk.size(), false},
      {"a zero byte", gbk + std::string("x\0y", 3), "", "GB18030", gbk.size() + 1, false},
      {"UTF-8 BOM then bad bytes",
       "\xEF\xBB\xBF"
       "ab\xC0\x80",
       "", "UTF-8", 5, false},
      {"UTF-16 with a lone surrogate",
       std::string("\xFF\xFE"
                   "a\0\x00\xD8"
                   "b\0",
                   8),
       "", "UTF-16LE", 4, false},
      {"given UTF-8 on GBK bytes", gbk, "UTF-8", "UTF-8", 0, false},
      // iconv's own UTF-8 decoder passes the old five-byte forms on; the import must not.
      {"given UTF-8 with a five-byte form", "\xC8\xB0\x7F\xFB\x8F\x82\x8F\x82", "UTF-8", "UTF-8", 3, false},
      {"given utf8 with a six-byte form", "ab\xFD\x8F\x82\x8F\x82\x82", "utf8", "utf8", 2, false},
      {"unknown encoding", gbk, "NO-SUCH-CODE", "NO-SUCH-CODE", 0, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const DecodedBook decoded = DecodeBook(row.bytes, row.encoding);
    EXPECT_FALSE(decoded.ok);
    EXPECT_EQ(decoded.encoding, row.tried);
    EXPECT_EQ(decoded.unknownEncoding, row.unknown);
    if (!row.unknown) {
      EXPECT_EQ(decoded.badOffset, row.offset);
    }
    EXPECT_EQ(decoded.guessed, row.encoding.empty());
  }
  const DecodedBook given = DecodeBook(gbk, "GBK");
  EXPECT_TRUE(given.ok);
  EXPECT_EQ(given.text, "第一章 甲\n");
}

TEST(BookDecode, StrictUtf8) {
  struct Row {
    const char* name;
    std::string bytes;
    std::size_t valid;
  };
  const Row rows[] = {
      {"ASCII and CJK", "ab第一章", 11},
      {"four bytes", "\xF0\xA0\x80\x80", 4},
      {"overlong two bytes", "a\xC0\x80", 1},
      {"overlong A", "\xC1\x81", 0},
      {"overlong three bytes", "\xE0\x80\x80", 0},
      {"surrogate", "ab\xED\xA0\x80", 2},
      {"past U+10FFFF", "\xF4\x90\x80\x80", 0},
      {"cut short", "a\xE4\xB8", 1},
      {"lone continuation", "\x80", 0},
      {"zero byte", std::string("a\0", 2), 1},
  };
  for (const Row& row : rows) EXPECT_EQ(Utf8ValidPrefix(row.bytes), row.valid) << row.name;
}

class BookWrite : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto& image = TemplateDatabase();
    test::WriteFile(path, std::string(image.begin(), image.end()));
    ASSERT_TRUE(db.Open(path));
    ASSERT_TRUE(db.Execute("INSERT INTO nr(name) VALUES('old one'),('old two')"));
  }
  std::string Query(const std::string& sql) {
    sqlite3_stmt* s = nullptr;
    std::string result = "(none)";
    if (sqlite3_prepare_v2(db.Handle(), sql.c_str(), -1, &s, nullptr) == SQLITE_OK &&
        sqlite3_step(s) == SQLITE_ROW)
      result = sqlite3_column_text(s, 0) ? reinterpret_cast<const char*>(sqlite3_column_text(s, 0)) : "NULL";
    sqlite3_finalize(s);
    return result;
  }
  test::TempDir dir;
  std::string path = dir.File("books.nvx");
  SqliteDB db;
};

TEST_F(BookWrite, AppendsAsNewArticlesAllOrNothing) {
  const std::vector<BookArticle> articles = {{"第一章 甲", "一\r\n𠀀", 2, false}, {"第一卷", "", 0, true}};
  const WriteOutcome written = WriteArticles(db, articles);
  ASSERT_TRUE(written.ok) << written.error;
  EXPECT_EQ(written.firstId, 3);
  EXPECT_EQ(written.lastId, 4);
  EXPECT_EQ(Query("SELECT group_concat(name, '|') FROM nr"), "old one|old two|第一章 甲|第一卷");
  EXPECT_EQ(Query("SELECT ksid || zt || ztdx || typeof(ys) || typeof(xg) FROM nr WHERE id=3"),
            "0宋体14nullnull");
  sqlite3_stmt* s = nullptr;
  sqlite3_prepare_v2(db.Handle(), "SELECT nr FROM nr WHERE id=3", -1, &s, nullptr);
  ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
  const auto* blob = static_cast<const std::uint8_t*>(sqlite3_column_blob(s, 0));
  const Bytes packed(blob, blob + sqlite3_column_bytes(s, 0));
  sqlite3_finalize(s);
  EXPECT_EQ(ToText(Decompress(packed)), L("一\r\n𠀀")) << "the text is stored packed in GB18030";

  // A write that fails after some articles went in leaves none of them.
  ASSERT_TRUE(
      db.Execute(L("CREATE TRIGGER stop BEFORE INSERT ON nr WHEN NEW.name='第三章' "
                   "BEGIN SELECT RAISE(ABORT, 'full'); END")));
  const std::vector<BookArticle> more = {
      {"第二章", "二", 1, false}, {"第三章", "三", 1, false}, {"第四章", "四", 1, false}};
  EXPECT_FALSE(WriteArticles(db, more).ok);
  EXPECT_EQ(Query("SELECT count(*) FROM nr"), "4");
  ASSERT_TRUE(db.Execute("DROP TRIGGER stop"));
  EXPECT_TRUE(WriteArticles(db, more).ok) << "no transaction was left open";
  EXPECT_EQ(Query("SELECT count(*) FROM nr"), "7");
}

}  // namespace
}  // namespace nvx::book
