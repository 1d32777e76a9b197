#include "store/book_import.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>
#include <uchardet/uchardet.h>

#include <time.h>
#include <algorithm>
#include <atomic>
#include <cctype>

#include "base/codepage.h"
#include "store/article_file.h"
#include "store/article_records.h"
#include "store/article_walk.h"
#include "store/chapter_headings.h"
#include "store/file_bytes.h"
#include "store/packed_content.h"

namespace nvx::book {

// ---- Decoding ---------------------------------------------------------------------------------

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";
constexpr std::size_t kDetectorMinimum = 32;      // bytes past ASCII before the detector is asked
constexpr std::size_t kDetectorSample = 1 << 20;  // what the detector reads at most

// Bytes before an offset of the book that the decoder is done with; may be given back.
using Release = std::function<void(std::size_t)>;

std::size_t FirstZero(std::string_view bytes, std::size_t unit) {
  if (unit == 1) return std::min(bytes.find('\0'), bytes.size());
  for (std::size_t i = 0; i + unit <= bytes.size(); i += unit) {
    bool zero = true;
    for (std::size_t k = 0; k < unit; ++k) zero = zero && bytes[i + k] == '\0';
    if (zero) return i;
  }
  return bytes.size();
}

// Whether an encoding name given by the user is UTF-8 (iconv's spellings, any letter case).
bool IsUtf8Name(std::string_view name) {
  std::string upper(name);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper == "UTF-8" || upper == "UTF8";
}

DecodedBook DecodeAs(std::string_view bytes, std::size_t skip, std::string name, const char* iconvName,
                     std::size_t unit, bool guessed, const Release& release = {}) {
  DecodedBook book;
  book.encoding = std::move(name);
  book.guessed = guessed;
  const std::string_view body = bytes.substr(skip);
  // Looked for before the bytes are converted and given back.
  const std::size_t zero = FirstZero(body, unit);
  Utf8Conversion c = ToUtf8From(body, iconvName, [&release, skip](std::size_t consumed) {
    if (release) release(skip + consumed);
  });
  if (c.unknownEncoding) {
    book.unknownEncoding = true;
    return book;
  }
  if (!c.ok) {
    book.badOffset = skip + c.badOffset;
    return book;
  }
  if (c.text.find('\0') != std::string::npos) {
    book.badOffset = skip + zero;
    return book;
  }
  // The rest of the import takes the text as UTF-8, and iconv does not promise it: glibc's own
  // UTF-8 decoder lets the old five- and six-byte forms through.
  if (const std::size_t valid = Utf8ValidPrefix(c.text); valid != c.text.size()) {
    book.badOffset = skip + (IsUtf8Name(iconvName) ? valid : 0);
    return book;
  }
  book.ok = true;
  book.text = std::move(c.text);
  if (book.text.starts_with(kUtf8Bom)) book.text.erase(0, kUtf8Bom.size());
  return book;
}

// UTF-16 without a mark: line ends and spaces are ASCII, so their zero byte is the high byte of a
// code unit: second in little-endian, first in big-endian. Characters such as U+4E00 (一) put a
// zero in the other place, so only zeros beside a line end, tab or space vote; when there are none,
// the plain count of zeros by parity decides if it is clear.
std::optional<bool> LittleEndianUtf16(std::string_view bytes) {
  if (bytes.size() < 2 || bytes.size() % 2 != 0) return std::nullopt;
  auto plain = [](char c) { return c == '\r' || c == '\n' || c == '\t' || c == ' '; };
  std::size_t littleVotes = 0, bigVotes = 0, evenZeros = 0, oddZeros = 0;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const char a = bytes[i], b = bytes[i + 1];
    if (a == '\0') ++evenZeros;
    if (b == '\0') ++oddZeros;
    if (b == '\0' && plain(a)) ++littleVotes;
    if (a == '\0' && plain(b)) ++bigVotes;
  }
  if (littleVotes + bigVotes > 0) {
    if (littleVotes >= 4 * bigVotes) return true;
    if (bigVotes >= 4 * littleVotes) return false;
    return std::nullopt;
  }
  if (oddZeros >= 2 && oddZeros >= 4 * evenZeros) return true;
  if (evenZeros >= 2 && evenZeros >= 4 * oddZeros) return false;
  return std::nullopt;
}

