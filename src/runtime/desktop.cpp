#include "runtime/desktop.h"

#include <QApplication>
#include <QFont>
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

  // Song-style faces go to AR PL UMing, Kai to AR PL UKai, Hei and YaHei to WenQuanYi Micro Hei;
  // each list falls back to the others so any installed CJK face beats a box for a missing glyph.
  const QString uming = QStringLiteral("AR PL UMing CN");
  const QString ukai = QStringLiteral("AR PL UKai CN");
  const QString hei = QStringLiteral("WenQuanYi Micro Hei");
  const QString noto = QStringLiteral("Noto Sans CJK SC");
  for (const char* face : {"宋体", "新宋体", "仿宋", "仿宋_GB2312", "SimSun", "NSimSun", "FangSong"})
    QFont::insertSubstitutions(QString::fromUtf8(face), {uming, hei, noto});
  for (const char* face : {"楷体", "楷体_GB2312", "KaiTi"})
    QFont::insertSubstitutions(QString::fromUtf8(face), {ukai, uming, hei, noto});
  for (const char* face : {"黑体", "微软雅黑", "幼圆", "SimHei", "Microsoft YaHei"})
    QFont::insertSubstitutions(QString::fromUtf8(face), {hei, uming, noto});

  // The windows were laid out for the desktop's 12-pixel Song-style GUI font: use the same, so
  // the help text and the status-bar labels fit their places.
  QFont ui(QString::fromUtf8("宋体"));
  ui.setPixelSize(12);
  QApplication::setFont(ui);
}

bool DisplayAvailable() {
  const auto set = [](const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr && *v != '\0';
  };
  return set("QT_QPA_PLATFORM") || set("DISPLAY") || set("WAYLAND_DISPLAY");
}

}  // namespace nvx
