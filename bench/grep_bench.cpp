// grep_bench FILE: searches every article of the collection FILE the way `nvx grep` does (plain,
// -i and -E), beside the floor: one statement stepping through every article and inflating it,
// on one core. Target: ours at most 1.5x the floor. Prints the best of three runs of each.
#include <chrono>
#include <cstdio>
#include <string>

#include "store/article_file.h"
#include "store/article_walk.h"
#include "store/book_search.h"
#include "store/packed_content.h"
#include "store/sqlite_db.h"

namespace {

template <typename F>
double bestMs(F&& run) {
  double best = 1e300;
  for (int i = 0; i < 3; ++i) {
    const auto start = std::chrono::steady_clock::now();
    if (!run()) return -1;
    best = std::min(best, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: grep_bench FILE (a collection, such as scripts/bench.sh makes)\n", stderr);
    return 2;
  }
  nvx::SqliteDB db;
  if (nvx::OpenArticleFile(db, argv[1]) != nvx::ArticleFileState::Sound) {
    std::fprintf(stderr, "grep_bench: %s: not a collection\n", argv[1]);
    return 1;
  }

  std::size_t bytes = 0, articles = 0;
  const double floor = bestMs([&] {
    bytes = articles = 0;
    return nvx::ForEachArticle(db, [&](nvx::ArticleRecord&& record) {
             bytes += nvx::Decompress(record.packed).size();
             ++articles;
             return true;
           }) == nvx::WalkResult::Done;
  });
  std::printf("grep over %zu articles, %.0f MB of GB18030 text (best of 3)\n", articles, bytes / 1048576.0);
  std::printf("%-40s %9.0f ms\n", "floor: walk + inflate, one core", floor);

  struct Workload {
    const char* name;
    const char* needle;
    nvx::book::SearchOptions options;
  };
  const Workload workloads[] = {
      {"nvx grep 的情", "的情", {}},
      {"nvx grep -c 那", "那", {.countOnly = true}},
      {"nvx grep -i ａｂｃ", "ａｂｃ", {.ignoreCase = true}},
      {"nvx grep -E '第.{2}章'", "第.{2}章", {.regex = true}},
  };
  for (const Workload& w : workloads) {
    std::string error;
    const auto searcher = nvx::book::Searcher::Create(w.needle, w.options, &error);
    std::size_t output = 0;
    const double ours = bestMs([&] {
      output = 0;
      return nvx::book::WalkArticlesInParallel(
          db, nvx::book::Decoding::Utf8, [&](nvx::book::ArticleJob& job) { searcher->Search(job); },
          [&](nvx::book::ArticleJob& job) {
            output += job.output.size();
            return true;
          });
    });
    std::printf("%-40s %9.0f ms  %6.2fx (target <= 1.5x)  %zu bytes out\n", w.name, ours, ours / floor, output);
  }
  return 0;
}
