// The status bar and the list view.
#include <QAccessible>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTimer>
#include <QTreeView>

#include "runtime/form_engine.h"
#include "runtime/list_rows_model.h"
#include "runtime/operation_unit.h"
#include "runtime/qt_text.h"
#include "runtime/unit_types.h"

namespace nvx {

// ---- StatusBar: parts of fixed width side by side, the last one (width -1) to the right end.

class StatusBarWidget : public QFrame {
 public:
  StatusBarWidget(StatusBarUnit& unit, QWidget* parent) : QFrame(parent), unit_(unit) {}
  QSize sizeHint() const override { return {100, fontMetrics().height() + 6}; }

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QFrame::resizeEvent(event);
    unit_.Place();
  }

 private:
  StatusBarUnit& unit_;
};

bool StatusBarUnit::Create(QWidget* container) {
  const auto& p = std::get<StatusBarProps>(Def().props);
  auto* bar = new StatusBarWidget(*this, container);
  for (const StatusPart& part : p.parts) {
    auto* label = new QLabel(QString::fromUtf8(part.text), bar);
    label->setObjectName(QStringLiteral("part%1").arg(labels_.size()));
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setFrameShape(part.noBorder ? QFrame::NoFrame : QFrame::StyledPanel);
    labels_.push_back(label);
  }
  Attach(bar);
  Place();
  return true;
}

void StatusBarUnit::Place() {
  const auto& parts = std::get<StatusBarProps>(Def().props).parts;
  QWidget* bar = Widget();
  if (bar == nullptr) return;
  int left = 0;
  for (std::size_t i = 0; i < labels_.size(); ++i) {
    const int width = parts[i].width < 0 ? std::max(0, bar->width() - left) : parts[i].width;
    labels_[i]->setGeometry(left + 2, 0, std::max(0, width - 2), bar->height());
    left += width;
  }
}

void StatusBarUnit::SetPartText(int part, const Text& text) {
  if (part < 0 || part >= PartCount()) return;
  labels_[static_cast<std::size_t>(part)]->setText(ToQString(text));
}

// ---- ListView: a report view. Selecting happens on the press, as the user expects; the clicked
// event follows once the button is released, so its handler reads the row just selected.

class ListViewWidget : public QTreeView {
 public:
  ListViewWidget(ListViewUnit& unit, QWidget* parent) : QTreeView(parent), unit_(unit) {}

  // The list is flat and its rows are of one height, so a row's place follows from its index.
  // QTreeView looks each row up among all rows it shows, a scan of up to a million rows for each
  // change of the current row.
  QRect visualRect(const QModelIndex& index) const override {
    if (!index.isValid() || index.model() != model() || index.parent().isValid())
      return QTreeView::visualRect(index);
    const int height = indexRowSizeHint(model()->index(0, 0));
    const int top = verticalScrollMode() == ScrollPerItem
                        ? (index.row() - verticalScrollBar()->value()) * height
                        : index.row() * height - verticalScrollBar()->value();
    return {columnViewportPosition(index.column()), top, columnWidth(index.column()), height};
  }

 protected:
  QRegion visualRegionForSelection(const QItemSelection& selection) const override {
    QRegion region;
    for (const QItemSelectionRange& range : selection) {
      if (!range.isValid()) continue;
      const QRect first = visualRect(range.topLeft());
      const QRect last = visualRect(range.bottomRight());
      region += QRect(0, first.top(), viewport()->width(), last.bottom() - first.top() + 1)
                    .intersected(viewport()->rect());
    }
    return region;
  }
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override {
    // QTreeView's own also tells assistive technology; it is used whenever that listens.
    if (QAccessible::isActive()) {
      QTreeView::currentChanged(current, previous);
      return;
    }
    QAbstractItemView::currentChanged(current, previous);
    for (const QModelIndex& row : {previous, current}) {
      if (!row.isValid()) continue;
      const QRect place = visualRect(row);
      viewport()->update(0, place.top(), viewport()->width(), place.height());
    }
  }

  void mousePressEvent(QMouseEvent* event) override {
    QTreeView::mousePressEvent(event);
    if (event->button() == Qt::RightButton) unit_.RightClicked();
    doubleClick_ = false;
  }
  void mouseDoubleClickEvent(QMouseEvent* event) override {
    QTreeView::mouseDoubleClickEvent(event);
    doubleClick_ = true;
  }
  void mouseReleaseEvent(QMouseEvent* event) override {
    QTreeView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && !doubleClick_) unit_.Clicked();
    doubleClick_ = false;
  }

 private:
  ListViewUnit& unit_;
  bool doubleClick_ = false;
};

