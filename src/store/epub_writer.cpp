#include "store/epub_writer.h"

#include <libxml/xmlwriter.h>
#include <zip.h>
#include <zlib.h>

#include <atomic>
#include <cstring>
#include <ctime>
#include <deque>
#include <memory>
#include <string_view>

#include "base/codepage.h"
#include "store/article_walk.h"
#include "store/atomic_file.h"
#include "store/book_import.h"

namespace nvx::epub {

namespace {

constexpr const char* kXhtmlNamespace = "http://www.w3.org/1999/xhtml";
constexpr const char* kXhtmlType = "application/xhtml+xml";
constexpr int kDeflateLevel = 6;
// Room left in a part for what follows the last paragraph ("</body></html>" and a line end).
constexpr std::size_t kClosingBytes = 64;

constexpr const char* kStyle =
    "h1, h2 { text-align: center; margin: 1em 0; }\n"
    "p { margin: 0; white-space: pre-wrap; }\n";

// Text without the characters XML 1.0 cannot hold or that only steer a terminal: C0 controls
// other than tab and the line ends, DEL, C1 controls, U+FFFE and U+FFFF. `utf8` is well-formed.
std::string XmlSafe(std::string_view utf8, std::size_t& dropped) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t kept = 0;  // the start of the run not yet copied
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c >= 0x20 && c != 0x7F && c != 0xC2 && c != 0xEF) continue;
    const auto next = i + 1 < utf8.size() ? static_cast<unsigned char>(utf8[i + 1]) : 0;
    std::size_t length = 0;
    if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F) {
      length = 1;
    } else if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {
      length = 2;
    } else if (c == 0xEF && next == 0xBF && i + 2 < utf8.size() &&
               (static_cast<unsigned char>(utf8[i + 2]) & 0xFE) == 0xBE) {
      length = 3;
    }
    if (length == 0) continue;
    out.append(utf8.substr(kept, i - kept));
    ++dropped;
    i += length - 1;
    kept = i + 1;
  }
  out.append(utf8.substr(kept));
  return out;
}

// The bytes a text takes once escaped by the XML writer.
std::size_t EscapedSize(std::string_view s) {
  std::size_t size = s.size();
  for (char c : s) size += c == '&' ? 4 : c == '<' || c == '>' ? 3 : 0;
  return size;
}

// One XML document written through libxml2's writer into memory. The first failure sticks.
class XmlOut {
 public:
  explicit XmlOut(bool indent) : buffer_(xmlBufferCreate()) {
    if (buffer_) writer_ = xmlNewTextWriterMemory(buffer_, 0);
    ok_ = writer_ != nullptr;
    if (ok_ && indent) Check(xmlTextWriterSetIndent(writer_, 1));
    if (ok_) Check(xmlTextWriterStartDocument(writer_, "1.0", "UTF-8", nullptr));
  }
  ~XmlOut() {
    if (writer_) xmlFreeTextWriter(writer_);
    if (buffer_) xmlBufferFree(buffer_);
  }
  XmlOut(const XmlOut&) = delete;
  XmlOut& operator=(const XmlOut&) = delete;

  XmlOut& Doctype(const char* name) {
    if (ok_) Check(xmlTextWriterWriteDTD(writer_, X(name), nullptr, nullptr, nullptr));
    return *this;
  }
  XmlOut& Start(const char* name) {
    if (ok_) Check(xmlTextWriterStartElement(writer_, X(name)));
    return *this;
  }
  XmlOut& Attribute(const char* name, const std::string& value) {
    if (ok_) Check(xmlTextWriterWriteAttribute(writer_, X(name), X(value.c_str())));
    return *this;
  }
  XmlOut& Content(std::string_view text) {
    if (ok_ && !text.empty()) {
      const std::string copy(text);
      Check(xmlTextWriterWriteString(writer_, X(copy.c_str())));
    }
    return *this;
  }
  XmlOut& End() {
    if (ok_) Check(xmlTextWriterEndElement(writer_));
    return *this;
  }
  // An element holding only text.
  XmlOut& Element(const char* name, std::string_view text) { return Start(name).Content(text).End(); }