// Where the last character starts when `bytes` are strict UTF-8 up to it and it is only cut short
// (a file cut off in the middle of a character).
std::optional<std::size_t> Utf8CutShort(std::string_view bytes) {
  const std::size_t valid = Utf8ValidPrefix(bytes);
  const std::string_view tail = bytes.substr(valid);
  if (tail.empty() || tail.size() >= 4) return std::nullopt;
  // Whichever continuation bytes the lead needs, one of these completes it.
  for (const char fill : {'\x80', '\xA0'}) {
    std::string whole(tail);
    while (whole.size() < 4 && Utf8ValidPrefix(whole) == 0) whole += fill;
    if (Utf8ValidPrefix(whole) == whole.size() && whole.size() > tail.size()) return valid;
  }
  return std::nullopt;
}

bool DetectorSaysBig5(std::string_view bytes) {
  const std::size_t nonAscii = static_cast<std::size_t>(std::count_if(
      bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }));
  if (nonAscii < kDetectorMinimum) return false;
  uchardet_t detector = uchardet_new();
  const std::string_view sample = bytes.substr(0, kDetectorSample);
  uchardet_handle_data(detector, sample.data(), sample.size());
  uchardet_data_end(detector);
  std::string name = uchardet_get_charset(detector);
  uchardet_delete(detector);
  std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::toupper(c); });
  return name.find("BIG5") != std::string::npos;
}

}  // namespace

std::size_t Utf8ValidPrefix(std::string_view s) {
  const std::size_t zero = std::min(s.find('\0'), s.size());
  return std::min(FindInvalidUtf8(s).value_or(s.size()), zero);
}

namespace {

// DecodeBook without copying text that is the bytes themselves: it is left out of the result, and
// `textFrom` tells where in the bytes it starts (npos when the text was converted).
DecodedBook DecodeBytes(std::string_view bytes, const std::string& encoding, std::size_t& textFrom,
                        const Release& release = {}) {
  textFrom = std::string::npos;
  if (!encoding.empty()) return DecodeAs(bytes, 0, encoding, encoding.c_str(), 1, false, release);
  if (bytes.starts_with(kUtf8Bom)) {
    DecodedBook book;
    book.encoding = "UTF-8";
    const std::size_t valid = kUtf8Bom.size() + Utf8ValidPrefix(bytes.substr(kUtf8Bom.size()));
    if (valid != bytes.size()) {
      book.badOffset = valid;
      return book;
    }
    book.ok = true;
    textFrom = kUtf8Bom.size();
    return book;
  }
  if (bytes.starts_with(kUtf16LeBom)) return DecodeAs(bytes, 2, "UTF-16LE", "UTF-16LE", 2, true, release);
  if (bytes.starts_with(kUtf16BeBom)) return DecodeAs(bytes, 2, "UTF-16BE", "UTF-16BE", 2, true, release);
  if (Utf8ValidPrefix(bytes) == bytes.size()) {
    DecodedBook book;
    book.ok = true;
    book.encoding = "UTF-8";
    textFrom = 0;
    return book;
  }
  if (const auto cut = Utf8CutShort(bytes)) {
    DecodedBook book;
    book.encoding = "UTF-8";
    book.badOffset = *cut;
    book.cutUtf8 = true;
    return book;
  }
  if (bytes.find('\0') != std::string_view::npos) {
    if (const auto little = LittleEndianUtf16(bytes)) {
      return *little ? DecodeAs(bytes, 0, "UTF-16LE", "UTF-16LE", 2, true, release)
                     : DecodeAs(bytes, 0, "UTF-16BE", "UTF-16BE", 2, true, release);
    }
  }
  if (DetectorSaysBig5(bytes)) {
    // CP950, or the wider HKSCS table where CP950 stops sooner: told by trials that keep no
    // text, so that the book is decoded once, its bytes given back as it goes.
    const Utf8Conversion narrow = ToUtf8From(bytes, "CP950", {}, false);
    if (!narrow.ok) {
      const Utf8Conversion wide = ToUtf8From(bytes, "BIG5-HKSCS", {}, false);
      if (wide.ok || wide.badOffset > narrow.badOffset)
        return DecodeAs(bytes, 0, "Big5", "BIG5-HKSCS", 1, true, release);
    }
    return DecodeAs(bytes, 0, "Big5", "CP950", 1, true, release);
  }
  return DecodeAs(bytes, 0, "GB18030", "GB18030", 1, true, release);
}

}  // namespace

