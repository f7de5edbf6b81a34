// The RowList port on a real list view.
#include "platform/win32/list_view_rows.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "row_batches.h"

#include <string>
#include <vector>

namespace {

struct Thing {
  int key;
};

// A report-style list view with six columns in a hidden window, and a count of the cell
// writes it receives.
class ListViewRowsTest : public testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX init = {sizeof init, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&init);
    parent_ = CreateWindowExA(0, "STATIC", "", WS_OVERLAPPEDWINDOW, 0, 0, 600, 400, nullptr,
                              nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(parent_, nullptr);
    list_ = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | LVS_REPORT, 0, 0, 600, 400, parent_,
                            nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(list_, nullptr);
    for (int c = 0; c < 6; ++c) {
      LVCOLUMNA column = {};
      column.mask = LVCF_TEXT | LVCF_WIDTH;
      column.cx = 80;
      column.pszText = const_cast<char*>("c");
      SendMessageA(list_, LVM_INSERTCOLUMNA, c, reinterpret_cast<LPARAM>(&column));
    }
    SetWindowLongPtrA(list_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    original_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(list_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&counting)));
    rows_.attach(list_);
  }

  void TearDown() override { DestroyWindow(parent_); }

  static LRESULT CALLBACK counting(HWND window, UINT message, WPARAM w, LPARAM l) {
    auto* self = reinterpret_cast<ListViewRowsTest*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == LVM_SETITEMA) ++self->cellWrites_;
    return CallWindowProcA(self->original_, window, message, w, l);
  }

  RowCells cells(std::vector<std::string> texts, int image0 = -1, int image1 = -1) {
    RowCells c;
    c.texts = std::move(texts);
    c.image0 = image0;
    c.image1 = image1;
    return c;
  }

  HWND parent_ = nullptr;
  HWND list_ = nullptr;
  WNDPROC original_ = nullptr;
  int cellWrites_ = 0;
  ListViewRows<Thing> rows_;
  Thing a_{1}, b_{2}, c_{3};
};

TEST_F(ListViewRowsTest, AppendsRowsThatCarryTheirRecords) {
  rows_.appendRow(cells({"s", "name", "1 KB", "type", "http://a/", "C:\\x"}), 6, &a_);
  rows_.appendRow(cells({"t", "other"}), 2, &b_);
  EXPECT_EQ(rows_.rowCount(), 2);
  EXPECT_EQ(rows_.rowRecord(0), &a_);
  EXPECT_EQ(rows_.rowRecord(1), &b_);
  EXPECT_EQ(rows_.rowRecord(2), nullptr);
  EXPECT_EQ(rows_.findRow(&b_), 1);
  EXPECT_EQ(rows_.findRow(&c_), -1);
  EXPECT_EQ(rows_.cellText(0, 4), "http://a/");
  EXPECT_EQ(rows_.cellText(1, 1), "other");
  EXPECT_EQ(rows_.cellText(1, 4), "");
}

TEST_F(ListViewRowsTest, RewritesOnlyTheCellsThatChanged) {
  rows_.appendRow(cells({"Getting", "a.zip", "1 KB", "ZIP", "http://a/a.zip", ""}), 6, &a_);
  cellWrites_ = 0;
  rows_.rewriteRow(&a_, cells({"Getting", "a.zip", "2 KB", "ZIP", "http://a/a.zip", ""}));
  EXPECT_EQ(cellWrites_, 1);
  EXPECT_EQ(rows_.cellText(0, 2), "2 KB");
  cellWrites_ = 0;
  rows_.rewriteRow(&a_, cells({"Getting", "a.zip", "2 KB", "ZIP", "http://a/a.zip", ""}));
  EXPECT_EQ(cellWrites_, 0);
  // A long text is read back whole, so it is not rewritten again and again.
  std::string longText(1000, 'x');
  rows_.rewriteRow(&a_, cells({"Getting", "a.zip", "2 KB", "ZIP", longText, ""}));
  EXPECT_EQ(rows_.cellText(0, 4), longText);
  cellWrites_ = 0;
  rows_.rewriteRow(&a_, cells({"Getting", "a.zip", "2 KB", "ZIP", longText, ""}));
  EXPECT_EQ(cellWrites_, 0);
}

TEST_F(ListViewRowsTest, SelectsDeletesAndSorts) {
  rows_.appendRow(cells({"3"}), 1, &c_);
  rows_.appendRow(cells({"1"}), 1, &a_);
  rows_.appendRow(cells({"2"}), 1, &b_);
  EXPECT_EQ(rows_.selectedCount(), 0);
  rows_.selectAll();
  EXPECT_EQ(rows_.selectedCount(), 3);
  EXPECT_TRUE(rows_.isSelected(2));

  rows_.sortRows([](const Thing* x, const Thing* y) { return x->key - y->key; });
  EXPECT_EQ(rows_.rowRecord(0), &a_);
  EXPECT_EQ(rows_.rowRecord(1), &b_);
  EXPECT_EQ(rows_.rowRecord(2), &c_);
  rows_.sortRows([](const Thing* x, const Thing* y) { return y->key - x->key; });
  EXPECT_EQ(rows_.rowRecord(0), &c_);

  rows_.deleteRow(0);
  EXPECT_EQ(rows_.rowCount(), 2);
  EXPECT_EQ(rows_.findRow(&c_), -1);
  rows_.deleteAllRows();
  EXPECT_EQ(rows_.rowCount(), 0);
}

TEST_F(ListViewRowsTest, AddsManyRowsInOneBatch) {
  std::vector<Thing> things(500);
  rows_.beginBatch(500);
  for (int i = 0; i < 500; ++i) {
    things[i].key = i;
    rows_.appendRow(cells({std::to_string(i), "n"}), 2, &things[i]);
  }
  rows_.endBatch(500);
  EXPECT_EQ(rows_.rowCount(), 500);
  EXPECT_EQ(rows_.rowRecord(499), &things[499]);
  rows_.showLastRow();
}

// Only what the batch changed in view is drawn again, and what waited to be drawn before
// it still is.
TEST_F(ListViewRowsTest, ABatchBelowTheViewLeavesTheRowsInViewAsTheyWere) {
  ShowWindow(parent_, SW_SHOWNOACTIVATE);
  ShowWindow(list_, SW_SHOWNOACTIVATE);
  std::vector<Thing> things(200);
  auto batch = [&](int from, int n) { appendBatch(rows_, things, from, n); };
  // The first rows land in view: all of it is drawn.
  batch(0, 100);
  EXPECT_TRUE(drawingWaits(list_));
  UpdateWindow(list_);
  ASSERT_FALSE(drawingWaits(list_));

  batch(100, 50);
  EXPECT_FALSE(drawingWaits(list_));
  RECT before = {3, 40, 30, 60};
  InvalidateRect(list_, &before, TRUE);
  batch(150, 50);
  const RECT after = waitingToBeDrawn(list_);
  EXPECT_TRUE(EqualRect(&after, &before));

  // Scrolled to the end, the next rows land in view.
  UpdateWindow(list_);
  rows_.showLastRow();
  UpdateWindow(list_);
  rows_.beginBatch(2);
  rows_.appendRow(cells({"r", "n"}), 2, &a_);
  rows_.appendRow(cells({"r", "n"}), 2, &b_);
  rows_.endBatch(2);
  EXPECT_TRUE(drawingWaits(list_));
}

}  // namespace
