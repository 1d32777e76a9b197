// NVX编辑器: the editor for article collections.
#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <cstdio>
#include <cstring>

#include "app/editor.h"
#include "runtime/desktop.h"
#include "runtime/qt_text.h"

namespace {

constexpr const char* kUsageText =
    "Usage: nvxedit [FILE]\n"
    "The NVX editor (NVX编辑器): reads and edits collections of articles, the .nvx files.\n"
    "\n"
    "Arguments:\n"
    "  FILE              open this collection at start-up\n"
    "  --help            show this text\n"
    "  --version         show the version\n"
    "\n"
    "Qt's own options, such as -platform or -style, are understood too.\n"
    "\n"
    "Exit status: 0 when the editor was closed, 1 when it could not start.\n";

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kUsageText, stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("nvxedit %s\n", NVX_VERSION);
      return 0;
    }
  }
  if (!nvx::DisplayAvailable()) {
    std::fputs(
        "nvxedit: no display to show windows on; start it from a desktop session, or try "
        "`xvfb-run -a build/src/nvxedit`.\n",
        stderr);
    return 1;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("nvxedit"));
  QApplication::setApplicationVersion(QStringLiteral(NVX_VERSION));
  // Matches the installed nvxedit.desktop, so that desktops show its name and icon for the windows.
  QGuiApplication::setDesktopFileName(QStringLiteral("nvxedit"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/nvxedit.svg")));
  nvx::SetUpChineseDesktop();
  // A collection named on the command line (as a file manager passes it) opens after start-up.
  nvx::Text file;
  if (argc > 1) {
    const QString path = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    file = nvx::FromQString(path);
  }
  return nvx::app::RunEditor(file);
}
