#include "store/article_export.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/codepage.h"
#include "base/file_identity.h"
#include "store/article_records.h"
#include "store/packed_content.h"
#include "store/small_disk.h"
#include "store/statement.h"
#include "store/store_fixture.h"

namespace nvx {
namespace {

class ArticleExport : public test::StoreTest {
 protected:
  void Add(std::int64_t id, const std::string& title, const Bytes& packed) {
    CachedStatement s = db.Prepare("INSERT INTO nr(id,name,nr) VALUES(?,?,?)");
    ASSERT_TRUE(s);
    s.Bind(1, id);
    s.BindUtf8(2, title);
    s.Bind(3, packed);
    ASSERT_EQ(s.Step(), SQLITE_DONE);
  }
  void AddText(std::int64_t id, const std::string& title, const std::string& text) {
    Add(id, title, Compress(ToByteArray(text)));
  }

  std::string target = dir.File("out.txt");
};

std::string Block(int n, const std::string& title, const std::string& text) {
  return "[\xB5\xDA" + std::to_string(n) + "\xC6\xAA]" + title + "\r\n" + text + "\r\n" +
         std::string(1, '\0');
}

TEST_F(ArticleExport, WritesOneBlockPerArticleInIdOrder) {
  MakeArticles({});
  AddText(13, "C", "third");
  AddText(5, "A", "x");
  AddText(8, "\xE5\xAE\x8B", std::string("before\0after", 12));  // title 宋 stored as UTF-8
  Add(20, "damaged", Bytes{0x0D, 0x0F, 0x3E, 0x03, 9, 0, 0, 0, 0x78, 0x9C, 1, 2});
  Add(21, "empty", Bytes{});
  ASSERT_EQ(ExportArticles(db, target), ExportResult::Done);
  EXPECT_EQ(test::ReadFile(target), Block(1, "A", "x") + Block(2, "\xCB\xCE", "before") +
                                        Block(3, "C", "third") + Block(4, "damaged", "") +
                                        Block(5, "empty", ""));

  ASSERT_TRUE(db.Execute("DELETE FROM nr"));
  ASSERT_EQ(ExportArticles(db, target), ExportResult::Done);
  EXPECT_EQ(test::ReadFile(target), "") << "an empty collection gives an empty file";
}

// Reading runs ahead of writing on another thread; the blocks must still come in order, whatever
// their sizes.
TEST_F(ArticleExport, ManyArticlesOfMixedSizesStayInOrder) {
  MakeArticles({});
  std::string expected;
  ASSERT_TRUE(db.Execute("BEGIN"));
  for (int i = 1; i <= 300; ++i) {
    const std::string text(static_cast<std::size_t>((i * 7919) % 200000), static_cast<char>('a' + i % 26));
    AddText(i * 3, "t" + std::to_string(i), text);
    expected += Block(i, "t" + std::to_string(i), text);
  }
  ASSERT_TRUE(db.Execute("COMMIT"));
  std::vector<std::pair<std::int64_t, std::int64_t>> calls;
  ASSERT_EQ(ExportArticles(db, target,
                           [&](std::int64_t done, std::int64_t total) {
                             calls.emplace_back(done, total);
                             return true;
                           }),
            ExportResult::Done);
  EXPECT_EQ(test::ReadFile(target) == expected, true);
  ASSERT_EQ(calls.size(), 301u);
  EXPECT_EQ(calls.front(), std::make_pair(std::int64_t{0}, std::int64_t{300}));
  EXPECT_EQ(calls.back(), std::make_pair(std::int64_t{300}, std::int64_t{300}));
}

// Whatever stops an export, the file that was there before is left exactly as it was.
TEST_F(ArticleExport, AnExportThatDoesNotFinishLeavesTheEarlierFile) {
  MakeArticles({});
  for (int i = 1; i <= 5; ++i) AddText(i, "t", "text " + std::to_string(i));
  const std::string link = dir.File("link.nvx");
  std::filesystem::create_symlink(path, link);
  const std::string before = test::ReadFile(path);

  test::WriteFile(target, "earlier");
  EXPECT_EQ(ExportArticles(db, target, [](std::int64_t done, std::int64_t) { return done < 2; }),
            ExportResult::Cancelled);
  EXPECT_EQ(ExportArticles(db, path), ExportResult::OwnFile);
  EXPECT_EQ(ExportArticles(db, link), ExportResult::OwnFile) << "through a link";
  EXPECT_EQ(ExportArticles(db, dir.File("no/such/dir.txt")), ExportResult::CannotOpen);

  // Another program holds the file: the rows cannot be read.
  SqliteDB other;
  ASSERT_TRUE(other.Open(path));
  ASSERT_TRUE(other.Execute("BEGIN EXCLUSIVE"));
  db.SetBusyTimeout(50);
  EXPECT_EQ(ExportArticles(db, target), ExportResult::ReadFailed);
  other.Close();

  SqliteDB closed;
  EXPECT_EQ(ExportArticles(closed, target), ExportResult::ReadFailed) << "no collection open";
  EXPECT_EQ(test::ReadFile(target), "earlier");
  EXPECT_EQ(test::ReadFile(path), before);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 3)
      << "no temporary file left";
}

TEST_F(ArticleExport, AFullDiskKeepsTheEarlierExport) {
  test::SmallDisk disk(dir.Path() / "disk", 64 * 1024);
  if (!disk.Mounted()) GTEST_SKIP() << "no right to mount a tmpfs here";
  MakeArticles({});
  for (int i = 1; i <= 20; ++i) AddText(i, "t", std::string(10000, 'z'));
  const std::string onDisk = disk.File("export.txt");
  test::WriteFile(onDisk, "the earlier export");
  EXPECT_EQ(ExportArticles(db, onDisk), ExportResult::WriteFailed);
  EXPECT_EQ(test::ReadFile(onDisk), "the earlier export");
  EXPECT_EQ(disk.Names(), "export.txt ");
}

// One file however it is spelled: that is what keeps an export off its own collection.
TEST(FileIdentity, SameFileByDeviceAndInode) {
  test::TempDir dir;
  const std::string file = dir.File("a.nvx");
  test::WriteFile(file, "x");
  test::WriteFile(dir.File("b.nvx"), "x");
  std::filesystem::create_hard_link(file, dir.File("hard.nvx"));
  std::filesystem::create_symlink(file, dir.File("soft.nvx"));
  const std::pair<std::string, bool> rows[] = {
      {file, true},
      {dir.Path().string() + "/./a.nvx", true},
      {dir.File("hard.nvx"), true},
      {dir.File("soft.nvx"), true},
      {dir.File("b.nvx"), false},
      {dir.File("missing.nvx"), false},
  };
  for (const auto& [other, same] : rows) {
    SCOPED_TRACE(other);
    EXPECT_EQ(IsSameFile(file, other), same);
  }
  EXPECT_FALSE(IsSameFile(dir.File("missing.nvx"), dir.File("missing.nvx"))) << "nothing is not a file";
}

}  // namespace
}  // namespace nvx
