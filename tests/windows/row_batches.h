#pragma once
// What the tests of the list adapters share: rows added in one batch, and what a window
// has left to draw.
#include <windows.h>

#include <utility>
#include <vector>

#include "platform/row_list.h"

// Appends a row for each of records[from] to records[from + n - 1] in one batch, each with
// the two cells "r" and "n".
template <class Record>
void appendBatch(RowList<Record>& rows, std::vector<Record>& records, int from, int n) {
  rows.beginBatch(n);
  for (int i = from; i < from + n; ++i) {
    RowCells cells;
    cells.texts = {"r", "n"};
    rows.appendRow(std::move(cells), 2, &records[i]);
  }
  rows.endBatch(n);
}

// The part of the window waiting to be drawn; empty when none.
inline RECT waitingToBeDrawn(HWND window) {
  RECT rect = {};
  GetUpdateRect(window, &rect, FALSE);
  return rect;
}

inline bool drawingWaits(HWND window) {
  return GetUpdateRect(window, nullptr, FALSE) != FALSE;
}
