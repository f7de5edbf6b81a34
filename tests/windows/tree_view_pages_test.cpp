// The PageTree port on a real tree view, and what the control reports to its window.
#include "platform/win32/tree_view_pages.h"

#include <windows.h>
// After windows.h, which the other system headers need first.
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Node {
  int key;
};

using Kind = TreeNotification::Kind;

// A tree view with buttons and lines in a hidden window that records what the control
// reports, and that answers the control's questions about what an item shows through the
// adapter, as the Site Window does.
class TreeViewPagesTest : public testing::Test {
 protected:
  static constexpr char kParentClass[] = "HaulixTreeViewTestParent";

  void SetUp() override {
    INITCOMMONCONTROLSEX init = {sizeof init, ICC_TREEVIEW_CLASSES};
    InitCommonControlsEx(&init);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = &parentProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kParentClass;
    RegisterClassA(&windowClass);  // fails harmlessly when an earlier test registered it
    parent_ = CreateWindowExA(0, kParentClass, "", WS_OVERLAPPEDWINDOW, 0, 0, 320, 240, nullptr,
                              nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(parent_, nullptr);
    SetWindowLongPtrA(parent_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    tree_ = CreateWindowExA(0, WC_TREEVIEWA, "",
                            WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT,
                            0, 0, 300, 160, parent_, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(tree_, nullptr);
    pages_.attach(tree_);
  }

  void TearDown() override { DestroyWindow(parent_); }

  static LRESULT CALLBACK parentProc(HWND window, UINT message, WPARAM w, LPARAM l) {
    auto* self = reinterpret_cast<TreeViewPagesTest*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self && message == WM_NOTIFY) {
      auto& header = *reinterpret_cast<NMHDR*>(l);
      if (self->pages_.answerDisplayInfo(header)) {
        self->asked_.push_back(static_cast<TreeItem>(reinterpret_cast<std::uintptr_t>(
            reinterpret_cast<const NMTVDISPINFOA&>(header).item.hItem)));
        return 0;
      }
      const TreeNotification read = readTreeNotification(header);
      if (read.kind != Kind::kNone) self->reports_.push_back(read);
    }
    return DefWindowProcA(window, message, w, l);
  }

  // What the control shows for the item: it asks the adapter, as it does to draw it.
  struct Shown {
    std::string text;
    int image = -1;
    int selectedImage = -1;
    int children = -1;
  };
  Shown shown(TreeItem item) {
    char text[256] = {};
    TVITEMA read = {};
    read.mask = TVIF_HANDLE | TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_CHILDREN;
    read.hItem = reinterpret_cast<HTREEITEM>(static_cast<std::uintptr_t>(item));
    read.pszText = text;
    read.cchTextMax = sizeof text;
    if (!SendMessageA(tree_, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&read))) return {};
    return {text, read.iImage, read.iSelectedImage, read.cChildren};
  }
  std::vector<std::string> childTexts(TreeItem parent) {
    std::vector<std::string> texts;
    auto next = [&](UINT how, TreeItem from) {
      return static_cast<TreeItem>(static_cast<std::uintptr_t>(
          SendMessageA(tree_, TVM_GETNEXTITEM, how,
                       reinterpret_cast<LPARAM>(
                           reinterpret_cast<HTREEITEM>(static_cast<std::uintptr_t>(from))))));
    };
    for (TreeItem child = next(TVGN_CHILD, parent); child != kNoTreeItem;
         child = next(TVGN_NEXT, child))
      texts.push_back(shown(child).text);
    return texts;
  }
  // Presses a key in the tree, as the user does.
  void press(UINT key) {
    SendMessageA(tree_, WM_KEYDOWN, key, 0);
    SendMessageA(tree_, WM_KEYUP, key, 0);
  }
  TreeItem add(TreeItem parent, Node& node, bool last = true, bool children = false) {
    return pages_.insert(parent, &node, node.key, children, "n" + std::to_string(node.key), last);
  }

  HWND parent_ = nullptr;
  HWND tree_ = nullptr;
  TreeViewPages<Node> pages_;
  std::vector<TreeNotification> reports_;
  // The items the control asked about, in order.
  std::vector<TreeItem> asked_;
  Node a_{1}, b_{2}, c_{3}, d_{4};
};

TEST_F(TreeViewPagesTest, ItemsGoFirstOrLastWithTheirImageChildrenFlagTextAndRecord) {
  const TreeItem root = pages_.insert(kNoTreeItem, &a_, 7, true, "Caf\xC3\xA9 - Haulix", false);
  ASSERT_NE(root, kNoTreeItem);
  const TreeItem links = pages_.insert(root, &a_, 3, true, "links", true);
  const TreeItem first = pages_.insert(root, &b_, 4, false, "b", false);
  const TreeItem before = pages_.insert(root, &c_, 5, false, "c", false);
  EXPECT_EQ(childTexts(kNoTreeItem), (std::vector<std::string>{"Caf\xC3\xA9 - Haulix"}));
  EXPECT_EQ(childTexts(root), (std::vector<std::string>{"c", "b", "links"}));
  const Shown item = shown(root);
  EXPECT_EQ(item.image, 7);
  EXPECT_EQ(item.selectedImage, 7);
  EXPECT_EQ(item.children, 1);
  EXPECT_EQ(shown(first).children, 0);
  EXPECT_EQ(pages_.itemRecord(root), &a_);
  EXPECT_EQ(pages_.itemRecord(links), &a_);
  EXPECT_EQ(pages_.itemRecord(before), &c_);
  EXPECT_EQ(pages_.itemRecord(kNoTreeItem), nullptr);
  EXPECT_EQ(pages_.parent(before), root);
  EXPECT_EQ(pages_.parent(root), kNoTreeItem);
}

TEST_F(TreeViewPagesTest, AnUpdateSetsOnlyThePartsGiven) {
  const TreeItem item = pages_.insert(kNoTreeItem, &a_, 1, false, "old", false);
  TreeItemChange image;
  image.image = 9;
  pages_.update(item, image);
  EXPECT_EQ(shown(item).text, "old");
  EXPECT_EQ(shown(item).image, 9);
  EXPECT_EQ(shown(item).selectedImage, 9);
  EXPECT_EQ(shown(item).children, 0);
  TreeItemChange rest;
  rest.hasChildren = true;
  rest.text = "new";
  pages_.update(item, rest);
  EXPECT_EQ(shown(item).text, "new");
  EXPECT_EQ(shown(item).image, 9);
  EXPECT_EQ(shown(item).children, 1);
  pages_.update(item, TreeItemChange{});
  pages_.update(kNoTreeItem, image);
  EXPECT_EQ(shown(item).text, "new");
}

TEST_F(TreeViewPagesTest, AChangeRedrawsTheItemInViewWhichTheControlThenAsksAbout) {
  ShowWindow(parent_, SW_SHOWNOACTIVATE);
  const TreeItem root = add(kNoTreeItem, a_, true, true);
  const TreeItem child = add(root, b_);
  const TreeItem hidden = add(child, c_);
  pages_.expand(root);
  UpdateWindow(tree_);
  auto drawingWaits = [&] { return GetUpdateRect(tree_, nullptr, FALSE) != FALSE; };
  TreeItemChange image;
  image.image = 9;
  pages_.update(hidden, image);  // its parent is closed: nothing to draw
  EXPECT_FALSE(drawingWaits());
  pages_.update(child, image);
  EXPECT_TRUE(drawingWaits());
  asked_.clear();
  UpdateWindow(tree_);
  EXPECT_NE(std::find(asked_.begin(), asked_.end(), child), asked_.end());
  EXPECT_EQ(shown(child).image, 9);
  EXPECT_EQ(shown(hidden).image, 9);

  // The same value again leaves the row alone.
  pages_.update(child, image);
  EXPECT_FALSE(drawingWaits());
}

// The selection and the horizontal scroll range follow the label's width.
TEST_F(TreeViewPagesTest, ALabelThatChangedIsMeasuredAgainWhenDrawn) {
  ShowWindow(parent_, SW_SHOWNOACTIVATE);
  const TreeItem item = add(kNoTreeItem, a_);
  UpdateWindow(tree_);
  auto textWidth = [&] {
    RECT rect = {};
    const auto handle = reinterpret_cast<HTREEITEM>(static_cast<std::uintptr_t>(item));
    std::memcpy(&rect, &handle, sizeof handle);
    return SendMessageA(tree_, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&rect))
               ? rect.right - rect.left
               : -1;
  };
  const LONG narrow = textWidth();
  ASSERT_GT(narrow, 0);
  TreeItemChange longer;
  longer.text = std::string(80, 'W');
  pages_.update(item, longer);
  UpdateWindow(tree_);
  EXPECT_GT(textWidth(), narrow * 10);
  TreeItemChange shorter;
  shorter.text = "n1";
  pages_.update(item, shorter);
  UpdateWindow(tree_);
  EXPECT_EQ(textWidth(), narrow);
}

