#include "store/epub_reader.h"

#include <libxml/HTMLparser.h>
#include <libxml/parser.h>
#include <zip.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>

#include "store/epub_writer.h"

namespace nvx::epub {

namespace {

// A refusal on its way out: the reason, thrown from deep inside and caught once in ReadEpub.
struct Refusal {
  std::string reason;
};

using XmlDoc = std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)>;

bool Is(const xmlNode* node, const char* name) {
  return node && node->type == XML_ELEMENT_NODE && xmlStrcasecmp(node->name, BAD_CAST name) == 0;
}

std::string Attribute(const xmlNode* node, const char* name) {
  xmlChar* value = xmlGetProp(node, BAD_CAST name);
  if (!value) return {};
  std::string out(reinterpret_cast<const char*>(value));
  xmlFree(value);
  return out;
}

// Strict XML; on failure the parser's message and line.
XmlDoc ParseXml(std::string_view bytes, std::string* error) {
  std::unique_ptr<xmlParserCtxt, decltype(&xmlFreeParserCtxt)> context(xmlNewParserCtxt(), xmlFreeParserCtxt);
  if (!context) return XmlDoc(nullptr, xmlFreeDoc);
  XmlDoc doc(xmlCtxtReadMemory(context.get(), bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr,
                               XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING),
             xmlFreeDoc);
  if (!doc && error) {
    const xmlError* e = xmlCtxtGetLastError(context.get());
    std::string message = e && e->message ? e->message : "not XML";
    while (!message.empty() && message.back() == '\n') message.pop_back();
    *error = e ? "line " + std::to_string(e->line) + ": " + message : message;
  }
  return doc;
}

// XHTML as XML, else (a book with HTML entities or tag soup) through the forgiving HTML parser.
XmlDoc ParseXhtml(std::string_view bytes) {
  XmlDoc doc = ParseXml(bytes, nullptr);
  if (doc) return doc;
  // A book's documents are UTF-8 unless they start with a UTF-16 byte order mark.
  const bool utf16 = bytes.starts_with("\xff\xfe") || bytes.starts_with("\xfe\xff");
  return XmlDoc(
      htmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr, utf16 ? nullptr : "UTF-8",
                     HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_RECOVER),
      xmlFreeDoc);
}

template <typename Visit>
void ForEachElement(xmlNode* node, const Visit& visit) {
  for (; node; node = node->next) {
    if (node->type != XML_ELEMENT_NODE) continue;
    visit(node);
    ForEachElement(node->children, visit);
  }
}