DecodedBook DecodeBook(std::string_view bytes, const std::string& encoding) {
  std::size_t textFrom = 0;
  DecodedBook book = DecodeBytes(bytes, encoding, textFrom);
  if (textFrom != std::string::npos) book.text = bytes.substr(textFrom);
  return book;
}

std::optional<DecodedBook> DecodeBookFile(const std::string& path, const std::string& encoding) {
  constexpr std::size_t kChunk = 4 << 20;
  auto bytes = FileBytes::Read(path);
  if (!bytes) return std::nullopt;
  std::size_t textFrom = 0;
  DecodedBook book = DecodeBytes(bytes->View(), encoding, textFrom,
                                 [&bytes](std::size_t consumed) { bytes->ReleaseBefore(consumed); });
  if (textFrom != std::string::npos) {
    // The bytes are the text: copied over a chunk at a time, each chunk given back when copied.
    const std::string_view all = bytes->View();
    book.text.reserve(all.size() - textFrom);
    for (std::size_t at = textFrom; at < all.size(); at += kChunk) {
      book.text.append(all.substr(at, kChunk));
      bytes->ReleaseBefore(at + kChunk);
    }
  }
  return book;
}

// ---- Splitting --------------------------------------------------------------------------------

namespace {

bool IsBlank(std::string_view line) { return Trim(line).empty(); }

// The lines without blank ones at either end, joined by CR LF.
std::string JoinBody(const std::vector<std::string_view>& lines) {
  std::size_t first = 0, last = lines.size();
  while (first < last && IsBlank(lines[first])) ++first;
  while (last > first && IsBlank(lines[last - 1])) --last;
  std::string body;
  std::size_t size = 0;
  for (std::size_t i = first; i < last; ++i) size += lines[i].size() + 2;
  body.reserve(size);
  for (std::size_t i = first; i < last; ++i) {
    if (i > first) body += "\r\n";
    body += lines[i];
  }
  return body;
}

// Cuts a body into pieces of about kPieceChars characters, at line ends; a line with no end for
// half a piece more is cut where it is, on a character boundary.
// Each piece goes to `take` as it is cut. `body` may have any line ends and blank lines inside;
// each piece is joined as JoinBody joins lines.
void CutIntoPieces(std::string_view body, std::size_t characters,
                   const std::function<void(std::string&&)>& take) {
  const std::size_t count = std::max<std::size_t>(1, (characters + kPieceChars / 2) / kPieceChars);
  const std::size_t target = (characters + count - 1) / count;
  std::size_t pieces = 0;
  auto emit = [&](std::string_view piece) {
    std::string joined = JoinBody(SplitLines(piece));
    if (joined.empty()) return;
    ++pieces;
    take(std::move(joined));
  };
  std::size_t start = 0, counted = 0, i = 0;
  while (i < body.size()) {
    if (body[i] == '\r' || body[i] == '\n') {
      i += body[i] == '\r' && i + 1 < body.size() && body[i + 1] == '\n' ? 2 : 1;
      if (counted >= target && pieces + 1 < count) {
        emit(body.substr(start, i - start));
        start = i;
        counted = 0;
      }
      continue;
    }
    i = std::min(body.size(), i + Utf8SequenceLength(static_cast<unsigned char>(body[i])));
    if (++counted >= target + kPieceChars / 2) {
      emit(body.substr(start, i - start));
      start = i;
      counted = 0;
    }
  }
  emit(body.substr(start));
}

// The text of `lines` (views of one text, in order) from the first line that is not blank to the
// end of the last one: JoinBody's text but for its line ends, without a copy.
std::string_view NonBlankSpan(const std::vector<std::string_view>& lines) {
  std::size_t first = 0, last = lines.size();
  while (first < last && IsBlank(lines[first])) ++first;
  while (last > first && IsBlank(lines[last - 1])) --last;
  if (first == last) return {};
  const char* begin = lines[first].data();
  return std::string_view(begin,
                          static_cast<std::size_t>(lines[last - 1].data() + lines[last - 1].size() - begin));
}

void CountForm(std::vector<std::pair<std::string, std::size_t>>& forms, std::string_view form) {
  const auto at = std::find_if(forms.begin(), forms.end(), [form](const auto& f) { return f.first == form; });
  if (at != forms.end()) {
    ++at->second;
  } else {
    forms.emplace_back(form, 1);
  }
}

struct Chapter {
  std::string title;
  bool heading = false;  // false for the text before the first heading
  std::vector<std::string_view> lines;
};

// The lines grouped under their headings, after a "前言" for the text before the first one; a
// heading repeated with nothing but blank lines since the last one is dropped. Counts the
// headings' forms in `book`.
std::vector<Chapter> GroupIntoChapters(const std::vector<std::string_view>& lines, const BookHeadings& found,
                                       SplitBook& book, std::size_t& headings) {
  std::vector<Chapter> chapters(1);
  chapters.front().title = "前言";
  for (std::size_t n = 0; n < lines.size(); ++n) {
    if (!found.form[n]) {
      chapters.back().lines.push_back(lines[n]);
      continue;
    }
    const std::string_view title = Trim(lines[n]);
    Chapter& current = chapters.back();
    const bool nothingSince = std::all_of(current.lines.begin(), current.lines.end(), IsBlank);
    if (current.heading && nothingSince && current.title == title) continue;  // a repeated heading
    ++headings;
    CountForm(book.forms, HeadingFormName(found.form[n]));
    chapters.push_back(Chapter{std::string(title), true, {}});
  }
  return chapters;
}

}  // namespace

