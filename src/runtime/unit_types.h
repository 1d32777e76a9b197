// The unit of each control type. Internal to the runtime: the operations on list views, rich edit
// boxes, status bars and common dialogs reach their unit through these classes.
#pragma once

#include <QColor>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "runtime/list_face.h"
#include "runtime/units.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class QTreeView;

namespace nvx {

// Gives the heap's freed pages back to the system once the running handler has returned: after
// a long text or a long list has passed through whole copies.
void ReleaseFreedMemory();

class ButtonUnit : public Unit {
 public:
  using Unit::Unit;
  bool Create(QWidget* container) override;

 protected:
  std::optional<PropertyValue> TypeProperty(int index) const override;
  void SetTypeProperty(int index, const PropertyValue& value) override;

 private:
  QPushButton* button_ = nullptr;
};

class EditBoxUnit : public Unit {
 public:
  using Unit::Unit;
  bool Create(QWidget* container) override;

 protected:
  std::optional<PropertyValue> TypeProperty(int index) const override;
  void SetTypeProperty(int index, const PropertyValue& value) override;

 private:
  QLineEdit* line_ = nullptr;        // single-line box
  QPlainTextEdit* lines_ = nullptr;  // multi-line box
};

class LabelUnit : public Unit {
 public:
  using Unit::Unit;
  bool Create(QWidget* container) override;

 protected:
  std::optional<PropertyValue> TypeProperty(int index) const override;
  void SetTypeProperty(int index, const PropertyValue& value) override;

 private:
  QLabel* label_ = nullptr;
};

class GroupBoxUnit : public Unit {
 public:
  using Unit::Unit;
  bool Create(QWidget* container) override;

 protected:
  std::optional<PropertyValue> TypeProperty(int index) const override;
  void SetTypeProperty(int index, const PropertyValue& value) override;
};

class ColorPickerUnit : public Unit {
 public:
  using Unit::Unit;
  bool Create(QWidget* container) override;
  std::int32_t Color() const { return color_; }

 protected:
  std::optional<PropertyValue> TypeProperty(int index) const override;
  void SetTypeProperty(int index, const PropertyValue& value) override;

 private:
  void ShowColor();
  QPushButton* button_ = nullptr;
  std::int32_t color_ = kWhite;
  bool flag_ = false;
};

// A common dialog has no widget: it keeps its properties and shows the platform's dialog on Open.
class CommonDlgUnit : public Unit {
 public:
  using Unit::Unit;
  bool Create(QWidget* container) override;
  bool Open();

 protected:
  std::optional<PropertyValue> TypeProperty(int index) const override;
  void SetTypeProperty(int index, const PropertyValue& value) override;

 private:
  bool OpenFile();
  bool OpenFont();

  std::int32_t numbers_[prop::dlg::kLast + 1] = {};  // by property index; texts below
  Text title_, fileName_, filter_, initialDir_, defaultExt_, faceName_, helpFile_, helpKey_;
};

class StatusBarUnit : public Unit {
 public:
  using Unit::Unit;
  bool Create(QWidget* container) override;
  void SetPartText(int part, const Text& text);
  int PartCount() const { return static_cast<int>(labels_.size()); }

 private:
  friend class StatusBarWidget;
  void Place();
  std::vector<QLabel*> labels_;
};

class ListRowsModel;

class ListViewUnit : public Unit {
 public:
  using Unit::Unit;
  bool Create(QWidget* container) override;
  QTreeView* Tree() const { return tree_; }
  ListRowsModel& Rows() const { return *rows_; }
  int CurrentRow() const;
  // Selects the row without scrolling the list; -1 (or a row not there) selects nothing.
  void SetCurrentRow(int row);
  // Appends rows, each given by its column texts from column 0, in one insertion. Returns the
  // index of the first new row.
  int AppendRows(std::span<const std::vector<Text>> rows);
  // The same for rows whose texts are UTF-8 already.
  int AppendUtf8(const Utf8Rows& rows);
  // Ends the selection (the list reports the change of its current row) and removes every row.
  void Clear();
  // Sets one row's text (UTF-8) in a column.
  void SetText(int row, int column, std::string utf8);

  // Rows read between events (see ListView::FillInBackground).
  void Fill(ListView::RowSource source);
  bool Filling() const { return static_cast<bool>(source_); }
  // Reads on until row `row` is in the list or the source has no more; -1 reads every row.
  void ReadThrough(int row);

  void Clicked();
  void RightClicked();

 protected:
  std::optional<PropertyValue> TypeProperty(int index) const override;
  void SetTypeProperty(int index, const PropertyValue& value) override;

 private:
  // Keeps every row in one face as texts come in.
  void TakeFace(std::string_view utf8);
  // One slice of the fill: rows for a few milliseconds, then back to the event loop.
  void FillSlice();
  // Asks the source for more rows; false once it has given its last.
  bool ReadMore();
  // Moves the rows read into the list.
  void ShowPending();

  QTreeView* tree_ = nullptr;
  ListRowsModel* rows_ = nullptr;
  std::optional<ListFace> face_;
  ListView::RowSource source_;
  Utf8Rows pending_;  // read from the source, not yet in the list
  QTimer* fillTimer_ = nullptr;
};

class LineCounter;

class RichEditUnit : public Unit {
 public:
  using Unit::Unit;
  ~RichEditUnit() override;
  bool Create(QWidget* container) override;
  QPlainTextEdit* Edit() const { return edit_; }

  // Lines as the box shows them, wrapped lines included: exact, and on a long text it takes a
  // while (the box itself lays out only what it shows).
  std::int32_t LineCount();
  // Calls `ready` with LineCount() once it is known: at once when it is, otherwise from the event
  // loop after counting in slices between other events. See RichEdit::WhenLineCountReady.
  void WhenLineCountReady(std::function<void(std::int32_t)> ready);
  std::int32_t FirstVisibleLine();
  bool SetCharFormat(const CharFormat& format);
  std::int32_t FindText(std::int32_t start, bool matchCase, bool wholeWord, const QString& text);
  std::int32_t FindTextBackward(std::int32_t start, bool matchCase, const QString& text);

 protected:
  std::optional<PropertyValue> TypeProperty(int index) const override;
  void SetTypeProperty(int index, const PropertyValue& value) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void SetContent(const Text& text);
  Text Content() const;
  const QString& PlainText();
  std::shared_ptr<LineCounter> CounterForNow();
  void CountSlice();

  QPlainTextEdit* edit_ = nullptr;
  std::int32_t backColor_ = kDefaultColor;
  // The text as last set, given back unchanged while the user has not edited it, so an article
  // that was only read is saved with exactly the bytes it had (whatever its line ends).
  Text setText_;
  bool textKept_ = false;
  // Changes with every change of the text or its format; what is kept below belongs to one value.
  std::uint64_t generation_ = 0;
  // The box's text as one string, block separators included, kept for Find until the text changes.
  QString plain_;
  std::uint64_t plainGeneration_ = ~std::uint64_t{0};
  // The lines of the text as it is now (for the first visible line), and the count a caller waits
  // for, which goes on over the text as it was asked even when the user edits meanwhile.
  std::shared_ptr<LineCounter> counter_;
  std::shared_ptr<LineCounter> pending_;
  // The count the document holds for every block (see FirstVisibleLine).
  std::shared_ptr<LineCounter> applied_;
  std::function<void(std::int32_t)> ready_;
  QTimer* countTimer_ = nullptr;
};

}  // namespace nvx