  // Bytes written so far.
  std::size_t Size() {
    if (ok_) Check(xmlTextWriterFlush(writer_));
    return ok_ ? static_cast<std::size_t>(xmlBufferLength(buffer_)) : 0;
  }
  // The whole document; false when any write failed.
  bool Finish(std::string& out) {
    if (ok_) Check(xmlTextWriterEndDocument(writer_));
    const std::size_t size = Size();
    if (ok_) out.assign(reinterpret_cast<const char*>(xmlBufferContent(buffer_)), size);
    return ok_;
  }

 private:
  static const xmlChar* X(const char* s) { return reinterpret_cast<const xmlChar*>(s); }
  void Check(int rc) { ok_ = ok_ && rc >= 0; }

  xmlBufferPtr buffer_ = nullptr;
  xmlTextWriterPtr writer_ = nullptr;
  bool ok_ = false;
};

// 128 bits from the book's contents (checksums and sizes), shown as a UUID: the same book gets the
// same identifier.
std::string ContentUuid(const BookInfo& info, const std::vector<Chapter>& chapters) {
  uLong crc = crc32_z(0, nullptr, 0), adler = adler32_z(0, nullptr, 0);
  std::uint64_t bytes = 0;
  auto mix = [&](std::string_view s) {
    crc = crc32_z(crc, reinterpret_cast<const Bytef*>(s.data()), s.size());
    adler = adler32_z(adler, reinterpret_cast<const Bytef*>(s.data()), s.size());
    bytes = bytes * 31 + s.size();
  };
  for (const std::string* s : {&info.title, &info.author, &info.language}) mix(*s);
  for (const auto& c : chapters) {
    mix(c.title);
    mix(c.text);
  }
  std::uint64_t a = (static_cast<std::uint64_t>(crc) << 32) | (bytes & 0xFFFFFFFFULL);
  std::uint64_t b = (static_cast<std::uint64_t>(adler) << 32) | (chapters.size() & 0xFFFFFFFFULL);
  a = (a & ~0xF000ULL) | 0x8000ULL;                          // version 8: made by its own rule
  b = (b & ~0xC000000000000000ULL) | 0x8000000000000000ULL;  // the RFC 4122 variant
  char text[40];
  std::snprintf(text, sizeof text, "%08x-%04x-%04x-%04x-%012llx", static_cast<unsigned>(a >> 32),
                static_cast<unsigned>((a >> 16) & 0xFFFF), static_cast<unsigned>(a & 0xFFFF),
                static_cast<unsigned>(b >> 48), static_cast<unsigned long long>(b & 0xFFFFFFFFFFFFULL));
  return std::string("urn:uuid:") + text;
}

std::string IsoTime(std::int64_t seconds) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return text;
}

// One article ready to write: its sanitized title and lines, its place in the contents.
struct Article {
  std::string title;
  std::string text;
  bool divider = false;
  std::string id;  // "a00001": the first file's manifest id and name
  std::vector<std::string> files;
  std::vector<std::size_t> children;  // for a divider: the articles under it
};

std::string NavLabel(const Article& a, std::size_t place) {
  return a.title.empty() ? "(" + std::to_string(place) + ")" : a.title;
}

void StartXhtml(XmlOut& x, const BookInfo& info, const std::string& title,
                const char* style = "../style.css") {
  x.Doctype("html").Start("html").Attribute("xmlns", kXhtmlNamespace);
  x.Attribute("xmlns:epub", "http://www.idpf.org/2007/ops");
  x.Attribute("xml:lang", info.language).Attribute("lang", info.language);
  x.Start("head").Element("title", title.empty() ? info.title : title);
  x.Start("meta").Attribute("name", "generator").Attribute("content", kGenerator).End();
  x.Start("link").Attribute("rel", "stylesheet").Attribute("type", "text/css");
  x.Attribute("href", style).End().End().Start("body");
}

