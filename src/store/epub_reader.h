// Reading an EPUB book into articles: one article per entry of its contents, in reading order, with
// the text a reader shows (paragraphs become lines joined by CR LF; images and styles left out).
//
// The ZIP is read by libzip and the XML and XHTML by libxml2 (never fetching anything from the
// network, never expanding entities a document declares). A book that cannot be read whole is
// refused with the reason; nothing is ever half read.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "store/book_import.h"

namespace nvx::epub {

// Bounds on what a book may unpack to, against ZIP bombs: all entries together, and how many times
// larger than its packed bytes an entry over kRatioFloorBytes may become.
inline constexpr std::uint64_t kMaxUnpackedBytes = 1ULL << 30;  // 1 GiB
inline constexpr std::uint64_t kMaxPackingRatio = 200;
inline constexpr std::uint64_t kRatioFloorBytes = 1ULL << 20;
inline constexpr std::uint64_t kMaxEntries = 100000;

enum class ContentsSource { Nav, Ncx, Spine };
const char* ContentsSourceName(ContentsSource source);  // "nav", "NCX", "spine"

struct ReadResult {
  bool ok = false;
  std::string error;  // when not ok: the reason, in English ("damaged ZIP: ...", "encrypted ...")
  std::vector<book::BookArticle> articles;
  ContentsSource source = ContentsSource::Nav;
};

// The contents come from the nav document, else the NCX, else the spine (one article per file).
// Entries pointing into one file by fragment are cut at their anchors; nested entries are taken in
// order, a parent's own text (often none: it is then a divider) before its children. A heading at
// the start of an entry's text that repeats its title is left out. Refused: a damaged ZIP, a
// missing or unparsable container or package (OPF), an encrypted book (META-INF/encryption.xml
// other than font obfuscation, or ZIP encryption), entries past the bounds above, and names or
// references that lead out of the archive.
ReadResult ReadEpub(std::string_view bytes);

}  // namespace nvx::epub
