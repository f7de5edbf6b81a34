#pragma once
#include <windows.h>
// After windows.h, which the other system headers need first.
#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/row_list.h"

// The RowList port on a report-style list view that asks for its rows (LVS_OWNERDATA): the
// rows, their records and their cells live here, and the control keeps only their number
// and their selection. Adding, sorting and painting then cost what the visible rows and
// the changed cells cost, not what the whole list holds; a list of 100,000 rows takes as
// long to show as one of 100. The control's parent hands its LVN_GETDISPINFO here.
//
// Under Wine, telling the control its number of rows draws both scroll bars again several
// times over: 17 ms on a quiet machine, over 30 under load, whatever the number. Rows that
// keep coming below the view are told at most every kCountEveryMs, the last of them by a
// timer, so a stream of small batches (a crawl's) does not pay that at each batch.
template <class Record>
class OwnerDataRows final : public RowList<Record> {
 public:
  static constexpr UINT kCountEveryMs = 250;

  explicit OwnerDataRows(HWND list = nullptr) : list_(list) {}
  ~OwnerDataRows() override { stopCountTimer(); }
  OwnerDataRows(const OwnerDataRows&) = delete;
  OwnerDataRows& operator=(const OwnerDataRows&) = delete;
  void attach(HWND list) {
    stopCountTimer();
    list_ = list;
  }
  HWND handle() const { return list_; }

  int rowCount() const override { return static_cast<int>(shown()); }
  int selectedCount() const override {
    return std::max<int>(0, static_cast<int>(send(LVM_GETSELECTEDCOUNT, 0, 0)));
  }
  Record* rowRecord(int row) const override {
    const Row* found = at(row);
    return found ? found->record : nullptr;
  }
  bool isSelected(int row) const override {
    return (send(LVM_GETITEMSTATE, row, LVIS_SELECTED) & LVIS_SELECTED) != 0;
  }
  int nextSelected(int after) const override {
    return static_cast<int>(send(LVM_GETNEXTITEM, after, LVNI_SELECTED));
  }
  Record* selectionMarkRecord() const override {
    return rowRecord(static_cast<int>(send(LVM_GETSELECTIONMARK, 0, 0)));
  }
  int findRow(const Record* record) const override {
    compact();
    if (indexStale_) {
      index_.clear();
      index_.reserve(rows_.size());
      for (size_t i = 0; i < rows_.size(); ++i) index_[rows_[i].record] = static_cast<int>(i);
      indexStale_ = false;
    }
    auto found = index_.find(record);
    return found == index_.end() ? -1 : found->second;
  }
  std::string cellText(int row, int column) const override {
    const Row* found = at(row);
    if (!found || column < 0 || column >= static_cast<int>(found->cells.texts.size())) return {};
    return found->cells.texts[column];
  }

