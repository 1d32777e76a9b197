// EPUB books written from articles and read back into articles.
#include <gtest/gtest.h>
#include <zip.h>

#include <map>

#include "store/epub_reader.h"
#include "store/epub_writer.h"

namespace nvx::epub {
namespace {

struct ZipEntry {
  std::string name;
  std::string data;
  zip_int32_t method = ZIP_CM_DEFLATE;
};

// A ZIP made in memory by libzip, entries in the order given.
std::string MakeZip(const std::vector<ZipEntry>& entries) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* memory = zip_source_buffer_create(nullptr, 0, 0, &error);
  zip_t* archive = zip_open_from_source(memory, ZIP_TRUNCATE, &error);
  zip_source_keep(memory);
  for (const auto& e : entries) {
    const zip_int64_t i =
        zip_file_add(archive, e.name.c_str(), zip_source_buffer(archive, e.data.data(), e.data.size(), 0), 0);
    zip_set_file_compression(archive, static_cast<zip_uint64_t>(i), e.method, 0);
  }
  EXPECT_EQ(zip_close(archive), 0);
  zip_stat_t st;
  zip_source_stat(memory, &st);
  std::string bytes(st.size, '\0');
  zip_source_open(memory);
  zip_source_read(memory, bytes.data(), st.size);
  zip_source_close(memory);
  zip_source_free(memory);
  return bytes;
}

// Name, size and method of each entry, in the archive's order.
std::vector<ZipEntry> ListZip(const std::string& bytes) {
  zip_error_t error;
  zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
  zip_t* archive = zip_open_from_source(source, ZIP_RDONLY, &error);
  std::vector<ZipEntry> entries;
  for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
    zip_stat_t st;
    zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &st);
    entries.push_back({st.name, std::string(st.size, '\0'), st.comp_method});
  }
  zip_discard(archive);
  return entries;
}

const std::string kContainer =
    "<?xml version=\"1.0\"?><container version=\"1.0\" "
    "xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\"><rootfiles><rootfile "
    "full-path=\"OPS/book.opf\" media-type=\"application/oebps-package+xml\"/></rootfiles></container>";

// A book as other programs make them: OPS/book.opf over the given files (all in the spine, in
// order), with nav.xhtml and toc.ncx when given.
std::string ForeignBook(const std::vector<std::pair<std::string, std::string>>& chapters,
                        const std::string& nav, const std::string& ncx) {
  std::string manifest, spine;
  std::vector<ZipEntry> entries = {{"mimetype", "application/epub+zip", ZIP_CM_STORE},
                                   {"META-INF/container.xml", kContainer}};
  for (std::size_t i = 0; i < chapters.size(); ++i) {
    const std::string id = "c" + std::to_string(i);
    manifest +=
        "<item id=\"" + id + "\" href=\"" + chapters[i].first + "\" media-type=\"application/xhtml+xml\"/>";
    spine += "<itemref idref=\"" + id + "\"/>";
    entries.push_back({"OPS/" + chapters[i].first, chapters[i].second});
  }
  if (!nav.empty()) {
    manifest +=
        "<item id=\"nav\" href=\"nav.xhtml\" media-type=\"application/xhtml+xml\" properties=\"nav\"/>";
    entries.push_back({"OPS/nav.xhtml", nav});
  }
  if (!ncx.empty()) {
    manifest += "<item id=\"ncx\" href=\"toc.ncx\" media-type=\"application/x-dtbncx+xml\"/>";
    entries.push_back({"OPS/toc.ncx", ncx});
  }
  entries.push_back({"OPS/book.opf",
                     "<?xml version=\"1.0\"?><package xmlns=\"http://www.idpf.org/2007/opf\" version=\"3.0\">"
                     "<metadata/><manifest>" +
                         manifest + "</manifest><spine toc=\"ncx\">" + spine + "</spine></package>"});
  return MakeZip(entries);
}

std::string Xhtml(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><html xmlns=\"http://www.w3.org/1999/xhtml\"><head>"
         "<title>T</title></head><body>" +
         body + "</body></html>";
}

std::string CrLf(std::string text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  return out;
}

