#include "runtime/list_rows_model.h"

#include <algorithm>
#include <utility>

namespace nvx {

ListRowsModel::ListRowsModel(QStringList headings, std::vector<Qt::Alignment> alignments, QObject* parent)
    : QAbstractTableModel(parent), headings_(std::move(headings)), alignments_(std::move(alignments)) {}

int ListRowsModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int ListRowsModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : Columns(); }

QVariant ListRowsModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  if (role == Qt::DisplayRole) {
    const std::string_view text = Cell(index.row(), index.column());
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  }
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Alignment(index.column()) | Qt::AlignVCenter);
  return {};
}

QVariant ListRowsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= Columns()) return {};
  if (role == Qt::DisplayRole) return headings_[section];
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Alignment(section) | Qt::AlignVCenter);
  return {};
}

Qt::ItemFlags ListRowsModel::flags(const QModelIndex& index) const {
  return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::NoItemFlags;
}

std::string_view ListRowsModel::Cell(int row, int column) const {
  if (row < 0 || row >= rows_ || column < 0 || column >= Columns()) return {};
  const std::size_t cell = CellIndex(row, column);
  return std::string_view(text_).substr(starts_[cell], sizes_[cell]);
}

void ListRowsModel::SetCell(int row, int column, std::string_view utf8) {
  if (row < 0 || row >= rows_ || column < 0 || column >= Columns()) return;
  const std::size_t cell = CellIndex(row, column);
  unused_ += sizes_[cell];
  starts_[cell] = text_.size();
  sizes_[cell] = static_cast<std::uint32_t>(utf8.size());
  text_ += utf8;
  Compact();
  const QModelIndex at = index(row, column);
  emit dataChanged(at, at);
}

std::optional<std::int64_t> ListRowsModel::Key(int row) const {
  if (row < 0 || row >= rows_ || !keyed_[static_cast<std::size_t>(row)]) return std::nullopt;
  return keys_[static_cast<std::size_t>(row)];
}

int ListRowsModel::Append(const Utf8Rows& rows) {
  const int first = rows_;
  const std::size_t given = rows.columns > 0 ? rows.Rows() : 0;
  if (given == 0) return first;
  beginInsertRows({}, first, first + static_cast<int>(given) - 1);
  const std::size_t columns = headings_.size();
  starts_.resize(starts_.size() + given * columns, 0);
  sizes_.resize(sizes_.size() + given * columns, 0);
  const std::size_t keyed = std::min(given, rows.keys.size());
  keys_.insert(keys_.end(), rows.keys.begin(), rows.keys.begin() + static_cast<std::ptrdiff_t>(keyed));
  keys_.resize(keys_.size() + given - keyed, 0);
  keyed_.resize(keyed_.size() + keyed, true);
  keyed_.resize(keyed_.size() + given - keyed, false);
  const std::uint64_t base = text_.size();
  text_ += rows.text;
  std::size_t begin = 0;
  for (std::size_t r = 0; r < given; ++r) {
    for (std::size_t c = 0; c < static_cast<std::size_t>(rows.columns); ++c) {
      const std::size_t end = rows.ends[r * static_cast<std::size_t>(rows.columns) + c];
      if (c < columns) {
        const std::size_t cell = (static_cast<std::size_t>(first) + r) * columns + c;
        starts_[cell] = base + begin;
        sizes_[cell] = static_cast<std::uint32_t>(end - begin);
      } else {
        unused_ += end - begin;
      }
      begin = end;
    }
  }
  rows_ += static_cast<int>(given);
  endInsertRows();
  return first;
}

void ListRowsModel::Clear() {
  beginResetModel();
  rows_ = 0;
  unused_ = 0;
  std::string().swap(text_);
  std::vector<std::uint64_t>().swap(starts_);
  std::vector<std::uint32_t>().swap(sizes_);
  std::vector<std::int64_t>().swap(keys_);
  std::vector<bool>().swap(keyed_);
  endResetModel();
}

void ListRowsModel::Squeeze() {
  text_.shrink_to_fit();
  starts_.shrink_to_fit();
  keys_.shrink_to_fit();
  keyed_.shrink_to_fit();
  sizes_.shrink_to_fit();
}

void ListRowsModel::Compact() {
  if (unused_ < 4096 || unused_ * 2 < text_.size()) return;
  std::string kept;
  kept.reserve(text_.size() - unused_);
  for (std::size_t cell = 0; cell < starts_.size(); ++cell) {
    const std::uint64_t start = kept.size();
    kept.append(text_, starts_[cell], sizes_[cell]);
    starts_[cell] = start;
  }
  text_.swap(kept);
  unused_ = 0;
}

}  // namespace nvx
