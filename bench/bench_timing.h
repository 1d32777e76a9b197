// Timing for the benchmarks that print their own figures beside a floor.
#pragma once

#include <sys/resource.h>

#include <chrono>
#include <cstddef>

#include "store/article_walk.h"
#include "store/packed_content.h"

namespace nvx::bench {

// Wall and processor time (all threads) of the run with the least wall time: the machines are
// shared, and the processor time shows the work done whatever else runs beside it.
struct Timing {
  double wallMs = -1;
  double cpuMs = -1;
};

inline double ProcessorMs() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
  return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// Runs `run` `runs` times (stopping at the first that returns false, which gives no figures).
template <typename F>
Timing Best(int runs, F&& run) {
  Timing result;
  for (int i = 0; i < runs; ++i) {
    const double cpuStart = ProcessorMs();
    const auto start = std::chrono::steady_clock::now();
    if (!run()) return {};
    const double wall =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (result.wallMs < 0 || wall < result.wallMs) result = {wall, ProcessorMs() - cpuStart};
  }
  return result;
}

// The floor of the commands that read every article: walk the collection and inflate each text,
// best of three; `bytes` and `articles` say how much was read.
inline Timing WalkAndInflate(SqliteDB& db, std::size_t& bytes, std::size_t& articles) {
  return Best(3, [&] {
    bytes = articles = 0;
    return ForEachArticle(db, [&](ArticleRecord&& record) {
             bytes += Decompress(record.packed).size();
             ++articles;
             return true;
           }) == WalkResult::Done;
  });
}

}  // namespace nvx::bench