const char* SplitRuleName(SplitRule rule) {
  switch (rule) {
    case SplitRule::Default: return "default";
    case SplitRule::Given: return "--rule";
    case SplitRule::Fallback: return "fallback";
  }
  return "default";
}

std::vector<std::string_view> SplitLines(std::string_view text, bool keepEmptyLast) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size() || (keepEmptyLast && !text.empty())) lines.push_back(text.substr(start));
  return lines;
}

std::size_t CountCharacters(std::string_view utf8) {
  std::size_t count = 0;
  for (const char c : utf8) {
    const auto b = static_cast<unsigned char>(c);
    count += !IsUtf8Continuation(b) && b != '\r' && b != '\n';
  }
  return count;
}

SplitBook SplitIntoArticles(std::string_view text, const SplitOptions& options) {
  std::vector<BookArticle> articles;
  SplitBook book = SplitIntoArticles(
      text, options, [&articles](BookArticle&& article) { articles.push_back(std::move(article)); });
  book.articles = std::move(articles);
  return book;
}

SplitBook SplitIntoArticles(std::string_view text, const SplitOptions& options,
                            const std::function<void(BookArticle&&)>& take) {
  SplitBook book;
  book.rule = options.rule ? SplitRule::Given : SplitRule::Default;
  const std::vector<std::string_view> lines = SplitLines(text);

  const BookHeadings found = FindHeadings(lines, options.rule);
  if (found.failedLine) {
    book.error =
        "the rule failed on line " + std::to_string(*found.failedLine + 1) + " (too much backtracking)";
    return book;
  }

  std::size_t headings = 0;
  std::vector<Chapter> chapters = GroupIntoChapters(lines, found, book, headings);

  // Pieces are numbered from 1 within the book, apart from the chapters.
  std::size_t pieceNumber = 0;
  auto addPieces = [&book, &pieceNumber, &take](std::string_view body, std::size_t characters) {
    CutIntoPieces(body, characters, [&](std::string&& piece) {
      BookArticle article;
      article.title = "第" + std::to_string(++pieceNumber) + "节";
      article.characters = CountCharacters(piece);
      article.body = std::move(piece);
      take(std::move(article));
    });
    book.fallback = true;
  };

  if (!options.rule && headings < 2) {
    book.rule = SplitRule::Fallback;
    book.forms.clear();
    const std::string_view whole = NonBlankSpan(lines);
    if (!whole.empty()) addPieces(whole, CountCharacters(whole));
    return book;
  }

  for (Chapter& chapter : chapters) {
    std::string body = JoinBody(chapter.lines);
    std::vector<std::string_view>().swap(chapter.lines);
    const std::size_t characters = CountCharacters(body);
    if (!chapter.heading && body.empty()) continue;
    if (body.empty()) {
      if (IsVolumeHeading(chapter.title)) {
        take(BookArticle{chapter.title, {}, 0, true});
      } else {
        ++book.emptyDropped;
      }
      continue;
    }
    if (characters > options.maxChars) {
      book.overlong.push_back(chapter.title);
      if (!options.rule) {
        addPieces(body, characters);
        continue;
      }
    }
    take(BookArticle{chapter.title, std::move(body), characters, false});
  }
  return book;
}

