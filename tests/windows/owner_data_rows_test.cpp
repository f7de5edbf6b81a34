// The RowList port on a real list view that asks for its rows.
#include "platform/win32/owner_data_rows.h"

#include <windows.h>
// After windows.h, which the other system headers need first.
#include <commctrl.h>

#include <gtest/gtest.h>

#include "row_batches.h"

#include <string>
#include <vector>

namespace {

struct Thing {
  int key;
};

// A shown report-style list view with six columns, asking its parent for its rows.
class OwnerDataRowsTest : public testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX init = {sizeof init, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&init);
    WNDCLASSA parentClass = {};
    parentClass.lpfnWndProc = &parentProcedure;
    parentClass.hInstance = GetModuleHandleA(nullptr);
    parentClass.lpszClassName = "OwnerDataRowsTest";
    RegisterClassA(&parentClass);  // already there for the second test
    parent_ = CreateWindowExA(0, "OwnerDataRowsTest", "", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                              600, 400, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(parent_, nullptr);
    SetWindowLongPtrA(parent_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    list_ = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_OWNERDATA,
                            0, 0, 560, 300, parent_, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(list_, nullptr);
    SendMessageA(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_SUBITEMIMAGES, LVS_EX_SUBITEMIMAGES);
    for (int c = 0; c < 6; ++c) {
      LVCOLUMNA column = {};
      column.mask = LVCF_TEXT | LVCF_WIDTH;
      column.cx = 80;
      column.pszText = const_cast<char*>("c");
      SendMessageA(list_, LVM_INSERTCOLUMNA, c, reinterpret_cast<LPARAM>(&column));
    }
    rows_.attach(list_);
  }

  void TearDown() override { DestroyWindow(parent_); }

  static LRESULT CALLBACK parentProcedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    auto* self = reinterpret_cast<OwnerDataRowsTest*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    LRESULT answer = 0;
    if (self && message == WM_NOTIFY &&
        self->rows_.answerNotification(*reinterpret_cast<NMHDR*>(l), answer))
      return answer;
    return DefWindowProcA(window, message, w, l);
  }

  static RowCells cells(std::vector<std::string> texts, int image0 = -1, int image1 = -1) {
    RowCells c;
    c.texts = std::move(texts);
    c.image0 = image0;
    c.image1 = image1;
    return c;
  }