  void selectAll() override {
    tellCount();
    // Index -1 selects every row with one message.
    LVITEMA item = {};
    item.stateMask = LVIS_SELECTED;
    item.state = LVIS_SELECTED;
    send(LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
  }
  void showLastRow() override {
    tellCount();
    if (!rows_.empty()) send(LVM_ENSUREVISIBLE, rowCount() - 1, FALSE);
  }
  // Rows deleted from the last towards the first (as the commands do) are only marked;
  // the list closes up once, when a row at or after the first mark is asked for.
  void deleteRow(int row) override {
    if (row < 0 || row >= rowCount()) return;
    tellCount();
    if (static_cast<size_t>(row) >= firstDeleted_) compact();
    rows_[row].record = nullptr;
    firstDeleted_ = static_cast<size_t>(row);
    ++deleted_;
    indexStale_ = true;
    send(LVM_DELETEITEM, row, 0);
  }
  void deleteAllRows() override {
    stopCountTimer();
    rows_.clear();
    index_.clear();
    indexStale_ = false;
    firstDeleted_ = kNone;
    deleted_ = 0;
    send(LVM_DELETEALLITEMS, 0, 0);
  }
  void beginBatch(int n) override {
    if (n < 2) return;
    compact();
    rows_.reserve(rows_.size() + n);
    batching_ = true;
  }
  void endBatch(int n) override {
    if (n < 2) return;
    batching_ = false;
    setCount();
  }
  void appendRow(RowCells cells, int columns, Record* record) override {
    columns = std::min<int>(columns, static_cast<int>(cells.texts.size()));
    if (columns < 1) return;
    compact();
    Row row{record, std::move(cells)};
    row.cells.texts.resize(columns);
    if (columns < 2) row.cells.image1 = -1;
    rows_.push_back(std::move(row));
    if (!indexStale_) index_[record] = static_cast<int>(rows_.size() - 1);
    if (!batching_) setCount();
  }
  void rewriteRow(const Record* record, const RowCells& cells) override {
    const int row = findRow(record);
    if (row < 0) return;
    RowCells& shownCells = rows_[row].cells;
    if (shownCells.texts.size() < cells.texts.size()) shownCells.texts.resize(cells.texts.size());
    for (int column = 0; column < static_cast<int>(cells.texts.size()); ++column) {
      if (shownCells.texts[column] == cells.texts[column]) continue;
      shownCells.texts[column] = cells.texts[column];
      // A cell whose text is unchanged keeps its image.
      if (column == 0) shownCells.image0 = cells.image0;
      if (column == 1) shownCells.image1 = cells.image1;
      invalidateCell(row, column);
    }
  }
  void sortRows(const std::function<int(const Record*, const Record*)>& compare) override {
    tellCount();
    // The control keeps the selection by row number: it follows its records.
    std::vector<Record*> selected;
    for (int row = nextSelected(-1); row >= 0; row = nextSelected(row))
      selected.push_back(rows_[row].record);
    Record* mark = selectionMarkRecord();
    Record* focused = rowRecord(static_cast<int>(send(LVM_GETNEXTITEM, -1, LVNI_FOCUSED)));
    std::stable_sort(rows_.begin(), rows_.end(), [&compare](const Row& a, const Row& b) {
      return compare(a.record, b.record) < 0;
    });
    indexStale_ = true;
    setState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    for (Record* record : selected) setState(findRow(record), LVIS_SELECTED, LVIS_SELECTED);
    if (focused) setState(findRow(focused), LVIS_FOCUSED, LVIS_FOCUSED);
    send(LVM_SETSELECTIONMARK, 0, mark ? findRow(mark) : -1);
    InvalidateRect(list_, nullptr, FALSE);
  }

  // The control looks for a row by the text of its first column, as typing in the list
  // does (LVN_ODFINDITEMA, or LVN_ODFINDITEMW with a wide text): the first row from the
  // start asked for on (from the top with wrapping) whose text begins with the one asked for
  // (equals it, without LVFI_PARTIAL), case aside. -1 when none, or for searches by other
  // than text.
  int findText(const NMHDR& header) const {
    const bool wide = header.code == static_cast<UINT>(LVN_ODFINDITEMW);
    const auto& find = reinterpret_cast<const NMLVFINDITEMA&>(header);
    const UINT flags = find.lvfi.flags;
    if (!(flags & (LVFI_STRING | LVFI_PARTIAL)) || !find.lvfi.psz) return -1;
    std::string wanted;
    if (wide) {
      const auto* text = reinterpret_cast<const wchar_t*>(find.lvfi.psz);
      const int bytes = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
      if (bytes <= 0) return -1;
      wanted.resize(bytes);
      WideCharToMultiByte(CP_ACP, 0, text, -1, wanted.data(), bytes, nullptr, nullptr);
      wanted.resize(bytes - 1);
    } else {
      wanted = find.lvfi.psz;
    }
    const int count = rowCount();
    const int length = static_cast<int>(wanted.size());
    const int start = find.iStart < 0 || find.iStart >= count ? 0 : find.iStart;
    for (int n = 0; n < count; ++n) {
      const int row = start + n < count ? start + n : start + n - count;
      if (row < start && !(flags & LVFI_WRAP)) break;
      const std::string& text = at(row)->cells.texts[0];
      const int shown = static_cast<int>(text.size());
      if (flags & LVFI_PARTIAL ? shown < length : shown != length) continue;
      if (CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, text.c_str(), length,
                         wanted.c_str(), length) == CSTR_EQUAL)
        return row;
    }
    return -1;
  }

  // The image of a cell of the first two columns; -1 for none.
  int cellImage(int row, int column) const {
    const Row* found = at(row);
    return found ? imageOf(found->cells, column) : -1;
  }
  // While the control paints, the parent may draw the cells' images itself: the control
  // is then given, for a cell with an image, an index past the end of any image list. It
  // lays the cell out as one with an image (the image's place, the label's spacing) and
  // draws nothing there, since an image list draws no image it does not have. A cell
  // without an image stays without one.
  static constexpr int kImageDrawnByParent = 0x7FFF;
  void setImagesDrawnByParent(bool drawn) { imagesDrawnByParent_ = drawn; }

  // What the control asks its parent: a cell's text or image (LVN_GETDISPINFOA), or the row
  // that typing in the list goes to, the next whose first text begins with what was typed
  // (LVN_ODFINDITEMA/W). Answered here, `answer` being the notification's result; false for
  // any other notification.
  bool answerNotification(const NMHDR& header, LRESULT& answer) const {
    switch (header.code) {
      case LVN_GETDISPINFOA:
        fillDisplayInfo(
            const_cast<NMLVDISPINFOA&>(reinterpret_cast<const NMLVDISPINFOA&>(header)));
        answer = 0;
        return true;
      case LVN_ODFINDITEMA:
      case LVN_ODFINDITEMW:
        answer = findText(header);
        return true;
      default:
        return false;
    }
  }