xmlNode* FindElement(xmlNode* node, const char* name) {
  xmlNode* found = nullptr;
  ForEachElement(node, [&](xmlNode* n) {
    if (!found && Is(n, name)) found = n;
  });
  return found;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

// Runs of ASCII white space as one space, none at either end.
std::string Collapse(std::string_view s) {
  std::string out;
  bool space = false;
  for (char c : s) {
    if (IsSpace(c)) {
      space = !out.empty();
    } else {
      if (space) out += ' ';
      space = false;
      out += c;
    }
  }
  return out;
}

std::string TextOf(const xmlNode* node) {
  std::string out;
  for (const xmlNode* n = node->children; n; n = n->next) {
    if (n->type == XML_TEXT_NODE || n->type == XML_CDATA_SECTION_NODE) {
      if (n->content) out += reinterpret_cast<const char*>(n->content);
    } else if (n->type == XML_ELEMENT_NODE) {
      out += TextOf(n);
    }
  }
  return out;
}

// ---- Archive ----------------------------------------------------------------------------------

class Archive {
 public:
  explicit Archive(std::string_view bytes) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    if (source) archive_.reset(zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error));
    if (!archive_) {
      if (source) zip_source_free(source);
      const std::string reason = zip_error_strerror(&error);
      zip_error_fini(&error);
      throw Refusal{"damaged ZIP: " + reason};
    }
    const zip_int64_t count = zip_get_num_entries(archive_.get(), 0);
    if (count < 0 || static_cast<std::uint64_t>(count) > kMaxEntries)
      throw Refusal{"ZIP bomb: more than " + std::to_string(kMaxEntries) + " entries"};
    std::uint64_t total = 0;
    for (zip_int64_t i = 0; i < count; ++i) {
      zip_stat_t st;
      if (zip_stat_index(archive_.get(), static_cast<zip_uint64_t>(i), 0, &st) != 0 ||
          !(st.valid & ZIP_STAT_NAME))
        throw Refusal{"damaged ZIP: entry " + std::to_string(i) + " cannot be read"};
      const std::string name = st.name;
      if (Escapes(name)) throw Refusal{"path escaping the archive: " + name};
      if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE)
        throw Refusal{"encrypted (ZIP encryption of " + name + ")"};
      total += st.size;
      if (total > kMaxUnpackedBytes) throw Refusal{"ZIP bomb: entries unpack to more than 1 GiB"};
      if (st.size > kRatioFloorBytes && st.size / std::max<zip_uint64_t>(1, st.comp_size) > kMaxPackingRatio)
        throw Refusal{"ZIP bomb: " + name + " unpacks to more than " + std::to_string(kMaxPackingRatio) +
                      " times its size"};
      entries_.emplace(name, Entry{static_cast<zip_uint64_t>(i), st.size});
    }
  }
  // Another handle on the same bytes, already checked, for reading from another thread.
  Archive(const Archive& checked, std::string_view bytes) : entries_(checked.entries_) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    if (source) archive_.reset(zip_open_from_source(source, ZIP_RDONLY, &error));
    if (!archive_) {
      if (source) zip_source_free(source);
      zip_error_fini(&error);
      throw Refusal{"damaged ZIP"};
    }
  }
  Archive(const Archive&) = delete;
  Archive& operator=(const Archive&) = delete;

  bool Has(const std::string& name) const { return entries_.count(name) != 0; }

  // The entry's bytes; refused when it is not there (`what` names it) or does not unpack.
  std::string Read(const std::string& name, const std::string& what) const {
    const auto found = entries_.find(name);
    if (found == entries_.end()) throw Refusal{"missing " + what + " " + name};
    zip_file_t* file = zip_fopen_index(archive_.get(), found->second.index, 0);
    if (!file) throw Refusal{"damaged ZIP: " + name + ": " + zip_strerror(archive_.get())};
    std::string bytes(found->second.size, '\0');
    const zip_int64_t read = zip_fread(file, bytes.data(), bytes.size());
    char extra = 0;
    const zip_int64_t more = read >= 0 ? zip_fread(file, &extra, 1) : 0;
    const std::string reason = read < 0 || more < 0 ? zip_file_strerror(file) : "size does not match";
    zip_fclose(file);
    if (read != static_cast<zip_int64_t>(bytes.size()) || more != 0)
      throw Refusal{"damaged ZIP: " + name + ": " + reason};
    return bytes;
  }

  // A name that starts at the root or climbs out of the archive with "..".
  static bool Escapes(std::string_view name) {
    if (name.empty() || name[0] == '/' || name[0] == '\\' || name.find(':') == 1) return true;
    int depth = 0;
    std::size_t start = 0;
    while (start <= name.size()) {
      std::size_t end = name.find_first_of("/\\", start);
      if (end == std::string_view::npos) end = name.size();
      const std::string_view part = name.substr(start, end - start);
      if (part == "..") {
        if (--depth < 0) return true;
      } else if (!part.empty() && part != ".") {
        ++depth;
      }
      start = end + 1;
    }
    return false;
  }

 private:
  struct Entry {
    zip_uint64_t index = 0;
    std::uint64_t size = 0;
  };
  // Owned from the start, so that a refusal thrown by the constructor still closes it.
  std::unique_ptr<zip_t, decltype(&zip_discard)> archive_{nullptr, zip_discard};
  std::map<std::string, Entry> entries_;
};

