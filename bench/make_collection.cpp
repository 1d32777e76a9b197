// make_collection FILE COUNT KILOBYTES: writes an article database of COUNT articles of about
// KILOBYTES each, of generated Chinese text in lines of 40 to 80 characters with CR LF line ends.
// The text is made by a fixed pseudo-random sequence, so every run writes the same file.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "runtime/file_commands.h"
#include "store/article_file.h"
#include "store/codepage.h"
#include "store/sqlite_db.h"
#include "store/template_database.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: make_collection FILE COUNT KILOBYTES\n", stderr);
    return 2;
  }
  const std::string file = argv[1];
  const int count = std::atoi(argv[2]);
  const std::size_t bytes = static_cast<std::size_t>(std::atoi(argv[3])) * 1024;

  const auto& image = nvx::TemplateDatabase();
  if (!nvx::WriteBytesToFile(file, {image})) {
    std::fprintf(stderr, "make_collection: %s: cannot write\n", file.c_str());
    return 1;
  }
  nvx::SqliteDB db;
  // One transaction for the whole generation: thousands of separate commits would take minutes.
  if (!db.Open(file) || !db.Execute("BEGIN")) return 1;

  // Common characters of running text, so the text compresses as real text does.
  const std::string alphabet = nvx::L(
      "的一是在不了有和人这中大为上个国我以要他时来用们生到作地于出就分对成会可主发年动同工也能下过子说"
      "产种面而方后多定行学法所民得经十三之进着等部度家电力里如水化高自二理起小物现实加量都两体制机当使点"
      "从业本去把性好应开它合还因由其些然前外天政四日那社义事平形相全表间样与关各重新线内数正心反你明看原"
      "又么利比或但质气第向道命此变条只没结解问意建月公无系军很情者最立代想已通并提直题党程展五果料象员革"
      "位入常文总次品式活设及管特件长求老头基资边流路级少图山统接知较将组见计别她手角期根论运农指几九区强");
  const std::size_t characters = alphabet.size() / 2;
  std::uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };

  for (int i = 1; i <= count; ++i) {
    std::string text;
    text.reserve(bytes + 200);
    while (text.size() < bytes) {
      const std::size_t line = 40 + next() % 41;
      for (std::size_t k = 0; k < line; ++k) text += alphabet.substr(2 * ((next() >> 8) % characters), 2);
      text += nvx::L("。") + "\r\n";
    }
    const std::string title = nvx::L("第") + std::to_string(i) + nvx::L("章");
    if (!nvx::AddArticle(db, title, nvx::toByteArray(text))) {
      std::fprintf(stderr, "make_collection: %s: cannot add article %d\n", file.c_str(), i);
      return 1;
    }
  }
  return db.Execute("COMMIT") ? 0 : 1;
}
