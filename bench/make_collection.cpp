// make_collection FILE COUNT KILOBYTES [MAX_KILOBYTES [BIG_KILOBYTES]]: writes an article database
// of COUNT articles of generated Chinese text, in lines of 40 to 80 characters with CR LF line
// ends. Each article has about KILOBYTES, or a size drawn between KILOBYTES and MAX_KILOBYTES; with
// BIG_KILOBYTES one more article of that size ("长篇") stands in the middle of the collection.
// The text is made by a fixed pseudo-random sequence, so every run writes the same file.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/codepage.h"
#include "runtime/file_commands.h"
#include "store/article_file.h"
#include "store/sqlite_db.h"
#include "store/template_database.h"

namespace {

std::uint32_t seed = 12345;
std::uint32_t Next() { return seed = seed * 1664525u + 1013904223u; }

// Common characters of running text, so the text compresses as real text does.
const std::string& Alphabet() {
  static const std::string text = nvx::L(
      "的一是在不了有和人这中大为上个国我以要他时来用们生到作地于出就分对成会可主发年动同工也能下过子说"
      "产种面而方后多定行学法所民得经十三之进着等部度家电力里如水化高自二理起小物现实加量都两体制机当使点"
      "从业本去把性好应开它合还因由其些然前外天政四日那社义事平形相全表间样与关各重新线内数正心反你明看原"
      "又么利比或但质气第向道命此变条只没结解问意建月公无系军很情者最立代想已通并提直题党程展五果料象员革"
      "位入常文总次品式活设及管特件长求老头基资边流路级少图山统接知较将组见计别她手角期根论运农指几九区强");
  return text;
}

// A pool of generated lines: articles are made of lines drawn from it, which is far quicker than
// drawing every character and still gives zlib no long repeats inside its window.
const std::vector<std::string>& LinePool() {
  static const std::vector<std::string> pool = [] {
    std::vector<std::string> lines(8192);
    const std::size_t characters = Alphabet().size() / 2;
    for (auto& line : lines) {
      const std::size_t length = 40 + Next() % 41;
      for (std::size_t k = 0; k < length; ++k) line += Alphabet().substr(2 * ((Next() >> 8) % characters), 2);
      line += nvx::L("。") + "\r\n";
    }
    return lines;
  }();
  return pool;
}

std::string MakeText(std::size_t bytes) {
  std::string text;
  text.reserve(bytes + 200);
  const auto& pool = LinePool();
  while (text.size() < bytes) text += pool[(Next() >> 4) % pool.size()];
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || argc > 6) {
    std::fputs("usage: make_collection FILE COUNT KILOBYTES [MAX_KILOBYTES [BIG_KILOBYTES]]\n", stderr);
    return 2;
  }
  const std::string file = argv[1];
  const int count = std::atoi(argv[2]);
  const std::size_t low = static_cast<std::size_t>(std::atoi(argv[3])) * 1024;
  const std::size_t high = argc > 4 ? static_cast<std::size_t>(std::atoi(argv[4])) * 1024 : low;
  const std::size_t big = argc > 5 ? static_cast<std::size_t>(std::atoi(argv[5])) * 1024 : 0;

  const auto& image = nvx::TemplateDatabase();
  if (!nvx::WriteBytesToFile(file, {image})) {
    std::fprintf(stderr, "make_collection: %s: cannot write\n", file.c_str());
    return 1;
  }
  nvx::SqliteDB db;
  // One transaction for the whole generation: thousands of separate commits would take minutes.
  if (!db.Open(file) || !db.Execute("BEGIN")) return 1;
  auto add = [&](const std::string& title, std::size_t bytes) {
    if (nvx::AddArticle(db, title, nvx::ToByteArray(MakeText(bytes)))) return true;
    std::fprintf(stderr, "make_collection: %s: cannot add %s\n", file.c_str(), title.c_str());
    return false;
  };
  for (int i = 1; i <= count; ++i) {
    const std::size_t bytes = high > low ? low + Next() % (high - low + 1) : low;
    if (!add(nvx::L("第") + std::to_string(i) + nvx::L("章"), bytes)) return 1;
    if (big > 0 && i == count / 2 && !add(nvx::L("长篇"), big)) return 1;
  }
  return db.Execute("COMMIT") ? 0 : 1;
}
