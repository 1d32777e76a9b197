// epub_bench: nvx export to EPUB and nvx import of that EPUB, on the generated 10 MB book of 3,000
// chapters, each beside its floor measured in the same run:
//   export: walk + inflate every article + deflate the same XHTML bytes (zlib, the same level);
//           target: ours at most 1.5x;
//   import: nvx import of the same book as TXT; target: ours at most 1.5x.
// Prints the best of five runs of each.
#include <unistd.h>
#include <zip.h>
#include <zlib.h>

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
#include "store/article_walk.h"
#include "store/book_import.h"
#include "store/book_search.h"
#include "store/epub_reader.h"
#include "store/epub_writer.h"
#include "store/packed_content.h"
#include "store/template_database.h"

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool FreshCollection(const std::string& path, nvx::SqliteDB& db) {
  std::filesystem::remove(path);
  return nvx::WriteBytesToFile(path, {nvx::TemplateDatabase()}) &&
         nvx::OpenArticleFile(db, path) == nvx::ArticleFileState::Sound &&
         nvx::QuickCheck(db) == nvx::ArticleFileState::Sound;
}

// Every XHTML file of the book, unpacked.
std::vector<std::string> XhtmlFiles(const std::string& epub) {
  std::vector<std::string> files;
  zip_error_t error;
  zip_source_t* source = zip_source_buffer_create(epub.data(), epub.size(), 0, &error);
  zip_t* archive = zip_open_from_source(source, ZIP_RDONLY, &error);
  for (zip_int64_t i = 0; archive && i < zip_get_num_entries(archive, 0); ++i) {
    zip_stat_t st;
    zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &st);
    if (!std::string(st.name).ends_with(".xhtml")) continue;
    std::string bytes(st.size, '\0');
    zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0);
    zip_fread(file, bytes.data(), bytes.size());
    zip_fclose(file);
    files.push_back(std::move(bytes));
  }
  if (archive) zip_discard(archive);
  return files;
}

}  // namespace

int main() {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("nvx_epub_bench_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string bookPath = (dir / "book.txt").string();
  const std::string collection = (dir / "books.nvx").string();
  const std::string epubPath = (dir / "book.epub").string();
  const std::string target = (dir / "back.nvx").string();
  std::ofstream(bookPath, std::ios::binary) << nvx::bench::MakeBook();
  {
    nvx::SqliteDB db;
    const auto split = nvx::book::SplitIntoArticles(nvx::book::DecodeBook(ReadAll(bookPath)).text, {});
    if (!FreshCollection(collection, db) || !nvx::book::WriteArticles(db, split.articles).ok) return 1;
  }

  // Ours: everything nvx export does after parsing its arguments.
  const nvx::bench::Timing exportOurs = nvx::bench::Best(5, [&] {
    nvx::SqliteDB db;
    if (nvx::OpenArticleFile(db, collection) != nvx::ArticleFileState::Sound) return false;
    std::vector<nvx::epub::Chapter> chapters;
    const bool read = nvx::book::WalkArticlesInParallel(
        db, nvx::book::Decoding::Utf8, [](nvx::book::ArticleJob&) {},
        [&](nvx::book::ArticleJob& job) {
          chapters.push_back({std::move(job.title), std::move(job.text)});
          return true;
        });
    nvx::epub::BookInfo info;
    info.title = "book";
    return read && nvx::epub::WriteEpub(epubPath, info, chapters).ok;
  });

  // The floor: every article read and inflated, and the book's XHTML bytes deflated.
  const std::string epub = ReadAll(epubPath);
  const std::vector<std::string> xhtml = XhtmlFiles(epub);
  std::size_t xhtmlBytes = 0;
  for (const auto& f : xhtml) xhtmlBytes += f.size();
  const nvx::bench::Timing exportFloor = nvx::bench::Best(5, [&] {
    nvx::SqliteDB db;
    if (nvx::OpenArticleFile(db, collection) != nvx::ArticleFileState::Sound) return false;
    std::size_t inflated = 0;
    const auto walked = nvx::ForEachArticle(db, [&](nvx::ArticleRecord&& r) {
      inflated += nvx::Decompress(r.packed).size();
      return true;
    });
    std::vector<Bytef> out;
    for (const auto& f : xhtml) {
      uLongf size = compressBound(f.size());
      out.resize(size);
      if (compress2(out.data(), &size, reinterpret_cast<const Bytef*>(f.data()), f.size(), 6) != Z_OK)
        return false;
    }
    return walked == nvx::WalkResult::Done && inflated > 0;
  });

  // Import of the EPUB beside the import of the TXT, both into a new collection.
  std::size_t articles = 0;
  const nvx::bench::Timing importOurs = nvx::bench::Best(5, [&] {
    nvx::SqliteDB db;
    if (!FreshCollection(target, db)) return false;
    const nvx::epub::ReadResult book = nvx::epub::ReadEpub(ReadAll(epubPath));
    articles = book.articles.size();
    return book.ok && nvx::book::WriteArticles(db, book.articles).ok;
  });
  const nvx::bench::Timing importFloor = nvx::bench::Best(5, [&] {
    nvx::SqliteDB db;
    if (!FreshCollection(target, db)) return false;
    const auto split = nvx::book::SplitIntoArticles(nvx::book::DecodeBook(ReadAll(bookPath)).text, {});
    return nvx::book::WriteArticles(db, split.articles).ok;
  });

  std::printf("EPUB of a %.1f MB TXT, %zu articles: %.1f MB of XHTML, %.1f MB packed (best of 5)\n",
              static_cast<double>(std::filesystem::file_size(bookPath)) / (1 << 20), articles,
              static_cast<double>(xhtmlBytes) / (1 << 20), static_cast<double>(epub.size()) / (1 << 20));
  std::printf("%-48s %9s %9s\n", "", "wall", "cpu");
  auto row = [](const char* name, const nvx::bench::Timing& t) {
    std::printf("%-48s %6.0f ms %6.0f ms\n", name, t.wallMs, t.cpuMs);
  };
  auto ratio = [](const nvx::bench::Timing& a, const nvx::bench::Timing& b) {
    std::printf("%-48s %8.2fx %8.2fx  (target: wall at most 1.5x)\n", "ratio", a.wallMs / b.wallMs,
                a.cpuMs / b.cpuMs);
  };
  row("ours: nvx export to EPUB", exportOurs);
  row("floor: walk + inflate + deflate the XHTML", exportFloor);
  ratio(exportOurs, exportFloor);
  row("ours: nvx import of the EPUB", importOurs);
  row("floor: nvx import of the TXT", importFloor);
  ratio(importOurs, importFloor);
  std::filesystem::remove_all(dir);
  return 0;
}