TEST_F(TreeViewPagesTest, OpeningReportsTheFirstTimeOnlyAndTheUsersClosingIsReported) {
  const TreeItem root = add(kNoTreeItem, a_, true, true);
  add(root, b_);
  const TreeItem leaf = add(root, c_);
  EXPECT_FALSE(pages_.isExpanded(root));
  pages_.expand(root);
  EXPECT_TRUE(pages_.isExpanded(root));
  ASSERT_EQ(reports_.size(), 1u);
  EXPECT_EQ(reports_[0].kind, Kind::kExpanded);
  EXPECT_EQ(reports_[0].item, root);

  // The user closes it with the keyboard, and opens it again.
  pages_.select(root);
  reports_.clear();
  press(VK_LEFT);
  EXPECT_FALSE(pages_.isExpanded(root));
  ASSERT_EQ(reports_.size(), 1u);
  EXPECT_EQ(reports_[0].kind, Kind::kCollapsed);
  EXPECT_EQ(reports_[0].item, root);
  press(VK_RIGHT);
  EXPECT_TRUE(pages_.isExpanded(root));
  ASSERT_EQ(reports_.size(), 2u);
  EXPECT_EQ(reports_[1].kind, Kind::kExpanded);

  // Opened by the program once more, it says nothing; an item without children stays shut.
  press(VK_LEFT);
  reports_.clear();
  pages_.expand(root);
  EXPECT_TRUE(pages_.isExpanded(root));
  EXPECT_TRUE(reports_.empty());
  pages_.expand(leaf);
  EXPECT_FALSE(pages_.isExpanded(leaf));
  EXPECT_FALSE(pages_.isExpanded(kNoTreeItem));
}

