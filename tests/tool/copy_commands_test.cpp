// `nvx backup` and `nvx diff`, run as a user's script would run them.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <regex>

#include "nvx_runner.h"
#include "support/sqlite_file.h"
#include "test_support.h"

namespace nvx {
namespace {

namespace fs = std::filesystem;

using Result = test::NvxResult;

class CopyCommands : public ::testing::Test {
 protected:
  Result Run(const std::vector<std::string>& args, const std::string& input = "") {
    return test::RunNvx(io, args, input);
  }

  void MakeCollection(const std::string& path,
                      const std::vector<std::pair<std::string, std::string>>& articles) {
    ASSERT_EQ(Run({"new", path}).code, 0);
    for (const auto& [title, text] : articles) ASSERT_EQ(Run({"add", path, title}, text).code, 0);
  }

  void Exec(const std::string& path, const std::string& sql, const std::string& blob = "") {
    EXPECT_TRUE(test::ExecFile(path, sql, blob)) << sql;
  }

  std::string StoredBlob(const std::string& path, int id) {
    return test::QueryFile(path, "SELECT nr FROM nr WHERE id=" + std::to_string(id));
  }

  // The unpacked text (GB18030) of a packed article.
  std::string StoredText(const std::string& path, int id) {
    const std::string blob = StoredBlob(path, id);
    if (blob.size() < 8) return {};
    uLongf size = 0;
    for (int i = 0; i < 4; ++i)
      size |= static_cast<uLongf>(static_cast<unsigned char>(blob[4 + i])) << (8 * i);
    std::string text(size, '\0');
    if (uncompress(reinterpret_cast<Bytef*>(text.data()), &size,
                   reinterpret_cast<const Bytef*>(blob.data() + 8), blob.size() - 8) != Z_OK)
      return {};
    text.resize(size);
    return text;
  }

