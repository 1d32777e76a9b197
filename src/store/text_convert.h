// Conversion between simplified and traditional Chinese (and the regional variants) with OpenCC,
// through OpenCC's own configurations. Texts cross as UTF-8.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/book_import.h"

namespace nvx::text {

class ChineseConverter {
 public:
  // Opens a configuration: one of OpenCC's own by name ("s2t", "t2s", "s2twp", ..., with or
  // without ".json"), or a path to a configuration file. Null on failure, and `error` says why.
  static std::unique_ptr<ChineseConverter> Open(std::string_view config, std::string* error);

  ~ChineseConverter();
  ChineseConverter(const ChineseConverter&) = delete;
  ChineseConverter& operator=(const ChineseConverter&) = delete;

  // The converted text, exactly as OpenCC gives it; nullopt when OpenCC fails. `utf8` must be
  // well-formed UTF-8 without a zero character. Several threads may convert at once.
  std::optional<std::string> Convert(std::string_view utf8) const;

 private:
  struct Engine;
  explicit ChineseConverter(std::unique_ptr<Engine> engine);
  std::unique_ptr<Engine> engine_;
};

// Converts the title and body of one of a book's articles as it comes in; false when OpenCC fails.
bool ConvertBookArticle(const ChineseConverter& converter, book::BookArticle& article);

// Characters that differ between two UTF-8 texts: code points compared place by place, plus the
// difference in length. A conversion that keeps the length counts the characters it replaced.
std::int64_t CountChangedCharacters(std::string_view before, std::string_view after);

}  // namespace nvx::text