TEST_F(TreeViewPagesTest, OnlyShownItemsHaveATopAndItKeepsCountingOutsideTheView) {
  const TreeItem root = add(kNoTreeItem, a_, true, true);
  std::vector<TreeItem> children;
  std::vector<Node> nodes(30, Node{0});
  for (Node& node : nodes) children.push_back(add(root, node, true, true));
  const TreeItem grandchild = add(children[0], b_);
  ASSERT_TRUE(pages_.itemTop(root).has_value());
  EXPECT_EQ(*pages_.itemTop(root), 0);
  EXPECT_EQ(pages_.itemTop(children[0]), std::nullopt);
  EXPECT_EQ(pages_.itemTop(kNoTreeItem), std::nullopt);

  pages_.expand(root);
  const int height = *pages_.itemTop(children[0]);
  EXPECT_GT(height, 0);
  for (size_t i = 1; i < children.size(); ++i)
    EXPECT_EQ(pages_.itemTop(children[i]), static_cast<int>(i + 1) * height) << i;
  EXPECT_EQ(pages_.itemTop(grandchild), std::nullopt);  // its parent is closed
  RECT client = {};
  GetClientRect(tree_, &client);
  EXPECT_GT(*pages_.itemTop(children.back()), client.bottom);

  // Scrolled to the end, the rows above the view have negative tops.
  SendMessageA(tree_, TVM_ENSUREVISIBLE, 0,
               reinterpret_cast<LPARAM>(
                   reinterpret_cast<HTREEITEM>(static_cast<std::uintptr_t>(children.back()))));
  EXPECT_LT(*pages_.itemTop(root), 0);
  EXPECT_LT(*pages_.itemTop(children.back()), client.bottom);
  EXPECT_LT(*pages_.itemTop(children[0]), *pages_.itemTop(children[1]));

  // Closing a branch takes its items out of view.
  pages_.expand(children[0]);
  EXPECT_TRUE(pages_.itemTop(grandchild).has_value());
  SendMessageA(
      tree_, TVM_EXPAND, TVE_COLLAPSE,
      reinterpret_cast<LPARAM>(reinterpret_cast<HTREEITEM>(static_cast<std::uintptr_t>(root))));
  EXPECT_EQ(pages_.itemTop(children[5]), std::nullopt);
  EXPECT_EQ(pages_.itemTop(grandchild), std::nullopt);
}

