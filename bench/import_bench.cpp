// import_bench [ANY]: imports a generated 10 MB TXT book of 3,000 chapters into an empty
// collection, the way `nvx import` does (read, tell the encoding, decode, split, pack, insert in one
// transaction), beside the floor: inserting the same articles, already split and in GB18030, with
// one prepared statement in one transaction (packing included, as every stored article is packed).
// Target: ours at most 2x the floor. Prints the best of five runs of each.
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/codepage.h"
#include "bench_timing.h"
#include "generated_book.h"
#include "runtime/file_commands.h"
#include "store/article_file.h"
#include "store/book_import.h"
#include "store/packed_content.h"
#include "store/sqlite_db.h"
#include "store/template_database.h"

namespace {

using nvx::bench::MakeBook;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool FreshCollection(const std::string& path) {
  std::filesystem::remove(path);
  return nvx::WriteBytesToFile(path, {nvx::TemplateDatabase()});
}

}  // namespace

int main() {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("nvx_import_bench_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string bookPath = (dir / "book.txt").string();
  const std::string target = (dir / "books.nvx").string();
  std::ofstream(bookPath, std::ios::binary) << MakeBook();

  // Ours: everything nvx import does after parsing its arguments.
  std::size_t articles = 0;
  const nvx::bench::Timing ours = nvx::bench::Best(5, [&] {
    if (!FreshCollection(target)) return false;
    const nvx::book::DecodedBook decoded = nvx::book::DecodeBook(ReadAll(bookPath));
    const nvx::book::SplitBook split = nvx::book::SplitIntoArticles(decoded.text, {});
    nvx::SqliteDB db;
    if (nvx::OpenArticleFile(db, target) != nvx::ArticleFileState::Sound) return false;
    if (nvx::QuickCheck(db) != nvx::ArticleFileState::Sound) return false;
    articles = split.articles.size();
    return nvx::book::WriteArticles(db, split.articles).ok;
  });

  // The floor: the same articles, already split and converted, packed and inserted.
  const nvx::book::SplitBook split =
      nvx::book::SplitIntoArticles(nvx::book::DecodeBook(ReadAll(bookPath)).text, {});
  std::vector<std::pair<std::string, nvx::Bytes>> rows;
  for (const auto& a : split.articles) rows.emplace_back(a.title, nvx::ToByteArray(*nvx::FromUtf8(a.body)));
  const nvx::bench::Timing floor = nvx::bench::Best(5, [&] {
    if (!FreshCollection(target)) return false;
    sqlite3* db = nullptr;
    if (sqlite3_open(target.c_str(), &db) != SQLITE_OK) return false;
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO nr(name,nr,ksid,zt,ztdx) VALUES(?,?,0,'宋体',14)", -1, &s, nullptr);
    for (const auto& [title, text] : rows) {
      const nvx::Bytes packed = nvx::Compress(text);
      sqlite3_bind_text(s, 1, title.data(), static_cast<int>(title.size()), SQLITE_STATIC);
      sqlite3_bind_blob(s, 2, packed.data(), static_cast<int>(packed.size()), SQLITE_STATIC);
      sqlite3_step(s);
      sqlite3_reset(s);
    }
    sqlite3_finalize(s);
    const bool ok = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
  });

  std::printf("import of a %.1f MB TXT, %zu articles (best of 5)\n",
              static_cast<double>(std::filesystem::file_size(bookPath)) / (1 << 20), articles);
  std::printf("%-40s %9s %9s\n", "", "wall", "cpu");
  std::printf("%-40s %6.0f ms %6.0f ms\n", "ours: nvx import's work", ours.wallMs, ours.cpuMs);
  std::printf("%-40s %6.0f ms %6.0f ms\n", "floor: pack + insert, one transaction", floor.wallMs,
              floor.cpuMs);
  std::printf("%-40s %8.2fx %8.2fx  (target: wall at most 2x)\n", "ratio", ours.wallMs / floor.wallMs,
              ours.cpuMs / floor.cpuMs);
  std::filesystem::remove_all(dir);
  return 0;
}
