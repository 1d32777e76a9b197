#include "app/file_menu.h"

#include <QDir>
#include <QStandardPaths>

#include "app/catalogue.h"
#include "app/messages.h"
#include "app/program_state.h"
#include "base/codepage.h"
#include "forms/main_window.h"
#include "forms/window_parts.h"
#include "runtime/file_commands.h"
#include "runtime/progress.h"
#include "runtime/qt_text.h"
#include "runtime/value_commands.h"
#include "store/article_export.h"
#include "store/article_file.h"
#include "store/article_schema.h"
#include "store/collection_save_as.h"
#include "store/template_database.h"

namespace nvx::app {

namespace mw = forms::main_window;

using forms::MainWindow;

namespace {

// The window's title with `path` open.
Text TitleWith(const Text& path) { return L("NVX编辑器 [") + path + "]"; }

// Whether `path` is the database that is open now: the same file, however the path is spelt. The
// path last chosen in the Open dialog is no longer open once New or Close ran, so it is no guide.
bool IsOpenDatabase(const Text& path) {
  const Text open = State().articleDb.FileName();
  return !open.empty() && SameFile(path, open);
}

}  // namespace

void CloseDatabase() {
  ProgramState& s = State();
  s.articleDb.Close();
  // What ties the state to the file that was open goes: the article loaded from it. An
  // article being added belongs to whichever collection is open when it is saved, so it
  // keeps its mode, its accepted title, the save-title button and what was typed in the box.
  s.currentArticleId.reset();
  if (s.editMode != EditMode::Adding) {
    s.currentTitle.clear();
    s.editMode = EditMode::None;
    MainWindow().ShowSaveTitleButton(false);
    forms::ContentBox().SetContent(Text());
  }
  forms::Catalogue().Clear();
  MainWindow().SetTitle(L("nvx编辑器"));
  forms::StatusBar().Clear();
}

// "new.nvx" goes beside the program; where that directory cannot be written, into the user's
// data directory instead. It is replaced whole or not at all, so a crash or a full disk leaves an
// earlier new.nvx as it was. Where neither can be written the user is told, rather than shown an
// empty catalogue as if all were well.
void NewDatabase() {
  CloseDatabase();
  ProgramState& s = State();
  Text directory = s.programDirectory;
  if (!WriteNewCollection(directory + "/new.nvx")) {
    directory = s.dataDirectory;
    QDir().mkpath(ToQString(directory));
    if (directory.empty() || !WriteNewCollection(directory + "/new.nvx")) {
      Warn("文件写入失败,请检查文件是否正常");
      return;
    }
  }
  const Text path = directory + "/new.nvx";
  s.articleDb.Open(path);
  s.articleDb.ClearTable(schema::kTable);
  LoadCatalogue();
  MainWindow().SetTitle(TitleWith(path));
}

void OpenDatabase() {
  const auto path = forms::ChooseFileToOpen(L("sqlite数据库文件(*.nvx)|*.nvx"));
  if (!path) return;
  OpenDatabaseAt(*path);
}

bool OpenDatabaseAt(const Text& path) {
  // The file is opened beside the open collection, which goes only once the new one is open: a
  // file that is missing, not a regular file or cannot be read is said, and what was open stays.
  SqliteDB opened;
  const ArticleFileState state = OpenArticleFile(opened, path);
  if (state == ArticleFileState::Missing || state == ArticleFileState::NotRegularFile ||
      (state == ArticleFileState::Unreadable && opened.Handle() == nullptr)) {
    Warn("打开文件失败,请检查文件是否正常!");
    return false;
  }
  // Any other answer still shows the file, as far as it reads: a file that is no collection gives
  // an empty catalogue, and one another program is writing fills it once it is free.
  CloseDatabase();
  State().articleDb.TakeConnection(opened);
  LoadCatalogue();
  MainWindow().SetTitle(TitleWith(path));
  return true;
}

// Save As needs a collection to copy: with none open, or one that cannot be read, the target is
// left alone and the failure is said. A cancelled copy leaves the target as it was and says nothing.
void SaveAs() {
  const auto target = forms::ChooseFileToSave(L("Sqlite数据库文件(*.nvx)|*.nvx"));
  if (!target || IsOpenDatabase(*target)) return;
  ProgramState& s = State();
  SetWaitCursor();
  CopyResult outcome = CopyResult::Failed;
  {
    const auto progress = BeginProgress(L("另存"), ListedArticles(), true);
    outcome = SaveCollectionAs(s.articleDb, *target, [&](std::int64_t copied, bool lastChance) {
      // Past the last chance the copy is committed or renamed: the dialog offers no cancel.
      if (!progress->Step(copied)) return false;
      if (lastChance) progress->Finishing();
      return true;
    });
  }
  RestoreCursor();
  if (outcome == CopyResult::Done) Tell("另存成功!");
  if (outcome == CopyResult::Failed) Warn("另存失败,请检查文件是否正常");
}

// The export replaces its file only when complete: a failure or a cancel leaves an earlier file
// as it was. The open collection's own file is refused; with no collection open, or one that
// cannot be read, nothing is exported and the failure is said.
void Export() {
  const auto path = forms::ChooseFileToSave(L("文本文件(*.txt)|*.txt"));
  if (!path) return;
  SetWaitCursor();
  ExportResult result = ExportResult::ReadFailed;
  {
    std::unique_ptr<Progress> progress;
    std::int64_t written = 0;
    result = ExportArticles(
        State().articleDb, *path,
        [&](std::int64_t done, std::int64_t total) {
          if (!progress) progress = BeginProgress(L("导出"), total, true);
          written = done;
          return progress->Step(done);
        },
        [&] {
          // The file is replaced next, which cannot be undone: a last look for a cancel, then none.
          if (!progress) return true;
          if (!progress->Step(written)) return false;
          progress->Finishing();
          return true;
        });
  }
  RestoreCursor();
  if (result == ExportResult::Done) Tell("导出成功!");
  if (result != ExportResult::Done && result != ExportResult::Cancelled)
    Warn("文件写入失败,请检查文件是否正常");
}

void Exit() { Destroy(mw::kWindow); }

}  // namespace nvx::app