  test::TempDir io;
  test::TempDir dir;
  std::string file = dir.File("藏书.nvx");
};

TEST_F(CopyCommands, BackupsAreRotatedAndListTheSameAsTheSource) {
  MakeCollection(file, {{"第一回", "滚滚长江东逝水"}, {"第二回", "浪花淘尽英雄"}, {"空", ""}});
  const std::string backups = dir.File("backups");
  fs::create_directory(backups);
  const std::vector<std::string> others = {"藏书.nvx", "藏书-20200101-000000.nvx.bak",
                                           "藏书-1-20200101-000000.nvx", "其他-20200101-000000.nvx",
                                           "notes.txt"};
  for (const auto& name : others) test::WriteFile(backups + "/" + name, "not a backup of 藏书");

  const std::regex backupName("藏书-[0-9]{8}-[0-9]{6}(-[0-9]+)?\\.nvx");
  std::vector<std::string> printed;
  for (int i = 0; i < 6; ++i) {
    const Result r = Run({"backup", file, "--dir", backups});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    ASSERT_EQ(r.out.back(), '\n');
    printed.push_back(r.out.substr(0, r.out.size() - 1));
    EXPECT_TRUE(std::regex_match(fs::path(printed.back()).filename().string(), backupName)) << printed.back();
    EXPECT_EQ(fs::path(printed.back()).parent_path(), fs::path(backups));
  }
  std::vector<std::string> left;
  for (const auto& name : test::NamesIn(backups))
    if (std::regex_match(name, backupName)) left.push_back(backups + "/" + name);
  EXPECT_EQ(left.size(), 5u) << "--keep defaults to 5";
  EXPECT_FALSE(fs::exists(printed[0])) << "the oldest went";
  for (std::size_t i = 1; i < printed.size(); ++i) EXPECT_TRUE(fs::exists(printed[i])) << printed[i];
  for (const auto& name : others)
    EXPECT_EQ(test::ReadFile(backups + "/" + name), "not a backup of 藏书") << name;
  EXPECT_EQ(test::NamesIn(backups).size(), others.size() + 5) << "no .tmp left";

  const std::string listed = Run({"list", file}).out;
  EXPECT_EQ(listed, "1\t第一回\n2\t第二回\n3\t空\n");
  EXPECT_EQ(Run({"list", printed.back()}).out, listed);
  EXPECT_EQ(Run({"cat", printed.back(), "2"}).out, "浪花淘尽英雄");
  EXPECT_EQ(Run({"check", printed.back()}).code, 0);
  EXPECT_EQ(Run({"diff", file, printed.back()}).out, "3 same, 0 added, 0 removed, 0 changed\n");

  // Without --dir the backup goes beside the collection; --keep 1 leaves only the new one there.
  const Result beside = Run({"backup", file, "--keep", "1"});
  ASSERT_EQ(beside.code, 0) << beside.err;
  EXPECT_EQ(fs::path(beside.out.substr(0, beside.out.size() - 1)).parent_path(), dir.Path());
  EXPECT_EQ(test::NamesIn(dir.Path().string()).size(), 3u) << "藏书.nvx, backups/ and the one backup";
  EXPECT_EQ(test::NamesIn(backups).size(), others.size() + 5) << "backups elsewhere are not this folder's";
}

TEST_F(CopyCommands, DamagedSourceKeepsOlderBackupsAndLeavesNoTemporaryFile) {
  std::vector<std::pair<std::string, std::string>> articles;
  for (int i = 0; i < 40; ++i)
    articles.push_back({"篇" + std::to_string(i), std::string(3000, 'a' + i % 26)});
  MakeCollection(file, articles);
  const std::string backups = dir.File("backups");
  fs::create_directory(backups);
  ASSERT_EQ(Run({"backup", file, "--dir", backups}).code, 0);
  const std::vector<std::string> before = test::NamesIn(backups);

  std::string bytes = test::ReadFile(file);
  for (std::size_t i = 4096; i < 8192 && i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 13);
  test::WriteFile(file, bytes);

  const Result r = Run({"backup", file, "--dir", backups, "--keep", "1"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "nvx: " + file + ": damaged, no backup made, older backups kept\n");
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(test::NamesIn(backups), before);
  EXPECT_EQ(test::ReadFile(file), bytes) << "the source is never written";

  struct Row {
    std::vector<std::string> args;
    std::string err;
  };
  const std::string missing = dir.File("missing.nvx");
  const std::string empty = dir.File("empty.nvx");
  test::WriteFile(empty, "");
  const std::string sound = dir.File("sound.nvx");
  MakeCollection(sound, {{"t", "x"}});
  const Row rows[] = {
      {{"backup", missing}, "nvx: " + missing + ": no such file\n"},
      {{"backup", empty}, "nvx: " + empty + ": no table nr, no backup made, older backups kept\n"},
      {{"backup", sound, "--dir", empty + "/sub"},
       "nvx: " + empty + "/sub: cannot make the folder: Not a directory\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.args[1]);
    const Result failed = Run(row.args);
    EXPECT_EQ(failed.code, 1);
    EXPECT_EQ(failed.err, row.err);
  }
}

// What every other command refuses, backup and diff refuse too: a view (here over a never-ending
// query), generated columns; and a name starting with "file:" is that file, never a URI.
TEST_F(CopyCommands, HostileFilesAreRefusedAndNamesAreFileNames) {
  const std::string view = dir.File("view.nvx");
  ASSERT_EQ(Run({"new", view}).code, 0);
  Exec(view, "DROP TABLE nr");
  Exec(view,
       "CREATE VIEW nr AS WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) "
       "SELECT x AS id, 't' AS name, x'' AS nr, 0 AS ksid, '' AS zt, 0 AS ys, 14 AS ztdx, 0 AS xg FROM c");
  const std::string generated = dir.File("generated.nvx");
  ASSERT_EQ(Run({"new", generated}).code, 0);
  Exec(generated, "ALTER TABLE nr ADD COLUMN big BLOB AS (zeroblob(300000000))");
  MakeCollection(file, {{"一", "a"}});
  for (const std::string& hostile : {view, generated}) {
    SCOPED_TRACE(hostile);
    const Result diff = Run({"diff", hostile, file});
    EXPECT_EQ(diff.code, 2);
    EXPECT_NE(diff.err.find("not a collection"), std::string::npos) << diff.err;
    const Result backup = Run({"backup", hostile, "--dir", io.Path().string()});
    EXPECT_EQ(backup.code, 1);
    EXPECT_NE(backup.err.find("not a collection"), std::string::npos) << backup.err;
  }

  // "file:b.nvx" is a file of that name in the current folder, a copy of the collection.
  const std::string uriLike = "file:b.nvx";
  fs::copy_file(file, dir.Path() / uriLike);
  MakeCollection(dir.File("b.nvx"), {{"别的", "b"}, {"多的", "c"}});
  const std::string command = "cd " + test::ShellQuote(dir.Path().string()) + " && " +
                              test::ShellQuote(NVX_TOOL_PATH) + " diff " + test::ShellQuote(file) + " " +
                              test::ShellQuote(uriLike) + " >/dev/null";
  EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 0) << "compared with b.nvx instead";
  const std::string backup = "cd " + test::ShellQuote(dir.Path().string()) + " && " +
                             test::ShellQuote(NVX_TOOL_PATH) + " backup " + test::ShellQuote(uriLike) +
                             " >/dev/null";
  EXPECT_EQ(WEXITSTATUS(std::system(backup.c_str())), 0);
}

// Other programs write titles in GBK. Every command that shows titles shows such a title as best
// it can, and none of them drops or rewrites it.
TEST_F(CopyCommands, ATitleThatIsNotUtf8IsShownButNeverRewritten) {
  MakeCollection(file, {{"甲", "一"}, {"乙", "二"}});
  const std::string other = dir.File("other.nvx");
  MakeCollection(other, {{"甲", "一"}, {"乙", "二"}});
  Exec(file, "UPDATE nr SET name=CAST(?1 AS TEXT) WHERE id=1", "\xC4\xE3\xBA\xC3");
  const auto titles = [](const std::string& path) {
    return test::QueryFile(path, "SELECT group_concat(typeof(name) || hex(name), ',') FROM nr");
  };
  const std::string stored = titles(file);
  ASSERT_EQ(stored.substr(0, 13), "textC4E3BAC3,");
  const std::string split = dir.File("split");
  const struct {
    std::vector<std::string> args;
    std::string shown;  // in the output
  } rows[] = {
      {{"list", file}, "1\t???\n2\t乙\n"},
      {{"diff", other, file}, "~ 1 ??? (title)\n"},
      {{"grep", file, "--titles", "?"}, "1\t???"},
      {{"export", file, split, "--split"}, ""},
      {{"backup", file, "--dir", dir.File("copies")}, "copies/"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.args[0]);
    fs::create_directories(dir.File("copies"));
    const Result r = Run(row.args);
    EXPECT_NE(r.out.find(row.shown), std::string::npos) << r.out << r.err;
    EXPECT_EQ(titles(file), stored) << "left as stored";
  }
  EXPECT_EQ(test::NamesIn(split), (std::vector<std::string>{"1-???.txt", "2-乙.txt"}));
  const auto copies = test::NamesIn(dir.File("copies"));
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(titles(dir.File("copies") + "/" + copies[0]), stored);
}

TEST_F(CopyCommands, WrongUsageShowsTheUsageText) {
  MakeCollection(file, {});
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"backup"},
                                             {"backup", file, "--keep", "0"},
                                             {"backup", file, "--keep", "-1"},
                                             {"backup", file, "--keep", "x"},
                                             {"backup", file, "--keep"},
                                             {"backup", file, "--dir"},
                                             {"backup", file, file},
                                             {"backup", file, "--frobnicate"},
                                             {"diff", file},
                                             {"diff", file, file, file}}) {
    const Result r = Run(args);
    EXPECT_EQ(r.code, 2) << args.size();
    EXPECT_NE(r.err.find("Usage: nvx"), std::string::npos);
  }
  const Result help = Run({"--help"});
  for (const char* line : {"backup FILE [--dir DIR] [--keep N]", "diff A B", "--version"})
    EXPECT_NE(help.out.find(line), std::string::npos) << line;
  const Result version = Run({"--version"});
  EXPECT_EQ(version.code, 0);
  EXPECT_TRUE(std::regex_match(version.out, std::regex("nvx [0-9]+\\.[0-9]+(\\.[0-9]+)*\n"))) << version.out;
}

