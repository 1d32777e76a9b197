// Telling a book's encoding, finding its headings and cutting it into articles.
#include "store/book_import.h"

#include <gtest/gtest.h>
#include <iconv.h>
#include <sqlite3.h>

#include "store/article_schema.h"
#include "store/codepage.h"
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
  struct Row {
    const char* name;
    std::string line;
    bool heading;
  };
  const std::string thirty = Repeat("字", 30);
  const Row rows[] = {
      {"chapter", "第一章 风起", true},
      {"arabic numeral", "第12章 重逢", true},
      {"full-width digits", "第１２章 重逢", true},
      {"one thousand and one", "第一千零一章 夜", true},
      {"two hundred with 两", "第两百章", true},
      {"financial numerals", "第壹佰贰拾章 归来", true},
      {"nine numerals", "第一二三四五六七八九章", true},
      {"ten numerals", "第一二三四五六七八九十章", false},
      {"hui", "第一回 宴桃园豪杰三结义", true},
      {"jie with separator", "第三节 初见", true},
      {"juan alone", "第二卷", true},
      {"ji", "第一集 开端", true},
      {"bu", "第一部：风云", true},
      {"pian", "第一篇 序", true},
      {"after 正文", "正文 第一章 开始", true},
      {"after 正文 without a space", "正文第一章", true},
      {"four ASCII spaces", "    第一章", true},
      {"two full-width spaces", "　　第一章 标题", true},
      {"a tab", "\t第一章", true},
      {"five spaces", "     第一章", false},
      {"trailing spaces", "第一章 风起 \t　", true},
      {"volume and chapter", "第九卷 第二章 标题", true},
      {"title in quotes", "第五章 “你好”他说", true},
      {"title in brackets", "第五回【大战】", true},
      {"title straight after 章", "第五章重逢", true},
      {"colon", "第五章：重逢", true},
      {"thirty characters of title", "第一章 " + thirty, true},
      {"longer than the rule allows", "第一章 " + thirty + "字", false},
      {"merely contains 第一章", "他读完了第一章", false},
      {"第三节课", "第三节课", false},
      {"第一集合", "第一集合", false},
      {"第四部分", "第四部分", false},
      {"第一回合", "第一回合", false},
      {"第一封信", "第一封信", false},
      {"第四本书记载", "第四本书记载", false},
      {"正文第一段。", "正文第一段。", false},
      {"a sentence", "第一章的内容很短。", false},
      {"第十个人", "第十个人", false},
      {"序章", "序章", true},
      {"序言", "序言", true},
      {"楔子", "楔子", true},
      {"引子", "引子", true},
      {"终章", "终章", true},
      {"后记", "后记", true},
      {"尾声", "尾声", true},
      {"番外", "番外", true},
      {"番外 第一章", "番外 第一章", true},
      {"番外 with a numeral", "番外一", true},
      {"番外 numeral and title", "番外2 归来", true},
      {"后记 with a separator", "后记：写在最后", true},
      {"special word in prose", "尾声里的故事很长", false},
      {"blank", "　　", false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(IsHeading(DefaultHeadingRule(), row.line), std::optional<bool>(row.heading)) << row.name;
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
