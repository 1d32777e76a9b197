#include "runtime/desktop.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdlib>

namespace nvx {

void SetUpChineseDesktop() {
  const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  for (const char* name : {"qtbase_zh_CN", "qt_zh_CN"}) {
    auto* translator = new QTranslator(qApp);
    if (translator->load(QString::fromLatin1(name), dir)) {
      QApplication::installTranslator(translator);
    } else {
      delete translator;
    }
  }
  QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));

  const QStringList serif = {"Noto Serif CJK SC", "Noto Sans CJK SC", "WenQuanYi Micro Hei", "AR PL UMing CN"};
  const QStringList sans = {"Noto Sans CJK SC", "WenQuanYi Micro Hei", "Noto Serif CJK SC", "Droid Sans Fallback"};
  for (const char* face : {"宋体", "新宋体", "仿宋", "仿宋_GB2312", "楷体", "楷体_GB2312", "SimSun", "NSimSun"})
    QFont::insertSubstitutions(QString::fromUtf8(face), serif);
  for (const char* face : {"黑体", "微软雅黑", "幼圆", "SimHei", "Microsoft YaHei"})
    QFont::insertSubstitutions(QString::fromUtf8(face), sans);
  // The program's own texts in menus and labels are Chinese: prefer a CJK face for the UI font.
  QFont ui = QApplication::font();
  if (QFontDatabase::families().contains(QStringLiteral("Noto Sans CJK SC"))) {
    ui.setFamilies({ui.family(), QStringLiteral("Noto Sans CJK SC")});
    QApplication::setFont(ui);
  }
}

bool DisplayAvailable() {
  const auto set = [](const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr && *v != '\0';
  };
  return set("QT_QPA_PLATFORM") || set("DISPLAY") || set("WAYLAND_DISPLAY");
}

}  // namespace nvx
