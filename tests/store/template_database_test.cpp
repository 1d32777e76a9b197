#include "store/template_database.h"

#include <gtest/gtest.h>

#include "store/article_schema.h"
#include "support/sqlite_file.h"
#include "test_support.h"

namespace nvx {
namespace {

std::uint32_t Be32(const std::array<std::uint8_t, kTemplateDatabaseSize>& b, std::size_t at) {
  return std::uint32_t(b[at]) << 24 | std::uint32_t(b[at + 1]) << 16 | std::uint32_t(b[at + 2]) << 8 |
         b[at + 3];
}

TEST(TemplateDatabase, HeaderAndPagesHoldTheFixedBytes) {
  const auto& t = TemplateDatabase();
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(t.data()), 16), std::string("SQLite format 3\0", 16));
  EXPECT_EQ(t[16] << 8 | t[17], 1024);
  EXPECT_EQ(Be32(t, 24), 65u) << "change counter";
  EXPECT_EQ(Be32(t, 28), 0u) << "page count not kept";
  EXPECT_EQ(Be32(t, 40), 16u) << "schema cookie";
  EXPECT_EQ(Be32(t, 44), 1u) << "schema format";
  EXPECT_EQ(Be32(t, 56), 1u) << "UTF-8";
  const std::uint8_t page1[] = {0x0D, 0, 0, 0, 1, 0x03, 0x73, 0, 0x03, 0x73};
  EXPECT_TRUE(std::equal(std::begin(page1), std::end(page1), t.begin() + 100));
  const std::uint8_t cell[] = {0x81, 0x0A, 0x01, 0x07, 0x17, 0x11, 0x11, 0x01, 0x81, 0x7F};
  EXPECT_TRUE(std::equal(std::begin(cell), std::end(cell), t.begin() + 883));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(t.data()) + 893, 131),
            std::string("tablenrnr\x02") + schema::kCreateStatement);
  EXPECT_EQ(t[1024], 0x0D);
  EXPECT_EQ(t[1029] << 8 | t[1030], 1024);
  // Every byte outside the fields named above is zero.
  auto rest = t;
  const std::pair<std::size_t, std::size_t> named[] = {{0, 28}, {40, 48}, {56, 60}, {100, 110}, {883, 1031}};
  for (const auto& [from, to] : named) std::fill(rest.begin() + from, rest.begin() + to, 0);
  EXPECT_TRUE(std::all_of(rest.begin(), rest.end(), [](std::uint8_t b) { return b == 0; }));
}

// The written template opens in SQLite as it is: one table nr, no rows, integrity intact.
TEST(TemplateDatabase, OpensAsAnEmptyArticleDatabase) {
  test::TempDir dir;
  const auto& t = TemplateDatabase();
  test::WriteFile(dir.File("new.nvx"), std::string(t.begin(), t.end()));
  auto scalar = [&dir](const char* sql) { return test::QueryFile(dir.File("new.nvx"), sql); };
  EXPECT_EQ(scalar("PRAGMA integrity_check"), "ok");
  EXPECT_EQ(scalar("SELECT group_concat(name) FROM sqlite_master"), "nr");
  EXPECT_EQ(scalar("SELECT sql FROM sqlite_master"), schema::kCreateStatement);
  EXPECT_EQ(scalar("SELECT count(*) FROM nr"), "0");
  EXPECT_EQ(scalar("PRAGMA encoding"), "UTF-8");
}

}  // namespace
}  // namespace nvx
