// The unit of each control type. Internal to the runtime: the operations on list views, rich edit
// boxes, status bars and common dialogs reach their unit through these classes.
#pragma once

#include <QColor>
#include <QString>
#include <vector>

#include "runtime/units.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace nvx {

class ButtonUnit : public Unit {
 public:
  using Unit::Unit;
  bool create(QWidget* container) override;

 protected:
  std::optional<PropertyValue> typeProperty(int index) const override;
  void setTypeProperty(int index, const PropertyValue& value) override;

 private:
  QPushButton* button_ = nullptr;
};

class EditBoxUnit : public Unit {
 public:
  using Unit::Unit;
  bool create(QWidget* container) override;

 protected:
  std::optional<PropertyValue> typeProperty(int index) const override;
  void setTypeProperty(int index, const PropertyValue& value) override;

 private:
  QLineEdit* line_ = nullptr;       // single-line box
  QPlainTextEdit* lines_ = nullptr;  // multi-line box
};

class LabelUnit : public Unit {
 public:
  using Unit::Unit;
  bool create(QWidget* container) override;

 protected:
  std::optional<PropertyValue> typeProperty(int index) const override;
  void setTypeProperty(int index, const PropertyValue& value) override;

 private:
  QLabel* label_ = nullptr;
};

class GroupBoxUnit : public Unit {
 public:
  using Unit::Unit;
  bool create(QWidget* container) override;

 protected:
  std::optional<PropertyValue> typeProperty(int index) const override;
  void setTypeProperty(int index, const PropertyValue& value) override;
};

class ColorPickerUnit : public Unit {
 public:
  using Unit::Unit;
  bool create(QWidget* container) override;
  std::int32_t color() const { return color_; }

 protected:
  std::optional<PropertyValue> typeProperty(int index) const override;
  void setTypeProperty(int index, const PropertyValue& value) override;

 private:
  void showColor();
  QPushButton* button_ = nullptr;
  std::int32_t color_ = forms::kWhite;
  bool flag_ = false;
};

// A common dialog has no widget: it keeps its properties and shows the platform's dialog on Open.
class CommonDlgUnit : public Unit {
 public:
  using Unit::Unit;
  bool create(QWidget* container) override;
  bool open();

 protected:
  std::optional<PropertyValue> typeProperty(int index) const override;
  void setTypeProperty(int index, const PropertyValue& value) override;

 private:
  bool openFile();
  bool openFont();

  std::int32_t numbers_[27] = {};  // by property index; texts below
  Text title_, fileName_, filter_, initialDir_, defaultExt_, faceName_, helpFile_, helpKey_;
};

class StatusBarUnit : public Unit {
 public:
  using Unit::Unit;
  bool create(QWidget* container) override;
  void setPartText(int part, const Text& text);
  QString partText(int part) const;
  int partCount() const { return static_cast<int>(labels_.size()); }

 private:
  friend class StatusBarWidget;
  void place();
  std::vector<QLabel*> labels_;
};

class ListViewUnit : public Unit {
 public:
  using Unit::Unit;
  bool create(QWidget* container) override;
  QTreeWidget* tree() const { return tree_; }
  int currentRow() const;
  void setCurrentRow(int row);
  // Rows show their texts aligned as their column's heading is.
  Qt::Alignment columnAlignment(int column) const;

  void clicked();
  void rightClicked();

 protected:
  std::optional<PropertyValue> typeProperty(int index) const override;
  void setTypeProperty(int index, const PropertyValue& value) override;

 private:
  QTreeWidget* tree_ = nullptr;
};

class RichEditUnit : public Unit {
 public:
  using Unit::Unit;
  bool create(QWidget* container) override;
  QPlainTextEdit* edit() const { return edit_; }

  std::int32_t lineCount() const;
  std::int32_t firstVisibleLine() const;
  bool setCharFormat(const CharFormat& format);
  std::int32_t findText(std::int32_t start, bool matchCase, bool wholeWord, const QString& text) const;
  std::int32_t findTextBackward(std::int32_t start, bool matchCase, const QString& text) const;

 protected:
  std::optional<PropertyValue> typeProperty(int index) const override;
  void setTypeProperty(int index, const PropertyValue& value) override;

 private:
  void setText(const Text& text);
  Text text() const;

  QPlainTextEdit* edit_ = nullptr;
  std::int32_t backColor_ = forms::kDefaultColor;
  // The text as last set, given back unchanged while the user has not edited it, so an article
  // that was only read is saved with exactly the bytes it had (whatever its line ends).
  Text setText_;
  bool textKept_ = false;
};

}  // namespace nvx
