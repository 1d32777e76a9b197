// Any bytes opened as a collection, the way the editor and nvx open a file someone hands them:
// judge the file, list every title, read every article and unpack it, load each one as the editor
// loads an article, and run the full check. Nothing may crash, hang or grow without bound.
#include <unistd.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "store/article_file.h"
#include "store/article_records.h"
#include "store/article_walk.h"
#include "store/packed_content.h"
#include "store/sqlite_db.h"

using namespace nvx;

namespace {

// One file per fuzzing process, rewritten for every input (in memory when /dev/shm is there).
const std::string& CollectionPath() {
  static const std::string path = [] {
    const char* dir =
        access("/dev/shm", W_OK) == 0 ? "/dev/shm" : (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp");
    return std::string(dir) + "/nvx-collection-fuzz-" + std::to_string(getpid()) + ".nvx";
  }();
  return path;
}

bool WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
  for (const char* suffix : {"-journal", "-wal", "-shm"}) std::remove((path + suffix).c_str());
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool written = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && written;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string& path = CollectionPath();
  if (!WriteFile(path, data, size)) std::abort();  // the fuzzing machine's fault, not the input's

  {
    SqliteDB db;
    if (OpenArticleFile(db, path) == ArticleFileState::Sound) {
      std::vector<std::int64_t> ids;
      ForEachTitle(db, [&](std::int64_t id, Text&&) {
        ids.push_back(id);
        return true;
      });
      ForEachArticle(db, [](ArticleRecord&& article) {
        const std::int64_t claimed = PackedLength(article.packed);
        const Bytes text = Decompress(article.packed);
        if (!text.empty() && static_cast<std::int64_t>(text.size()) > 2 * claimed) std::abort();
        return true;
      });
      CountArticles(db);
      for (std::int64_t id : ids) {
        if (const auto article = LoadArticle(db, id)) Decompress(article->packed);
      }
    }
  }
  CheckArticleFile(path);
  std::remove(path.c_str());
  return 0;
}
