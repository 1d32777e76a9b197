#include "store/book_file_import.h"

#include <sys/stat.h>

#include <fstream>
#include <iterator>

namespace nvx::book {
namespace {

// Keeps an article's title, size and place for the report, not its text.
BookArticle Summary(const BookArticle& article) {
  return {article.title, {}, article.characters, article.divider};
}

// A collection that is not sound is not written into: it reads as far as it reads.
bool Sound(SqliteDB& db, BookImport& result) {
  result.state = QuickCheck(db);
  if (result.state != ArticleFileState::Sound) result.failure = BookFailure::Damaged;
  return result.failure == BookFailure::None;
}

// Asks (when the request asks), checks the collection, and writes all the articles in one go.
void ConfirmAndWrite(SqliteDB& db, const BookRequest& request, const std::vector<BookArticle>& articles,
                     BookImport& result) {
  if (request.confirm && !request.confirm(articles.size())) {
    result.failure = BookFailure::Declined;
    return;
  }
  if (!Sound(db, result)) return;
  result.written = WriteArticles(db, articles);
  if (!result.written.ok) result.failure = BookFailure::NotWritten;
}

// The articles of an EPUB book, checked and written whole.
void ImportEpub(SqliteDB& db, const BookRequest& request, std::string bytes, BookImport& result) {
  epub::ReadResult book = epub::ReadEpub(bytes);
  std::string().swap(bytes);
  result.source = book.source;
  if (!book.ok) {
    result.failure = BookFailure::NotEpub;
    result.error = book.error;
    return;
  }
  for (BookArticle& article : book.articles) {
    if (request.prepare && !request.prepare(article)) {
      result.failure = BookFailure::NotPrepared;
      return;
    }
    result.articles.push_back(Summary(article));
  }
  if (book.articles.empty()) result.failure = BookFailure::NoText;
  if (book.articles.empty() || request.dryRun) return;
  ConfirmAndWrite(db, request, book.articles, result);
}

// The chapters of a TXT book: decoded, cut, and written as they are cut unless asked about first.
void ImportText(SqliteDB& db, const BookRequest& request, BookImport& result) {
  std::optional<DecodedBook> decoded = DecodeBookFile(request.path, request.encoding);
  if (!decoded) {
    result.failure = BookFailure::CannotRead;
    return;
  }
  result.decoded = std::move(*decoded);
  const std::string text = std::move(result.decoded.text);
  result.decoded.text.clear();
  if (!result.decoded.ok) {
    result.failure = BookFailure::NotDecoded;
    return;
  }
  const bool streamed = !request.dryRun && !request.confirm;
  if (streamed && !Sound(db, result)) return;
  // Streamed, the articles go into the collection as they are cut, in one transaction.
  std::optional<ArticleWriter> writer;
  if (streamed) writer.emplace(db);
  std::vector<BookArticle> whole;
  bool prepared = true;
  result.split = SplitIntoArticles(text, request.split, [&](BookArticle&& article) {
    if (request.prepare && prepared) prepared = request.prepare(article);
    if (!prepared) return;
    result.articles.push_back(Summary(article));
    if (writer) {
      writer->Add(std::move(article));
    } else if (request.confirm) {
      whole.push_back(std::move(article));
    }
  });
  if (!result.split.error.empty()) {
    result.failure = BookFailure::PatternTooCostly;
    result.error = result.split.error;
  } else if (!prepared) {
    result.failure = BookFailure::NotPrepared;
  } else if (result.articles.empty()) {
    result.failure = BookFailure::NoText;
  }
  if (result.failure != BookFailure::None || request.dryRun) return;
  if (!writer) {
    ConfirmAndWrite(db, request, whole, result);
    return;
  }
  result.written = writer->Finish();
  if (!result.written.ok) result.failure = BookFailure::NotWritten;
}

}  // namespace

std::optional<std::string> ReadRegularFile(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes(static_cast<std::size_t>(st.st_size), '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  if (in.bad()) return std::nullopt;
  if (in) bytes.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());  // it grew
  return bytes;
}

BookImport ImportBook(SqliteDB& db, const BookRequest& request) {
  BookImport result;
  if (!request.epub) {
    ImportText(db, request, result);
    return result;
  }
  std::optional<std::string> bytes = ReadRegularFile(request.path);
  if (!bytes) {
    result.failure = BookFailure::CannotRead;
  } else {
    ImportEpub(db, request, std::move(*bytes), result);
  }
  return result;
}

}  // namespace nvx::book