// The text packed at zlib level 1: other bytes than `nvx add` writes for the same text.
std::string PackedAtLevel1(const std::string& text) {
  uLongf size = compressBound(text.size());
  std::string packed(8 + size, '\0');
  const char header[] = {0x0D, 0x0F, 0x3E, 0x03};
  std::copy(header, header + 4, packed.begin());
  for (int i = 0; i < 4; ++i) packed[4 + i] = static_cast<char>(text.size() >> (8 * i));
  compress2(reinterpret_cast<Bytef*>(packed.data() + 8), &size, reinterpret_cast<const Bytef*>(text.data()),
            text.size(), 1);
  packed.resize(8 + size);
  return packed;
}

TEST_F(CopyCommands, DiffPrintsWhatDiffersAndExitsAsDiffDoes) {
  const std::string a = dir.File("a.nvx");
  const std::string b = dir.File("b.nvx");
  const std::string text = "临江仙\r\n是非成败转头空，青山依旧在，几度夕阳红。";
  MakeCollection(a, {{"一", text}, {"二", "b"}, {"三", "c"}, {"四", "d"}, {"五", "e"}});
  fs::copy_file(a, b);

  Result r = Run({"diff", a, b});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "5 same, 0 added, 0 removed, 0 changed\n");

  // The same text packed another way is the same text; one character more is another.
  const std::string stored = StoredText(a, 1);
  ASSERT_FALSE(stored.empty());
  Exec(b, "UPDATE nr SET nr=? WHERE id=1", PackedAtLevel1(stored));
  ASSERT_NE(StoredBlob(a, 1), StoredBlob(b, 1));
  EXPECT_EQ(Run({"cat", b, "1"}).out, text);
  r = Run({"diff", a, b});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "5 same, 0 added, 0 removed, 0 changed\n");
  Exec(b, "UPDATE nr SET nr=? WHERE id=1", PackedAtLevel1(stored + "x"));
  r = Run({"diff", a, b});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "~ 1 一 (text)\n4 same, 0 added, 0 removed, 1 changed\n");

  Exec(b, "DELETE FROM nr WHERE id=3");
  Exec(b, "UPDATE nr SET name='四回', ztdx=20 WHERE id=4");
  Exec(b, "UPDATE nr SET xg=1 WHERE id=5");
  Exec(b, "INSERT INTO nr(id, name) VALUES (9, '新')");
  r = Run({"diff", a, b});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "~ 1 一 (text)\n"
            "- 3 三\n"
            "~ 4 四回 (title, state)\n"
            "~ 5 五 (state)\n"
            "+ 9 新\n"
            "1 same, 1 added, 1 removed, 3 changed\n");
  r = Run({"diff", b, a});
  EXPECT_NE(r.out.find("+ 3 三\n"), std::string::npos);
  EXPECT_NE(r.out.find("- 9 新\n"), std::string::npos);

  const std::string missing = dir.File("missing.nvx");
  const std::string notes = dir.File("notes.txt");
  test::WriteFile(notes, std::string(2048, 'n'));
  for (const auto& [x, y, err] : {std::tuple{a, missing, missing + ": no such file"},
                                  std::tuple{notes, b, notes + ": not a database"}}) {
    r = Run({"diff", x, y});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "nvx: " + err + "\n");
  }
}

