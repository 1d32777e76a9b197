// Rewriting the titles and texts of a collection's articles in one transaction: the walk, the
// decoding, the packing and the writing that the tidying commands (convert, clean) share.
//
// The work sees each text as UTF-8 up to its first zero character (what the editor shows); what
// follows a zero character is kept as stored. Only the title (name) and text (nr) of an article
// the work changed are written; its reading state stays. Any failure rolls everything back.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <string>

#include "store/sqlite_db.h"

namespace nvx::rewrite {

struct ArticleText {
  std::int64_t id = 0;
  std::int64_t place = 0;       // 1-based place in id order
  std::string title;            // UTF-8; the work may replace it
  std::string text;             // UTF-8, up to the first zero character; the work may replace it
  std::string report;           // what the work says about this article (printed by the caller)
  std::int64_t characters = 0;  // characters the work changed, summed into the outcome
};

struct Options {
  std::int64_t first = 1;  // places to work on, 1-based, inclusive
  std::int64_t last = std::numeric_limits<std::int64_t>::max();
  bool dryRun = false;  // work and report, write nothing
};

struct Outcome {
  bool ok = false;
  std::int64_t articles = 0;    // articles whose title or text changed
  std::int64_t characters = 0;  // sum of the works' counts
  std::string error;            // when not ok: why, in English
};

// Changes one article on a worker thread (several at once); false, with `error`, stops the whole
// rewrite and writes nothing.
using Work = std::function<bool(ArticleText& article, std::string& error)>;
// Takes each changed article on the calling thread, in id order; false stops the rewrite
// ("cannot write output").
using Report = std::function<bool(const ArticleText& article)>;
using Progress = std::function<void(std::int64_t done, std::int64_t total)>;

// Runs `work` over the articles in `options`' range and writes back what changed, all in one
// transaction (nothing at all with dryRun). A text that is not valid in the local code page, a
// content that does not unpack, or a new title or text that does not convert back is an error.
Outcome RewriteArticles(SqliteDB& db, const Options& options, const Work& work, const Report& report,
                        const Progress& progress);

}  // namespace nvx::rewrite
