#include "store/collection_copy.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <sstream>

#include <zlib.h>
#include <csignal>

#include <algorithm>
#include <filesystem>
#include <map>

#include "base/codepage.h"
#include "store/article_file.h"
#include "store/packed_content.h"
#include "store/sqlite_db.h"
#include "store/template_database.h"
#include "support/sqlite_file.h"
#include "test_support.h"

namespace nvx {
namespace {

namespace fs = std::filesystem;

// 2024-03-05 14:15:16 in the local time zone.
std::time_t March5() {
  std::tm t{};
  t.tm_year = 124;
  t.tm_mon = 2;
  t.tm_mday = 5;
  t.tm_hour = 14;
  t.tm_min = 15;
  t.tm_sec = 16;
  t.tm_isdst = -1;
  return std::mktime(&t);
}

class CollectionCopy : public ::testing::Test {
 protected:
  // A collection of `count` articles titled 第N章 with a text of a few hundred bytes each.
  void MakeCollection(const std::string& path, int count) {
    const auto& image = TemplateDatabase();
    test::WriteFile(path, std::string(image.begin(), image.end()));
    SqliteDB db;
    ASSERT_TRUE(db.Open(path));
    ASSERT_TRUE(db.Execute("BEGIN"));
    for (int i = 1; i <= count; ++i) {
      std::string text;
      for (int line = 0; line < 20; ++line)
        text += L("滚滚长江东逝水，浪花淘尽英雄。") + std::to_string(i * line) + "\r\n";
      ASSERT_TRUE(AddArticle(db, L("第") + std::to_string(i) + L("章"), ToByteArray(text)));
    }
    ASSERT_TRUE(db.Execute("COMMIT"));
  }

  void Exec(const std::string& path, const std::string& sql) {
    EXPECT_TRUE(test::ExecFile(path, sql)) << sql;
  }

  // Every article as id → title, unpacked text.
  std::map<std::int64_t, std::pair<Text, Text>> Articles(const std::string& path) {
    std::map<std::int64_t, std::pair<Text, Text>> all;
    std::istringstream in(test::QueryFile(path, "SELECT coalesce(group_concat(id), '') FROM nr"));
    for (std::string id; std::getline(in, id, ',');) {
      const std::string packed = test::QueryFile(path, "SELECT nr FROM nr WHERE id=" + id);
      all[std::stoll(id)] = {test::QueryFile(path, "SELECT name FROM nr WHERE id=" + id),
                             ToText(Decompress(Bytes(packed.begin(), packed.end())))};
    }
    return all;
  }

  BackupResult Backup(std::time_t time, int keep = kDefaultBackupsKept, const std::string& dir = "") {
    BackupOptions options;
    options.time = time;
    options.keep = keep;
    options.directory = dir;
    options.onTemporary = [this](const std::string& path) {
      temporaries.push_back(path);
      if (!path.empty()) {
        EXPECT_TRUE(fs::exists(path));
      }
    };
    return BackupCollection(file, options);
  }

