// Writing articles as an EPUB 3 book that e-readers take: one XHTML file per article (an article
// too large for a reader to page through comfortably is cut into parts that stay one entry of the
// contents), both contents lists (nav.xhtml and toc.ncx), volume dividers as the parent level.
//
// Everything here is UTF-8. The ZIP is made by libzip and the XML by libxml2's writer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/value.h"

namespace nvx::epub {

// An XHTML file holds at most this many bytes; a longer article goes into several files.
inline constexpr std::size_t kMaxPartBytes = 240 * 1024;

// Marks the XHTML files this writer makes, so that reading them back keeps every space of a line.
inline constexpr const char* kGenerator = "nvx";
// The class of a contents entry standing for an article without a title.
inline constexpr const char* kUntitled = "untitled";

struct Chapter {
  std::string title;  // UTF-8
  std::string text;   // UTF-8; lines end in CR LF, LF or CR
};

struct BookInfo {
  std::string title;               // dc:title
  std::string author;              // dc:creator; none when empty
  std::string language = "zh-CN";  // dc:language and xml:lang of every file
  std::int64_t modified = 0;       // seconds since 1970: dcterms:modified and every ZIP entry's time
};

struct BuildResult {
  bool ok = false;
  std::string error;           // when not ok: why, in English
  std::size_t dropped = 0;     // characters XML cannot hold (control characters), left out
  std::size_t dividers = 0;    // volume headings made parents of the contents
  std::size_t splitParts = 0;  // extra XHTML files of articles over kMaxPartBytes
};

// An article with an empty text whose title is a volume heading (第一卷, 第二部 ...) is a divider:
// a file of its own and the parent of the articles after it in both contents lists. The book's
// identifier is made from its contents, so the same input (and the same `modified`) gives the same
// bytes. An empty list of chapters is refused.
BuildResult BuildEpub(const BookInfo& info, const std::vector<Chapter>& chapters, std::string& epub);

// BuildEpub, then the bytes written to `path` (local code page) under a temporary name beside it,
// flushed and renamed over it; on any failure the earlier file stays.
BuildResult WriteEpub(const Text& path, const BookInfo& info, const std::vector<Chapter>& chapters);

}  // namespace nvx::epub
