#include "app/list_header.h"

#include <algorithm>

#include "platform/own_images.h"

void ListHeader::insertColumn(int format, int index, int image, const std::string& text,
                              int width) {
  LVCOLUMNA column = {};
  column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_IMAGE;
  column.fmt = format;
  column.cx = width;
  column.pszText = const_cast<char*>(text.c_str());
  column.iImage = image;
  SendMessageA(list_, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&column));
}

void ListHeader::createColumns(const std::vector<Column>& columns) {
  const int clear = imageIndex(OwnImage::kClear);
  insertColumn(0, 0, clear, "", 0);
  for (size_t i = 0; i < columns.size(); ++i)
    insertColumn(columns[i].format, static_cast<int>(i) + 1, clear, columns[i].text,
                 columns[i].width);
  SendMessageA(list_, LVM_DELETECOLUMN, 0, 0);
}

void ListHeader::setColumnImage(int column, int image) {
  LVCOLUMNA change = {};
  change.mask = LVCF_IMAGE;
  change.iImage = image;
  SendMessageA(list_, LVM_SETCOLUMNA, column, reinterpret_cast<LPARAM>(&change));
}

void ListHeader::markSortedColumn(int column) {
  SendMessageA(list_, LVM_SETSELECTEDCOLUMN, column, 0);
  InvalidateRect(list_, nullptr, TRUE);
}

bool ListHeader::prepareSort(int c) {
  const int clear = imageIndex(OwnImage::kClear);
  const bool again = c >= 0 && c == column_;
  direction_ = again ? -direction_ : 1;
  if (again) {
    setColumnImage(
        c, imageIndex(direction_ == 1 ? OwnImage::kColumnAscending : OwnImage::kColumnDescending));
  } else if (c >= 0) {
    if (column_ >= 0) setColumnImage(column_, clear);
    setColumnImage(c, imageIndex(OwnImage::kColumnAscending));
    markSortedColumn(c);
  } else {
    if (column_ >= 0) setColumnImage(column_, clear);
    markSortedColumn(-1);
  }
  if (c == -1) return false;
  column_ = c;
  return true;
}

int downloadAddressColumnWidth(int clientWidth, int scrollBarWidth) {
  return std::max(120, (clientWidth - 2 * scrollBarWidth - 484) / 2);
}

int siteAddressColumnWidth(int clientWidth, int scrollBarWidth) {
  return std::max(120, clientWidth - (clientWidth - 10) / 4 - 2 * scrollBarWidth - 490);
}

std::vector<ListHeader::Column> downloadColumns(int clientWidth, int scrollBarWidth) {
  const int address = downloadAddressColumnWidth(clientWidth, scrollBarWidth);
  return {{"Status", LVCFMT_BITMAP_ON_RIGHT, 130},
          {"Name", LVCFMT_BITMAP_ON_RIGHT, 120},
          {"Size", LVCFMT_RIGHT, 110},
          {"Type", LVCFMT_BITMAP_ON_RIGHT, 120},
          {"Address", LVCFMT_BITMAP_ON_RIGHT, address},
          {"Saved To", LVCFMT_BITMAP_ON_RIGHT, address}};
}

std::vector<ListHeader::Column> siteColumns(int clientWidth, int scrollBarWidth) {
  return {{"Name", LVCFMT_BITMAP_ON_RIGHT, 120},
          {"Type", LVCFMT_BITMAP_ON_RIGHT, 120},
          {"Kind", LVCFMT_BITMAP_ON_RIGHT, 120},
          {"On Page", LVCFMT_BITMAP_ON_RIGHT, 120},
          {"Address", LVCFMT_BITMAP_ON_RIGHT, siteAddressColumnWidth(clientWidth, scrollBarWidth)}};
}