  test::TempDir dir;
  std::string file = dir.File("books.nvx");
  std::vector<std::string> temporaries;
};

TEST_F(CollectionCopy, BackupHoldsTheSameArticlesAndLeavesTheSourceAlone) {
  MakeCollection(file, 40);
  Exec(file, "UPDATE nr SET ksid=7, ys=255, xg=3 WHERE id=2; DELETE FROM nr WHERE id=5");
  const std::string before = test::ReadFile(file);
  const auto modified = fs::last_write_time(file);

  const BackupResult r = Backup(March5());
  ASSERT_EQ(r.outcome, BackupOutcome::Done);
  EXPECT_EQ(r.path, dir.File("books-20240305-141516.nvx"));
  EXPECT_TRUE(r.notes.empty());
  EXPECT_EQ(Articles(r.path), Articles(file));
  EXPECT_EQ(Articles(r.path).size(), 39u);
  EXPECT_TRUE(CheckArticleFile(r.path).empty());
  EXPECT_EQ(test::ReadFile(file), before) << "the source is never written";
  EXPECT_EQ(fs::last_write_time(file), modified);
  EXPECT_EQ(test::NamesIn(dir.Path()), (std::vector<std::string>{"books-20240305-141516.nvx", "books.nvx"}));
  EXPECT_EQ(temporaries, (std::vector<std::string>{dir.File("books-20240305-141516.nvx.tmp"), ""}));
}

TEST_F(CollectionCopy, RotationKeepsTheNewestOfThisCollectionOnly) {
  MakeCollection(file, 3);
  // Files that look alike but are not backups of "books", and a directory named like one.
  const std::vector<std::string> others = {"books-20200101-000000.nvx.tmp.1", "books-20200101-000000-1.nvx",
                                           "books-20200101-000000-02.nvx",    "books-2020010-000000.nvx",
                                           "books-20200101-000000.NVX",       "books-2-20200101-000000.nvx",
                                           "books2-20200101-000000.nvx",      "novels-20200101-000000.nvx",
                                           "books-20200101-000000.nvx.bak",   "books.nvx.bak"};
  for (const auto& name : others) test::WriteFile(dir.File(name), "keep me");
  fs::create_directory(dir.File("books-20200101-000001.nvx"));
  test::WriteFile(dir.File("books-20200101-000000.nvx"), "oldest backup");
  test::WriteFile(dir.File("books-20200101-000000.nvx.tmp"), "left by a killed backup: nobody holds it");

  const std::time_t t = March5();
  std::vector<std::string> made;
  for (std::time_t when : {t, t, t, t + 1, t + 1, t + 2}) {
    const BackupResult r = Backup(when);
    ASSERT_EQ(r.outcome, BackupOutcome::Done);
    made.push_back(fs::path(r.path).filename().string());
  }
  EXPECT_EQ(made, (std::vector<std::string>{"books-20240305-141516.nvx", "books-20240305-141516-2.nvx",
                                            "books-20240305-141516-3.nvx", "books-20240305-141517.nvx",
                                            "books-20240305-141517-2.nvx", "books-20240305-141518.nvx"}));
  std::vector<std::string> expected = others;
  expected.insert(expected.end(), {"books-20200101-000001.nvx", "books.nvx", "books-20240305-141516-2.nvx",
                                   "books-20240305-141516-3.nvx", "books-20240305-141517.nvx",
                                   "books-20240305-141517-2.nvx", "books-20240305-141518.nvx"});
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(test::NamesIn(dir.Path()), expected) << "6 backups and an old one with keep 5 leave the newest 5";
  for (const auto& name : others) EXPECT_EQ(test::ReadFile(dir.File(name)), "keep me") << name;

  // Ordered by the sequence number, not as text: -10 is newer than -9.
  for (int i = 0; i < 8; ++i) ASSERT_EQ(Backup(t + 3).outcome, BackupOutcome::Done);
  const BackupResult tenth = Backup(t + 3, 2);
  EXPECT_EQ(fs::path(tenth.path).filename(), "books-20240305-141519-9.nvx");
  ASSERT_EQ(Backup(t + 3, 2).outcome, BackupOutcome::Done);
  EXPECT_TRUE(fs::exists(dir.File("books-20240305-141519-9.nvx")));
  EXPECT_TRUE(fs::exists(dir.File("books-20240305-141519-10.nvx")));
  EXPECT_FALSE(fs::exists(dir.File("books-20240305-141519-8.nvx")));

  // A clock set back gives the new backup the oldest name: it stays all the same.
  const BackupResult early = Backup(t - 86400, 1);
  ASSERT_EQ(early.outcome, BackupOutcome::Done);
  EXPECT_TRUE(fs::exists(early.path));
  EXPECT_FALSE(fs::exists(dir.File("books-20240305-141519-10.nvx")));
}

// A backup killed while it writes leaves its temporary copy; the next backup removes it, but
// never the copy of a backup that is still writing.
TEST_F(CollectionCopy, KilledBackupsLeaveNoTemporaryCopyBehind) {
  MakeCollection(file, 20);
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  std::fflush(nullptr);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    BackupOptions options;
    options.time = March5();
    options.onTemporary = [&](const std::string& path) {
      if (path.empty()) return;
      const std::string line = path + "\n";
      if (::write(ready[1], line.data(), line.size()) < 0) ::_exit(1);
      ::pause();  // still writing when the parent looks
    };
    BackupCollection(file, options);
    ::_exit(0);
  }
  ::close(ready[1]);
  std::string live;
  char c;
  while (::read(ready[0], &c, 1) == 1 && c != '\n') live += c;
  ::close(ready[0]);
  ASSERT_TRUE(fs::exists(live));

