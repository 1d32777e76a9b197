// NVX编辑器: the editor for article collections.
#include <QApplication>
#include <QFileInfo>
#include <cstdio>

#include "app/editor.h"
#include "runtime/desktop.h"
#include "runtime/qt_text.h"

int main(int argc, char** argv) {
  if (!nvx::DisplayAvailable()) {
    std::fputs("nvxedit: no display to show windows on; start it from a desktop session, or try "
               "`xvfb-run -a build/src/nvxedit`.\n", stderr);
    return 1;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("nvxedit"));
  nvx::SetUpChineseDesktop();
  // A collection named on the command line (as a file manager passes it) opens after start-up.
  nvx::Text file;
  if (argc > 1) {
    const QString path = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    file = nvx::fromQString(path);
  }
  return nvx::app::RunEditor(file);
}
