// The one seam for every modal interaction of the program: message boxes, the file and font
// dialogs, the colour dialog and pop-up menus. The window runtime never opens one of these itself;
// it asks the installed Interaction. The real one shows Qt's dialogs; tests install one that
// answers from a queue and records what was shown.
#pragma once

#include <QColor>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <optional>

#include "runtime/progress.h"
#include "runtime/unit_numbers.h"

class QMenu;
class QAction;
class QPoint;
class QWidget;

namespace nvx {

struct FileDialogRequest {
  bool save = false;       // save-file dialog; otherwise open-file
  QString title;           // empty: the platform's own
  QString directory;       // initial directory; empty: the current one
  QString fileName;        // initial file name
  QStringList filters;     // "description (patterns)" entries, Qt's form
  int selectedFilter = 0;  // index into filters
  QString defaultSuffix;   // appended when the user types a name without one ("nvx")
  bool fileMustExist = false;
  bool pathMustExist = false;
  bool overwritePrompt = false;
  bool createPrompt = false;
};

struct FontChoice {
  QString face;
  int pointSize = 0;
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
  QColor color;
};

class Interaction {
 public:
  virtual ~Interaction() = default;

  // Shows a message box with the given caption, text and flags (buttons and icon); returns the
  // button code.
  virtual int MessageBox(const QString& caption, const QString& text, int flags) = 0;

  // A file dialog; the chosen full path, or nothing when cancelled.
  virtual std::optional<QString> FileDialog(const FileDialogRequest& request) = 0;

  // The font dialog with the effects and the colour; the choice, or nothing when cancelled.
  virtual std::optional<FontChoice> FontDialog(const FontChoice& initial) = 0;

  // The colour dialog; the colour, or nothing when cancelled.
  virtual std::optional<QColor> ColorDialog(const QColor& initial) = 0;

  // Shows `menu` as a pop-up at the screen position `at`; the action picked, or nullptr.
  virtual QAction* ShowPopupMenu(QMenu& menu, const QPoint& at) = 0;

  // Starts reporting the progress of long work over `total` items; `caption` is the dialog's
  // title. The returned Progress ends the report when it is destroyed.
  virtual std::unique_ptr<Progress> BeginProgress(const QString& caption, std::int64_t total,
                                                  bool cancellable) = 0;
};

// The interaction in use. Until one is installed, the real one (Qt's dialogs) is used.
Interaction& CurrentInteraction();

// Installs `next` and returns the one it replaces (nullptr when it was the built-in real one).
std::unique_ptr<Interaction> SetInteraction(std::unique_ptr<Interaction> next);

// The real interaction: Qt's message box, file, font and colour dialogs and QMenu::exec.
std::unique_ptr<Interaction> MakeQtInteraction();

}  // namespace nvx
