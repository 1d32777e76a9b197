#include "store/book_search.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "base/codepage.h"
#include "store/article_schema.h"
#include "store/article_walk.h"
#include "store/book_import.h"
#include "store/packed_content.h"
#include "store/sqlite_table.h"
#include "store/statement.h"

namespace nvx::book {
namespace {

constexpr std::string_view kLineEndMark = "⏎";

// Titles go between tabs on one line.
std::string Printable(std::string_view title) {
  std::string out(title);
  std::replace_if(
      out.begin(), out.end(), [](char c) { return c == '\t' || c == '\r' || c == '\n'; }, ' ');
  return out;
}

// Line ends in [from, to): LF, and CR not followed by LF.
std::int64_t LineEndsIn(std::string_view text, std::size_t from, std::size_t to) {
  std::int64_t count = 0;
  for (std::size_t i = from; i < to; ++i) {
    if (text[i] == '\n') {
      ++count;
    } else if (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')) {
      ++count;
    }
  }
  return count;
}

// Unpacks the job's content and cuts it at its first zero, as the editor shows it.
void Unpack(ArticleJob& job, Decoding decoding) {
  if (decoding != Decoding::None && !job.packed.empty()) {
    const Bytes raw = Decompress(job.packed);
    job.readable = !raw.empty() || PackedLength(job.packed) == 0;
    const auto zero = std::find(raw.begin(), raw.end(), std::uint8_t{0});
    const std::string_view local(reinterpret_cast<const char*>(raw.data()),
                                 static_cast<std::size_t>(zero - raw.begin()));
    job.text = decoding == Decoding::Utf8 ? DecodeLocalText(local) : std::string(local);
    if (decoding == Decoding::Whole) job.text.append(zero, raw.end());
  }
  Bytes().swap(job.packed);
}

}  // namespace

TextCounts CountText(std::string_view utf8) {
  TextCounts counts;
  if (utf8.empty()) return counts;
  counts.characters = static_cast<std::int64_t>(CountCharacters(utf8));
  counts.lines = LineEndsIn(utf8, 0, utf8.size()) + 1;
  return counts;
}

std::optional<std::unordered_map<std::int64_t, std::int64_t>> ReadFirstLines(SqliteDB& db) {
  const TableLayout layout = InspectTable(db, schema::kTable);
  if (layout.shape != TableShape::Sound) return std::nullopt;
  std::unordered_map<std::int64_t, std::int64_t> lines;
  if (!layout.HasColumn(schema::kFirstLine)) return lines;
  CachedStatement s =
      db.Prepare("SELECT " + layout.rowIdName + "," + schema::kFirstLine + " FROM " + schema::kTable);
  if (!s) return std::nullopt;
  int rc;
  while ((rc = s.Step()) == SQLITE_ROW)
    lines[sqlite3_column_int64(s.Get(), 0)] = sqlite3_column_int64(s.Get(), 1);
  if (rc != SQLITE_DONE) return std::nullopt;
  return lines;
}

namespace {

// A well-formed title that converts is kept as stored; one that does not shows as best it can, as
// every listing shows it.
void ShowTitle(ArticleJob& job) {
  if (auto local = FromUtf8(job.title); local && !FindInvalidUtf8(job.title)) {
    job.shownTitle = *std::move(local);
  } else {
    job.shownTitle = FromUtf8Lossy(job.title);
    job.title = ToUtf8Lossy(job.shownTitle);
  }
}

// The threads of one parallel walk. Articles cross between the reading thread and the workers a
// batch at a time, so a walk over many small articles is not spent waking threads; finished
// batches are handed back in the order they were read.
class ParallelWalk {
 public:
  using Batch = std::vector<ArticleJob>;

  ParallelWalk(Decoding decoding, const std::function<void(ArticleJob&)>& work,
               const std::function<bool(ArticleJob&)>& take)
      : decoding_(decoding), work_(work), take_(take) {
    const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 2u, 8u);
    limit_ = 3 * static_cast<std::int64_t>(threads);
    for (unsigned t = 0; t < threads; ++t) workers_.emplace_back([this] { Work(); });
  }
  ~ParallelWalk() {
    {
      std::lock_guard lock(mutex_);
      closed_ = true;
      waiting_.clear();
    }
    changed_.notify_all();
    for (auto& worker : workers_) worker.join();
  }

