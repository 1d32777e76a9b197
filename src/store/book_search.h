// Searching and counting the decoded texts of a collection's articles.
//
// Texts are searched as characters, never as their packed or GB18030 bytes: the GB18030 bytes of
// "的情" hold those of "那", so a byte search would find words that are not there.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "base/value.h"
#include "store/sqlite_db.h"
#include "store/text_pattern.h"

namespace nvx::book {

// Characters are code points without line ends; lines are line ends (CR LF, LF or a lone CR)
// plus one, for a text that is not empty.
struct TextCounts {
  std::int64_t characters = 0;
  std::int64_t lines = 0;
};
TextCounts CountText(std::string_view utf8);

// One article on its way through a walk. The walk fills in everything up to `text`; the work
// done on it fills in the rest.
struct ArticleJob {
  std::int64_t place = 0;  // 1-based place in the catalogue (id order)
  std::int64_t id = 0;
  Text shownTitle;       // as shown, in the local code page (see ForEachTitle)
  std::string title;     // UTF-8
  Bytes packed;          // emptied once unpacked
  std::string text;      // up to its first zero character; UTF-8, or GB18030 when not decoded
  bool readable = true;  // false when the content is there but does not unpack
  // Results of the work.
  std::string output;
  std::int64_t count = 0;
  bool searchFailed = false;  // the pattern failed while matching: it is too costly
  bool outputCut = false;     // the output outgrew what the job may hold: search again, writing
  TextCounts counts;
};

// None: titles only, contents not unpacked. Whole: the local code page, the whole text with
// anything after a zero character too (for rewriting a text without losing its tail).
enum class Decoding { Utf8, LocalCodePage, None, Whole };

// The one parallel walk over a collection's articles: reads every article of the open collection
// in id order on the calling thread, unpacks (and decodes) the texts and runs `work` on them on
// all cores, and hands each job to `take` in id order on the calling thread. Articles cross
// between the threads in batches. `take` returning false stops the walk. False when the articles
// cannot be read.
bool WalkArticlesInParallel(SqliteDB& db, Decoding decoding, const std::function<void(ArticleJob&)>& work,
                            const std::function<bool(ArticleJob&)>& take);

// Every article's first line shown (ksid, the line the reader had reached; NULL reads as 0) by id;
// nullopt when table nr is not a sound article table or cannot be read.
std::optional<std::unordered_map<std::int64_t, std::int64_t>> ReadFirstLines(SqliteDB& db);

struct SearchOptions {
  bool ignoreCase = false;  // -i: letters of either case, full-width Latin letters too
  bool regex = false;       // -E: the text is a PCRE2 pattern
  bool countOnly = false;   // -c: one line per article with its count
  bool titlesOnly = false;  // --titles: search titles, not texts
};

// Up to `kSnippetContext` characters on each side of the match [begin, end), cut on character
// boundaries, each line end shown as "⏎" and each tab as a space.
inline constexpr std::size_t kSnippetContext = 20;
std::string Snippet(std::string_view text, std::size_t begin, std::size_t end);

class Searcher {
 public:
  // Null when `needle` is not valid UTF-8, is empty, or (with regex) does not compile; `error`
  // says why.
  static std::unique_ptr<Searcher> Create(std::string_view needle, SearchOptions options, std::string* error);

  // Searches one article and appends its lines to job.output: "id TAB title TAB line TAB snippet"
  // per match, or "id TAB title TAB count" with countOnly; with titlesOnly "id TAB title" (or the
  // count) when the title matches. Sets job.count. False when a pattern failed while matching.
  bool Search(ArticleJob& job) const;

  // The same, handing each line to `write` as soon as it is found instead: output as large as an
  // article's every character is never held whole. `write` returning false stops the search
  // (job.count is then the matches so far).
  bool Search(ArticleJob& job, const std::function<bool(std::string_view line)>& write) const;

 private:
  Searcher() = default;
  bool Find(std::string_view text, std::size_t start, std::size_t& begin, std::size_t& end,
            bool notEmptyAtStart, bool& failed) const;

  SearchOptions options_;
  std::string needle_;
  std::unique_ptr<TextPattern> pattern_;  // for -i and -E
};

}  // namespace nvx::book