TEST(Epub, OwnBookReadsBackToTheSameTitlesAndTexts) {
  std::string longText, oneLongLine(300 * 1024, 'x');
  for (int i = 0; i < 20000; ++i) longText += "第" + std::to_string(i) + "行 & <这一行> 文字\r\n";
  const std::vector<Chapter> chapters = {
      {"第一卷 风起", ""},
      {"第一章 初见", "　　那年春天，他来了。\r\n\r\n  两个空格  在中间 \r\n\t制表\r\n"},
      {"第二章 & < > \"引号\"", "𠀀𠀁 四字节 😀\nLF 行\n"},
      {"空白章", ""},
      {"第二卷", ""},
      {"第三章 长", longText},
      {"第四章 一行", oneLongLine},
      {"", "无题"},
      {"第五章 控制\f字符",
       "a\x01"
       "b\x7f"
       "c\xc2\x85"
       "d\r\n"},
  };
  BookInfo info;
  info.title = "书";
  info.modified = 1700000000;
  std::string epub, again;
  const BuildResult built = BuildEpub(info, chapters, epub);
  ASSERT_TRUE(built.ok) << built.error;
  EXPECT_EQ(built.dropped, 4u);
  EXPECT_EQ(built.dividers, 2u);
  EXPECT_GE(built.splitParts, 3u);
  ASSERT_TRUE(BuildEpub(info, chapters, again).ok);
  EXPECT_EQ(epub, again) << "the same input gives the same bytes";

  const auto entries = ListZip(epub);
  ASSERT_FALSE(entries.empty());
  EXPECT_EQ(entries[0].name, "mimetype");
  EXPECT_EQ(entries[0].method, ZIP_CM_STORE);
  for (const auto& e : entries) {
    EXPECT_LE(e.data.size(), kMaxPartBytes) << e.name;
    EXPECT_EQ(e.name.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_./"),
              std::string::npos);
  }

  const ReadResult read = ReadEpub(epub);
  ASSERT_TRUE(read.ok) << read.error;
  EXPECT_EQ(read.source, ContentsSource::Nav);
  ASSERT_EQ(read.articles.size(), chapters.size());
  for (std::size_t i = 0; i < chapters.size(); ++i) {
    std::string title = chapters[i].title, text = CrLf(chapters[i].text);
    if (i + 1 == chapters.size()) title = "第五章 控制字符", text = "abcd\r\n";
    EXPECT_EQ(read.articles[i].title, title) << i;
    EXPECT_EQ(read.articles[i].body, text) << title;
  }
  EXPECT_TRUE(read.articles[0].divider);
  EXPECT_FALSE(read.articles[3].divider);
}

TEST(Epub, ContentsEntriesAreCutAtTheirAnchors) {
  const std::string one = Xhtml(
      "<p>封面文字</p><h1 id=\"p1\">上部</h1><h2 id=\"c1\">第一章</h2><p>甲\n  一行</p><p>乙&#160;行</p>"
      "<div><p><a id=\"c2\"/>第二章</p><p>丙 <b>粗</b> 丁<br/>戊</p></div>");
  const std::string two = Xhtml("<h2>第三章 终</h2><p>己</p><ul><li>庚</li></ul><pre>辛\n  壬</pre>");
  const std::string nav =
      "<?xml version=\"1.0\"?><html xmlns=\"http://www.w3.org/1999/xhtml\" "
      "xmlns:epub=\"http://www.idpf.org/2007/ops\"><body><nav epub:type=\"landmarks\"><ol><li><a "
      "href=\"one.xhtml\">封面</a></li></ol></nav><nav epub:type=\"toc\"><ol><li><a "
      "href=\"one.xhtml#p1\">上部</a>"
      "<ol><li><a href=\"one.xhtml#c1\">第一章</a></li><li><a href=\"one.xhtml#c2\">第二章</a></li></ol></li>"
      "<li><a href=\"two.xhtml\">第三章  终</a></li></ol></nav></body></html>";
  const std::string ncx =
      "<?xml version=\"1.0\"?><ncx xmlns=\"http://www.daisy.org/z3986/2005/ncx/\"><navMap>"
      "<navPoint><navLabel><text>上部</text></navLabel><content src=\"one.xhtml#p1\"/>"
      "<navPoint><navLabel><text>第一章</text></navLabel><content src=\"one.xhtml#c1\"/></navPoint>"
      "<navPoint><navLabel><text>第二章</text></navLabel><content "
      "src=\"one.xhtml#c2\"/></navPoint></navPoint>"
      "<navPoint><navLabel><text>第三章 终</text></navLabel><content "
      "src=\"two.xhtml\"/></navPoint></navMap></ncx>";
  const std::vector<std::pair<std::string, std::string>> files = {{"one.xhtml", one}, {"two.xhtml", two}};
  const std::vector<std::pair<std::string, std::string>> expected = {{"上部", ""},
                                                                     {"第一章", "甲 一行\r\n乙\u00a0行"},
                                                                     {"第二章", "第二章\r\n丙 粗 丁\r\n戊"},
                                                                     {"第三章 终", "己\r\n庚\r\n辛\r\n  壬"}};
  struct Row {
    const char* name;
    std::string nav, ncx;
    ContentsSource source;
  };
  for (const Row& row :
       {Row{"nav", nav, ncx, ContentsSource::Nav}, Row{"NCX only", "", ncx, ContentsSource::Ncx}}) {
    const ReadResult read = ReadEpub(ForeignBook(files, row.nav, row.ncx));
    ASSERT_TRUE(read.ok) << row.name << ": " << read.error;
    EXPECT_EQ(read.source, row.source) << row.name;
    ASSERT_EQ(read.articles.size(), expected.size()) << row.name;
    for (std::size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(read.articles[i].title, expected[i].first) << row.name << " " << i;
      EXPECT_EQ(read.articles[i].body, expected[i].second) << row.name << " " << i;
    }
    EXPECT_TRUE(read.articles[0].divider) << row.name;
  }

  // Without contents every file of the spine is an article, titled by its <title> or heading; an
  // XHTML file with HTML's named entities is read by the HTML parser.
  const ReadResult spine =
      ReadEpub(ForeignBook({{"a.xhtml", Xhtml("<p>一</p>")},
                            {"b.xhtml", "<html><body><h1>二 章</h1><p>x&nbsp;&mdash;y</p></body></html>"}},
                           "", ""));
  ASSERT_TRUE(spine.ok) << spine.error;
  EXPECT_EQ(spine.source, ContentsSource::Spine);
  ASSERT_EQ(spine.articles.size(), 2u);
  EXPECT_EQ(spine.articles[0].title, "T");
  EXPECT_EQ(spine.articles[1].title, "二 章");
  EXPECT_EQ(spine.articles[1].body, "x\u00a0\u2014y");
}