  ASSERT_EQ(Backup(March5()).outcome, BackupOutcome::Done);
  EXPECT_TRUE(fs::exists(live)) << "another backup is writing it";
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  EXPECT_TRUE(fs::exists(live));
  const BackupResult result = Backup(March5());
  ASSERT_EQ(result.outcome, BackupOutcome::Done);
  EXPECT_FALSE(fs::exists(live)) << "dead: removed";
  EXPECT_EQ(result.removed, std::vector<Text>{FromUtf8Lossy(live)});
  EXPECT_EQ(
      test::NamesIn(dir.Path()),
      (std::vector<std::string>{"books-20240305-141516-2.nvx", "books-20240305-141516-3.nvx", "books.nvx"}));
}

TEST_F(CollectionCopy, BackupNamesAreRecognisedExactly) {
  struct Row {
    const char* fileName;
    const char* name;
    bool backup;
  };
  const Row rows[] = {
      {"a-20240305-141516.nvx", "a", true},       {"a-20240305-141516-2.nvx", "a", true},
      {"a-20240305-141516-123.nvx", "a", true},   {"a b-20240305-141516.nvx", "a b", true},
      {"a.b-20240305-141516.nvx", "a.b", true},   {"a-20240305-141516-1.nvx", "a", false},
      {"a-20240305-141516-0.nvx", "a", false},    {"a-20240305-141516-.nvx", "a", false},
      {"a-20240305-141516-x.nvx", "a", false},    {"a-20240305-141516.nvx.tmp", "a", false},
      {"a-20240305-14151.nvx", "a", false},       {"a-2024030514-1516.nvx", "a", false},
      {"a-20240305-141516.nvx", "", false},       {"ab-20240305-141516.nvx", "a", false},
      {"a-20240305-141516.nvx", "a-2024", false}, {"a.b-20240305-141516.nvx", "a*b", false},
  };
  for (const Row& row : rows) EXPECT_EQ(ParseBackupName(row.fileName, row.name), row.backup) << row.fileName;
}

TEST_F(CollectionCopy, DamagedSourceMakesNoBackupAndRemovesNothing) {
  MakeCollection(file, 60);
  const std::string backups = dir.File("backups");
  fs::create_directory(backups);
  for (int i = 1; i <= 5; ++i)
    test::WriteFile(backups + "/books-2020010" + std::to_string(i) + "-000000.nvx", "old");

  // Scribble over the second page, a page of the article table.
  std::string bytes = test::ReadFile(file);
  const std::size_t pageSize =
      (static_cast<std::uint8_t>(bytes[16]) << 8) | static_cast<std::uint8_t>(bytes[17]);
  ASSERT_GT(bytes.size(), 3 * pageSize);
  for (std::size_t i = pageSize; i < 2 * pageSize; ++i) bytes[i] = static_cast<char>(i * 7);
  test::WriteFile(file, bytes);
  const std::string notDatabase = dir.File("notes.nvx");
  test::WriteFile(notDatabase, std::string(4096, 'n'));

  struct Row {
    const char* what;
    std::string source;
    BackupOutcome outcome;
  };
  const Row rows[] = {
      {"damaged pages", file, BackupOutcome::Damaged},
      {"not a database", notDatabase, BackupOutcome::Damaged},
      {"missing", dir.File("missing.nvx"), BackupOutcome::Missing},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    BackupOptions options;
    options.directory = backups;
    options.keep = 1;
    const std::string before = test::ReadFile(row.source);
    EXPECT_EQ(BackupCollection(row.source, options).outcome, row.outcome);
    EXPECT_EQ(test::NamesIn(backups).size(), 5u) << "older backups kept, no .tmp left";
    EXPECT_EQ(test::ReadFile(row.source), before);
  }

  file = dir.File("empty.nvx");
  test::WriteFile(file, "");
  EXPECT_EQ(Backup(March5(), 5, backups).outcome, BackupOutcome::NoTable);
  file = dir.File("sound.nvx");
  MakeCollection(file, 2);
  EXPECT_EQ(Backup(March5(), 5, dir.File("no such dir")).outcome, BackupOutcome::CannotWrite);
  EXPECT_EQ(test::NamesIn(backups).size(), 5u);
}

TEST_F(CollectionCopy, ArticlesDamagedInTheSourceAreCopiedAndNamed) {
  MakeCollection(file, 3);
  Exec(file, "UPDATE nr SET nr=x'0D0F3E0310000000789C' WHERE id=2");
  const BackupResult r = Backup(March5());
  ASSERT_EQ(r.outcome, BackupOutcome::Done) << "a collection with one bad article still gets backups";
  EXPECT_EQ(r.notes, (std::vector<std::string>{"article 2: content does not unpack"}));
  EXPECT_EQ(Articles(r.path), Articles(file));
}

// Packs `text` as the file stores it, at the given zlib level.
Bytes PackAt(const Text& text, int level) {
  uLongf size = compressBound(text.size());
  Bytes packed(kPackedHeaderSize + size);
  std::copy(std::begin(kPackedMagic), std::end(kPackedMagic), packed.begin());
  for (int i = 0; i < 4; ++i) packed[4 + i] = static_cast<std::uint8_t>(text.size() >> (8 * i));
  compress2(packed.data() + kPackedHeaderSize, &size, reinterpret_cast<const Bytef*>(text.data()),
            text.size(), level);
  packed.resize(kPackedHeaderSize + size);
  return packed;
}

TEST_F(CollectionCopy, DiffMatchesArticlesByIdAndComparesUnpackedTexts) {
  const std::string a = dir.File("a.nvx");
  const std::string b = dir.File("b.nvx");
  MakeCollection(a, 8);
  fs::copy_file(a, b);

  std::vector<std::string> lines;
  auto diff = [&](const std::string& x, const std::string& y) {
    lines.clear();
    return DiffCollections(x, y, [&lines](const ArticleDifference& d) {
      std::string line = "+-~"[static_cast<int>(d.change)] + std::to_string(d.id) + " " + d.title;
      if (d.titleDiffers) line += " title";
      if (d.textDiffers) line += " text";
      if (d.stateDiffers) line += " state";
      lines.push_back(line);
    });
  };
  DiffResult r = diff(a, b);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.summary.same, 8);
  EXPECT_TRUE(lines.empty());

