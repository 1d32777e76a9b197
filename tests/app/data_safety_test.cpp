// What the editor does when a write does not land, a source cannot be read, a long copy is
// cancelled or the program is killed in the middle of one.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <csignal>
#include <filesystem>
#include <set>

#include "collections.h"
#include "editor_fixture.h"

namespace nvx::test {
namespace {

namespace fs = std::filesystem;

class DataSafetyTest : public EditorFixture {
 protected:
  // A collection of `count` articles "t1", "t2", ... with the same content, opened.
  void OpenMany(int count) {
    path = dir.File("books.nvx");
    MakeNumberedCollection(path, count);
    OpenThroughMenu(path);
  }
  // Another program writes to the open collection and keeps it locked; the editor waits briefly.
  void LockOpenCollection(SqliteDB& other) {
    ASSERT_TRUE(other.Open(path));
    ASSERT_TRUE(other.Execute("BEGIN EXCLUSIVE"));
    State().articleDb.SetBusyTimeout(20);
  }
  void SaveAsTo(const std::string& target) {
    ui->AnswerFile(QString::fromStdString(target));
    Choose("另存");
  }
  std::vector<std::string> FilesInDir() const { return NamesIn(dir.Path()); }
  QString LastMessage() const { return ui->Messages().empty() ? QString() : ui->Messages().back().text; }
};

// An article that cannot be read while another program holds the file does not become the current
// one, so a save after the file is free writes the article shown into its own row, not over the
// one clicked.
TEST_F(DataSafetyTest, AClickOnABusyFileKeepsTheArticleShown) {
  OpenCollection({{1, "一", "a"}, {2, "二", "b"}});
  ClickRow(0);
  {
    SqliteDB other;
    LockOpenCollection(other);
    ClickRow(1);
    EXPECT_EQ(State().currentArticleId, 1);
    EXPECT_EQ(GetText(kContent, prop::rich::kText), "a");
  }
  Choose("保存文章");
  EXPECT_EQ(QueryFile(path, "SELECT group_concat(name) FROM nr ORDER BY id"), "一,二");
  ClickRow(1);
  EXPECT_EQ(GetText(kContent, prop::rich::kText), "b");
}

// A save whose row is not in the file afterwards (a trigger removed it, or skipped the update) is
// said, and the text stays for another try.
TEST_F(DataSafetyTest, ASaveThatDoesNotLandIsSaid) {
  OpenCollection({{1, "一", "a"}, {2, "", "b"}});
  {
    SqliteDB db;
    ASSERT_TRUE(db.Open(path));
    ASSERT_TRUE(
        db.Execute("CREATE TRIGGER gone AFTER INSERT ON nr BEGIN DELETE FROM nr WHERE id=new.id; END"));
    ASSERT_TRUE(db.Execute("CREATE TRIGGER kept BEFORE UPDATE ON nr BEGIN SELECT RAISE(IGNORE); END"));
  }
  Choose("添加标题");
  auto* input = Control<QLineEdit>(forms::title_find::kWindow, "编辑框1");
  input->setText(QStringLiteral("新"));
  QTest::keyClick(input, Qt::Key_Return);
  Settle();
  Control<QPlainTextEdit>(mw::kWindow, "编辑框1")->setPlainText(QStringLiteral("正文"));
  const std::size_t before = ui->Messages().size();
  Choose("保存文章");
  ASSERT_EQ(ui->Messages().size(), before + 1);
  EXPECT_EQ(LastMessage(), QStringLiteral("保存失败,请检查文件是否正常"));
  EXPECT_EQ(ui->Messages().back().flags, 16);
  EXPECT_EQ(GetText(kContent, prop::rich::kText), L("正文"));
  EXPECT_EQ(State().editMode, app::EditMode::Adding);
  EXPECT_TRUE(SaveTitleButtonShown()) << "the save can be tried again";

  ClickRow(0);
  Control<QPlainTextEdit>(mw::kWindow, "编辑框1")->setPlainText(QStringLiteral("改过"));
  Choose("保存文章");
  EXPECT_EQ(LastMessage(), QStringLiteral("保存失败,请检查文件是否正常"));
  EXPECT_EQ(ui->Messages().size(), before + 2);
  EXPECT_EQ(State().editMode, app::EditMode::Loaded);
  EXPECT_EQ(GetText(kContent, prop::rich::kText), L("改过"));

  // An article without a title saves only its text and format; refused, that is said too.
  ClickRow(1);
  Control<QPlainTextEdit>(mw::kWindow, "编辑框1")->setPlainText(QStringLiteral("也改过"));
  Choose("保存文章");
  EXPECT_EQ(ui->Messages().size(), before + 3);
  EXPECT_EQ(LastMessage(), QStringLiteral("保存失败,请检查文件是否正常"));
  EXPECT_EQ(QueryFile(path, "SELECT count(*) FROM nr"), "2");
}

// New replaces new.nvx whole or not at all: where the disk takes only part of it (a file size
// limit stands in for a full disk) the earlier new.nvx keeps every byte and the failure is said.
TEST_F(DataSafetyTest, NewThatCannotBeWrittenLeavesTheEarlierNewFileWhole) {
  const std::string newFile = (dir.Path() / "program" / "new.nvx").string();
  MakeCollection(newFile, {{1, "留", "kept"}});
  const std::string before = ReadFile(newFile);
  rlimit saved{};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  rlimit limited = saved;
  limited.rlim_cur = 1000;  // less than the empty collection's 2048 bytes
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  ::setrlimit(RLIMIT_FSIZE, &limited);
  Choose("新建");
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);
  EXPECT_EQ(LastMessage(), QStringLiteral("文件写入失败,请检查文件是否正常"));
  EXPECT_EQ(ReadFile(newFile), before);
  EXPECT_EQ(FilesInDir(), (std::vector<std::string>{"data", "program"}));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path() / "program"), fs::directory_iterator()), 1)
      << "no temporary file left";
  EXPECT_TRUE(fs::is_empty(dir.Path() / "data")) << "nor a new.nvx in the data directory";
}