  // Queues a batch for the workers.
  void Submit(Batch&& batch) {
    {
      std::lock_guard lock(mutex_);
      waiting_.emplace_back(submitted_++, std::move(batch));
      ++inFlight_;
    }
    changed_.notify_one();
  }
  // Hands finished batches over in order while too many are in flight, or, with `all`, until
  // every one has been taken. Stops for good once `take` has said no.
  void HandOver(bool all) {
    while (!stopped_) {
      Batch batch;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] {
          return done_.count(nextToTake_) != 0 || (all ? inFlight_ == 0 : inFlight_ < limit_);
        });
        const auto it = done_.find(nextToTake_);
        if (it == done_.end()) return;
        batch = std::move(it->second);
        done_.erase(it);
        --inFlight_;
        ++nextToTake_;
      }
      for (ArticleJob& job : batch) {
        if (!take_(job)) {
          stopped_ = true;
          break;
        }
      }
    }
  }
  bool Stopped() const { return stopped_; }

 private:
  void Work() {
    while (true) {
      std::pair<std::int64_t, Batch> batch;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return closed_ || !waiting_.empty(); });
        if (waiting_.empty()) return;
        batch = std::move(waiting_.front());
        waiting_.pop_front();
      }
      for (ArticleJob& job : batch.second) {
        ShowTitle(job);
        Unpack(job, decoding_);
        work_(job);
      }
      {
        std::lock_guard lock(mutex_);
        done_.emplace(batch.first, std::move(batch.second));
      }
      changed_.notify_all();
    }
  }

  const Decoding decoding_;
  const std::function<void(ArticleJob&)>& work_;
  const std::function<bool(ArticleJob&)>& take_;
  std::int64_t limit_ = 0;  // batches read and not yet taken
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::pair<std::int64_t, Batch>> waiting_;
  std::map<std::int64_t, Batch> done_;
  bool closed_ = false;
  std::int64_t inFlight_ = 0;
  std::int64_t submitted_ = 0;
  std::int64_t nextToTake_ = 0;
  bool stopped_ = false;  // only the reading thread reads or writes it
  std::vector<std::thread> workers_;
};

}  // namespace

bool WalkArticlesInParallel(SqliteDB& db, Decoding decoding, const std::function<void(ArticleJob&)>& work,
                            const std::function<bool(ArticleJob&)>& take) {
  // A batch is cut at this many articles or packed bytes.
  constexpr std::size_t kBatchArticles = 128;
  constexpr std::size_t kBatchBytes = 1u << 20;
  ParallelWalk walk(decoding, work, take);
  ParallelWalk::Batch batch;
  batch.reserve(kBatchArticles);
  std::size_t batchBytes = 0;
  std::int64_t place = 0;
  const WalkResult walked = ForEachStoredArticle(
      db, [&](std::int64_t id, std::string_view titleUtf8, std::span<const std::uint8_t> packed) {
        ArticleJob& job = batch.emplace_back();
        job.place = ++place;
        job.id = id;
        job.title = titleUtf8;
        job.packed.assign(packed.begin(), packed.end());
        batchBytes += packed.size();
        if (batch.size() >= kBatchArticles || batchBytes >= kBatchBytes) {
          walk.Submit(std::exchange(batch, {}));
          batch.reserve(kBatchArticles);
          batchBytes = 0;
          walk.HandOver(false);
        }
        return !walk.Stopped();
      });
  if (!walk.Stopped() && !batch.empty()) walk.Submit(std::move(batch));
  if (!walk.Stopped()) walk.HandOver(true);
  return walked != WalkResult::Failed;
}