bool ListViewUnit::Create(QWidget* container) {
  const auto& p = std::get<ListViewProps>(Def().props);
  QStringList headings;
  std::vector<Qt::Alignment> alignments;
  for (const auto& c : p.columns) {
    headings << QString::fromUtf8(c.heading);
    alignments.push_back(c.align == 1 ? Qt::AlignHCenter : c.align == 2 ? Qt::AlignRight : Qt::AlignLeft);
  }
  tree_ = new ListViewWidget(*this, container);
  rows_ = new ListRowsModel(std::move(headings), std::move(alignments), tree_);
  tree_->setModel(rows_);
  tree_->setRootIsDecorated(false);
  tree_->setItemsExpandable(false);
  tree_->setIndentation(0);
  tree_->setUniformRowHeights(true);
  tree_->setAllColumnsShowFocus(p.fullRowSelect);
  tree_->setSelectionBehavior(QAbstractItemView::SelectRows);
  tree_->setSelectionMode(p.singleSelection ? QAbstractItemView::SingleSelection
                                            : QAbstractItemView::ExtendedSelection);
  tree_->header()->setMinimumSectionSize(0);  // the id column is there, but 0 wide
  for (int i = 0; i < static_cast<int>(p.columns.size()); ++i)
    tree_->setColumnWidth(i, p.columns[static_cast<std::size_t>(i)].width);
  tree_->header()->setStretchLastSection(false);
  tree_->header()->setSectionsClickable(p.headerClickable);
  tree_->header()->setSectionsMovable(false);

  QFont font(QString::fromUtf8(p.font.face));
  if (p.font.height != 0) font.setPixelSize(std::abs(p.font.height));
  font.setBold(p.font.weight >= 700);
  tree_->setFont(font);
  face_.emplace(font);
  QPalette pal = tree_->palette();
  pal.setColor(QPalette::Text, ToQColor(p.textColor, pal.color(QPalette::Text)));
  pal.setColor(QPalette::Base, ToQColor(p.backColor, pal.color(QPalette::Base)));
  if (p.keepSelectionVisible) {
    // The selection stays as visible when the list loses the focus.
    pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                 pal.color(QPalette::Active, QPalette::HighlightedText));
  }
  tree_->setPalette(pal);

  Attach(tree_);
  QObject::connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
                   [this] { Raise(event::kChanged); });
  QObject::connect(tree_, &QTreeView::activated, this, [this] { Raise(event::kRowActivated); });
  QObject::connect(tree_->header(), &QHeaderView::sectionClicked, this, [this](int column) {
    EventArgs a;
    a.values[0] = column;
    a.count = 1;
    Raise(event::kHeadingClicked, a);
  });
  return true;
}

void ListViewUnit::Clicked() { Raise(event::kListClicked); }

void ListViewUnit::RightClicked() { Raise(event::kListRightClicked); }

// The current row is the selected one: -1 when nothing is selected. The selection is held as
// ranges of rows, so this costs the same in a list of any length.
int ListViewUnit::CurrentRow() const {
  const QItemSelection selected = tree_->selectionModel()->selection();
  for (const QItemSelectionRange& range : selected)
    if (!range.isEmpty()) return range.top();
  return -1;
}