// Save As and Export copy nothing they could not read: with the open collection locked by
// another program, or none open, the target stays as it was and the failure is said.
TEST_F(DataSafetyTest, NothingIsCopiedFromASourceThatCannotBeRead) {
  const std::string existing = dir.File("existing.nvx");
  MakeCollection(existing, {{1, "旧", "old"}});
  const std::string oldExport = dir.File("old.txt");
  WriteFile(oldExport, "an earlier export");
  const std::string existingBytes = ReadFile(existing);
  struct Case {
    const char* name;
    bool open;
  };
  for (const Case& c : {Case{"locked by another program", true}, Case{"no collection open", false}}) {
    SCOPED_TRACE(c.name);
    SqliteDB other;
    if (c.open) {
      OpenCollection({{1, "一", "a"}, {2, "二", "b"}});
      LockOpenCollection(other);
    } else {
      Choose("关闭");
    }
    for (const std::string& target : {dir.File("new.nvx"), existing}) {
      SaveAsTo(target);
      EXPECT_EQ(LastMessage(), QStringLiteral("另存失败,请检查文件是否正常")) << target;
      EXPECT_EQ(ui->Messages().back().flags, 16);
    }
    EXPECT_FALSE(fs::exists(dir.File("new.nvx")));
    EXPECT_EQ(ReadFile(existing), existingBytes);

    for (const std::string& target : {dir.File("new.txt"), oldExport}) {
      ui->AnswerFile(QString::fromStdString(target));
      Choose("导出");
      EXPECT_EQ(LastMessage(), QStringLiteral("文件写入失败,请检查文件是否正常")) << target;
    }
    EXPECT_FALSE(fs::exists(dir.File("new.txt")));
    EXPECT_EQ(ReadFile(oldExport), "an earlier export");
    EXPECT_EQ(FilesInDir(), (std::vector<std::string>{"books.nvx", "existing.nvx", "old.txt", "program"}))
        << "no temporary file left";
    other.Close();
  }
}

