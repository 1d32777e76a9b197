// The font dialog's window: family, style, size, effects (strike-out, underline, colour) and a
// sample. Every family offers regular, italic, bold and bold italic: Qt synthesises the faces a
// family lacks, so the one-style Chinese families can be made bold or italic too.
//
// The window opens on the family the initial face is shown with (a face the desktop substitutes,
// such as "宋体", on the family that stands in for it), and a family the user leaves alone gives
// back the initial face name exactly as it came.
#pragma once

#include <QDialog>
#include <functional>
#include <optional>

#include "runtime/interaction.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace nvx {

class FontWindow : public QDialog {
 public:
  // `pickColor` asks for a colour starting from the one given; nothing when cancelled.
  using ColorPicker = std::function<std::optional<QColor>(const QColor&)>;

  FontWindow(const FontChoice& initial, ColorPicker pickColor, QWidget* parent = nullptr);

  // What the window shows now, as the dialog's answer.
  FontChoice Choice() const;

  // The family a face is shown with on this desktop.
  static QString ShownFamily(const QString& face);

 private:
  void MakeControls();
  void LayOut();
  void ShowInitial();
  void Connect();
  void FamilyTyped(const QString& text);
  void ShowSample();
  QString Family() const;

  FontChoice initial_;
  QString initialFamily_;  // the family the initial face is shown with
  ColorPicker pickColor_;
  QColor color_;

  QLineEdit* familyEdit_ = nullptr;
  QListWidget* families_ = nullptr;
  QListWidget* styles_ = nullptr;
  QComboBox* size_ = nullptr;
  QCheckBox* strikeOut_ = nullptr;
  QCheckBox* underline_ = nullptr;
  QPushButton* colorButton_ = nullptr;
  QLabel* sample_ = nullptr;
};

}  // namespace nvx