TEST_F(TreeViewPagesTest, SelectingReportsTheChangeAndOpensWhatHidesTheItem) {
  const TreeItem root = add(kNoTreeItem, a_, true, true);
  const TreeItem child = add(root, b_);
  EXPECT_EQ(pages_.selectedItem(), kNoTreeItem);
  EXPECT_EQ(pages_.selectedRecord(), nullptr);
  pages_.select(root);
  ASSERT_EQ(reports_.size(), 1u);
  EXPECT_EQ(reports_[0].kind, Kind::kSelectionChanged);
  EXPECT_EQ(reports_[0].item, root);
  pages_.select(root);
  EXPECT_EQ(reports_.size(), 1u);

  pages_.select(child);
  EXPECT_EQ(pages_.selectedItem(), child);
  EXPECT_EQ(pages_.selectedRecord(), &b_);
  EXPECT_TRUE(pages_.isExpanded(root));
  // Both are reported; the control decides their order (Wine opens the parent first).
  ASSERT_EQ(reports_.size(), 3u);
  const bool openedFirst = reports_[1].kind == Kind::kExpanded;
  const TreeNotification& selected = reports_[openedFirst ? 2 : 1];
  const TreeNotification& opened = reports_[openedFirst ? 1 : 2];
  EXPECT_EQ(selected.kind, Kind::kSelectionChanged);
  EXPECT_EQ(selected.item, child);
  EXPECT_EQ(opened.kind, Kind::kExpanded);
  EXPECT_EQ(opened.item, root);
}

TEST_F(TreeViewPagesTest, ClearingLeavesNoItemAndNoSelection) {
  const TreeItem root = add(kNoTreeItem, a_, true, true);
  add(root, b_);
  add(kNoTreeItem, c_);
  pages_.select(root);
  pages_.clear();
  EXPECT_EQ(SendMessageA(tree_, TVM_GETCOUNT, 0, 0), 0);
  EXPECT_EQ(pages_.selectedItem(), kNoTreeItem);
  EXPECT_EQ(pages_.selectedRecord(), nullptr);
  EXPECT_NE(add(kNoTreeItem, d_), kNoTreeItem);
}

TEST_F(TreeViewPagesTest, TheRecordUnderTheCursorIsThatOfTheItemThere) {
  ShowWindow(parent_, SW_SHOWNOACTIVATE);
  const TreeItem root = add(kNoTreeItem, a_, true, true);
  const TreeItem child = add(root, b_);
  pages_.expand(root);
  RECT rect = {};
  const auto handle = reinterpret_cast<HTREEITEM>(static_cast<std::uintptr_t>(child));
  std::memcpy(&rect, &handle, sizeof handle);
  ASSERT_TRUE(SendMessageA(tree_, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&rect)));
  POINT point = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
  ClientToScreen(tree_, &point);
  ASSERT_TRUE(SetCursorPos(point.x, point.y));
  EXPECT_EQ(pages_.recordUnderCursor(), &b_);
  point = {10, 150};  // below the last row
  ClientToScreen(tree_, &point);
  ASSERT_TRUE(SetCursorPos(point.x, point.y));
  EXPECT_EQ(pages_.recordUnderCursor(), nullptr);
}

TEST(TreeNotificationTest, OtherNotificationsAreNone) {
  NMTREEVIEWA other = {};
  other.hdr.code = NM_CLICK;
  other.itemNew.hItem = reinterpret_cast<HTREEITEM>(0x1234);
  EXPECT_EQ(readTreeNotification(other.hdr).kind, Kind::kNone);
  other.hdr.code = TVN_ITEMEXPANDEDW;
  other.action = TVE_EXPAND;
  EXPECT_EQ(readTreeNotification(other.hdr).kind, Kind::kExpanded);
  EXPECT_EQ(readTreeNotification(other.hdr).item, static_cast<TreeItem>(0x1234));
  other.action = TVE_TOGGLE;
  EXPECT_EQ(readTreeNotification(other.hdr).kind, Kind::kNone);
}

}  // namespace
