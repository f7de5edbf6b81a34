#pragma once
#include <string>
#include <vector>

#include "platform/row_list.h"

// The Copy dialogs' rules and the text they put on the clipboard.

// How the dialog's buttons stand for a number of ticked columns: the separator choice
// matters from two columns on, and OK needs one.
struct CopyButtons {
  bool separatorsEnabled = false;
  bool okEnabled = false;
};
inline CopyButtons copyButtons(int tickedColumns) {
  return {tickedColumns >= 2, tickedColumns >= 1};
}

// One line per selected row, in display order: the ticked columns' cell texts exactly as
// shown, joined by a tab (or a comma), each line ended by CR LF. `columns[i]` ticks column
// i. Nothing is quoted or escaped.
template <class Record>
std::string copyLines(const RowList<Record>& rows, bool tabs, const std::vector<bool>& columns) {
  const char separator = tabs ? '\t' : ',';
  std::string text;
  for (int row = 0, count = rows.rowCount(); row < count; ++row) {
    if (!rows.isSelected(row)) continue;
    bool first = true;
    for (size_t column = 0; column < columns.size(); ++column) {
      if (!columns[column]) continue;
      if (!first) text += separator;
      first = false;
      text += rows.cellText(row, static_cast<int>(column));
    }
    text += "\r\n";
  }
  return text;
}