  // What the control itself shows in a cell, asked of it as another program would.
  std::string shownText(int row, int column) {
    char buffer[300] = {};
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = sizeof buffer;
    SendMessageA(list_, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    return buffer;
  }
  int shownImage(int row, int column) {
    LVITEMA item = {};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    item.iSubItem = column;
    SendMessageA(list_, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    return item.iImage;
  }
  int controlCount() { return static_cast<int>(SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0)); }
  void select(int row) {
    LVITEMA item = {};
    item.stateMask = LVIS_SELECTED;
    item.state = LVIS_SELECTED;
    SendMessageA(list_, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
  }
  RECT cell(int row, int column) {
    RECT r = {};
    r.top = column;
    r.left = LVIR_BOUNDS;
    SendMessageA(list_, LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&r));
    return r;
  }
  // Handles the thread's messages (timers among them) until the control holds `count` rows.
  bool countReaches(int count) {
    const ULONGLONG end = GetTickCount64() + 60000;
    while (controlCount() != count) {
      if (GetTickCount64() >= end) return false;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
      MSG message;
      while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    }
    return true;
  }
  // Paints whatever waits, so that the list's update region is empty.
  void paintAll() {
    UpdateWindow(parent_);
    RedrawWindow(list_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    ValidateRect(list_, nullptr);
  }

  HWND parent_ = nullptr;
  HWND list_ = nullptr;
  OwnerDataRows<Thing> rows_;
  Thing a_{1}, b_{2}, c_{3}, d_{4};
};

TEST_F(OwnerDataRowsTest, AppendsRowsThatCarryTheirRecordsAndAnswersTheControl) {
  rows_.appendRow(cells({"s", "name", "1 KB", "type", "http://a/", "C:\\x"}, 3, 7), 6, &a_);
  rows_.beginBatch(2);
  rows_.appendRow(cells({"t", "other", "", "", "", ""}, 4, 8), 2, &b_);
  rows_.appendRow(cells({"u"}, 5, 9), 1, &c_);
  rows_.endBatch(2);
  EXPECT_EQ(rows_.rowCount(), 3);
  EXPECT_EQ(controlCount(), 3);
  EXPECT_EQ(rows_.rowRecord(1), &b_);
  EXPECT_EQ(rows_.rowRecord(3), nullptr);
  EXPECT_EQ(rows_.findRow(&c_), 2);
  EXPECT_EQ(rows_.findRow(&d_), -1);
  EXPECT_EQ(rows_.cellText(0, 4), "http://a/");
  EXPECT_EQ(rows_.cellText(1, 4), "");
  EXPECT_EQ(shownText(0, 5), "C:\\x");
  EXPECT_EQ(shownText(1, 1), "other");
  EXPECT_EQ(shownText(1, 2), "");
  EXPECT_EQ(shownImage(0, 0), 3);
  EXPECT_EQ(shownImage(0, 1), 7);
  // A row of one column has no image in the second.
  EXPECT_EQ(shownImage(2, 1), -1);
}

TEST_F(OwnerDataRowsTest, RewritesAndRepaintsOnlyTheCellsThatChanged) {
  rows_.appendRow(cells({"Getting", "a.zip", "1 KB", "ZIP", "http://a/a.zip", ""}, 1, 2), 6, &a_);
  rows_.appendRow(cells({"Queued", "b.zip", "", "ZIP", "http://a/b.zip", ""}), 6, &b_);
  paintAll();
  rows_.rewriteRow(&a_, cells({"Getting", "a.zip", "1 KB", "ZIP", "http://a/a.zip", ""}, 5, 6));
  RECT dirty = {};
  EXPECT_FALSE(GetUpdateRect(list_, &dirty, FALSE));
  // Unchanged texts keep their images.
  EXPECT_EQ(shownImage(0, 0), 1);

  rows_.rewriteRow(&a_, cells({"Getting", "a.zip", "2 KB", "ZIP", "http://a/a.zip", ""}));
  EXPECT_EQ(shownText(0, 2), "2 KB");
  ASSERT_TRUE(GetUpdateRect(list_, &dirty, FALSE));
  RECT size = cell(0, 2), outside = {};
  EXPECT_FALSE(SubtractRect(&outside, &dirty, &size)) << "beyond the Size cell";
  paintAll();

  rows_.rewriteRow(&b_, cells({"Done", "b.zip", "3 KB", "ZIP", "http://a/b.zip", "C:\\b.zip"}, 4));
  EXPECT_EQ(shownText(1, 0), "Done");
  EXPECT_EQ(shownImage(1, 0), 4);
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  GetUpdateRgn(list_, region, FALSE);
  for (int column : {0, 2, 5}) {
    RECT r = cell(1, column);
    if (column == 0) r.right = cell(1, 1).left;
    EXPECT_TRUE(RectInRegion(region, &r)) << column;
  }
  for (int column : {1, 3, 4}) {
    RECT r = cell(1, column);
    InflateRect(&r, -1, -1);
    EXPECT_FALSE(RectInRegion(region, &r)) << column;
  }
  RECT above = cell(0, 2);
  InflateRect(&above, -1, -1);
  EXPECT_FALSE(RectInRegion(region, &above));
  DeleteObject(region);
}

TEST_F(OwnerDataRowsTest, SelectionFollowsItsRecordsThroughSortsAndDeletes) {
  for (Thing* thing : {&c_, &a_, &d_, &b_})
    rows_.appendRow(cells({std::to_string(thing->key)}), 1, thing);
  select(0);  // c
  select(1);  // a, the selection mark
  SendMessageA(list_, LVM_SETSELECTIONMARK, 0, 1);
  rows_.sortRows([](const Thing* x, const Thing* y) { return x->key - y->key; });
  EXPECT_EQ(rows_.rowRecord(0), &a_);
  EXPECT_EQ(rows_.rowRecord(3), &d_);
  EXPECT_EQ(shownText(1, 0), "2");
  EXPECT_EQ(rows_.nextSelected(-1), 0);
  EXPECT_EQ(rows_.nextSelected(0), 2);
  EXPECT_EQ(rows_.nextSelected(2), -1);
  EXPECT_EQ(rows_.selectionMarkRecord(), &a_);

  // As the commands delete: from the last selected row to the first.
  rows_.deleteRow(2);
  rows_.deleteRow(0);
  EXPECT_EQ(rows_.rowCount(), 2);
  EXPECT_EQ(controlCount(), 2);
  EXPECT_EQ(rows_.selectedCount(), 0);
  EXPECT_EQ(rows_.rowRecord(0), &b_);
  EXPECT_EQ(rows_.rowRecord(1), &d_);
  EXPECT_EQ(rows_.findRow(&d_), 1);
  EXPECT_EQ(rows_.findRow(&a_), -1);
  EXPECT_EQ(shownText(1, 0), "4");

  rows_.appendRow(cells({"9"}), 1, &a_);
  EXPECT_EQ(rows_.findRow(&a_), 2);
  rows_.selectAll();
  EXPECT_EQ(rows_.selectedCount(), 3);
  rows_.deleteAllRows();
  EXPECT_EQ(rows_.rowCount(), 0);
  EXPECT_EQ(controlCount(), 0);
}

// As typing in the list looks for a row; the control asks with wide texts or narrow ones.
TEST_F(OwnerDataRowsTest, FindsTheFirstRowFromTheStartWhoseFirstTextBeginsWithTheOneAskedFor) {
  for (Thing* thing : {&a_, &b_, &c_, &d_}) {
    const char* status = thing == &b_ ? "Queued" : thing == &d_ ? "Failed" : "Done";
    rows_.appendRow(cells({status}), 1, thing);
  }
  struct Case {
    int start;
    const wchar_t* text;
    UINT flags;
    int row;
  } cases[] = {
      {-1, L"q", LVFI_PARTIAL | LVFI_WRAP, 1}, {1, L"do", LVFI_PARTIAL | LVFI_WRAP, 2},
      {3, L"do", LVFI_PARTIAL | LVFI_WRAP, 0}, {3, L"do", LVFI_PARTIAL, -1},
      {0, L"done", LVFI_STRING, 0},            {0, L"Don", LVFI_STRING, -1},
      {0, L"x", LVFI_PARTIAL | LVFI_WRAP, -1},
  };
  for (const Case& c : cases) {
    NMLVFINDITEMW wide = {};
    wide.hdr.code = static_cast<UINT>(LVN_ODFINDITEMW);
    wide.iStart = c.start;
    wide.lvfi.flags = c.flags;
    wide.lvfi.psz = c.text;
    EXPECT_EQ(rows_.findText(wide.hdr), c.row) << c.start;
    char narrowText[16] = {};
    WideCharToMultiByte(CP_ACP, 0, c.text, -1, narrowText, sizeof narrowText, nullptr, nullptr);
    NMLVFINDITEMA narrow = {};
    narrow.hdr.code = static_cast<UINT>(LVN_ODFINDITEMA);
    narrow.iStart = c.start;
    narrow.lvfi.flags = c.flags;
    narrow.lvfi.psz = narrowText;
    EXPECT_EQ(rows_.findText(narrow.hdr), c.row) << c.start << " " << narrowText;
  }
}

// Rows added below the view leave the rows in view undrawn; rows that land in view, or the
// first rows of an empty list, are drawn.
TEST_F(OwnerDataRowsTest, RowsAddedBelowTheViewDrawNothingInIt) {
  std::vector<Thing> things(203);
  auto batch = [&](int from, int n) { appendBatch(rows_, things, from, n); };
  batch(0, 100);
  EXPECT_TRUE(drawingWaits(list_));
  paintAll();

  batch(100, 50);
  rows_.appendRow(cells({"r", "n"}), 2, &things[150]);
  EXPECT_FALSE(drawingWaits(list_));

  // Scrolled to the end, the next rows land in view: the view is drawn from the first.
  rows_.showLastRow();
  paintAll();
  const RECT last = cell(150, 0);
  batch(151, 2);
  const RECT drawn = waitingToBeDrawn(list_);
  EXPECT_GE(drawn.top, last.top);
  EXPECT_LT(drawn.top, last.bottom + 1);
  EXPECT_GT(drawn.bottom, drawn.top);
}

// Rows that keep coming below the view reach the control once no more come, and a command
// on every row takes those not told yet as well.
TEST_F(OwnerDataRowsTest, RowsComingBelowTheViewReachTheControl) {
  std::vector<Thing> things(400);
  for (int i = 0; i < 300; ++i) rows_.appendRow(cells({"r"}), 1, &things[i]);
  EXPECT_EQ(rows_.rowCount(), 300);
  EXPECT_TRUE(countReaches(300));
  for (int i = 300; i < 400; ++i) rows_.appendRow(cells({"r"}), 1, &things[i]);
  rows_.selectAll();
  EXPECT_EQ(controlCount(), 400);
  EXPECT_EQ(rows_.selectedCount(), 400);
}

}  // namespace
