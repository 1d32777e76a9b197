// The rows of a list view: every cell's text as UTF-8 in one buffer, found through two compact
// arrays, and turned into a QString only when the view asks for it (the rows it paints). A row
// is found by its index at once, however many rows the list holds.
#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/window_runtime.h"

namespace nvx {

class ListRowsModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  ListRowsModel(QStringList headings, std::vector<Qt::Alignment> alignments, QObject* parent);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  int Rows() const { return rows_; }
  int Columns() const { return static_cast<int>(headings_.size()); }
  Qt::Alignment Alignment(int column) const { return alignments_[static_cast<std::size_t>(column)]; }

  // A cell's text; empty for a cell never given one or outside the list.
  std::string_view Cell(int row, int column) const;
  void SetCell(int row, int column, std::string_view utf8);
  // The key the row was appended with; none for a row given none or outside the list.
  std::optional<std::int64_t> Key(int row) const;
  // Appends `rows` (cells of columns the list lacks are ignored) in one insertion; returns the
  // index of the first new row.
  int Append(const Utf8Rows& rows);
  void Clear();
  // Gives back the room kept for rows to come.
  void Squeeze();

 private:
  std::size_t CellIndex(int row, int column) const {
    return static_cast<std::size_t>(row) * headings_.size() + static_cast<std::size_t>(column);
  }
  // Drops the bytes of replaced texts once they are half the buffer.
  void Compact();

  QStringList headings_;
  std::vector<Qt::Alignment> alignments_;
  int rows_ = 0;
  std::string text_;
  std::vector<std::uint64_t> starts_;  // by cell: where its text starts in text_
  std::vector<std::uint32_t> sizes_;   // by cell: its length in bytes
  std::vector<std::int64_t> keys_;     // by row: its key, where keyed_ says it has one
  std::vector<bool> keyed_;
  std::size_t unused_ = 0;  // bytes of text_ no cell refers to any more
};

}  // namespace nvx
