#pragma once
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

// The texts and images of one list row: texts[0] is column 0. image0 and image1 are the
// images of columns 0 and 1 in the shared image list; -1 is none.
struct RowCells {
  std::vector<std::string> texts;
  int image0 = -1;
  int image1 = -1;
};

// The list view of a main window, as the model sees it: rows in display order, each
// carrying a pointer to its model record. Row numbers start at 0.
template <class Record>
class RowList {
 public:
  virtual ~RowList() = default;

  virtual int rowCount() const = 0;
  virtual int selectedCount() const = 0;
  // The record of a row; nullptr when the row does not exist.
  virtual Record* rowRecord(int row) const = 0;
  virtual bool isSelected(int row) const = 0;
  // The first selected row after `after` (-1: from the start); -1 when there is none.
  virtual int nextSelected(int after) const {
    for (int row = std::max(after + 1, 0), count = rowCount(); row < count; ++row)
      if (isSelected(row)) return row;
    return -1;
  }
  // The record of the row holding the selection mark; nullptr when none.
  virtual Record* selectionMarkRecord() const = 0;
  // The row showing a record; -1 when it has none.
  virtual int findRow(const Record* record) const = 0;
  // The text of one cell; empty when the cell does not exist.
  virtual std::string cellText(int row, int column) const = 0;

  virtual void selectAll() = 0;
  virtual void showLastRow() = 0;
  virtual void deleteRow(int row) = 0;
  virtual void deleteAllRows() = 0;
  // Around adding n rows at once: redrawing stops and the row count is reserved (n >= 2).
  virtual void beginBatch(int n) = 0;
  virtual void endBatch(int n) = 0;
  // Adds a row at the end with the first `columns` cells of `cells` (taken, not copied,
  // where the list keeps them).
  virtual void appendRow(RowCells cells, int columns, Record* record) = 0;
  // Sets the cells of the record's row whose text differs from the text shown; a cell
  // whose text is unchanged keeps its image.
  virtual void rewriteRow(const Record* record, const RowCells& cells) = 0;
  // Sorts the rows with a comparison of their records (negative: a before b).
  virtual void sortRows(const std::function<int(const Record*, const Record*)>& compare) = 0;
};
