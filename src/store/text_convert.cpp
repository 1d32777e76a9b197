#include "store/text_convert.h"

#include <opencc/SimpleConverter.hpp>

#include <cstdint>
#include <exception>

#include "base/codepage.h"

namespace nvx::text {

struct ChineseConverter::Engine {
  explicit Engine(const std::string& config) : converter(config) {}
  opencc::SimpleConverter converter;
};

ChineseConverter::ChineseConverter(std::unique_ptr<Engine> engine) : engine_(std::move(engine)) {}
ChineseConverter::~ChineseConverter() = default;

std::unique_ptr<ChineseConverter> ChineseConverter::Open(std::string_view config, std::string* error) {
  std::string name(config);
  // A bare name is one of OpenCC's configurations, which it finds in its own folder.
  const bool path = name.find('/') != std::string::npos;
  if (!path && (name.size() < 5 || name.compare(name.size() - 5, 5, ".json") != 0)) name += ".json";
  if (name.empty() || name == ".json" || name.find('\0') != std::string::npos) {
    if (error) *error = "no configuration named";
    return nullptr;
  }
  try {
    return std::unique_ptr<ChineseConverter>(new ChineseConverter(std::make_unique<Engine>(name)));
  } catch (const std::exception& e) {
    if (error) *error = std::string(config) + ": " + e.what();
  } catch (...) {
    if (error) *error = std::string(config) + ": OpenCC cannot use it";
  }
  return nullptr;
}

std::optional<std::string> ChineseConverter::Convert(std::string_view utf8) const {
  if (utf8.empty()) return std::string();
  try {
    return engine_->converter.Convert(utf8.data(), utf8.size());
  } catch (...) {
    return std::nullopt;
  }
}

bool ConvertBookArticle(const ChineseConverter& converter, book::BookArticle& article) {
  auto title = converter.Convert(article.title);
  auto body = converter.Convert(article.body);
  if (!title || !body) return false;
  article.title = std::move(*title);
  article.body = std::move(*body);
  article.characters = book::CountCharacters(article.body);
  return true;
}

std::int64_t CountChangedCharacters(std::string_view before, std::string_view after) {
  auto next = [](std::string_view s, std::size_t& at) {
    const std::size_t start = at;
    ++at;
    while (at < s.size() && IsUtf8Continuation(static_cast<unsigned char>(s[at]))) ++at;
    return s.substr(start, at - start);
  };
  std::size_t i = 0, j = 0;
  std::int64_t changed = 0;
  while (i < before.size() && j < after.size()) changed += next(before, i) != next(after, j) ? 1 : 0;
  while (i < before.size()) changed += (next(before, i), 1);
  while (j < after.size()) changed += (next(after, j), 1);
  return changed;
}

}  // namespace nvx::text
