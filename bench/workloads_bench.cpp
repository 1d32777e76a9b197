// workloads_bench FILE.nvx: the editor's own commands on a big collection, headless, each printed
// beside the least work that does the same job, measured in the same run:
//   open: first screen painted, whole catalogue held, memory after open
//                                vs  the sqlite3 shell selecting every id and title (memory: the
//                                    empty editor)
//   click an ordinary article    vs  one-row select + inflate + GB18030 decode + bare text box
//   click the longest article    vs  the same for that article
//   Save As into a new file      vs  the sqlite3 shell: ATTACH + one INSERT ... SELECT
//   Export                       vs  bench/export_floor.py, an independent export in Python
// Ours and the floor run the same number of times, alternating, and the best of each is shown;
// idle work a step leaves (a long article's line count) is finished before the next timing.
// The ratio is ours divided by the floor. Figures only: nothing here passes or fails.
#include <sqlite3.h>
#include <unistd.h>
#include <zlib.h>
#include <QAbstractEventDispatcher>
#include <QAbstractItemView>
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QPlainTextEdit>
#include <QStringDecoder>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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

// Runs of each timing (NVX_BENCH_RUNS): fewer where one run alone takes many seconds.
int runs = 3;

// The best of `runs` runs of `ours` and of `floor`, alternating.
template <typename F, typename G>
std::pair<double, double> BestPair(F&& ours, G&& floor) {
  double a = 1e300, b = 1e300;
  for (int i = 0; i < runs; ++i) {
    a = std::min(a, ours());
    b = std::min(b, floor());
  }
  return {a, b};
}

// The process's resident memory, in MB.
double ResidentMb() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// Handles what is pending, idle work included, until the event loop has been quiet a while.
void Settle() {
  QElapsedTimer quiet;
  quiet.start();
  while (quiet.elapsed() < 200) {
    if (QCoreApplication::instance()->eventDispatcher()->processEvents(QEventLoop::AllEvents))
      quiet.restart();
    ::usleep(1000);
  }
}

