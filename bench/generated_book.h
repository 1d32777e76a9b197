// The generated book the import and EPUB benchmarks share: a 10 MB UTF-8 TXT of 3,000 chapters of
// prose in indented lines, the same bytes on every run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace nvx::bench {

inline constexpr int kChapters = 3000;
inline constexpr std::size_t kBookBytes = 10 << 20;

// A UTF-8 book: a preface, then kChapters chapters of generated prose in indented lines.
inline std::string MakeBook() {
  const std::string alphabet =
      "的一是在不了有和人这中大为上个国我以要他时来用们生到作地于出就分对成会可主发年动同工也能下过子说"
      "产种面而方后多定行学法所民得经十三之进着等部度家电力里如水化高自二理起小物现实加量都两体制机当使点";
  const std::size_t characters = alphabet.size() / 3;
  const std::size_t perChapter = kBookBytes / kChapters;
  std::uint32_t seed = 4242;
  auto Next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
  std::string book = "《生成之书》\n作者：基准\n\n";
  for (int c = 1; c <= kChapters; ++c) {
    book += "第" + std::to_string(c) + "章 标题" + std::to_string(c) + "\n\n";
    const std::size_t end = book.size() + perChapter;
    while (book.size() < end) {
      book += "　　";
      const std::size_t line = 30 + Next() % 60;
      for (std::size_t k = 0; k < line; ++k) book += alphabet.substr(3 * ((Next() >> 8) % characters), 3);
      book += "。\n";
    }
  }
  return book;
}

}  // namespace nvx::bench
