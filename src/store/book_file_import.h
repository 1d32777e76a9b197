// A book file brought into a collection, TXT or EPUB: read, decode, cut into articles, check the
// collection, write. The one routine behind `nvx import` and a book dropped on the editor.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "store/article_file.h"
#include "store/book_import.h"
#include "store/epub_reader.h"

namespace nvx::book {

// The whole of a regular file, read into a string of its size (never grown by doubling); nothing
// for anything else (a FIFO is never opened). `path` is UTF-8.
std::optional<std::string> ReadRegularFile(const std::string& path);

struct BookRequest {
  std::string path;      // UTF-8
  bool epub = false;     // an EPUB book; otherwise a TXT one
  std::string encoding;  // TXT: the encoding to use, as DecodeBook takes it; empty to tell it
  SplitOptions split;    // TXT: how chapters are cut
  // Each article before it is kept (converting its title and text); false stops the import.
  std::function<bool(BookArticle&)> prepare;
  bool dryRun = false;  // read and cut only; nothing is checked or written
  // Asked with the number of articles once the whole book is cut, before the collection is checked
  // and written; false leaves the collection as it was. Without it a TXT book's articles are written
  // as they are cut, so that a large book is never held whole.
  std::function<bool(std::size_t)> confirm;
};

enum class BookFailure {
  None,
  CannotRead,        // not a regular file, or it does not read
  NotDecoded,        // TXT: see `decoded` (unknownEncoding, cutUtf8, badOffset)
  NotEpub,           // EPUB: refused by the reader, `error` says why
  PatternTooCostly,  // TXT: the given rule ran out of its budget, `error` says where
  NotPrepared,       // `prepare` said no
  NoText,            // no articles
  Declined,          // `confirm` said no
  Damaged,           // the collection's quick check failed; `state` says how
  NotWritten,        // `written.error` says why; nothing was added
};

struct BookImport {
  BookFailure failure = BookFailure::None;
  std::string error;
  DecodedBook decoded;  // TXT: how the bytes were decoded (without the text)
  SplitBook split;      // TXT: how the text was cut (without the articles)
  epub::ContentsSource source = epub::ContentsSource::Nav;  // EPUB: where the contents came from
  std::vector<BookArticle> articles;  // titles, sizes and dividers, in order (bodies dropped)
  ArticleFileState state = ArticleFileState::Sound;
  WriteOutcome written;
};

BookImport ImportBook(SqliteDB& db, const BookRequest& request);

}  // namespace nvx::book