// The XHTML files of one article: a heading, then one paragraph per line (an empty line is a
// paragraph holding a line break), cut into parts of at most kMaxPartBytes. A line too long for a
// part is cut on a character boundary; its later pieces are paragraphs of class "cont".
bool ArticleFiles(const Article& a, const BookInfo& info, std::vector<std::string>& parts,
                  std::size_t& extra) {
  auto x = std::make_unique<XmlOut>(false);
  std::size_t paragraphs = 0;
  StartXhtml(*x, info, a.title);
  if (!a.title.empty()) x->Element(a.divider ? "h1" : "h2", a.title);
  auto finish = [&] {
    x->End().End();
    std::string part;
    if (!x->Finish(part)) return false;
    parts.push_back(std::move(part));
    return true;
  };
  auto nextPart = [&] {
    if (!finish()) return false;
    x = std::make_unique<XmlOut>(false);
    StartXhtml(*x, info, a.title);
    paragraphs = 0;
    ++extra;
    return true;
  };
  for (std::string_view line : book::SplitLines(a.text, true)) {
    if (line.empty()) {
      if (x->Size() + 12 + kClosingBytes > kMaxPartBytes && paragraphs > 0 && !nextPart()) return false;
      x->Start("p").Start("br").End().End();
      ++paragraphs;
      continue;
    }
    bool continued = false;
    while (!line.empty()) {
      const std::size_t used = x->Size() + kClosingBytes + 20;
      if (used + EscapedSize(line) <= kMaxPartBytes) {
        x->Start("p");
        if (continued) x->Attribute("class", "cont");
        x->Content(line).End();
        ++paragraphs;
        break;
      }
      if (paragraphs > 0) {
        if (!nextPart()) return false;
        continue;
      }
      // Alone in its part and still too long: the piece that fits, then the rest in the next part.
      const std::size_t room = kMaxPartBytes > used ? kMaxPartBytes - used : 0;
      const std::size_t cut = Utf8CharacterStart(line, std::min(line.size(), room / 5));
      if (cut == 0) return false;
      x->Start("p");
      if (continued) x->Attribute("class", "cont");
      x->Content(line.substr(0, cut)).End();
      line.remove_prefix(cut);
      continued = true;
      if (!nextPart()) return false;
    }
  }
  return finish();
}

std::string ContainerXml() {
  XmlOut x(true);
  x.Start("container").Attribute("version", "1.0");
  x.Attribute("xmlns", "urn:oasis:names:tc:opendocument:xmlns:container");
  x.Start("rootfiles").Start("rootfile").Attribute("full-path", "OEBPS/content.opf");
  x.Attribute("media-type", "application/oebps-package+xml").End().End().End();
  std::string out;
  x.Finish(out);
  return out;
}

std::string PackageXml(const BookInfo& info, const std::string& uuid, const std::vector<Article>& articles) {
  XmlOut x(true);
  x.Start("package").Attribute("xmlns", "http://www.idpf.org/2007/opf").Attribute("version", "3.0");
  x.Attribute("unique-identifier", "bookid").Attribute("xml:lang", info.language);
  x.Start("metadata").Attribute("xmlns:dc", "http://purl.org/dc/elements/1.1/");
  x.Start("dc:identifier").Attribute("id", "bookid").Content(uuid).End();
  x.Element("dc:title", info.title).Element("dc:language", info.language);
  if (!info.author.empty()) x.Element("dc:creator", info.author);
  x.Start("meta").Attribute("property", "dcterms:modified").Content(IsoTime(info.modified)).End();
  x.End().Start("manifest");
  auto item = [&x](const std::string& id, const std::string& href, const char* type) -> XmlOut& {
    return x.Start("item").Attribute("id", id).Attribute("href", href).Attribute("media-type", type);
  };
  item("nav", "nav.xhtml", kXhtmlType).Attribute("properties", "nav").End();
  item("ncx", "toc.ncx", "application/x-dtbncx+xml").End();
  item("css", "style.css", "text/css").End();
  for (const auto& a : articles)
    for (const auto& file : a.files) item(file.substr(0, file.size() - 6), "text/" + file, kXhtmlType).End();
  x.End().Start("spine").Attribute("toc", "ncx");
  for (const auto& a : articles)
    for (const auto& file : a.files)
      x.Start("itemref").Attribute("idref", file.substr(0, file.size() - 6)).End();
  x.End().End();
  std::string out;
  x.Finish(out);
  return out;
}

// The top level of the contents: every divider, and every article before the first divider.
std::vector<std::size_t> TopLevel(const std::vector<Article>& articles) {
  std::vector<std::size_t> top;
  bool underDivider = false;
  for (std::size_t i = 0; i < articles.size(); ++i) {
    if (articles[i].divider) underDivider = true;
    if (articles[i].divider || !underDivider) top.push_back(i);
  }
  return top;
}

