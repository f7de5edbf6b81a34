#pragma once
#include <windows.h>
// After windows.h, which the other system headers need first.
#include <commctrl.h>

#include <string>
#include <vector>

#include "platform/row_list.h"

// The columns of a report list view and the order its rows are sorted in: which column
// (-1 none, -2 the default order) and which way (+1 ascending, -1 descending), shown by an
// arrow image in the sorted column's header.
class ListHeader {
 public:
  struct Column {
    std::string text;
    int format = 0;  // LVCFMT_...
    int width = 0;
  };

  void attach(HWND list) { list_ = list; }
  HWND list() const { return list_; }

  // Inserts the columns behind a placeholder column 0 of width 0 that is deleted again,
  // so that the first real column keeps its own format (column 0 always aligns left).
  void createColumns(const std::vector<Column>& columns);
  void insertColumn(int format, int index, int image, const std::string& text, int width);
  void setColumnImage(int column, int image);
  // Highlights the column (-1: none) and repaints the list.
  void markSortedColumn(int column);

  // The header part of sorting by column c (-2: the default order): the new direction and
  // the arrows. False for c == -1, which sorts nothing.
  bool prepareSort(int c);
  int sortColumn() const { return column_; }
  int direction() const { return direction_; }

 private:
  HWND list_ = nullptr;
  int column_ = -1;
  int direction_ = 1;
};

// Sorts a list by column c (-2: the default order; a second click on the same column
// reverses): the arrows through the header, the rows by `compare(a, b, c)` times the
// direction. Both roles sort this way, each with its own comparison.
template <class Record, class Compare>
void sortListBy(ListHeader& header, RowList<Record>& rows, int c, Compare compare) {
  if (!header.prepareSort(c)) return;
  const int direction = header.direction();
  rows.sortRows([&](const Record* a, const Record* b) { return direction * compare(*a, *b, c); });
}

// The columns of each role's list, for the main window's client width at creation.
std::vector<ListHeader::Column> downloadColumns(int clientWidth, int scrollBarWidth);
std::vector<ListHeader::Column> siteColumns(int clientWidth, int scrollBarWidth);

// The width of the Address and Saved To columns of the download list, and of the Address
// column of the Site List, for a window of this client width and vertical scroll bar width.
int downloadAddressColumnWidth(int clientWidth, int scrollBarWidth);
int siteAddressColumnWidth(int clientWidth, int scrollBarWidth);