// Notes when the catalogue's viewport first paints with rows in it.
class FirstPaint : public QObject {
 public:
  explicit FirstPaint(QAbstractItemView* view) : view_(view) { view->viewport()->installEventFilter(this); }
  void Start() {
    timer_.start();
    painted_ = -1;
  }
  double Painted() const { return painted_; }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint && painted_ < 0 && view_->model()->rowCount() > 0)
      painted_ = timer_.nsecsElapsed() / 1e6;
    return false;
  }

 private:
  QAbstractItemView* view_;
  QElapsedTimer timer_;
  double painted_ = -1;
};

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
  if (const char* given = std::getenv("NVX_BENCH_RUNS")) runs = std::max(1, std::atoi(given));
  const fs::path self = fs::canonical("/proc/self/exe").parent_path();
  const fs::path dir = fs::temp_directory_path() / ("workloads_bench_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const nvx::UnitRef catalogue{mw::kWindow, mw::kCatalogue};
  std::printf("%s\n%-32s %13s %13s %8s\n", file.c_str(), "workload", "ours", "floor", "ratio");

  const std::string selectAll =
      "sqlite3 " + Quoted(file) + " 'select id,name from nr order by id' >/dev/null";
  Settle();
  const double emptyMb = ResidentMb();
  auto* view =
      QApplication::activeWindow() ? QApplication::activeWindow()->findChild<QAbstractItemView*>() : nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (view == nullptr) view = w->findChild<QAbstractItemView*>(QStringLiteral("超级列表框1"));
  FirstPaint firstPaint(view);
  double firstScreen = 1e300;
  double openMb = 0;
  const auto [open, openFloor] = BestPair(
      [&] {
        nvx::app::CloseDatabase();
        Settle();
        firstPaint.Start();
        // Held once the background fill has read the last title.
        const double held = Millis([&] {
          nvx::app::OpenDatabaseAt(nvx::FromQString(QString::fromStdString(file)));
          while ((firstPaint.Painted() < 0 && view != nullptr && view->isVisible()) ||
                 nvx::ListView::Filling(catalogue))
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        });
        firstScreen = std::min(firstScreen, firstPaint.Painted());
        Settle();
        openMb = ResidentMb();
        return held;
      },
      [&] { return CommandMillis(selectAll, 1); });
  const int rows = nvx::ListView::ItemCount(catalogue);
  Report("open: first screen painted", firstScreen, openFloor);
  Report("open: whole catalogue held", open, openFloor);
  std::printf("%-32s %10.1f MB %10.1f MB %7.2fx  (+%.1f MB)\n", "memory after open", openMb, emptyMb,
              emptyMb > 0 ? openMb / emptyMb : 0.0, openMb - emptyMb);
  std::printf("  %d catalogue rows\n", rows);

  // Ordinary articles spread over the catalogue; the longest one is found by its size.
  ClickFloor floor(file);
  // The bare box is shown, as large as the editor's and in its font, as the editor's is.
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (auto* content = w->findChild<QPlainTextEdit*>(); content != nullptr && w != &floor.box) {
      floor.box.resize(content->size());
      floor.box.setFont(content->font());
      break;
    }
  }
  floor.box.show();
  std::vector<int> picks;
  for (int k = 1; k <= 20; ++k) picks.push_back(static_cast<int>(std::int64_t(rows - 1) * k / 21));
  auto idOf = [&](int row) { return nvx::ListView::ItemKey(catalogue, row).value_or(0); };
  auto click = [&](int row) {
    nvx::SetInt(catalogue, nvx::prop::list::kCurrentRow, row);
    nvx::app::LoadArticle();
  };
  std::vector<double> ours, floors;
  // A person clicks a row on screen: the list is scrolled to it first, untimed.
  auto scrollTo = [&](int row) {
    view->scrollTo(view->model()->index(row, 1));
    Settle();
  };
  // Each is timed after the event loop has been quiet a while, in alternating order, so that
  // neither finds the caches warmed by the other.
  for (std::size_t k = 0; k < picks.size(); ++k) {
    const int row = picks[k];
    const std::int64_t id = idOf(row);
    scrollTo(row);
    const auto timeOurs = [&] {
      Settle();
      ours.push_back(Millis([&] { click(row); }));
    };
    const auto timeFloor = [&] {
      Settle();
      floors.push_back(Millis([&] { floor.Show(id); }));
    };
    if (k % 2 == 0) {
      timeOurs();
      timeFloor();
    } else {
      timeFloor();
      timeOurs();
    }
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
    scrollTo(row);
    const double mine = Millis([&] { click(row); });
    Settle();
    const double bare = Millis([&] { floor.Show(id); });
    char what[64];
    std::snprintf(what, sizeof what, "click the longest (%d KB packed)",
                  sqlite3_column_int(longest, 1) / 1024);
    Report(what, mine, bare);
  }
  sqlite3_finalize(longest);
  sqlite3_close(db);
  // The long article's line count is idle work: finished here, not during the next timing.
  nvx::RichEdit::LineCount({mw::kWindow, mw::kContentBox});
  Settle();

  const fs::path copy = dir / "copy.nvx";
  const fs::path floorCopy = dir / "floor.nvx";
  const std::string newFile =
      (self.parent_path() / "src/tool/nvx").string() + " new " + Quoted(floorCopy.string());
  const auto [saveAs, saveAsFloor] = BestPair(
      [&] {
        fs::remove(copy);
        ui->next = QString::fromStdString(copy.string());
        const double t = Millis([] { nvx::app::SaveAs(); });
        Settle();
        return t;
      },
      [&] {
        if (std::system(newFile.c_str()) != 0) return 1e300;
        return CommandMillis("sqlite3 " + Quoted(floorCopy.string()) + " \"ATTACH " + Quoted(file) +
                                 " AS s; BEGIN; DELETE FROM nr; INSERT INTO nr(name,nr,ksid,zt,ztdx) "
                                 "SELECT name,nr,0,'宋体',14 FROM s.nr ORDER BY id; COMMIT;\"",
                             1);
      });
  Report("Save As into a new file", saveAs, saveAsFloor);

  const std::string script = (fs::path(NVX_SOURCE_DIR) / "bench/export_floor.py").string();
  const auto [exported, exportFloor] = BestPair(
      [&] {
        ui->next = QString::fromStdString((dir / "export.txt").string());
        const double t = Millis([] { nvx::app::Export(); });
        Settle();
        return t;
      },
      [&] {
        return CommandMillis(
            "python3 " + Quoted(script) + " " + Quoted(file) + " " + Quoted((dir / "floor.txt").string()), 1);
      });
  Report("Export", exported, exportFloor);

  fs::remove_all(dir);
  nvx::app::ReleaseProgramState();
  return 0;
}
