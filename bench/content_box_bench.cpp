// content_box_bench: the content box and the catalogue on big inputs, each beside the least work
// that does the same job, measured in the same run:
//   - a 5 MB article into the content box (inflate, code-page decode, show) against inflate +
//     GB18030 decode + a bare QPlainTextEdit::setPlainText; and when its line count is known;
//   - 1,000 Find down in it against a QString::indexOf loop;
//   - the memory the shown article takes against a bare QPlainTextEdit (each in a process of its own);
//   - 20,000 and 100,000 catalogue rows against a bare QTreeWidget filled in one step.
// It prints figures and ratios and never fails.
#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QProcess>
#include <QScrollBar>
#include <QStringDecoder>
#include <QTreeView>
#include <QTreeWidget>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>

#include "app/main_menu.h"
#include "base/codepage.h"
#include "forms/forms.h"
#include "forms/main_window.h"
#include "runtime/qt_text.h"
#include "runtime/unit_types.h"
#include "runtime/value_commands.h"
#include "runtime/window_runtime.h"
#include "store/packed_content.h"

namespace {

namespace mw = nvx::forms::main_window;
const nvx::UnitRef kBox{mw::kWindow, mw::kContentBox};
const nvx::UnitRef kList{mw::kWindow, mw::kCatalogue};

// About `bytes` of Chinese running text (GB18030) in lines of 40 to 80 characters ending in CR LF,
// from a fixed sequence, so every run measures the same article.
std::string MakeArticle(std::size_t bytes) {
  const std::string chars = nvx::L(
      "的一是在不了有和人这中大为上个国我以要他时来用们生到作地于出就分对成会可主发年动同工也能下过子说产种面"
      "而方后多定行学法所民得经十三之进着等部度家电力里如水化高");
  const std::size_t count = chars.size() / 2;
  std::uint32_t seed = 2024;
  auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
  std::string text;
  text.reserve(bytes + 200);
  while (text.size() < bytes) {
    const std::size_t length = 40 + next() % 41;
    for (std::size_t k = 0; k < length; ++k) text.append(chars, 2 * ((next() >> 8) % count), 2);
    text += nvx::L("。") + "\r\n";
  }
  return text;
}

double Ms(const QElapsedTimer& t) { return t.nsecsElapsed() / 1e6; }

long ResidentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return 0;
}

