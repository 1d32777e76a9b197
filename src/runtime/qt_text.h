// Crossing between the program's texts (local code page, GB18030) and Qt's strings.
#pragma once

#include <QString>

#include "base/codepage.h"
#include "base/value.h"

namespace nvx {

// A program text as Qt shows it. Texts often come from byte-wise string commands and can end in
// half a double-byte character; such bytes show as U+FFFD instead of blanking the whole text.
inline QString ToQString(const Text& text) { return QString::fromStdString(ToUtf8Lossy(text)); }

// What the user typed or chose, back in the local code page. A character the converter cannot
// hold becomes "?": one character must never make the whole text vanish.
inline Text FromQString(const QString& text) { return FromUtf8Lossy(text.toUtf8().toStdString()); }

}  // namespace nvx