std::string Snippet(std::string_view text, std::size_t begin, std::size_t end) {
  std::size_t start = begin;
  for (std::size_t k = 0; k < kSnippetContext && start > 0; ++k) {
    if (text[start - 1] == '\n' && start >= 2 && text[start - 2] == '\r') {
      start -= 2;
    } else {
      start = Utf8CharacterStart(text, start - 1);
    }
  }
  std::size_t stop = end;
  for (std::size_t k = 0; k < kSnippetContext && stop < text.size(); ++k) {
    if (text[stop] == '\r' && stop + 1 < text.size() && text[stop + 1] == '\n') {
      stop += 2;
    } else {
      stop = std::min(text.size(), stop + Utf8SequenceLength(static_cast<unsigned char>(text[stop])));
    }
  }
  std::string out;
  out.reserve(stop - start + 8);
  for (std::size_t i = start; i < stop; ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      out += kLineEndMark;
      if (c == '\r' && i + 1 < stop && text[i + 1] == '\n') ++i;
    } else {
      out += c == '\t' ? ' ' : c;
    }
  }
  return out;
}

std::unique_ptr<Searcher> Searcher::Create(std::string_view needle, SearchOptions options,
                                           std::string* error) {
  auto fail = [error](std::string reason) {
    if (error) *error = std::move(reason);
    return std::unique_ptr<Searcher>();
  };
  if (needle.empty()) return fail("nothing to search for");
  if (Utf8ValidPrefix(needle) != needle.size()) return fail("the text to search for is not valid UTF-8");
  std::unique_ptr<Searcher> searcher(new Searcher);
  searcher->options_ = options;
  searcher->needle_ = needle;
  if (options.regex || options.ignoreCase) {
    TextPattern::Options patternOptions;
    patternOptions.literal = !options.regex;
    patternOptions.caseless = options.ignoreCase;
    patternOptions.multiline = true;
    patternOptions.budget = true;
    std::string message;
    searcher->pattern_ = TextPattern::Compile(needle, patternOptions, &message);
    if (!searcher->pattern_) return fail("bad pattern: " + message);
  }
  return searcher;
}

bool Searcher::Find(std::string_view text, std::size_t start, std::size_t& begin, std::size_t& end,
                    bool notEmptyAtStart, bool& failed) const {
  if (pattern_) {
    switch (pattern_->Find(text, start, begin, end, notEmptyAtStart)) {
      case TextPattern::Outcome::Found: return true;
      case TextPattern::Outcome::NotFound: return false;
      case TextPattern::Outcome::Failed: failed = true; return false;
    }
  }
  if (start >= text.size()) return false;
  const void* hit = memmem(text.data() + start, text.size() - start, needle_.data(), needle_.size());
  if (!hit) return false;
  begin = static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
  end = begin + needle_.size();
  return true;
}

bool Searcher::Search(ArticleJob& job) const {
  return Search(job, [&job](std::string_view line) {
    job.output += line;
    return true;
  });
}

bool Searcher::Search(ArticleJob& job, const std::function<bool(std::string_view line)>& write) const {
  const std::string_view text =
      options_.titlesOnly ? std::string_view(job.title) : std::string_view(job.text);
  const bool eachMatch = !options_.countOnly && !options_.titlesOnly;
  const std::string prefix = std::to_string(job.id) + '\t' + Printable(job.title);
  job.count = 0;
  bool failed = false;
  std::size_t at = 0, begin = 0, end = 0, counted = 0;
  std::int64_t line = 1;
  bool notEmpty = false;
  while (at <= text.size() && Find(text, at, begin, end, notEmpty, failed)) {
    ++job.count;
    if (eachMatch) {
      line += LineEndsIn(text, counted, begin);
      counted = begin;
      if (!write(prefix + '\t' + std::to_string(line) + '\t' + Snippet(text, begin, end) + '\n')) return true;
    }
    notEmpty = end == begin;  // step past an empty match without finding it again
    at = end;
  }
  if (job.count > 0 && options_.countOnly)
    write(prefix + '\t' + std::to_string(job.count) + '\n');
  else if (job.count > 0 && options_.titlesOnly)
    write(prefix + '\n');
  return !failed;
}

}  // namespace nvx::book
