// editor_bench FILE.nvx: times the editor's own commands on a collection, headless: opening it
// (catalogue load), loading an article from the middle, Save As into a new file and Export.
// Make a big collection first with make_collection.
#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <filesystem>

#include "app/catalogue.h"
#include "app/editor.h"
#include "app/file_menu.h"
#include "app/program_state.h"
#include "forms/forms.h"
#include "forms/main_window.h"
#include "runtime/interaction.h"
#include "runtime/qt_text.h"
#include "runtime/window_runtime.h"

namespace {

// Answers every file dialog with the next path; everything else is cancelled or OK.
class Answers : public nvx::Interaction {
 public:
  QString next;
  int messageBox(const QString& caption, const QString& text, int) override {
    std::printf("  (message %s: %s)\n", qPrintable(caption), qPrintable(text));
    return 0;
  }
  std::optional<QString> fileDialog(const nvx::FileDialogRequest&) override { return next; }
  std::optional<nvx::FontChoice> fontDialog(const nvx::FontChoice&) override { return std::nullopt; }
  std::optional<QColor> colorDialog(const QColor&) override { return std::nullopt; }
  QAction* popupMenu(QMenu&, const QPoint&) override { return nullptr; }
};

template <typename F>
void time(const char* what, F&& f) {
  QElapsedTimer timer;
  timer.start();
  f();
  std::printf("%-28s %8.1f ms\n", what, timer.nsecsElapsed() / 1e6);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: editor_bench FILE.nvx\n", stderr);
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  auto answers = std::make_unique<Answers>();
  Answers* ui = answers.get();
  nvx::setInteraction(std::move(answers));
  nvx::InitialiseForms(nvx::forms::AllWindows());
  nvx::app::CreateProgramState();
  nvx::app::BindEditorHandlers();
  nvx::LoadStartWindow(nvx::forms::main_window::kWindow);

  const std::string file = std::filesystem::absolute(argv[1]).string();
  const auto dir = std::filesystem::temp_directory_path() / ("editor_bench_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const nvx::UnitRef catalogue{nvx::forms::main_window::kWindow, nvx::forms::main_window::kCatalogue};

  time("open (catalogue load)", [&] { nvx::app::OpenDatabaseAt(nvx::fromQString(QString::fromStdString(file))); });
  const int rows = nvx::ListView::ItemCount(catalogue);
  std::printf("  %d catalogue rows\n", rows);
  time("load article in the middle", [&] {
    nvx::SetInt(catalogue, nvx::forms::main_window::kListCurrentRow, rows / 2);
    nvx::app::LoadArticle();
  });
  ui->next = QString::fromStdString((dir / "copy.nvx").string());
  time("save as (new file)", [] { nvx::app::SaveAs(); });
  ui->next = QString::fromStdString((dir / "export.txt").string());
  time("export", [] { nvx::app::Export(); });
  std::filesystem::remove_all(dir);
  nvx::app::ReleaseProgramState();
  return 0;
}
