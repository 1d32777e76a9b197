// tidy_bench CONVERT_FILE DUPS_FILE: `nvx convert --config s2t` on a copy of CONVERT_FILE beside
// the opencc command over the same titles and texts written out as one UTF-8 file, and
// `nvx dups` (exact, and --near 80) on DUPS_FILE beside one statement walking every article and
// inflating it, on one core. Targets: convert at most 1.3x opencc, dups at most 2x the walk.
// Each figure is the best of its runs; wall time, and the processor time of every thread and child.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/codepage.h"
#include "bench_timing.h"
#include "store/article_file.h"
#include "store/article_walk.h"
#include "store/book_search.h"
#include "store/packed_content.h"
#include "store/sqlite_db.h"

namespace {

namespace fs = std::filesystem;
using nvx::bench::Timing;

double ChildrenMs() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
  return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// The best of `runs` runs of a shell command, `prepare` (not timed) before each.
template <typename Prepare>
Timing BestCommand(int runs, const std::string& command, Prepare&& prepare) {
  Timing best;
  for (int i = 0; i < runs; ++i) {
    prepare();
    const double cpuStart = ChildrenMs();
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    const double wall =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (status == -1 || (WEXITSTATUS(status) != 0 && WEXITSTATUS(status) != 1)) {
      std::fprintf(stderr, "tidy_bench: failed: %s\n", command.c_str());
      return {};
    }
    if (best.wallMs < 0 || wall < best.wallMs) best = {wall, ChildrenMs() - cpuStart};
  }
  return best;
}

void Row(const char* name, const Timing& ours, const Timing& floor) {
  std::printf("%-34s %7.0f ms %7.0f ms %7.2fx %7.2fx\n", name, ours.wallMs, ours.cpuMs,
              ours.wallMs / floor.wallMs, ours.cpuMs / floor.cpuMs);
}

std::string Quote(const std::string& s) { return "'" + s + "'"; }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: tidy_bench CONVERT_FILE DUPS_FILE (collections, such as scripts/bench.sh makes)\n",
               stderr);
    return 2;
  }
  const std::string nvx = NVX_TOOL_PATH;
  const fs::path work = fs::temp_directory_path() / ("tidy_bench." + std::to_string(::getpid()));
  fs::create_directories(work);
  const std::string copy = (work / "copy.nvx").string(), texts = (work / "texts.txt").string();

  // The same titles and texts as UTF-8, one after another, for the opencc command.
  std::size_t articles = 0;
  {
    nvx::SqliteDB db;
    if (nvx::OpenArticleFile(db, argv[1]) != nvx::ArticleFileState::Sound) {
      std::fprintf(stderr, "tidy_bench: %s: not a collection\n", argv[1]);
      return 1;
    }
    std::ofstream out(texts, std::ios::binary);
    nvx::ForEachArticle(db, [&](nvx::ArticleRecord&& record) {
      const nvx::Bytes raw = nvx::Decompress(record.packed);
      out << nvx::ToUtf8Lossy(record.title) << '\n'
          << nvx::DecodeLocalText(std::string_view(reinterpret_cast<const char*>(raw.data()), raw.size()))
          << '\n';
      ++articles;
      return true;
    });
  }
  std::printf("convert: %zu articles, %.0f MB of UTF-8 text (best of 2)\n", articles,
              fs::file_size(texts) / 1048576.0);
  std::printf("%-34s %10s %10s %8s %8s\n", "", "wall", "cpu", "wall x", "cpu x");
  const Timing opencc =
      BestCommand(2, "opencc -c s2t -i " + Quote(texts) + " -o " + Quote((work / "out.txt").string()), [] {});
  std::printf("%-34s %7.0f ms %7.0f ms\n", "floor: opencc -c s2t", opencc.wallMs, opencc.cpuMs);
  const Timing convert =
      BestCommand(2, Quote(nvx) + " convert " + Quote(copy) + " --config s2t >/dev/null",
                  [&] { fs::copy_file(argv[1], copy, fs::copy_options::overwrite_existing); });
  Row("nvx convert --config s2t", convert, opencc);

  nvx::SqliteDB db;
  if (nvx::OpenArticleFile(db, argv[2]) != nvx::ArticleFileState::Sound) {
    std::fprintf(stderr, "tidy_bench: %s: not a collection\n", argv[2]);
    return 1;
  }
  std::size_t bytes = 0;
  articles = 0;
  const Timing walk = nvx::bench::WalkAndInflate(db, bytes, articles);
  std::printf("\ndups: %zu articles, %.0f MB of GB18030 text (best of 3)\n", articles, bytes / 1048576.0);
  std::printf("%-34s %7.0f ms %7.0f ms\n", "floor: walk + inflate", walk.wallMs, walk.cpuMs);
  Row("nvx dups", BestCommand(3, Quote(nvx) + " dups " + Quote(argv[2]) + " >/dev/null", [] {}), walk);
  Row("nvx dups --near 80",
      BestCommand(3, Quote(nvx) + " dups " + Quote(argv[2]) + " --near 80 >/dev/null", [] {}), walk);
  std::puts("targets: convert at most 1.3x opencc, dups at most 2x the walk (wall time)");
  fs::remove_all(work);
  return 0;
}
