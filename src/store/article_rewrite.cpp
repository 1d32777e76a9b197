#include "store/article_rewrite.h"

#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "base/codepage.h"
#include "store/article_file.h"
#include "store/article_records.h"
#include "store/article_walk.h"
#include "store/book_search.h"
#include "store/packed_content.h"

namespace nvx::rewrite {
namespace {

// An article on its way from a worker to the writer.
struct Pending {
  ArticleText article;
  std::optional<Text> title;    // the new title in the local code page, when it changed
  std::optional<Bytes> packed;  // the new packed content, when the text changed
  std::string error;
};

std::string ArticleName(std::int64_t id) { return "article " + std::to_string(id); }

// Decodes the job's text, runs the work and prepares what is to be written.
std::unique_ptr<Pending> Prepare(book::ArticleJob& job, const Work& work) {
  auto pending = std::make_unique<Pending>();
  if (!job.readable) {
    pending->error = ArticleName(job.id) + ": content does not unpack";
    return pending;
  }
  const std::size_t zero = std::min(job.text.find('\0'), job.text.size());
  auto text = DecodeLocalTextStrictly(std::string_view(job.text).substr(0, zero));
  if (!text) {
    pending->error = ArticleName(job.id) + ": the text is not valid GB18030";
    return pending;
  }
  ArticleText& article = pending->article;
  article.id = job.id;
  article.place = job.place;
  article.title = job.title;
  article.text = *text;
  std::string error;
  if (!work(article, error)) {
    pending->error = ArticleName(job.id) + ": " + error;
    return pending;
  }
  if (article.title != job.title) {
    pending->title = FromUtf8(article.title);
    if (!pending->title || article.title.find('\0') != std::string::npos) {
      pending->error = ArticleName(job.id) + ": the new title does not convert to GB18030";
      return pending;
    }
  }
  if (article.text != *text) {
    auto local = FromUtf8(article.text);
    if (!local || article.text.find('\0') != std::string::npos) {
      pending->error = ArticleName(job.id) + ": the new text does not convert to GB18030";
      return pending;
    }
    local->append(job.text, zero);
    pending->packed =
        Compress(std::span(reinterpret_cast<const std::uint8_t*>(local->data()), local->size()));
    if (pending->packed->empty()) pending->error = ArticleName(job.id) + ": the new text is too long";
  }
  return pending;
}

// Counts and reports an article that changes and, unless this is a dry run, writes the change;
// the error when either fails.
std::string Apply(SqliteDB& db, const Options& options, const Report& report, std::int64_t id,
                  const Pending& pending, Outcome& outcome) {
  ++outcome.articles;
  outcome.characters += pending.article.characters;
  if (report && !report(pending.article)) return "cannot write output";
  if (options.dryRun) return {};
  if (!RewriteArticle(db, id, pending.title ? &*pending.title : nullptr,
                      pending.packed ? &*pending.packed : nullptr))
    return db.Busy() ? DescribeState(ArticleFileState::Busy)
                     : "cannot write " + ArticleName(id) + "; nothing was changed";
  return {};
}

}  // namespace

Outcome RewriteArticles(SqliteDB& db, const Options& options, const Work& work, const Report& report,
                        const Progress& progress) {
  Outcome outcome;
  const auto total = CountArticles(db);
  if (!total) {
    outcome.error = "cannot read the articles";
    return outcome;
  }
  std::optional<Transaction> transaction;
  if (!options.dryRun) {
    transaction.emplace(db);
    if (!transaction->Active()) {
      outcome.error = db.Busy() ? DescribeState(ArticleFileState::Busy) : "cannot write";
      return outcome;
    }
  }
  auto inRange = [&](std::int64_t place) { return place >= options.first && place <= options.last; };

  std::mutex mutex;
  std::map<std::int64_t, std::unique_ptr<Pending>> ready;
  std::string error;
  const bool read = book::WalkArticlesInParallel(
      db, book::Decoding::Whole,
      [&](book::ArticleJob& job) {
        if (!inRange(job.place)) return;
        auto pending = Prepare(job, work);
        std::string().swap(job.text);
        std::lock_guard lock(mutex);
        ready[job.place] = std::move(pending);
      },
      [&](book::ArticleJob& job) {
        if (progress) progress(job.place, *total);
        if (!inRange(job.place)) return job.place < options.last;
        std::unique_ptr<Pending> pending;
        {
          std::lock_guard lock(mutex);
          const auto it = ready.find(job.place);
          pending = std::move(it->second);
          ready.erase(it);
        }
        if (!pending->error.empty()) {
          error = pending->error;
          return false;
        }
        if (!pending->title && !pending->packed) return true;
        error = Apply(db, options, report, job.id, *pending, outcome);
        return error.empty();
      });
  if (error.empty() && !read) error = "cannot read the articles";
  if (error.empty() && transaction && !transaction->Commit())
    error = db.Busy() ? DescribeState(ArticleFileState::Busy) : "cannot write; nothing was changed";
  if (!error.empty()) {
    if (transaction) transaction->Rollback();
    outcome.error = error;
    return outcome;
  }
  outcome.ok = true;
  return outcome;
}

}  // namespace nvx::rewrite