void ListViewUnit::SetCurrentRow(int row) {
  if (row < 0 || row >= rows_->Rows()) {
    tree_->clearSelection();
    return;
  }
  // Selected and given the row focus; the list takes no keyboard focus and does not scroll: a
  // list view scrolls to its new current row by itself unless told not to.
  const bool autoScroll = tree_->hasAutoScroll();
  tree_->setAutoScroll(false);
  tree_->selectionModel()->setCurrentIndex(rows_->index(row, 0),
                                           QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  tree_->setAutoScroll(autoScroll);
}

int ListViewUnit::AppendRows(std::span<const std::vector<Text>> rows) {
  Utf8Rows cells;
  cells.columns = rows_->Columns();
  if (cells.columns == 0) return rows_->Rows();
  for (const std::vector<Text>& texts : rows) {
    for (int c = 0; c < cells.columns; ++c) {
      const auto at = static_cast<std::size_t>(c);
      cells.Add(at < texts.size() ? ToUtf8Lossy(texts[at]) : std::string());
    }
  }
  return AppendUtf8(cells);
}

int ListViewUnit::AppendUtf8(const Utf8Rows& rows) {
  std::size_t start = 0;
  for (std::size_t end : rows.ends) {
    TakeFace(std::string_view(rows.text).substr(start, end - start));
    start = end;
  }
  return rows_->Append(rows);
}

void ListViewUnit::Clear() {
  source_ = nullptr;
  pending_.Clear();
  if (fillTimer_ != nullptr) fillTimer_->stop();
  tree_->selectionModel()->clear();
  rows_->Clear();
  if (!face_) return;
  face_->Reset();
  tree_->setFont(face_->Font());
}

void ListViewUnit::TakeFace(std::string_view utf8) {
  if (face_ && face_->TakeUtf8(utf8)) tree_->setFont(face_->Font());
}

void ListViewUnit::SetText(int row, int column, std::string utf8) {
  TakeFace(utf8);
  rows_->SetCell(row, column, std::move(utf8));
}

namespace {

// Rows asked of a source at a time, and how long one slice of a fill reads before the event loop
// runs again.
constexpr std::size_t kSourceRows = 1024;
constexpr qint64 kSliceNanoseconds = 8'000'000;
// While a handler runs, a waiting fill looks again this often.
constexpr int kPausedMilliseconds = 50;

}  // namespace

void ListViewUnit::Fill(ListView::RowSource source) {
  source_ = std::move(source);
  pending_.Clear();
  pending_.columns = rows_->Columns();
  if (fillTimer_ == nullptr) {
    fillTimer_ = new QTimer(this);
    QObject::connect(fillTimer_, &QTimer::timeout, this, [this] { FillSlice(); });
  }
  fillTimer_->start(0);
}

bool ListViewUnit::ReadMore() {
  if (!source_) return false;
  if (source_(pending_, kSourceRows)) return true;
  source_ = nullptr;
  fillTimer_->stop();
  // The last rows join the list, and the room kept for more goes.
  ShowPending();
  pending_ = Utf8Rows{};
  rows_->Squeeze();
  ReleaseFreedMemory();
  return false;
}

void ListViewUnit::ShowPending() {
  if (pending_.Rows() == 0) return;
  AppendUtf8(pending_);
  pending_.Clear();
}

// Rows join the list once as many are waiting as it holds: a list that fills to a million rows
// lays itself out some ten times, not once per slice.
void ListViewUnit::FillSlice() {
  if (FormEngine::Instance().HandlerRunning()) {
    fillTimer_->setInterval(kPausedMilliseconds);
    return;
  }
  fillTimer_->setInterval(0);
  QElapsedTimer slice;
  slice.start();
  bool more = true;
  while (more && slice.nsecsElapsed() < kSliceNanoseconds) more = ReadMore();
  if (pending_.Rows() >= static_cast<std::size_t>(std::max(rows_->Rows(), 4096))) ShowPending();
}

void ListViewUnit::ReadThrough(int row) {
  while ((row < 0 || rows_->Rows() + static_cast<int>(pending_.Rows()) <= row) && ReadMore()) {
  }
  ShowPending();
}

std::optional<PropertyValue> ListViewUnit::TypeProperty(int index) const {
  if (index == prop::list::kCurrentRow) return static_cast<std::int32_t>(CurrentRow());
  return std::nullopt;
}

void ListViewUnit::SetTypeProperty(int index, const PropertyValue& value) {
  if (index == prop::list::kCurrentRow) {
    const int row = NumberOf(value);
    if (row >= rows_->Rows()) ReadThrough(row);
    SetCurrentRow(row);
  }
}

namespace ListView {

std::int32_t AppendRows(UnitRef list, std::span<const std::vector<Text>> rows) {
  ListViewUnit& unit = OperationUnit<ListViewUnit>(list);
  unit.ReadThrough(-1);
  return unit.AppendRows(rows);
}

std::int32_t AppendUtf8Rows(UnitRef list, const Utf8Rows& rows) {
  ListViewUnit& unit = OperationUnit<ListViewUnit>(list);
  unit.ReadThrough(-1);
  return unit.AppendUtf8(rows);
}

void FillInBackground(UnitRef list, RowSource source) {
  OperationUnit<ListViewUnit>(list).Fill(std::move(source));
}

bool Filling(UnitRef list) { return OperationUnit<ListViewUnit>(list).Filling(); }

bool IsLastItem(UnitRef list, int row) {
  ListViewUnit& unit = OperationUnit<ListViewUnit>(list);
  unit.ReadThrough(std::max(row, -1) + 1);
  return row == unit.Rows().Rows() - 1;
}

}  // namespace ListView

}  // namespace nvx