std::string Folder(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string PercentDecoded(std::string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() + 0 && HexValue(s[i + 1]) >= 0 && HexValue(s[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(s[i + 1]) * 16 + HexValue(s[i + 2]));
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

// A reference inside the book: the entry's name (from the archive's root) and the fragment.
struct Reference {
  std::string path;
  std::string fragment;
};

// `href` taken from a file in `folder`; nothing for a link out of the book (a URL with a scheme).
// A path that climbs out of the archive is refused.
std::optional<Reference> Resolve(const std::string& folder, std::string_view href) {
  const auto hash = href.find('#');
  Reference ref;
  if (hash != std::string_view::npos) ref.fragment = PercentDecoded(href.substr(hash + 1));
  const std::string path = PercentDecoded(href.substr(0, hash));
  const auto colon = path.find(':');
  if (colon != std::string::npos && path.find('/') > colon) return std::nullopt;
  if (path.empty()) return std::nullopt;
  const std::string joined = path[0] == '/' ? path.substr(1) : folder + path;
  if (Archive::Escapes(joined)) throw Refusal{"path escaping the archive: " + std::string(href)};
  std::vector<std::string_view> parts;
  std::string_view rest = joined;
  while (!rest.empty()) {
    const auto slash = rest.find('/');
    const std::string_view part = rest.substr(0, slash);
    if (part == "..") {
      parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
  }
  for (std::size_t i = 0; i < parts.size(); ++i) ref.path += (i ? "/" : "") + std::string(parts[i]);
  return ref;
}

// ---- Text of a document -----------------------------------------------------------------------

struct Line {
  std::string text;
  bool heading = false;       // from h1-h6
  bool joinPrevious = false;  // the rest of the line before, cut where a file ended
};

struct Document {
  std::vector<Line> lines;
  std::unordered_map<std::string, std::size_t> anchors;  // id -> the line it starts at
  bool exact = false;  // written by this program's writer: every space of a line is text
  std::string title;   // <title>, else the first heading
};

bool IsBlock(const xmlNode* n) {
  static const char* const kBlocks[] = {
      "p",   "div",    "h1",         "h2",         "h3",      "h4",      "h5",     "h6",     "li",
      "ul",  "ol",     "dl",         "dt",         "dd",      "pre",     "hr",     "table",  "tr",
      "td",  "th",     "body",       "blockquote", "section", "article", "header", "footer", "aside",
      "nav", "figure", "figcaption", "address",    "main",    "caption", "center"};
  for (const char* name : kBlocks)
    if (Is(n, name)) return true;
  return false;
}

bool IsHeadingElement(const xmlNode* n) {
  return n->name && (n->name[0] == 'h' || n->name[0] == 'H') && n->name[1] >= '1' && n->name[1] <= '6' &&
         n->name[2] == 0;
}

// Turns a document's body into lines as a reader shows them: each block (paragraph, heading, list
// item ...) its own line, a <br> ends a line, white space collapsed outside <pre>. In this
// program's own files spaces are kept as they are, and a paragraph of class "cont" continues the
// line before it.
class TextCollector {
 public:
  explicit TextCollector(Document& doc) : doc_(doc) {}

  void Walk(xmlNode* node) {
    for (; node; node = node->next) {
      if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) {
        if (node->content) AddText(reinterpret_cast<const char*>(node->content));
        continue;
      }
      if (node->type != XML_ELEMENT_NODE) continue;  // comments, entity references, ...
      if (Is(node, "head") || Is(node, "script") || Is(node, "style") || Is(node, "rt") || Is(node, "rp") ||
          Is(node, "title"))
        continue;
      const bool block = IsBlock(node);
      if (block) EndLine();
      std::string id = Attribute(node, "id");
      if (id.empty() && Is(node, "a")) id = Attribute(node, "name");
      if (!id.empty()) doc_.anchors.emplace(std::move(id), doc_.lines.size());
      if (Is(node, "br")) {
        Push();
        continue;
      }
      const bool heading = IsHeadingElement(node), pre = Is(node, "pre"),
                 paragraph = heading || Is(node, "p");
      if (doc_.exact && Is(node, "p") && Attribute(node, "class") == "cont") join_ = true;
      headings_ += heading;
      pre_ += pre;
      paragraphs_ += paragraph;
      Walk(node->children);
      if (block) EndLine();
      headings_ -= heading;
      pre_ -= pre;
      paragraphs_ -= paragraph;
    }
  }
  void Finish() { EndLine(); }

 private:
  void AddText(std::string_view s) {
    if (pre_ == 0 && doc_.exact && paragraphs_ > 0 && s.find('\r') == std::string_view::npos) {
      line_ += s;
      open_ = true;
      return;
    }
    if (pre_ > 0 || (doc_.exact && paragraphs_ > 0)) {
      for (char c : s) {
        if (c == '\n' && pre_ > 0) {
          Push();
        } else if (c != '\r') {
          line_ += c;
          open_ = true;
        }
      }
      return;
    }
    for (char c : s) {
      if (IsSpace(c)) {
        space_ = open_;
      } else {
        if (space_) line_ += ' ';
        space_ = false;
        line_ += c;
        open_ = true;
      }
    }
  }
  void Push() {
    doc_.lines.push_back({std::move(line_), headings_ > 0, join_});
    line_.clear();
    open_ = space_ = join_ = false;
  }
  void EndLine() {
    if (open_) Push();
    space_ = false;
  }

  Document& doc_;
  std::string line_;
  bool open_ = false, space_ = false, join_ = false;
  int headings_ = 0, pre_ = 0, paragraphs_ = 0;
};

Document ReadDocument(std::string_view bytes) {
  Document doc;
  XmlDoc xml = ParseXhtml(bytes);
  if (!xml) return doc;
  xmlNode* root = xmlDocGetRootElement(xml.get());
  if (xmlNode* head = FindElement(root, "head")) {
    ForEachElement(head->children, [&](xmlNode* n) {
      if (Is(n, "meta") && Attribute(n, "name") == "generator" && Attribute(n, "content") == kGenerator)
        doc.exact = true;
      if (Is(n, "title") && doc.title.empty()) doc.title = Collapse(TextOf(n));
    });
  }
  xmlNode* body = FindElement(root, "body");
  TextCollector collector(doc);
  collector.Walk(body ? body->children : root);
  collector.Finish();
  if (doc.title.empty()) {
    for (const auto& line : doc.lines) {
      if (line.heading) {
        doc.title = line.text;
        break;
      }
    }
  }
  return doc;
}

// ---- Contents ---------------------------------------------------------------------------------

struct Entry {
  std::string title;
  std::optional<Reference> target;
  bool parent = false;
};

void NavList(xmlNode* list, const std::string& folder, bool exact, std::vector<Entry>& entries) {
  for (xmlNode* item = list ? list->children : nullptr; item; item = item->next) {
    if (!Is(item, "li")) continue;
    Entry entry;
    xmlNode* children = nullptr;
    for (xmlNode* n = item->children; n; n = n->next) {
      if ((Is(n, "a") || Is(n, "span")) && entry.title.empty() && !entry.target) {
        const std::string text = TextOf(n);
        entry.title = exact ? text : Collapse(text);
        if (exact && Attribute(n, "class") == kUntitled) entry.title.clear();
        if (Is(n, "a")) entry.target = Resolve(folder, Attribute(n, "href"));
      } else if (Is(n, "ol") || Is(n, "ul")) {
        children = n;
      }
    }
    entry.parent = children != nullptr;
    entries.push_back(std::move(entry));
    NavList(children, folder, exact, entries);
  }
}

std::vector<Entry> NavEntries(const std::string& path, std::string_view bytes) {
  std::vector<Entry> entries;
  XmlDoc xml = ParseXhtml(bytes);
  if (!xml) return entries;
  const bool exact = ReadDocument(bytes).exact;
  xmlNode* toc = nullptr;
  ForEachElement(xmlDocGetRootElement(xml.get()), [&](xmlNode* n) {
    if (toc || !Is(n, "nav")) return;
    std::string type = Attribute(n, "type");
    if (type.empty()) type = Attribute(n, "epub:type");
    if (type.find("toc") != std::string::npos) toc = n;
  });
  if (toc) {
    for (xmlNode* n = toc->children; n; n = n->next) {
      if (Is(n, "ol") || Is(n, "ul")) NavList(n, Folder(path), exact, entries);
    }
  }
  return entries;
}

void NcxPoints(xmlNode* parent, const std::string& folder, std::vector<Entry>& entries) {
  for (xmlNode* point = parent->children; point; point = point->next) {
    if (!Is(point, "navPoint")) continue;
    Entry entry;
    bool children = false;
    for (xmlNode* n = point->children; n; n = n->next) {
      if (Is(n, "navLabel")) {
        if (xmlNode* text = FindElement(n->children, "text")) entry.title = Collapse(TextOf(text));
      } else if (Is(n, "content")) {
        entry.target = Resolve(folder, Attribute(n, "src"));
      } else if (Is(n, "navPoint")) {
        children = true;
      }
    }
    entry.parent = children;
    entries.push_back(std::move(entry));
    NcxPoints(point, folder, entries);
  }
}

std::vector<Entry> NcxEntries(const std::string& path, std::string_view bytes) {
  std::vector<Entry> entries;
  XmlDoc xml = ParseXml(bytes, nullptr);
  if (!xml) return entries;
  if (xmlNode* map = FindElement(xmlDocGetRootElement(xml.get()), "navMap"))
    NcxPoints(map, Folder(path), entries);
  return entries;
}

struct ManifestItem {
  std::string path;
  std::string type;
  std::string properties;
};

// Whether META-INF/encryption.xml encrypts anything but fonts (font obfuscation hides nothing a
// reader needs; every other algorithm hides the text).
bool EncryptsText(std::string_view bytes) {
  XmlDoc xml = ParseXml(bytes, nullptr);
  if (!xml) return true;
  bool text = false;
  ForEachElement(xmlDocGetRootElement(xml.get()), [&](xmlNode* n) {
    if (!Is(n, "EncryptionMethod")) return;
    const std::string algorithm = Attribute(n, "Algorithm");
    if (algorithm != "http://www.idpf.org/2008/embedding" && algorithm != "http://ns.adobe.com/pdf/enc#RC")
      text = true;
  });
  return text;
}

struct Position {
  std::size_t document = 0;
  std::size_t line = 0;
  friend auto operator<=>(const Position&, const Position&) = default;
};

std::string JoinLines(const std::vector<Document>& docs, Position from, Position to,
                      const std::string& title) {
  std::vector<const Line*> lines;
  for (std::size_t d = from.document; d <= to.document && d < docs.size(); ++d) {
    const std::size_t begin = d == from.document ? from.line : 0;
    const std::size_t end = d == to.document ? to.line : docs[d].lines.size();
    for (std::size_t l = begin; l < end && l < docs[d].lines.size(); ++l) lines.push_back(&docs[d].lines[l]);
  }
  const bool exact = from.document < docs.size() && docs[from.document].exact;
  std::size_t first = 0, last = lines.size();
  if (first < last && lines[first]->heading &&
      (exact ? lines[first]->text == title : Collapse(lines[first]->text) == Collapse(title)))
    ++first;
  if (!exact) {
    while (first < last && Collapse(lines[first]->text).empty()) ++first;
    while (last > first && Collapse(lines[last - 1]->text).empty()) --last;
  }
  std::string text;
  for (std::size_t i = first; i < last; ++i) {
    if (i > first && !lines[i]->joinPrevious) text += "\r\n";
    text += lines[i]->text;
  }
  text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
  return text;
}

// What the package file says: where it is, its manifest by id, the spine's ids in reading order
// and the id of the NCX.
struct Package {
  std::string opfPath;
  std::map<std::string, ManifestItem> manifest;
  std::vector<std::string> spine;
  std::string ncxId;
};

Package ReadPackage(const Archive& archive) {
  if (archive.Has("META-INF/encryption.xml") &&
      EncryptsText(archive.Read("META-INF/encryption.xml", "encryption list")))
    throw Refusal{"encrypted (META-INF/encryption.xml)"};

  std::string error;
  const XmlDoc container = ParseXml(archive.Read("META-INF/container.xml", "container"), &error);
  if (!container) throw Refusal{"META-INF/container.xml does not parse: " + error};
  Package package;
  std::string& opfPath = package.opfPath;
  ForEachElement(xmlDocGetRootElement(container.get()), [&](xmlNode* n) {
    if (opfPath.empty() && Is(n, "rootfile")) opfPath = Attribute(n, "full-path");
  });
  if (opfPath.empty()) throw Refusal{"missing OPF: META-INF/container.xml names no package file"};
  if (Archive::Escapes(opfPath)) throw Refusal{"path escaping the archive: " + opfPath};
  const XmlDoc opf = ParseXml(archive.Read(opfPath, "OPF"), &error);
  if (!opf) throw Refusal{"OPF " + opfPath + " does not parse: " + error};

  const std::string opfFolder = Folder(opfPath);
  ForEachElement(xmlDocGetRootElement(opf.get()), [&](xmlNode* n) {
    if (Is(n, "item")) {
      const auto ref = Resolve(opfFolder, Attribute(n, "href"));
      if (ref)
        package.manifest[Attribute(n, "id")] = {ref->path, Attribute(n, "media-type"),
                                                Attribute(n, "properties")};
    } else if (Is(n, "spine")) {
      package.ncxId = Attribute(n, "toc");
    } else if (Is(n, "itemref")) {
      package.spine.push_back(Attribute(n, "idref"));
    }
  });
  return package;
}

// The spine's documents as text, and the place of each in it by its path.
struct Spine {
  std::vector<Document> docs;
  std::map<std::string, std::size_t> docIndex;
};

// Unpacks the spine's documents and turns them into text on every core.
Spine ReadSpine(const Archive& archive, std::string_view bytes, const Package& package) {
  Spine spine;
  std::vector<std::string> paths;  // empty for a file that is not XHTML
  for (const auto& id : package.spine) {
    const auto item = package.manifest.find(id);
    if (item == package.manifest.end()) continue;
    const ManifestItem& m = item->second;
    spine.docIndex.emplace(m.path, paths.size());
    const bool xhtml = m.type == "application/xhtml+xml" || m.type == "text/html";
    paths.push_back(xhtml ? m.path : std::string());
  }
  std::vector<Document>& docs = spine.docs;
  docs.resize(paths.size());
  std::atomic<std::size_t> next{0};
  std::mutex failing;
  std::optional<Refusal> refusal;
  auto work = [&](const Archive* shared) {
    try {
      std::optional<Archive> own;
      if (!shared) own.emplace(archive, bytes);
      const Archive& reader = shared ? *shared : *own;
      for (std::size_t i; (i = next++) < paths.size();) {
        if (!paths[i].empty()) docs[i] = ReadDocument(reader.Read(paths[i], "spine file"));
      }
    } catch (const Refusal& r) {
      const std::lock_guard<std::mutex> lock(failing);
      if (!refusal) refusal = r;
      next = paths.size();
    } catch (const std::exception& e) {
      const std::lock_guard<std::mutex> lock(failing);
      if (!refusal) refusal = Refusal{std::string("cannot read the book: ") + e.what()};
      next = paths.size();
    }
  };
  std::vector<std::thread> helpers;
  for (unsigned t = 1; t < std::max(2u, std::thread::hardware_concurrency()); ++t)
    helpers.emplace_back(work, nullptr);
  work(&archive);
  for (auto& helper : helpers) helper.join();
  if (refusal) throw *refusal;
  if (docs.empty()) throw Refusal{"OPF " + package.opfPath + " has no spine"};
  return spine;
}

// The contents: from the nav document, else the NCX, else one entry per spine document.
std::vector<Entry> ReadContents(const Archive& archive, const Package& package, const Spine& spine,
                                ContentsSource& source) {
  std::vector<Entry> entries;
  for (const auto& [id, m] : package.manifest) {
    if (m.properties.find("nav") != std::string::npos && archive.Has(m.path)) {
      entries = NavEntries(m.path, archive.Read(m.path, "nav"));
      break;
    }
  }
  const auto ncx = package.manifest.find(package.ncxId);
  if (entries.empty() && ncx != package.manifest.end() && archive.Has(ncx->second.path)) {
    const std::string& path = ncx->second.path;
    entries = NcxEntries(path, archive.Read(path, "NCX"));
    source = ContentsSource::Ncx;
  }
  if (entries.empty()) {
    source = ContentsSource::Spine;
    for (std::size_t d = 0; d < spine.docs.size(); ++d) {
      Entry entry;
      entry.title = spine.docs[d].title.empty() ? "第" + std::to_string(d + 1) + "节" : spine.docs[d].title;
      for (const auto& [path, index] : spine.docIndex)
        if (index == d) entry.target = Reference{path, {}};
      entries.push_back(std::move(entry));
    }
  }
  return entries;
}

// One article per entry. An entry's text runs from where it starts to the next place another
// entry starts, and of entries starting at one place the last one takes the text.
std::vector<book::BookArticle> CutArticles(const std::vector<Entry>& entries, const Spine& spine) {
  const std::vector<Document>& docs = spine.docs;
  std::vector<std::optional<Position>> starts(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (!entries[i].target) continue;
    const auto doc = spine.docIndex.find(entries[i].target->path);
    if (doc == spine.docIndex.end()) continue;
    Position p{doc->second, 0};
    const auto anchor = docs[p.document].anchors.find(entries[i].target->fragment);
    if (!entries[i].target->fragment.empty() && anchor != docs[p.document].anchors.end())
      p.line = anchor->second;
    starts[i] = p;
  }
  std::vector<Position> sorted;
  for (const auto& s : starts)
    if (s) sorted.push_back(*s);
  std::sort(sorted.begin(), sorted.end());
  std::map<Position, std::size_t> lastAt;  // the last entry starting at each place
  for (std::size_t i = 0; i < entries.size(); ++i)
    if (starts[i]) lastAt[*starts[i]] = i;
  std::vector<book::BookArticle> articles;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    book::BookArticle article;
    article.title = entries[i].title;
    const bool sharedLater = starts[i] && lastAt[*starts[i]] != i;
    if (starts[i] && !sharedLater) {
      const auto next = std::upper_bound(sorted.begin(), sorted.end(), *starts[i]);
      const Position end = next == sorted.end() ? Position{docs.size(), 0} : *next;
      article.body = JoinLines(docs, *starts[i], end, article.title);
    }
    article.title.erase(std::remove(article.title.begin(), article.title.end(), '\0'), article.title.end());
    article.characters = book::CountCharacters(article.body);
    article.divider = entries[i].parent && article.body.empty();
    articles.push_back(std::move(article));
  }
  return articles;
}

ReadResult Read(std::string_view bytes) {
  Archive archive(bytes);
  const Package package = ReadPackage(archive);
  const Spine spine = ReadSpine(archive, bytes, package);
  ReadResult result;
  const std::vector<Entry> entries = ReadContents(archive, package, spine, result.source);
  result.articles = CutArticles(entries, spine);
  result.ok = true;
  return result;
}

}  // namespace

const char* ContentsSourceName(ContentsSource source) {
  switch (source) {
    case ContentsSource::Nav: return "nav";
    case ContentsSource::Ncx: return "NCX";
    case ContentsSource::Spine: return "spine";
  }
  return "nav";
}

ReadResult ReadEpub(std::string_view bytes) {
  xmlInitParser();
  try {
    return Read(bytes);
  } catch (const Refusal& refusal) {
    ReadResult result;
    result.error = refusal.reason;
    return result;
  }
}

}  // namespace nvx::epub