  // The control asks for a cell's text or image (LVN_GETDISPINFO).
  void fillDisplayInfo(NMLVDISPINFOA& info) const {
    LVITEMA& item = info.item;
    const Row* found = at(item.iItem);
    if (!found) return;
    const RowCells& cells = found->cells;
    if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
      const std::string empty;
      const std::string& text =
          item.iSubItem >= 0 && item.iSubItem < static_cast<int>(cells.texts.size())
              ? cells.texts[item.iSubItem]
              : empty;
      const size_t n = std::min<size_t>(text.size(), static_cast<size_t>(item.cchTextMax - 1));
      text.copy(item.pszText, n);
      item.pszText[n] = '\0';
    }
    if (item.mask & LVIF_IMAGE) {
      item.iImage = imageOf(cells, item.iSubItem);
      if (imagesDrawnByParent_ && item.iImage >= 0) item.iImage = kImageDrawnByParent;
    }
  }

 private:
  struct Row {
    Record* record;
    RowCells cells;
  };
  static constexpr size_t kNone = static_cast<size_t>(-1);

  static int imageOf(const RowCells& cells, int column) {
    return column == 0 ? cells.image0 : column == 1 ? cells.image1 : -1;
  }

  size_t shown() const { return rows_.size() - deleted_; }
  // The row, closing up deleted rows first when it lies after one.
  const Row* at(int row) const {
    if (row < 0 || static_cast<size_t>(row) >= shown()) return nullptr;
    if (static_cast<size_t>(row) >= firstDeleted_) compact();
    return &rows_[row];
  }
  void compact() const {
    if (deleted_ == 0) return;
    rows_.erase(std::remove_if(rows_.begin() + firstDeleted_, rows_.end(),
                               [](const Row& row) { return row.record == nullptr; }),
                rows_.end());
    firstDeleted_ = kNone;
    deleted_ = 0;
  }
  // Rows added below the view change nothing in it but the scroll bar: they wait for the
  // count's next telling while the last one is recent. Rows that land in view are told and
  // drawn at once.
  void setCount() {
    compact();
    const int told = static_cast<int>(send(LVM_GETITEMCOUNT, 0, 0));
    if (told > 0 && static_cast<size_t>(told) < rows_.size() && endsBelowView(told - 1) &&
        GetTickCount64() - toldAt_ < kCountEveryMs) {
      if (!countTimer_)
        countTimer_ = SetTimer(list_, timerId(), kCountEveryMs, &OwnerDataRows::countTimerFired);
      if (countTimer_) return;
    }
    tellCount();
  }
  // The control learns the number of rows, and the part of the view from the first new row
  // down, if it shows, is drawn again; any other change draws all of it.
  void tellCount() {
    stopCountTimer();
    compact();
    const int before = static_cast<int>(send(LVM_GETITEMCOUNT, 0, 0));
    if (static_cast<size_t>(before) == rows_.size()) return;
    send(LVM_SETITEMCOUNT, rows_.size(), LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    toldAt_ = GetTickCount64();
    RECT client = {}, from = {};
    from.left = LVIR_BOUNDS;
    if (before <= 0 || static_cast<size_t>(before) > rows_.size() ||
        !GetClientRect(list_, &client) ||
        !send(LVM_GETITEMRECT, before, reinterpret_cast<LPARAM>(&from))) {
      InvalidateRect(list_, nullptr, FALSE);
      return;
    }
    if (from.top >= client.bottom) return;
    client.top = std::max(client.top, from.top);
    InvalidateRect(list_, &client, FALSE);
  }
  // The row ends at the view's bottom edge or below it: rows after it are out of view.
  bool endsBelowView(int row) const {
    RECT client = {}, bounds = {};
    bounds.left = LVIR_BOUNDS;
    return GetClientRect(list_, &client) &&
           send(LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&bounds)) &&
           bounds.bottom >= client.bottom;
  }
  UINT_PTR timerId() const { return reinterpret_cast<UINT_PTR>(this); }
  void stopCountTimer() {
    if (countTimer_ && list_) KillTimer(list_, timerId());
    countTimer_ = 0;
  }
  static void CALLBACK countTimerFired(HWND, UINT, UINT_PTR id, DWORD) {
    reinterpret_cast<OwnerDataRows*>(id)->tellCount();
  }
  void setState(int row, UINT state, UINT mask) {
    if (row < -1) return;
    LVITEMA item = {};
    item.stateMask = mask;
    item.state = state;
    send(LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  }
  // Only the changed cell is painted again (column 0: its icon and label, not the row).
  void invalidateCell(int row, int column) {
    RECT cell = {};
    cell.top = column;
    cell.left = column == 0 ? LVIR_LABEL : LVIR_BOUNDS;
    if (!send(LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&cell))) return;
    if (column == 0) {
      RECT icon = {};
      icon.left = LVIR_ICON;
      if (send(LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&icon)))
        cell.left = std::min(cell.left, icon.left);
    }
    InvalidateRect(list_, &cell, FALSE);
  }
  LRESULT send(UINT message, WPARAM w, LPARAM l) const {
    return SendMessageA(list_, message, w, l);
  }

  HWND list_;
  // Rows in display order; deleted rows (record null) wait at or after firstDeleted_.
  mutable std::vector<Row> rows_;
  mutable size_t firstDeleted_ = kNone;
  mutable size_t deleted_ = 0;
  bool batching_ = false;
  UINT_PTR countTimer_ = 0;
  ULONGLONG toldAt_ = 0;
  bool imagesDrawnByParent_ = false;
  mutable std::unordered_map<const Record*, int> index_;
  mutable bool indexStale_ = false;
};
