#include "store/template_database.h"

#include <cstring>
#include <string_view>

#include "store/article_schema.h"
#include "store/atomic_file.h"

namespace nvx {
namespace {

using Image = std::array<std::uint8_t, kTemplateDatabaseSize>;

void Put(Image& image, std::size_t offset, std::initializer_list<std::uint8_t> bytes) {
  for (std::uint8_t b : bytes) image[offset++] = b;
}

void PutText(Image& image, std::size_t offset, std::string_view text) {
  std::memcpy(image.data() + offset, text.data(), text.size());
}

void PutBe32(Image& image, std::size_t offset, std::uint32_t v) {
  Put(image, offset, {std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)});
}

Image Build() {
  Image image{};
  // File header. The page count at 28 is left 0: the size follows from the file length.
  PutText(image, 0, std::string_view("SQLite format 3\0", 16));
  Put(image, 16, {0x04, 0x00});           // page size 1024
  Put(image, 18, {1, 1, 0, 64, 32, 32});  // rollback journal, no reserved bytes, payload fractions
  PutBe32(image, 24, 65);                 // file change counter
  PutBe32(image, 40, 16);                 // schema cookie
  PutBe32(image, 44, 1);                  // legacy schema format
  PutBe32(image, 56, 1);                  // text encoding UTF-8

  // Page 1: a table leaf with one cell at 883, the schema row of table nr.
  Put(image, 100, {0x0D, 0x00, 0x00, 0x00, 0x01, 0x03, 0x73, 0x00, 0x03, 0x73});
  const std::string_view sql = schema::kCreateStatement;  // 121 bytes
  Put(image, 883, {0x81, 0x0A, 0x01});                    // payload 138, row id 1
  Put(image, 886, {0x07, 0x17, 0x11, 0x11, 0x01, 0x81, 0x7F});
  PutText(image, 893, "table");
  PutText(image, 898, "nr");
  PutText(image, 900, "nr");
  Put(image, 902, {0x02});  // root page of nr
  PutText(image, 903, sql);

  // Page 2: the empty root leaf of nr.
  Put(image, 1024, {0x0D, 0x00, 0x00, 0x00, 0x00, 0x04, 0x00});
  return image;
}

static_assert(std::string_view(schema::kCreateStatement).size() == 121);

}  // namespace

const Image& TemplateDatabase() {
  static const Image image = Build();
  return image;
}

bool WriteNewCollection(const Text& path) {
  AtomicFile out;
  return out.Open(path) && out.Write(TemplateDatabase()) && out.Commit();
}

}  // namespace nvx
