#pragma once
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "platform/row_list.h"

// The RowList port on a report-style list view: each row's item parameter points at its
// model record.
template <class Record>
class ListViewRows final : public RowList<Record> {
 public:
  explicit ListViewRows(HWND list = nullptr) : list_(list) {}
  void attach(HWND list) { list_ = list; }
  HWND handle() const { return list_; }

  int rowCount() const override { return std::max<int>(0, send(LVM_GETITEMCOUNT, 0, 0)); }
  int selectedCount() const override {
    return std::max<int>(0, send(LVM_GETSELECTEDCOUNT, 0, 0));
  }

  Record* rowRecord(int row) const override {
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!send(LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) return nullptr;
    return reinterpret_cast<Record*>(item.lParam);
  }

  bool isSelected(int row) const override {
    return (send(LVM_GETITEMSTATE, row, LVIS_SELECTED) & LVIS_SELECTED) != 0;
  }

  int nextSelected(int after) const override {
    return static_cast<int>(send(LVM_GETNEXTITEM, after, LVNI_SELECTED));
  }

  Record* selectionMarkRecord() const override {
    int mark = static_cast<int>(send(LVM_GETSELECTIONMARK, 0, 0));
    return mark == -1 ? nullptr : rowRecord(mark);
  }

  int findRow(const Record* record) const override {
    // A row seldom moves between two look-ups of its record (the scheduler rewrites the
    // rows of running transfers at every pass), so the row the record was found at last is
    // tried first; the list's own search walks every row.
    auto hint = hints_.find(record);
    if (hint != hints_.end() && hint->second < rowCount() && rowRecord(hint->second) == record)
      return hint->second;
    LVFINDINFOA find = {};
    find.flags = LVFI_PARAM;
    find.lParam = reinterpret_cast<LPARAM>(record);
    int row = static_cast<int>(send(LVM_FINDITEMA, static_cast<WPARAM>(-1),
                                    reinterpret_cast<LPARAM>(&find)));
    if (row >= 0)
      hints_[record] = row;
    else if (hint != hints_.end())
      hints_.erase(hint);
    return row;
  }

  std::string cellText(int row, int column) const override {
    // Room for the longest text ever set, plus its terminating zero.
    std::vector<char> buffer(longest_ + 1, '\0');
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = buffer.data();
    item.cchTextMax = static_cast<int>(buffer.size());
    send(LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    buffer.back() = '\0';
    return std::string(buffer.data());
  }

  void selectAll() override {
    LVITEMA item = {};
    item.stateMask = LVIS_SELECTED;
    item.state = LVIS_SELECTED;
    for (int row = 0, rows = rowCount(); row < rows; ++row)
      send(LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
  }

  void showLastRow() override {
    int rows = rowCount();
    if (rows > 0) send(LVM_ENSUREVISIBLE, rows - 1, FALSE);
  }

  void deleteRow(int row) override { send(LVM_DELETEITEM, row, 0); }
  void deleteAllRows() override {
    send(LVM_DELETEALLITEMS, 0, 0);
    hints_.clear();
  }

  void beginBatch(int n) override {
    if (n < 2) return;
    batchFrom_ = rowCount();
    // What waited to be drawn before the batch still waits after it.
    waiting_.reset(CreateRectRgn(0, 0, 0, 0));
    if (waiting_ && GetUpdateRgn(list_, waiting_.get(), FALSE) == ERROR) waiting_.reset();
    send(WM_SETREDRAW, FALSE, 0);
    send(LVM_SETITEMCOUNT, batchFrom_ + n, 0);
  }

  // Turning redrawing on has the control draw all of itself again, under Wine 30 to 50 ms
  // for a list of thousands of rows, once per batch. Rows added below the view change
  // nothing in it but the scroll bar, which the control has drawn by then.
  void endBatch(int n) override {
    if (n < 2) return;
    send(WM_SETREDRAW, TRUE, 0);
    const int lastInView = static_cast<int>(send(LVM_GETTOPINDEX, 0, 0) +
                                            send(LVM_GETCOUNTPERPAGE, 0, 0));  // partly shown
    if (waiting_ && batchFrom_ > lastInView) {
      ValidateRect(list_, nullptr);
      InvalidateRgn(list_, waiting_.get(), TRUE);
    } else {
      InvalidateRect(list_, nullptr, TRUE);
    }
    waiting_.reset();
  }

  void appendRow(RowCells cells, int columns, Record* record) override {
    columns = std::min<int>(columns, static_cast<int>(cells.texts.size()));
    if (columns < 1) return;
    raiseLongest(cells);
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM | (cells.image0 != -1 ? LVIF_IMAGE : 0);
    item.iItem = rowCount();
    item.pszText = const_cast<char*>(cells.texts[0].c_str());
    item.iImage = cells.image0;
    item.lParam = reinterpret_cast<LPARAM>(record);
    int row = static_cast<int>(send(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (row < 0) return;
    for (int column = 1; column < columns; ++column) {
      LVITEMA cell = {};
      cell.mask = LVIF_TEXT | (column == 1 && cells.image1 != -1 ? LVIF_IMAGE : 0);
      cell.iItem = row;
      cell.iSubItem = column;
      cell.pszText = const_cast<char*>(cells.texts[column].c_str());
      cell.iImage = cells.image1;
      if (!send(LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&cell))) return;
    }
  }

  void rewriteRow(const Record* record, const RowCells& cells) override {
    raiseLongest(cells);
    int row = findRow(record);
    if (row < 0) return;
    for (int column = 0; column < static_cast<int>(cells.texts.size()); ++column) {
      if (cellText(row, column) == cells.texts[column]) continue;
      LVITEMA cell = {};
      cell.mask = LVIF_TEXT | (column < 2 ? LVIF_IMAGE : 0);
      cell.iItem = row;
      cell.iSubItem = column;
      cell.pszText = const_cast<char*>(cells.texts[column].c_str());
      cell.iImage = column == 0 ? cells.image0 : cells.image1;
      send(LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&cell));
    }
  }

  void sortRows(const std::function<int(const Record*, const Record*)>& compare) override {
    send(LVM_SORTITEMS, reinterpret_cast<WPARAM>(&compare),
         reinterpret_cast<LPARAM>(&ListViewRows::compareRecords));
  }

 private:
  static int CALLBACK compareRecords(LPARAM a, LPARAM b, LPARAM compare) {
    const auto& f = *reinterpret_cast<const std::function<int(const Record*, const Record*)>*>(
        compare);
    return f(reinterpret_cast<const Record*>(a), reinterpret_cast<const Record*>(b));
  }

  LRESULT send(UINT message, WPARAM w, LPARAM l) const {
    return SendMessageA(list_, message, w, l);
  }

  void raiseLongest(const RowCells& cells) {
    for (const std::string& text : cells.texts) longest_ = std::max(longest_, text.size());
  }

  struct DeleteRegion {
    void operator()(HRGN region) const { DeleteObject(region); }
  };

  HWND list_;
  int batchFrom_ = 0;
  std::unique_ptr<std::remove_pointer_t<HRGN>, DeleteRegion> waiting_;
  size_t longest_ = 260;
  // Where each record's row was last found; checked before use, as rows move and go.
  mutable std::unordered_map<const Record*, int> hints_;
};