// ---- Writing ----------------------------------------------------------------------------------

namespace {

// Each article's text in the local code page, packed; empty where it does not convert or pack.
// Packing is most of an import's work, so it runs on all cores.
std::vector<Bytes> PackBatch(const std::vector<BookArticle>& articles) {
  std::vector<Bytes> packed(articles.size());
  ForEachInParallel(articles.size(), [&](std::size_t i) {
    if (const auto text = FromUtf8(articles[i].body)) packed[i] = Compress(ToByteArray(*text));
  });
  return packed;
}

}  // namespace

// A batch is packed and written once it holds this much text or this many articles.
constexpr std::size_t kBatchBytes = 8 << 20;
constexpr std::size_t kBatchArticles = 64;

struct ArticleWriter::State {
  explicit State(SqliteDB& db) : db(db), transaction(db) {}
  SqliteDB& db;
  Transaction transaction;
  std::vector<BookArticle> batch;
  std::size_t batchBytes = 0;
  std::size_t written = 0;  // articles before the batch
  WriteOutcome outcome;
  bool failed = false;
};

ArticleWriter::ArticleWriter(SqliteDB& db) : state_(std::make_unique<State>(db)) {
  if (!state_->transaction.Active()) {
    state_->failed = true;
    state_->outcome.error = state_->db.Busy() ? DescribeState(ArticleFileState::Busy) : "cannot write";
  }
}

ArticleWriter::~ArticleWriter() {
  if (state_->transaction.Active()) state_->transaction.Rollback();
}

void ArticleWriter::Add(BookArticle&& article) {
  State& s = *state_;
  if (s.failed) return;
  s.batchBytes += article.body.size();
  s.batch.push_back(std::move(article));
  if (s.batchBytes >= kBatchBytes || s.batch.size() >= kBatchArticles) Flush();
}

bool ArticleWriter::Flush() {
  State& s = *state_;
  auto fail = [&s](std::string reason) {
    s.failed = true;
    s.outcome.error = s.db.Busy() ? DescribeState(ArticleFileState::Busy) : std::move(reason);
    s.transaction.Rollback();
    return false;
  };
  const std::vector<Bytes> packed = PackBatch(s.batch);
  for (std::size_t i = 0; i < s.batch.size(); ++i) {
    const std::size_t number = s.written + i + 1;
    const auto title = FromUtf8(s.batch[i].title);
    if (!title || packed[i].empty())
      return fail("article " + std::to_string(number) + " does not convert to GB18030");
    const auto id = InsertArticle(s.db, *title, packed[i]);
    if (!id) return fail("cannot write article " + std::to_string(number) + "; nothing was added");
    if (number == 1) s.outcome.firstId = *id;
    s.outcome.lastId = *id;
  }
  s.written += s.batch.size();
  std::vector<BookArticle>().swap(s.batch);
  s.batchBytes = 0;
  return true;
}

WriteOutcome ArticleWriter::Finish() {
  State& s = *state_;
  if (!s.failed && Flush() && !s.transaction.Commit()) {
    s.failed = true;
    s.outcome.error = s.db.Busy() ? DescribeState(ArticleFileState::Busy) : "cannot write; nothing was added";
    s.transaction.Rollback();
  }
  s.outcome.ok = !s.failed;
  return s.outcome;
}

WriteOutcome WriteArticles(SqliteDB& db, const std::vector<BookArticle>& articles) {
  ArticleWriter writer(db);
  for (const BookArticle& article : articles) writer.Add(BookArticle(article));
  return writer.Finish();
}

}  // namespace nvx::book