std::string NavXhtml(const BookInfo& info, const std::vector<Article>& articles) {
  XmlOut x(true);
  StartXhtml(x, info, info.title, "style.css");
  x.Start("nav").Attribute("epub:type", "toc").Attribute("id", "toc").Element("h1", "目录").Start("ol");
  auto entry = [&](std::size_t i) -> XmlOut& {
    x.Start("li").Start("a").Attribute("href", "text/" + articles[i].files[0]);
    // A reader needs a label to show; an article without a title gets its place, marked so.
    if (articles[i].title.empty()) x.Attribute("class", kUntitled);
    return x.Content(NavLabel(articles[i], i + 1)).End();
  };
  for (std::size_t i : TopLevel(articles)) {
    entry(i);
    if (!articles[i].children.empty()) {
      x.Start("ol");
      for (std::size_t c : articles[i].children) entry(c).End();
      x.End();
    }
    x.End();
  }
  x.End().End().End().End();
  std::string out;
  x.Finish(out);
  return out;
}

std::string NcxXml(const BookInfo& info, const std::string& uuid, const std::vector<Article>& articles) {
  const auto top = TopLevel(articles);
  bool nested = false;
  for (std::size_t i : top) nested = nested || !articles[i].children.empty();
  XmlOut x(true);
  x.Start("ncx").Attribute("xmlns", "http://www.daisy.org/z3986/2005/ncx/").Attribute("version", "2005-1");
  x.Attribute("xml:lang", info.language).Start("head");
  auto meta = [&x](const char* name, const std::string& content) {
    x.Start("meta").Attribute("name", name).Attribute("content", content).End();
  };
  meta("dtb:uid", uuid);
  meta("dtb:depth", nested ? "2" : "1");
  meta("dtb:totalPageCount", "0");
  meta("dtb:maxPageNumber", "0");
  x.End().Start("docTitle").Element("text", info.title).End().Start("navMap");
  std::size_t order = 0;
  auto point = [&](std::size_t i) -> XmlOut& {
    const std::string n = std::to_string(++order);
    x.Start("navPoint").Attribute("id", "p" + n).Attribute("playOrder", n);
    x.Start("navLabel").Element("text", NavLabel(articles[i], i + 1)).End();
    return x.Start("content").Attribute("src", "text/" + articles[i].files[0]).End();
  };
  for (std::size_t i : top) {
    point(i);
    for (std::size_t c : articles[i].children) point(c).End();
    x.End();
  }
  x.End().End();
  std::string out;
  x.Finish(out);
  return out;
}

// One file of the book: its name and bytes, deflated here (on every core) rather than by libzip,
// which would deflate them one after another.
struct ZipFile {
  std::string name;
  std::string data;  // raw deflate of the file, or the file itself when not `deflated`
  bool deflated = false;
  std::uint64_t size = 0;  // the file's own size
  uLong crc = 0;           // CRC-32 of the file's own bytes
  std::size_t offset = 0;  // how far libzip has read `data`
  zip_error_t error{};
};

