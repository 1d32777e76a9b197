// EPUB import on any bytes: the book is read whole or refused with a reason, never half read; what
// it gives is UTF-8 titles and bodies without zero characters, each claiming the character count
// it has.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "store/book_import.h"
#include "store/epub_reader.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

bool IsText(std::string_view s) {
  return nvx::book::Utf8ValidPrefix(s) == s.size() && s.find('\0') == std::string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const nvx::epub::ReadResult book =
      nvx::epub::ReadEpub(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!book.ok) {
    Require(!book.error.empty() && book.articles.empty());
    return 0;
  }
  for (const auto& article : book.articles) {
    Require(IsText(article.title) && IsText(article.body));
    Require(article.characters == nvx::book::CountCharacters(article.body));
  }
  return 0;
}
