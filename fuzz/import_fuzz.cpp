// TXT import on any bytes: telling the encoding and decoding, then cutting the text into articles
// under the default rule (with the usual and with a tiny chapter limit) and under a rule of the
// user's, and searching it. Whatever the bytes, decoded text is UTF-8 without zero characters, and
// every article has a UTF-8 title and body whose line ends are all CR LF, no blank line at either
// end, and the character count it claims. Taken as stored text, the bytes decode for searching
// exactly as the code-page converter decodes them.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "base/codepage.h"
#include "store/book_import.h"
#include "store/book_search.h"
#include "store/text_pattern.h"

using namespace nvx::book;

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

bool IsUtf8(std::string_view s) { return Utf8ValidPrefix(s) == s.size(); }

bool LineEndsAreCrLf(std::string_view s) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\n' && (i == 0 || s[i - 1] != '\r')) return false;
    if (s[i] == '\r' && (i + 1 == s.size() || s[i + 1] != '\n')) return false;
  }
  return true;
}

void CheckSplit(std::string_view text, const SplitOptions& options) {
  const SplitBook book = SplitIntoArticles(text, options);
  if (!book.error.empty()) return;
  std::size_t characters = 0;
  for (const BookArticle& article : book.articles) {
    Require(IsUtf8(article.title) && IsUtf8(article.body));
    Require(LineEndsAreCrLf(article.body));
    Require(!article.body.starts_with("\r\n") && !article.body.ends_with("\r\n"));
    Require(article.characters == CountCharacters(article.body));
    Require(!article.body.empty() || article.divider);
    characters += article.characters;
  }
  Require(characters <= CountCharacters(text));
}

const TextPattern& UserRule() {
  static const std::unique_ptr<TextPattern> rule =
      TextPattern::Compile("^\\s*(第.{1,6}[章节]|Chapter \\d+)", {}, nullptr);
  return *rule;
}

const Searcher& Search() {
  static const std::unique_ptr<Searcher> searcher = Searcher::Create("第", {.ignoreCase = true}, nullptr);
  return *searcher;
}

const char* const kGivenEncodings[] = {"UTF-16LE", "UTF-16BE", "BIG5", "GB18030", "UTF-8"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  Require(nvx::DecodeLocalText(bytes) ==
          nvx::ToUtf8Lossy(bytes));  // the search's fast path, taken as stored text
  DecodedBook decoded = DecodeBook(bytes);
  if (!decoded.ok) {
    Require(decoded.badOffset <= size);
    decoded = DecodeBook(bytes, kGivenEncodings[size % std::size(kGivenEncodings)]);
    if (!decoded.ok) return 0;
  }
  Require(IsUtf8(decoded.text));

  CheckSplit(decoded.text, {});
  CheckSplit(decoded.text, {.maxChars = 64});
  CheckSplit(decoded.text, {.rule = &UserRule()});

  ArticleJob job;
  job.text = decoded.text;
  Search().Search(job);
  Require(IsUtf8(job.output));
  return 0;
}