bool Deflate(ZipFile& file, std::string_view bytes) {
  z_stream z{};
  if (deflateInit2(&z, kDeflateLevel, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
  file.data.resize(deflateBound(&z, static_cast<uLong>(bytes.size())));
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  z.avail_in = static_cast<uInt>(bytes.size());
  z.next_out = reinterpret_cast<Bytef*>(file.data.data());
  z.avail_out = static_cast<uInt>(file.data.size());
  const int rc = deflate(&z, Z_FINISH);
  file.data.resize(z.total_out);
  deflateEnd(&z);
  file.crc = crc32_z(crc32_z(0, nullptr, 0), reinterpret_cast<const Bytef*>(bytes.data()), bytes.size());
  file.size = bytes.size();
  file.deflated = true;
  return rc == Z_STREAM_END;
}

ZipFile Packed(std::string name, std::string_view bytes, bool& ok) {
  ZipFile file;
  file.name = std::move(name);
  ok = Deflate(file, bytes) && ok;
  return file;
}

// A libzip source giving an already deflated file, which libzip then copies as it is.
zip_int64_t DeflatedSource(void* state, void* data, zip_uint64_t length, zip_source_cmd_t command) {
  auto* file = static_cast<ZipFile*>(state);
  switch (command) {
    case ZIP_SOURCE_OPEN: file->offset = 0; return 0;
    case ZIP_SOURCE_READ: {
      const std::size_t n = std::min<std::size_t>(length, file->data.size() - file->offset);
      std::memcpy(data, file->data.data() + file->offset, n);
      file->offset += n;
      return static_cast<zip_int64_t>(n);
    }
    case ZIP_SOURCE_CLOSE: return 0;
    case ZIP_SOURCE_STAT: {
      auto* st = static_cast<zip_stat_t*>(data);
      zip_stat_init(st);
      st->size = file->size;
      st->comp_size = file->data.size();
      st->crc = static_cast<zip_uint32_t>(file->crc);
      st->comp_method = ZIP_CM_DEFLATE;
      st->encryption_method = ZIP_EM_NONE;
      st->valid = ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_CRC | ZIP_STAT_COMP_METHOD |
                  ZIP_STAT_ENCRYPTION_METHOD;
      return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_ERROR: return zip_error_to_data(&file->error, data, length);
    case ZIP_SOURCE_FREE: return 0;
    case ZIP_SOURCE_SUPPORTS:
      return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                            ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
    default: zip_error_set(&file->error, ZIP_ER_OPNOTSUPP, 0); return -1;
  }
}

// The files, in the order given, in one ZIP in memory; "mimetype" (the first) is stored as it is.
bool Zip(std::deque<ZipFile>& files, std::int64_t modified, std::string& epub, std::string& error) {
  zip_error_t zipError;
  zip_error_init(&zipError);
  zip_source_t* memory = zip_source_buffer_create(nullptr, 0, 0, &zipError);
  if (!memory) {
    error = "cannot make the ZIP";
    return false;
  }
  zip_t* archive = zip_open_from_source(memory, ZIP_TRUNCATE, &zipError);
  if (!archive) {
    zip_source_free(memory);
    error = "cannot make the ZIP";
    return false;
  }
  zip_source_keep(memory);
  std::unique_ptr<zip_source_t, decltype(&zip_source_free)> keep(memory, zip_source_free);
  for (ZipFile& file : files) {
    zip_error_init(&file.error);
    zip_source_t* source = file.deflated ? zip_source_function(archive, DeflatedSource, &file)
                                         : zip_source_buffer(archive, file.data.data(), file.data.size(), 0);
    const zip_int64_t index = source ? zip_file_add(archive, file.name.c_str(), source, 0) : -1;
    if (index < 0) {
      if (source) zip_source_free(source);
      zip_discard(archive);
      error = "cannot add " + file.name + " to the ZIP";
      return false;
    }
    const auto at = static_cast<zip_uint64_t>(index);
    if ((!file.deflated && zip_set_file_compression(archive, at, ZIP_CM_STORE, 0) != 0) ||
        zip_file_set_mtime(archive, at, static_cast<time_t>(modified), 0) != 0) {
      zip_discard(archive);
      error = "cannot add " + file.name + " to the ZIP";
      return false;
    }
  }
  if (zip_close(archive) != 0) {
    error = std::string("cannot make the ZIP: ") + zip_strerror(archive);
    zip_discard(archive);
    return false;
  }
  zip_stat_t stat;
  zip_stat_init(&stat);
  if (zip_source_stat(memory, &stat) != 0 || zip_source_open(memory) != 0) {
    error = "cannot read the ZIP back";
    return false;
  }
  epub.resize(static_cast<std::size_t>(stat.size));
  const zip_int64_t read = zip_source_read(memory, epub.data(), stat.size);
  zip_source_close(memory);
  if (read != static_cast<zip_int64_t>(stat.size)) {
    error = "cannot read the ZIP back";
    return false;
  }
  return true;
}

// The articles with XML-safe texts, their file ids and their places under the volume headings
// (a divider is a volume heading without text; the articles after it are its children).
std::vector<Article> MakeArticles(const std::vector<Chapter>& chapters, BuildResult& result) {
  std::vector<Article> articles(chapters.size());
  std::size_t parent = SIZE_MAX;
  for (std::size_t i = 0; i < chapters.size(); ++i) {
    Article& a = articles[i];
    a.title = XmlSafe(chapters[i].title, result.dropped);
    a.text = XmlSafe(chapters[i].text, result.dropped);
    a.divider = a.text.empty() && book::IsVolumeHeading(a.title);
    std::string number = std::to_string(i + 1);
    if (number.size() < 5) number.insert(0, 5 - number.size(), '0');
    a.id = "a" + number;
    if (a.divider) {
      parent = i;
      ++result.dividers;
    } else if (parent != SIZE_MAX) {
      articles[parent].children.push_back(i);
    }
  }
  return articles;
}

// Each article's XHTML files, written and deflated on every core; `extra` counts the files an
// article was split into beyond its first. False when one cannot be written.
bool WriteArticleFiles(const std::vector<Article>& articles, const BookInfo& info,
                       std::vector<std::vector<ZipFile>>& parts, std::vector<std::size_t>& extra) {
  parts = std::vector<std::vector<ZipFile>>(articles.size());
  extra.assign(articles.size(), 0);
  std::atomic<bool> written{true};
  ForEachInParallel(articles.size(), [&](std::size_t i) {
    std::vector<std::string> xhtml;
    bool ok = ArticleFiles(articles[i], info, xhtml, extra[i]);
    for (std::size_t p = 0; p < xhtml.size(); ++p) {
      const std::string name = articles[i].id + (p == 0 ? "" : "-" + std::to_string(p + 1)) + ".xhtml";
      parts[i].push_back(Packed(name, xhtml[p], ok));
    }
    if (!ok) written = false;
  });
  return written;
}

}  // namespace

BuildResult BuildEpub(const BookInfo& given, const std::vector<Chapter>& chapters, std::string& epub) {
  BuildResult result;
  if (chapters.empty()) {
    result.error = "no articles";
    return result;
  }
  BookInfo info = given;
  info.title = XmlSafe(info.title, result.dropped);
  info.author = XmlSafe(info.author, result.dropped);
  if (info.title.empty()) info.title = "nvx";
  const std::string uuid = ContentUuid(info, chapters);
  std::vector<Article> articles = MakeArticles(chapters, result);
  std::vector<std::vector<ZipFile>> parts;
  std::vector<std::size_t> extra;
  if (!WriteArticleFiles(articles, info, parts, extra)) {
    result.error = "cannot write the XHTML files";
    return result;
  }

  // The files in the order readers expect, mimetype first; `files` never moves its elements.
  std::deque<ZipFile> files;
  bool ok = true;
  files.push_back({"mimetype", "application/epub+zip"});
  const std::string container = ContainerXml();
  files.push_back(Packed("META-INF/container.xml", container, ok));
  for (std::size_t i = 0; i < articles.size(); ++i) {
    result.splitParts += extra[i];
    for (ZipFile& part : parts[i]) {
      articles[i].files.push_back(part.name);
      part.name = "OEBPS/text/" + part.name;
      files.push_back(std::move(part));
    }
  }
  const std::string package = PackageXml(info, uuid, articles), nav = NavXhtml(info, articles),
                    ncx = NcxXml(info, uuid, articles);
  ok = ok && !container.empty() && !package.empty() && !nav.empty() && !ncx.empty();
  files.push_back(Packed("OEBPS/content.opf", package, ok));
  files.push_back(Packed("OEBPS/nav.xhtml", nav, ok));
  files.push_back(Packed("OEBPS/toc.ncx", ncx, ok));
  files.push_back(Packed("OEBPS/style.css", kStyle, ok));
  if (!ok) {
    result.error = "cannot write the book's package and contents";
    return result;
  }
  if (!Zip(files, info.modified, epub, result.error)) return result;
  result.ok = true;
  return result;
}

BuildResult WriteEpub(const Text& path, const BookInfo& info, const std::vector<Chapter>& chapters) {
  std::string epub;
  BuildResult result = BuildEpub(info, chapters, epub);
  if (!result.ok) return result;
  AtomicFile out;
  if (!out.Open(path) || !out.Write(epub) || !out.Commit()) {
    result.ok = false;
    result.error = "cannot write";
  }
  return result;
}

}  // namespace nvx::epub