  // Article 3 packed again at another level: other bytes, the same text.
  {
    const std::string blob = test::QueryFile(b, "SELECT nr FROM nr WHERE id=3");
    const Bytes stored(blob.begin(), blob.end());
    const Bytes repacked = PackAt(ToText(Decompress(stored)), 1);
    ASSERT_NE(repacked, stored);
    ASSERT_TRUE(
        test::ExecFile(b, "UPDATE nr SET nr=? WHERE id=3", std::string(repacked.begin(), repacked.end())));
  }
  Exec(a, "UPDATE nr SET nr=NULL WHERE id=8");
  Exec(b, "UPDATE nr SET nr=x'0D0F3E0300000000' WHERE id=8");  // empty either way
  r = diff(a, b);
  EXPECT_EQ(r.summary.same, 8) << "two packings of one text are equal";

  Exec(b,
       "DELETE FROM nr WHERE id IN (1, 6); INSERT INTO nr(id, name) VALUES (20, 'new');"
       "UPDATE nr SET name='renamed' WHERE id=2; UPDATE nr SET ztdx=20 WHERE id=4;"
       "UPDATE nr SET nr=x'0D0F3E0310000000789C' WHERE id=5; UPDATE nr SET ksid=9, name='both' WHERE id=7");
  r = diff(a, b);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(lines, (std::vector<std::string>{"-1 " + L("第1章"), "~2 renamed title",
                                             "~4 " + L("第4章") + " state", "~5 " + L("第5章") + " text",
                                             "-6 " + L("第6章"), "~7 both title state", "+20 new"}));
  EXPECT_EQ(r.summary.same, 2);
  EXPECT_EQ(r.summary.added, 1);
  EXPECT_EQ(r.summary.removed, 2);
  EXPECT_EQ(r.summary.changed, 4);

  r = diff(a, dir.File("missing.nvx"));
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.failedFile, 1);
  EXPECT_EQ(r.reason, "no such file");
  test::WriteFile(dir.File("text.nvx"), std::string(3000, 'x'));
  r = diff(dir.File("text.nvx"), b);
  EXPECT_EQ(r.failedFile, 0);
  EXPECT_EQ(r.reason, "not a database");
}

}  // namespace
}  // namespace nvx
