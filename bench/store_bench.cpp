// Figures for the store: packing, the catalogue walk and the lookup of one article.
#include <benchmark/benchmark.h>
#include <unistd.h>
#include <filesystem>
#include <string>

#include "base/codepage.h"
#include "store/article_file.h"
#include "store/article_schema.h"
#include "store/packed_content.h"
#include "store/sqlite_table.h"

namespace {

nvx::Bytes SampleText(std::size_t size) {
  const std::string line = nvx::L("天地玄黄，宇宙洪荒。日月盈昃，辰宿列张。寒来暑往，秋收冬藏。") + "\r\n";
  nvx::Bytes text;
  while (text.size() < size) text.insert(text.end(), line.begin(), line.end());
  text.resize(size);
  return text;
}

void BM_Compress(benchmark::State& state) {
  const nvx::Bytes text = SampleText(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(nvx::Compress(text));
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Compress)->Arg(10 << 10)->Arg(1 << 20);

void BM_Decompress(benchmark::State& state) {
  const nvx::Bytes packed = nvx::Compress(SampleText(static_cast<std::size_t>(state.range(0))));
  for (auto _ : state) benchmark::DoNotOptimize(nvx::Decompress(packed));
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Decompress)->Arg(10 << 10)->Arg(1 << 20);

// A collection of `count` short articles in a temporary file, made once per size.
class Collection {
 public:
  explicit Collection(int count)
      : path_(std::filesystem::temp_directory_path() /
              ("nvx_bench_" + std::to_string(getpid()) + "_" + std::to_string(count) + ".nvx")) {
    std::filesystem::remove(path_);
    db_.Open(path_.string(), true);
    db_.Execute(nvx::schema::kCreateStatement);
    db_.Execute("BEGIN");
    for (int i = 1; i <= count; ++i)
      nvx::AddArticle(db_, nvx::L("第") + std::to_string(i) + nvx::L("章"), SampleText(64));
    db_.Execute("COMMIT");
  }
  ~Collection() {
    db_.Close();
    std::filesystem::remove(path_);
  }
  nvx::SqliteDB& Db() { return db_; }

 private:
  std::filesystem::path path_;
  nvx::SqliteDB db_;
};

// The catalogue walk: open the table, then for every row move and read the id and the title.
void BM_CatalogueWalk(benchmark::State& state) {
  Collection collection(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    nvx::SqliteTable table;
    table.Open(nvx::schema::kTable, collection.Db());
    while (!table.IsAfterLast()) {
      table.Next();
      benchmark::DoNotOptimize(table.ReadText(nvx::schema::kId));
      benchmark::DoNotOptimize(table.ReadText(nvx::schema::kName));
    }
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_CatalogueWalk)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond);

// Loading one article: open the table, find the row, read its five columns.
void BM_LoadOneArticle(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  Collection collection(count);
  const std::string condition = "id=" + std::to_string(count / 2);
  for (auto _ : state) {
    nvx::SqliteTable table;
    table.Open(nvx::schema::kTable, collection.Db());
    table.Find(condition);
    for (const char* c : {nvx::schema::kFace, nvx::schema::kSize, nvx::schema::kColor, nvx::schema::kEffects})
      benchmark::DoNotOptimize(table.ReadInt(c));
    benchmark::DoNotOptimize(nvx::Decompress(table.ReadBytes(nvx::schema::kContent)));
  }
}
BENCHMARK(BM_LoadOneArticle)->Arg(1000)->Arg(5000)->Unit(benchmark::kMicrosecond);

}  // namespace
