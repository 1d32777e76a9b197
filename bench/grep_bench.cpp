// grep_bench FILE: searches every article of the collection FILE the way `nvx grep` does (plain,
// -i and -E), beside the floor: one statement stepping through every article and inflating it,
// on one core. Target: ours at most 1.5x the floor. Prints the best of three runs of each.
#include <cstdio>
#include <string>

#include "bench_timing.h"
#include "store/article_file.h"
#include "store/article_walk.h"
#include "store/book_search.h"
#include "store/packed_content.h"
#include "store/sqlite_db.h"

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
  const nvx::bench::Timing floor = nvx::bench::WalkAndInflate(db, bytes, articles);
  std::printf("grep over %zu articles, %.0f MB of GB18030 text (best of 3)\n", articles, bytes / 1048576.0);
  std::printf("%-30s %9s %9s %8s %8s\n", "", "wall", "cpu", "wall x", "cpu x");
  std::printf("%-30s %6.0f ms %6.0f ms\n", "floor: walk + inflate", floor.wallMs, floor.cpuMs);

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
    const nvx::bench::Timing ours = nvx::bench::Best(3, [&] {
      output = 0;
      return nvx::book::WalkArticlesInParallel(
          db, nvx::book::Decoding::Utf8, [&](nvx::book::ArticleJob& job) { searcher->Search(job); },
          [&](nvx::book::ArticleJob& job) {
            output += job.output.size();
            return true;
          });
    });
    std::printf("%-30s %6.0f ms %6.0f ms %7.2fx %7.2fx  (%zu bytes out)\n", w.name, ours.wallMs, ours.cpuMs,
                ours.wallMs / floor.wallMs, ours.cpuMs / floor.cpuMs, output);
  }
  std::puts("target: wall time at most 1.5x the floor's");
  return 0;
}
