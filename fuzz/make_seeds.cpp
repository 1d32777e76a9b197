// Writes the seed corpora of the fuzz targets, made by the store's own writers so the fuzzers
// start from what real files hold. Usage: make_fuzz_seeds DIR (writes DIR/<target>/<seed>).
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "base/codepage.h"
#include "store/article_file.h"
#include "store/epub_writer.h"
#include "store/packed_content.h"
#include "store/sqlite_db.h"
#include "store/template_database.h"

using namespace nvx;
namespace fs = std::filesystem;

namespace {

bool Write(const fs::path& path, const void* data, std::size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool written = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && written;
}

bool Write(const fs::path& path, const Bytes& bytes) { return Write(path, bytes.data(), bytes.size()); }
bool Write(const fs::path& path, const std::string& text) { return Write(path, text.data(), text.size()); }

// Article texts as the editor saves them: local code page, CR LF line ends.
const std::vector<std::string> kTextsUtf8 = {
    "",
    "a",
    "床前明月光，\r\n疑是地上霜。\r\n举头望明月，\r\n低头思故乡。\r\n",
    "Mixed 中文 and ASCII, full-width（括号）and 𠀋 beyond the BMP.\r\n",
    "第一章\r\n\r\n　　天下大势，分久必合，合久必分。\r\n",
};

bool PackedSeeds(const fs::path& dir) {
  bool ok = true;
  int n = 0;
  for (const auto& utf8 : kTextsUtf8) {
    const std::string local = L(utf8);
    ok = Write(dir / ("text" + std::to_string(n++)), Compress(ToByteArray(local))) && ok;
  }
  std::string repeated;
  for (int i = 0; i < 200; ++i) repeated += L("第" + std::to_string(i) + "行：春眠不觉晓。\r\n");
  const Bytes long_ = Compress(ToByteArray(repeated));
  ok = Write(dir / "long", long_) && ok;
  // Damaged forms: cut short, a length field that lies, another magic.
  ok = Write(dir / "cut", Bytes(long_.begin(), long_.begin() + long_.size() / 2)) && ok;
  Bytes lying = long_;
  lying[4] = 3, lying[5] = 0, lying[6] = 0, lying[7] = 0;
  ok = Write(dir / "lying-length", lying) && ok;
  Bytes otherMagic = long_;
  otherMagic[0] = 0x78;
  ok = Write(dir / "other-magic", otherMagic) && ok;
  return ok;
}

bool CodepageSeeds(const fs::path& dir) {
  bool ok = true;
  int n = 0;
  for (const auto& utf8 : kTextsUtf8) {
    if (utf8.empty()) continue;
    ok = Write(dir / ("utf8-" + std::to_string(n)), utf8) && ok;
    ok = Write(dir / ("local-" + std::to_string(n)), L(utf8)) && ok;
    ++n;
  }
  ok = Write(dir / "ascii-controls", std::string("tab\tline\nreturn\r\x7f")) && ok;
  return ok;
}

// A new collection from the template, with `articles` added as nvx add and Save article add them.
bool WriteCollection(const fs::path& path, const std::vector<std::pair<std::string, std::string>>& articles,
                     const std::vector<std::string>& statements = {}) {
  const auto& image = TemplateDatabase();
  if (!Write(path, image.data(), image.size())) return false;
  SqliteDB db;
  if (!db.Open(path.string())) return false;
  for (const auto& [title, text] : articles) {
    if (!AddArticle(db, L(title), ToByteArray(L(text)))) return false;
  }
  for (const auto& sql : statements) {
    if (!db.Execute(L(sql))) return false;
  }
  return db.Close();
}

bool CollectionSeeds(const fs::path& dir) {
  bool ok = WriteCollection(dir / "empty.nvx", {});
  ok = WriteCollection(
           dir / "poems.nvx",
           {{"静夜思", kTextsUtf8[2]}, {"混合", kTextsUtf8[3]}, {"空", ""}, {"三国", kTextsUtf8[4]}}) &&
       ok;
  // Rows other programs write: NULL fields, an empty title, content that is not packed text.
  ok = WriteCollection(
           dir / "odd-rows.nvx", {{"甲", "一"}},
           {"INSERT INTO nr (id, name, nr) VALUES (7, NULL, NULL)",
            "INSERT INTO nr (name, nr, ksid, zt, ys, ztdx, xg) VALUES ('', X'0D0F3E03FFFFFFFF', -1, "
            "'黑体', -16777216, 99, 31)",
            "INSERT INTO nr (name, nr) VALUES ('plain', 'not packed')"}) &&
       ok;
  return ok;
}

// Books written by the EPUB writer: chapters under a volume, and an article cut into parts.
bool EpubSeeds(const fs::path& dir) {
  std::string small, parts;
  const bool built =
      nvx::epub::BuildEpub(
          {}, {{"第一卷", ""}, {"第一章 & <初见>", "　　那年春天。\r\n\r\n𠀀"}, {"第二章", "x"}}, small)
          .ok &&
      nvx::epub::BuildEpub({}, {{"长", std::string(300 * 1024, 'a')}}, parts).ok;
  return built && Write(dir / "small.epub", small) && Write(dir / "parts.epub", parts);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_fuzz_seeds DIR\n");
    return 2;
  }
  const fs::path out = argv[1];
  bool ok = true;
  for (const auto& [target, writer] :
       {std::pair{"packed_content_fuzz", &PackedSeeds}, std::pair{"codepage_fuzz", &CodepageSeeds},
        std::pair{"collection_fuzz", &CollectionSeeds}, std::pair{"epub_fuzz", &EpubSeeds}}) {
    std::error_code ec;
    fs::create_directories(out / target, ec);
    if (ec || !writer(out / target)) {
      std::fprintf(stderr, "make_fuzz_seeds: cannot write the seeds of %s\n", target);
      ok = false;
    }
  }
  return ok ? 0 : 1;
}
