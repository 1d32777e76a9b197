// NVX编辑器: the editor for article collections.
#include <QApplication>
#include <cstdio>

#include "app/editor.h"
#include "runtime/desktop.h"

int main(int argc, char** argv) {
  if (!nvx::DisplayAvailable()) {
    std::fputs("nvxedit: no display to show windows on; start it from a desktop session, or try "
               "`xvfb-run -a build/src/nvxedit`.\n", stderr);
    return 1;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("nvxedit"));
  nvx::SetUpChineseDesktop();
  return nvx::app::RunEditor();
}