// A cancelled Save As or Export leaves its target as it was, a new one not there at all, and says
// nothing.
TEST_F(DataSafetyTest, CancellingSaveAsOrExportUndoesIt) {
  OpenMany(5);
  EXPECT_TRUE(ui->progress.empty()) << "the catalogue shows without a progress dialog";

  const std::string existing = dir.File("existing.nvx");
  MakeCollection(existing, {{1, "旧", "old"}});
  const std::string before = ReadFile(existing);
  for (const std::string& target : {dir.File("copy.nvx"), existing}) {
    SCOPED_TRACE(target);
    ui->CancelProgressAt(3);
    SaveAsTo(target);
    const auto& report = ui->progress.back();
    EXPECT_EQ(report.caption, QStringLiteral("另存"));
    EXPECT_EQ(report.total, 5);
    EXPECT_TRUE(report.cancellable);
    EXPECT_EQ(report.steps, (std::vector<std::int64_t>{1, 2, 3}));
    EXPECT_TRUE(report.ended);
  }
  const std::string oldExport = dir.File("old.txt");
  WriteFile(oldExport, "an earlier export");
  for (const std::string& target : {dir.File("out.txt"), oldExport}) {
    SCOPED_TRACE(target);
    ui->CancelProgressAt(2);
    ui->AnswerFile(QString::fromStdString(target));
    Choose("导出");
    EXPECT_EQ(ui->progress.back().caption, QStringLiteral("导出"));
    EXPECT_EQ(ui->progress.back().total, 5);
    EXPECT_TRUE(ui->progress.back().cancelled);
  }
  EXPECT_TRUE(ui->Messages().empty()) << "a cancelled copy reports nothing";
  EXPECT_FALSE(fs::exists(dir.File("copy.nvx")));
  EXPECT_EQ(ReadFile(existing), before);
  EXPECT_EQ(ReadFile(oldExport), "an earlier export");
  EXPECT_EQ(FilesInDir(), (std::vector<std::string>{"books.nvx", "existing.nvx", "old.txt", "program"}));

  SaveAsTo(dir.File("copy.nvx"));
  EXPECT_EQ(LastMessage(), QStringLiteral("另存成功!"));
  EXPECT_EQ(QueryFile(dir.File("copy.nvx"), "SELECT count(*) || ',' || max(name) FROM nr"), "5,t5");
}

// A cancel given while the dialog shows "5 / 5", before the commit or rename, still undoes it;
// once the work commits or renames, the dialog offers no cancel.
TEST_F(DataSafetyTest, ACancelAtTheLastMomentIsHonoured) {
  OpenMany(5);
  const std::string existing = dir.File("existing.nvx");
  MakeCollection(existing, {{1, "旧", "old"}});
  const std::string before = ReadFile(existing);
  const std::string oldExport = dir.File("old.txt");
  WriteFile(oldExport, "an earlier export");
  for (const std::string& target : {dir.File("copy.nvx"), existing, oldExport}) {
    SCOPED_TRACE(target);
    ui->CancelProgressWhenDone();
    ui->AnswerFile(QString::fromStdString(target));
    Choose(target == oldExport ? "导出" : "另存");
    EXPECT_TRUE(ui->progress.back().cancelled);
    EXPECT_FALSE(ui->progress.back().finishing);
  }
  EXPECT_TRUE(ui->Messages().empty());
  EXPECT_FALSE(fs::exists(dir.File("copy.nvx")));
  EXPECT_EQ(ReadFile(existing), before);
  EXPECT_EQ(ReadFile(oldExport), "an earlier export");

  SaveAsTo(existing);
  EXPECT_EQ(LastMessage(), QStringLiteral("另存成功!"));
  EXPECT_TRUE(ui->progress.back().finishing);
  EXPECT_FALSE(ui->progress.back().cancelled);
}

// However the program is stopped during Save As into a new file, the name shows either nothing or
// the whole copy, never a collection with part of the articles or none.
TEST_F(DataSafetyTest, SaveAsKilledMidwayLeavesNoPartialCollection) {
  OpenMany(3000);
  const std::string target = dir.File("copy.nvx");
  const std::vector<std::string> before = FilesInDir();
  ui->AnswerFile(QString::fromStdString(target));
  std::fflush(nullptr);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    Choose("另存");
    ::_exit(0);
  }
  // Killed as soon as the copy has left a trace in the directory.
  int status = 0;
  bool ended = false;
  while (!ended && FilesInDir() == before) ended = ::waitpid(child, &status, WNOHANG) == child;
  if (!ended) {
    ::kill(child, SIGKILL);
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status));
  }
  if (fs::exists(target)) {
    EXPECT_EQ(QueryFile(target, "SELECT count(*) FROM nr"), "3000");
  }

  // The same copy left to run is whole.
  SaveAsTo(target);
  EXPECT_EQ(LastMessage(), QStringLiteral("另存成功!"));
  EXPECT_EQ(QueryFile(target, "SELECT count(*) FROM nr"), "3000");
}

}  // namespace
}  // namespace nvx::test
