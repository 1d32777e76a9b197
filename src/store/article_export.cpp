#include "store/article_export.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "store/article_walk.h"
#include "store/atomic_file.h"
#include "store/codepage.h"
#include "store/file_identity.h"
#include "store/packed_content.h"

namespace nvx {
namespace {

// One article read and unpacked, waiting to be written.
struct Unpacked {
  Text title;
  Bytes text;
};

// Articles travel from the reading thread to the writing one through this queue, in order. It
// holds a few articles (at least one, however large), so reading stays just ahead of writing.
class ArticleQueue {
 public:
  // Waits for room; false when the consumer has stopped.
  bool Push(Unpacked&& article) {
    std::unique_lock lock(mutex_);
    roomFreed_.wait(lock, [&] {
      return stopped_ || items_.empty() || (items_.size() < kMostArticles && bytes_ < kMostBytes);
    });
    if (stopped_) return false;
    bytes_ += article.text.size();
    items_.push_back(std::move(article));
    articleAdded_.notify_one();
    return true;
  }

  // Waits for the next article; false when the producer has finished and none is left.
  bool Pop(Unpacked& article) {
    std::unique_lock lock(mutex_);
    articleAdded_.wait(lock, [&] { return finished_ || !items_.empty(); });
    if (items_.empty()) return false;
    article = std::move(items_.front());
    items_.pop_front();
    bytes_ -= article.text.size();
    roomFreed_.notify_one();
    return true;
  }

  void Finish() {
    std::lock_guard lock(mutex_);
    finished_ = true;
    articleAdded_.notify_all();
  }

  void Stop() {
    std::lock_guard lock(mutex_);
    stopped_ = true;
    roomFreed_.notify_all();
  }

 private:
  static constexpr std::size_t kMostArticles = 64;
  static constexpr std::size_t kMostBytes = 32u << 20;

  std::mutex mutex_;
  std::condition_variable articleAdded_;
  std::condition_variable roomFreed_;
  std::deque<Unpacked> items_;
  std::size_t bytes_ = 0;
  bool finished_ = false;
  bool stopped_ = false;
};

// Writes the pieces of one block as one text: everything up to the first zero byte, then one zero.
bool WriteBlock(AtomicFile& out, std::initializer_list<std::string_view> pieces) {
  for (std::string_view piece : pieces) {
    const std::size_t zero = piece.find('\0');
    if (!out.Write(piece.substr(0, zero))) return false;
    if (zero != std::string_view::npos) break;
  }
  return out.Write(std::string_view("\0", 1));
}

// The article's text as the editor shows it: up to its first zero byte.
std::string_view TextOf(const Bytes& bytes) {
  const std::string_view all(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  return all.substr(0, all.find('\0'));
}

}  // namespace

ExportResult ExportArticles(SqliteDB& db, const Text& path, const ExportProgress& progress,
                            const std::function<bool()>& lastChance) {
  if (db.Handle() == nullptr) return ExportResult::ReadFailed;
  const Text open = db.FileName();
  if (!open.empty() && IsSameFile(path, open)) return ExportResult::OwnFile;
  const std::optional<std::int64_t> total = CountArticles(db);
  if (!total) return ExportResult::ReadFailed;
  AtomicFile out;
  if (!out.Open(path)) return ExportResult::CannotOpen;
  if (progress && !progress(0, *total)) return ExportResult::Cancelled;

  // The next articles are read and unpacked on a second thread while this one writes. From here
  // until the join only that thread uses `db`: a connection serves one thread at a time.
  ArticleQueue queue;
  WalkResult walked = WalkResult::Failed;
  std::thread reader([&] {
    walked = ForEachArticle(db, [&](ArticleRecord&& record) {
      return queue.Push(Unpacked{std::move(record.title), Decompress(record.packed)});
    });
    queue.Finish();
  });

  static const Text opening = L("[第");
  static const Text closing = L("篇]");
  constexpr std::string_view lineEnd = "\r\n";
  ExportResult result = ExportResult::Done;
  std::int64_t done = 0;
  Unpacked article;
  while (queue.Pop(article)) {
    const std::string number = std::to_string(done + 1);
    if (!WriteBlock(out, {opening, number, closing, article.title, lineEnd, TextOf(article.text), lineEnd})) {
      result = ExportResult::WriteFailed;
      break;
    }
    ++done;
    if (progress && !progress(done, std::max(*total, done))) {
      result = ExportResult::Cancelled;
      break;
    }
  }
  queue.Stop();
  reader.join();

  if (result == ExportResult::Done && walked != WalkResult::Done) result = ExportResult::ReadFailed;
  if (result == ExportResult::Done && lastChance && !lastChance()) result = ExportResult::Cancelled;
  if (result == ExportResult::Done && !out.Commit()) result = ExportResult::WriteFailed;
  return result;
}

}  // namespace nvx