// Another program writing the collection makes both commands wait as long as the others do,
// then say so, not that the file is damaged; nothing is copied.
TEST_F(CopyCommands, BusyFilesAreSaidToBeBusy) {
  MakeCollection(file, {{"一", "a"}});
  const std::string other = dir.File("other.nvx");
  MakeCollection(other, {{"一", "a"}});
  {
    const test::ExclusiveWriter writer(file);
    ASSERT_TRUE(writer.Held());
    const std::string busy = "nvx: " + file + ": is busy (another program is writing it)";
    Result r = Run({"backup", file});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, busy + ", no backup made, older backups kept\n");
    r = Run({"diff", other, file});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, busy + "\n");
  }
  EXPECT_EQ(test::NamesIn(dir.Path().string()), (std::vector<std::string>{"other.nvx", "藏书.nvx"}));
}

// Every command reaches a collection the same way: for one bad file, list, diff and backup give
// one reason (backup adding that it kept the older backups).
TEST_F(CopyCommands, EveryCommandGivesTheSameReasonForABadFile) {
  MakeCollection(file, {{"一", "a"}});
  const std::string generated = dir.File("generated.nvx");
  MakeCollection(generated, {{"一", "a"}});
  Exec(generated, "ALTER TABLE nr ADD COLUMN twice INTEGER AS (id * 2)");
  const std::string busy = dir.File("busy.nvx");
  MakeCollection(busy, {{"一", "a"}});
  const test::ExclusiveWriter writer(busy);
  ASSERT_TRUE(writer.Held());
  const std::pair<std::string, std::string> rows[] = {
      {dir.File("missing.nvx"), "no such file"},
      {dir.File("folder.nvx"), "not a regular file"},
      {generated, "not a collection (nr has generated columns)"},
      {busy, "is busy (another program is writing it)"},
  };
  fs::create_directory(rows[1].first);
  for (const auto& [bad, reason] : rows) {
    SCOPED_TRACE(bad);
    const std::string said = "nvx: " + bad + ": " + reason;
    EXPECT_EQ(Run({"list", bad}).err, said + "\n");
    EXPECT_EQ(Run({"diff", bad, file}).err, said + "\n");
    const std::string kept = reason == "no such file" ? "" : ", no backup made, older backups kept";
    EXPECT_EQ(Run({"backup", bad, "--dir", io.Path().string()}).err, said + kept + "\n");
  }
}

}  // namespace
}  // namespace nvx