void Settle() {
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

void Row(const char* what, double ours, double floor, const char* unit) {
  std::printf("%-38s ours %9.1f %s   floor %9.1f %s   ratio %5.2fx\n", what, ours, unit, floor, unit,
              floor > 0 ? ours / floor : 0.0);
}

// A bare text box shaped as the content box: same size, font and wrapping.
std::unique_ptr<QPlainTextEdit> BareBox(const QPlainTextEdit& like) {
  auto box = std::make_unique<QPlainTextEdit>();
  box->resize(like.size());
  box->setFont(like.font());
  box->setLineWrapMode(like.lineWrapMode());
  box->setWordWrapMode(like.wordWrapMode());
  box->show();
  Settle();
  return box;
}

QString DecodeGb18030(const nvx::Bytes& bytes) {
  QStringDecoder decoder("GB18030");
  return decoder.decode(QByteArrayView(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

// The program's content box and catalogue, in the main window made from its form.
template <typename T>
T* Control(const char* name) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* c = w->findChild<T*>(QString::fromUtf8(name))) return c;
  return nullptr;
}

// What Load article does with the content box, from the packed bytes of the row, up to the text
// being shown.
void LoadIntoBox(const nvx::Bytes& packed, QPlainTextEdit& box) {
  const nvx::CharFormat format{nvx::L("宋体"), 12, 0, 0, 0};
  nvx::RichEdit::SetCharFormat(kBox, format);
  nvx::SetText(kBox, nvx::prop::rich::kText, nvx::Text());
  nvx::SetText(kBox, nvx::prop::rich::kText, nvx::ToText(nvx::Decompress(packed)));
  box.viewport()->repaint();
}

// Waits in the event loop until the box has counted its lines, as the status bar does.
int WaitForLineCount() {
  std::optional<int> lines;
  nvx::RichEdit::WhenLineCountReady(kBox, [&](std::int32_t n) { lines = n; });
  while (!lines) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  return *lines;
}

void LoadIntoBare(const nvx::Bytes& packed, QPlainTextEdit& bare) {
  bare.setPlainText(DecodeGb18030(nvx::Decompress(packed)));
  bare.viewport()->repaint();
}

// One measurement of the memory an article takes when shown, in a process of its own.
int MemoryChild(const nvx::Bytes& packed, bool ours) {
  QPlainTextEdit* box = Control<QPlainTextEdit>("编辑框1");
  std::unique_ptr<QPlainTextEdit> bare;
  if (!ours) {
    bare = BareBox(*box);
    box->window()->hide();
  }
  Settle();
  const long before = ResidentKb();
  if (ours) {
    LoadIntoBox(packed, *box);
    WaitForLineCount();
  } else {
    LoadIntoBare(packed, *bare);
  }
  Settle();
  std::printf("%ld\n", ResidentKb() - before);
  return 0;
}

long MemoryOf(const char* which) {
  QProcess child;
  child.start(QCoreApplication::applicationFilePath(), {"--memory", which});
  child.waitForFinished(600000);
  return child.readAllStandardOutput().trimmed().toLong();
}

void BenchLoad(const nvx::Bytes& packed) {
  QPlainTextEdit* box = Control<QPlainTextEdit>("编辑框1");
  auto bare = BareBox(*box);
  for (int round = 0; round < 2; ++round) {
    QElapsedTimer t;
    t.start();
    LoadIntoBare(packed, *bare);
    const double floor = Ms(t);
    t.restart();
    LoadIntoBox(packed, *box);
    const double shown = Ms(t);
    const int lines = WaitForLineCount();
    const double counted = Ms(t);
    Row("5 MB article shown", shown, floor, "ms");
    std::printf("%-38s ours %9.1f ms   (%d lines, counted in idle time)\n", "  line count known", counted,
                lines);
  }
  QElapsedTimer t;
  t.start();
  nvx::SetText(kBox, nvx::prop::rich::kText, nvx::Text());
  nvx::SetText(kBox, nvx::prop::rich::kText, nvx::ToText(nvx::Decompress(packed)));
  const int lines = nvx::RichEdit::LineCount(kBox);
  std::printf("%-38s ours %9.1f ms   (%d lines)\n", "  shown and counted at once", Ms(t), lines);
  // The parts of the floor, for seeing where the time goes.
  t.restart();
  const nvx::Bytes raw = nvx::Decompress(packed);
  const double inflate = Ms(t);
  t.restart();
  const QString decoded = DecodeGb18030(raw);
  const double decode = Ms(t);
  t.restart();
  const QString ours = nvx::ToQString(nvx::ToText(raw));
  const double oursDecode = Ms(t);
  std::printf("  inflate %.1f ms, GB18030 decode %.1f ms (ours %.1f ms), %lld characters\n", inflate, decode,
              oursDecode, static_cast<long long>(decoded.size()));
}

void BenchFind(const QPlainTextEdit& box) {
  const nvx::Text needle = nvx::L("中国");
  const QString text = box.document()->toRawText();
  const QString qneedle = nvx::ToQString(needle);
  int found = 0;
  QElapsedTimer t;
  t.start();
  int at = 0;
  for (int i = 0; i < 1000; ++i) {
    at = static_cast<int>(text.indexOf(qneedle, at + 1));
    found += at >= 0;
  }
  const double floor = Ms(t);
  int foundOurs = 0;
  t.restart();
  at = 0;
  for (int i = 0; i < 1000; ++i) {
    at = nvx::RichEdit::FindText(kBox, at + 1, true, false, needle);
    foundOurs += at >= 0;
  }
  const double ours = Ms(t);
  Row("1,000 x Find down", ours, floor, "ms");
  std::printf("  %d / %d found\n", foundOurs, found);
  t.restart();
  at = static_cast<int>(text.size());
  for (int i = 0; i < 1000; ++i) {
    at = nvx::RichEdit::FindTextBackward(kBox, at < 0 ? static_cast<int>(text.size()) : at - 1, true, needle);
  }
  const double up = Ms(t);
  t.restart();
  at = static_cast<int>(text.size());
  for (int i = 0; i < 1000; ++i)
    at = static_cast<int>(text.lastIndexOf(qneedle, at < 0 ? text.size() : at - 1));
  Row("1,000 x Find up", up, Ms(t), "ms");
}

void BenchCatalogue(int rows) {
  QTreeView* tree = Control<QTreeView>("超级列表框1");
  nvx::ListView::DeleteAllItems(kList);
  QElapsedTimer t;
  t.start();
  for (int i = 0; i < rows; ++i) {
    const int r = nvx::ListView::InsertItem(kList);
    nvx::ListView::SetItemText(kList, r, 0, std::to_string(i + 1));
    nvx::ListView::SetItemText(kList, r, 1, nvx::L("第") + std::to_string(i + 1) + nvx::L("章"));
  }
  Settle();
  const double oneByOne = Ms(t);
  nvx::ListView::DeleteAllItems(kList);
  t.restart();
  std::vector<std::vector<nvx::Text>> texts;
  texts.reserve(static_cast<std::size_t>(rows));
  for (int i = 0; i < rows; ++i)
    texts.push_back({std::to_string(i + 1), nvx::L("第") + std::to_string(i + 1) + nvx::L("章")});
  nvx::ListView::AppendRows(kList, texts);
  Settle();
  const double ours = Ms(t);
  QTreeWidget bare;
  bare.setColumnCount(2);
  bare.setUniformRowHeights(true);
  bare.resize(tree->size());
  bare.show();
  Settle();
  t.restart();
  QList<QTreeWidgetItem*> items;
  items.reserve(rows);
  for (int i = 0; i < rows; ++i) {
    auto* item = new QTreeWidgetItem();
    item->setText(0, QString::number(i + 1));
    item->setText(1, nvx::ToQString(nvx::L("第") + std::to_string(i + 1) + nvx::L("章")));
    items.append(item);
  }
  bare.addTopLevelItems(items);
  Settle();
  const double floor = Ms(t);
  char what[64];
  std::snprintf(what, sizeof what, "catalogue of %d rows, AppendRows", rows);
  Row(what, ours, floor, "ms");
  std::snprintf(what, sizeof what, "  the same, InsertItem + SetItemText");
  Row(what, oneByOne, floor, "ms");
  nvx::ListView::DeleteAllItems(kList);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  nvx::InitialiseForms(nvx::forms::AllWindows());
  // The main window as the editor shows it, its menu bar included.
  nvx::SetWindowMenu(mw::kWindow, nvx::app::MainMenu());
  nvx::LoadWindow(mw::kWindow);
  Settle();
  const nvx::Bytes packed = nvx::Compress(nvx::ToByteArray(MakeArticle(5 * 1024 * 1024)));

  if (argc == 3 && std::strcmp(argv[1], "--memory") == 0)
    return MemoryChild(packed, std::strcmp(argv[2], "ours") == 0);

  BenchLoad(packed);
  BenchFind(*Control<QPlainTextEdit>("编辑框1"));
  const long oursKb = MemoryOf("ours");
  const long floorKb = MemoryOf("floor");
  Row("memory, 5 MB article shown", oursKb / 1024.0, floorKb / 1024.0, "MB");
  BenchCatalogue(20000);
  BenchCatalogue(100000);
  return 0;
}