TEST(Epub, DamagedOrHostileBooksAreRefusedWithTheReason) {
  BookInfo info;
  std::string own;
  ASSERT_TRUE(BuildEpub(info, {{"第一章", "文字"}}, own).ok);
  const auto chapter = std::make_pair(std::string("a.xhtml"), Xhtml("<p>x</p>"));
  auto withEntries = [](std::vector<ZipEntry> extra) {
    std::vector<ZipEntry> entries = {{"mimetype", "application/epub+zip", ZIP_CM_STORE},
                                     {"META-INF/container.xml", kContainer},
                                     {"OPS/a.xhtml", Xhtml("<p>x</p>")}};
    entries.insert(entries.end(), extra.begin(), extra.end());
    return MakeZip(entries);
  };
  const std::string opf =
      "<package xmlns=\"http://www.idpf.org/2007/opf\"><manifest><item id=\"a\" href=\"a.xhtml\" "
      "media-type=\"application/xhtml+xml\"/></manifest><spine><itemref idref=\"a\"/></spine></package>";
  const std::string encryption =
      "<encryption xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\" "
      "xmlns:enc=\"http://www.w3.org/2001/04/xmlenc#\"><enc:EncryptedData><enc:EncryptionMethod "
      "Algorithm=\"ALGORITHM\"/><enc:CipherData><enc:CipherReference "
      "URI=\"OPS/a.xhtml\"/></enc:CipherData></enc:EncryptedData></encryption>";
  auto withAlgorithm = [&](const std::string& algorithm) {
    std::string xml = encryption;
    xml.replace(xml.find("ALGORITHM"), 9, algorithm);
    return xml;
  };
  struct Row {
    const char* name;
    std::string bytes;
    const char* reason;  // nullptr: read
  };
  const Row rows[] = {
      {"not a ZIP", "plain text, not a book", "damaged ZIP"},
      {"cut short", own.substr(0, own.size() / 2), "damaged ZIP"},
      {"a byte changed in a deflated entry",
       [&] {
         std::string b = own;
         b[b.find("OEBPS/text/a00001.xhtml") + 40] ^= 0x55;
         return b;
       }(),
       "damaged ZIP"},
      {"no container", MakeZip({{"mimetype", "application/epub+zip"}}),
       "missing container META-INF/container.xml"},
      {"container without a package", withEntries({}), "missing OPF OPS/book.opf"},
      {"package that is not XML", withEntries({{"OPS/book.opf", "<package><manifest>"}}),
       "OPF OPS/book.opf does not parse: line 1"},
      {"encrypted text",
       withEntries(
           {{"OPS/book.opf", opf},
            {"META-INF/encryption.xml", withAlgorithm("http://www.w3.org/2001/04/xmlenc#aes128-cbc")}}),
       "encrypted (META-INF/encryption.xml)"},
      {"fonts obfuscated only",
       withEntries({{"OPS/book.opf", opf},
                    {"META-INF/encryption.xml", withAlgorithm("http://www.idpf.org/2008/embedding")}}),
       nullptr},
      {"ZIP bomb", withEntries({{"OPS/book.opf", opf}, {"OPS/zeros.css", std::string(8 << 20, ' ')}}),
       "ZIP bomb: OPS/zeros.css unpacks to more than 200 times its size"},
      {"entry climbing out", withEntries({{"OPS/book.opf", opf}, {"../../evil.xhtml", "x"}}),
       "path escaping the archive: ../../evil.xhtml"},
      {"reference climbing out",
       withEntries({{"OPS/book.opf", opf.substr(0, opf.find("a.xhtml")) + "../../../etc/passwd" +
                                         opf.substr(opf.find("a.xhtml") + 7)}}),
       "path escaping the archive: ../../../etc/passwd"},
  };
  for (const Row& row : rows) {
    const ReadResult read = ReadEpub(row.bytes);
    if (!row.reason) {
      EXPECT_TRUE(read.ok) << row.name << ": " << read.error;
      continue;
    }
    EXPECT_FALSE(read.ok) << row.name;
    EXPECT_TRUE(read.articles.empty()) << row.name;
    EXPECT_EQ(read.error.find(row.reason), 0u) << row.name << ": " << read.error;
  }
}

}  // namespace
}  // namespace nvx::epub
