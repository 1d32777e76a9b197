// Bringing a whole book from a TXT file into a collection: telling its encoding, decoding it,
// finding its chapter headings line by line, and cutting it into articles.
//
// Everything here works on UTF-8 text; the articles are turned into the local code page only
// when they are written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "store/chapter_headings.h"
#include "store/sqlite_db.h"

namespace nvx::book {

// ---- Decoding ---------------------------------------------------------------------------------

struct DecodedBook {
  bool ok = false;
  std::string text;              // UTF-8, without a byte order mark; valid only when ok
  std::string encoding;          // the encoding used (or tried): "UTF-8", "UTF-16LE", "GB18030", "Big5", ...
  std::size_t badOffset = 0;     // when not ok: the first byte that does not decode
  bool unknownEncoding = false;  // when not ok: the given encoding is not one the converter knows
  bool guessed = true;           // the encoding was told from the bytes, not given
  bool cutUtf8 = false;          // when not ok: UTF-8 but for its last character, cut short at badOffset
};

// Decodes the bytes of a TXT file. With `encoding` (any name iconv knows) that encoding is used;
// otherwise a byte order mark (UTF-8, UTF-16LE/BE), else strict UTF-8 over the whole file, else
// UTF-16 without a mark told by where its zero bytes fall, else GB18030 or Big5 as the detector
// decides when there are at least 32 bytes past ASCII (GB18030 when fewer). A zero character
// counts as a byte that does not decode: the stored text would end there. Bytes that are UTF-8
// up to a last character cut short are not guessed as anything else: they are refused as cutUtf8.
DecodedBook DecodeBook(std::string_view bytes, const std::string& encoding = {});

// The same for a regular file, read into memory given back as it is decoded, so that a large book
// is held about once, not as its bytes and its text side by side; nothing when the file is not a
// regular file or does not read.
std::optional<DecodedBook> DecodeBookFile(const std::string& path, const std::string& encoding = {});

// The offset of the first byte of `bytes` that is not part of strict UTF-8 (no overlong forms,
// no surrogates, nothing past U+10FFFF, no zero byte); bytes.size() when all of it is.
std::size_t Utf8ValidPrefix(std::string_view bytes);

// ---- Splitting --------------------------------------------------------------------------------

inline constexpr std::size_t kDefaultMaxChars = 50000;
inline constexpr std::size_t kPieceChars = 10000;

enum class SplitRule { Default, Given, Fallback };
const char* SplitRuleName(SplitRule rule);  // "default", "--rule", "fallback"

struct BookArticle {
  std::string title;           // UTF-8, trimmed of spaces (ASCII, no-break, ideographic)
  std::string body;            // UTF-8, lines joined by CR LF, no blank lines at either end
  std::size_t characters = 0;  // code points of the body, line ends not counted
  bool divider = false;        // a volume (卷/部/集) heading kept with an empty body
};

struct SplitBook {
  std::vector<BookArticle> articles;
  SplitRule rule = SplitRule::Default;
  std::size_t emptyDropped = 0;       // chapters without a body, dropped
  bool fallback = false;              // some or all of the text was cut into 第N节 pieces
  std::vector<std::string> overlong;  // titles of chapters over the limit (cut, or only warned of)
  std::vector<std::pair<std::string, std::size_t>> forms;  // heading forms used and how many chapters
                                                           // each began, in order of first use
  std::string error;  // a given rule failed while matching (its line and reason)
};

struct SplitOptions {
  const TextPattern* rule = nullptr;  // a rule of the user's; null for the default rule
  std::size_t maxChars = kDefaultMaxChars;
};

// Cuts decoded text into articles: headings start chapters, the text before the first heading is
// a preface ("前言"), a heading repeated right after itself counts once, chapters with an empty
// body are dropped (volume headings are kept as dividers). Under the default rule, a book with
// fewer than 2 headings, or a chapter over `maxChars` characters, is cut at line ends into pieces
// of about 10,000 characters titled "第N节"; a given rule only reports over-long chapters.
SplitBook SplitIntoArticles(std::string_view text, const SplitOptions& options);

// The same, handing each article to `take` as soon as it is cut instead of keeping it (the book
// returned has no articles): besides the text, one article's body is held at a time.
SplitBook SplitIntoArticles(std::string_view text, const SplitOptions& options,
                            const std::function<void(BookArticle&&)>& take);

// Code points of UTF-8 text, line ends (CR, LF) not counted.
std::size_t CountCharacters(std::string_view utf8);

// The lines of `text`; a line ends at CR LF, LF or CR. With `keepEmptyLast` a text ending in a
// line end has an empty last line, so that the lines joined by line ends give the text back.
std::vector<std::string_view> SplitLines(std::string_view text, bool keepEmptyLast = false);

// ---- Writing ----------------------------------------------------------------------------------

struct WriteOutcome {
  bool ok = false;
  std::int64_t firstId = 0;
  std::int64_t lastId = 0;
  std::string error;  // when not ok: why, in English
};

// Appends the articles to the open collection in one transaction, each stored as the editor stores
// a new article (title, GB18030 text packed, first line 0, face "宋体", size 14). All or nothing:
// on any failure the transaction is rolled back and nothing is added.
WriteOutcome WriteArticles(SqliteDB& db, const std::vector<BookArticle>& articles);

// The same for articles that come one at a time (from SplitIntoArticles with `take`): the
// transaction begins when the writer is made, the articles are packed on all cores in batches of
// bounded size and written batch by batch, so that memory stays small however large the book.
// Nothing is added unless Finish succeeds; a writer dropped before rolls back.
class ArticleWriter {
 public:
  explicit ArticleWriter(SqliteDB& db);
  ~ArticleWriter();
  ArticleWriter(const ArticleWriter&) = delete;
  ArticleWriter& operator=(const ArticleWriter&) = delete;

  // After a failure, articles are counted and dropped; Finish tells the failure.
  void Add(BookArticle&& article);
  WriteOutcome Finish();

 private:
  struct State;
  bool Flush();
  std::unique_ptr<State> state_;
};

}  // namespace nvx::book
