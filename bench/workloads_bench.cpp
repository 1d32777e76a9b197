// workloads_bench FILE.nvx: the editor's own commands on a big collection, headless, each printed
// beside the least work that does the same job, measured in the same run:
//   open and show the catalogue  vs  the sqlite3 shell selecting every id and title
//   click an ordinary article    vs  one-row select + inflate + GB18030 decode + bare text box
//   click the longest article    vs  the same for that article
//   Save As into a new file      vs  the sqlite3 shell: ATTACH + one INSERT ... SELECT
//   Export                       vs  bench/export_floor.py, an independent export in Python
// The ratio is ours divided by the floor. Figures only: nothing here passes or fails.
#include <sqlite3.h>
#include <unistd.h>
#include <zlib.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QStringDecoder>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/catalogue.h"
#include "app/editor.h"
#include "app/file_menu.h"
#include "app/program_state.h"
#include "forms/forms.h"
#include "forms/main_window.h"
#include "runtime/interaction.h"
#include "runtime/qt_text.h"
#include "runtime/window_runtime.h"

namespace fs = std::filesystem;
namespace mw = nvx::forms::main_window;

namespace {

// File dialogs answer the next path; message boxes are printed; progress is the real dialog's.
class Answers : public nvx::Interaction {
 public:
  QString next;
  std::unique_ptr<nvx::Interaction> real = nvx::MakeQtInteraction();
  int MessageBox(const QString& caption, const QString& text, int) override {
    std::printf("  (message %s: %s)\n", qPrintable(caption), qPrintable(text));
    return 0;
  }
  std::optional<QString> FileDialog(const nvx::FileDialogRequest&) override { return next; }
  std::optional<nvx::FontChoice> FontDialog(const nvx::FontChoice&) override { return std::nullopt; }
  std::optional<QColor> ColorDialog(const QColor&) override { return std::nullopt; }
  QAction* ShowPopupMenu(QMenu&, const QPoint&) override { return nullptr; }
  std::unique_ptr<nvx::Progress> BeginProgress(const QString& caption, std::int64_t total,
                                               bool cancellable) override {
    return real->BeginProgress(caption, total, cancellable);
  }
};

template <typename F>
double Millis(F&& f) {
  QElapsedTimer timer;
  timer.start();
  f();
  return timer.nsecsElapsed() / 1e6;
}

// The best of `runs` runs of a shell command, in ms.
double CommandMillis(const std::string& command, int runs = 3) {
  double best = 1e300;
  for (int i = 0; i < runs; ++i) {
    best = std::min(best, Millis([&] {
                      if (std::system(command.c_str()) != 0)
                        std::fprintf(stderr, "failed: %s\n", command.c_str());
                    }));
  }
  return best;
}

std::string Quoted(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

void Report(const char* what, double ours, double floor) {
  std::printf("%-32s %10.1f ms %10.1f ms %7.2fx\n", what, ours, floor, floor > 0 ? ours / floor : 0.0);
}

// The least work that shows an article: select its packed text, inflate it with zlib, decode the
// GB18030 bytes and put them into a bare text box.
struct ClickFloor {
  sqlite3* db = nullptr;
  sqlite3_stmt* select = nullptr;
  QPlainTextEdit box;
  explicit ClickFloor(const std::string& file) {
    sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_prepare_v2(db, "SELECT nr FROM nr WHERE id=?", -1, &select, nullptr);
  }
  ~ClickFloor() {
    sqlite3_finalize(select);
    sqlite3_close(db);
  }
  void Show(std::int64_t id) {
    sqlite3_bind_int64(select, 1, id);
    if (sqlite3_step(select) == SQLITE_ROW) {
      const auto* p = static_cast<const unsigned char*>(sqlite3_column_blob(select, 0));
      const int n = sqlite3_column_bytes(select, 0);
      if (p && n > 8) {
        uLongf length = p[4] | p[5] << 8 | p[6] << 16 | uLongf(p[7]) << 24;
        std::string text(length, '\0');
        uncompress(reinterpret_cast<Bytef*>(text.data()), &length, p + 8, n - 8);
        QStringDecoder decode("GB18030");
        box.setPlainText(decode(QByteArrayView(text.data(), static_cast<qsizetype>(length))));
      }
    }
    sqlite3_reset(select);
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: workloads_bench FILE.nvx\n", stderr);
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  auto answers = std::make_unique<Answers>();
  Answers* ui = answers.get();
  nvx::SetInteraction(std::move(answers));
  nvx::InitialiseForms(nvx::forms::AllWindows());
  nvx::app::CreateProgramState();
  nvx::app::BindEditorHandlers();
  nvx::LoadStartWindow(mw::kWindow);

  const std::string file = fs::absolute(argv[1]).string();
  const fs::path self = fs::canonical("/proc/self/exe").parent_path();
  const fs::path dir = fs::temp_directory_path() / ("workloads_bench_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const nvx::UnitRef catalogue{mw::kWindow, mw::kCatalogue};
  std::printf("%s\n%-32s %13s %13s %8s\n", file.c_str(), "workload", "ours", "floor", "ratio");

  const double open =
      Millis([&] { nvx::app::OpenDatabaseAt(nvx::FromQString(QString::fromStdString(file))); });
  const int rows = nvx::ListView::ItemCount(catalogue);
  Report("open and show the catalogue", open,
         CommandMillis("sqlite3 " + Quoted(file) + " 'select id,name from nr order by id' >/dev/null"));
  std::printf("  %d catalogue rows\n", rows);

  // Ordinary articles spread over the catalogue; the longest one is found by its size.
  ClickFloor floor(file);
  std::vector<int> picks;
  for (int k = 1; k <= 20; ++k) picks.push_back(static_cast<int>(std::int64_t(rows - 1) * k / 21));
  auto idOf = [&](int row) {
    return std::atoll(nvx::ListView::GetItemText(catalogue, row, mw::kColumnId).c_str());
  };
  auto click = [&](int row) {
    nvx::SetInt(catalogue, nvx::prop::list::kCurrentRow, row);
    nvx::app::LoadArticle();
  };
  std::vector<double> ours, floors;
  for (int row : picks) {
    ours.push_back(Millis([&] { click(row); }));
    floors.push_back(Millis([&] { floor.Show(idOf(row)); }));
  }
  std::sort(ours.begin(), ours.end());
  std::sort(floors.begin(), floors.end());
  Report("click an article (median of 20)", ours[ours.size() / 2], floors[floors.size() / 2]);

  sqlite3* db = nullptr;
  sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* longest = nullptr;
  sqlite3_prepare_v2(db, "SELECT id, length(nr) FROM nr ORDER BY length(nr) DESC LIMIT 1", -1, &longest,
                     nullptr);
  if (sqlite3_step(longest) == SQLITE_ROW) {
    const std::int64_t id = sqlite3_column_int64(longest, 0);
    int row = 0;
    while (row < rows && idOf(row) != id) ++row;
    const double mine = Millis([&] { click(row); });
    const double bare = Millis([&] { floor.Show(id); });
    char what[64];
    std::snprintf(what, sizeof what, "click the longest (%d KB packed)",
                  sqlite3_column_int(longest, 1) / 1024);
    Report(what, mine, bare);
  }
  sqlite3_finalize(longest);
  sqlite3_close(db);

  const fs::path copy = dir / "copy.nvx";
  ui->next = QString::fromStdString(copy.string());
  const double saveAs = Millis([] { nvx::app::SaveAs(); });
  const fs::path floorCopy = dir / "floor.nvx";
  const std::string newFile =
      (self.parent_path() / "src/tool/nvx").string() + " new " + Quoted(floorCopy.string());
  double saveAsFloor = 1e300;
  for (int i = 0; i < 3; ++i) {
    if (std::system(newFile.c_str()) != 0) break;
    saveAsFloor = std::min(
        saveAsFloor, CommandMillis("sqlite3 " + Quoted(floorCopy.string()) + " \"ATTACH " + Quoted(file) +
                                       " AS s; BEGIN; DELETE FROM nr; INSERT INTO nr(name,nr,ksid,zt,ztdx) "
                                       "SELECT name,nr,0,'宋体',14 FROM s.nr ORDER BY id; COMMIT;\"",
                                   1));
  }
  Report("Save As into a new file", saveAs, saveAsFloor);

  ui->next = QString::fromStdString((dir / "export.txt").string());
  const double exported = Millis([] { nvx::app::Export(); });
  const std::string script = (fs::path(NVX_SOURCE_DIR) / "bench/export_floor.py").string();
  Report(
      "Export", exported,
      CommandMillis(
          "python3 " + Quoted(script) + " " + Quoted(file) + " " + Quoted((dir / "floor.txt").string()), 1));

  fs::remove_all(dir);
  nvx::app::ReleaseProgramState();
  return 0;
}
