// The fake tree must answer as the tree control does, or the site model's tests prove
// nothing about the program.
#include "fakes/fake_page_tree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Record {
  std::string name;
};

class FakePageTreeTest : public testing::Test {
 protected:
  FakePageTreeTest() {
    tree.onSelectionChanged = [this](TreeItem item) { reports.push_back("select " + name(item)); };
    tree.onExpanded = [this](TreeItem item) { reports.push_back("expand " + name(item)); };
    tree.onCollapsed = [this](TreeItem item) { reports.push_back("collapse " + name(item)); };
    root = tree.insert(kNoTreeItem, &a, 1, true, "a", false);
    child = tree.insert(root, &b, 2, true, "b", false);
    grandchild = tree.insert(child, &c, 3, false, "c", false);
  }
  std::string name(TreeItem item) {
    Record* record = tree.itemRecord(item);
    return record ? record->name : "none";
  }

  Record a{"a"}, b{"b"}, c{"c"};
  FakePageTree<Record> tree;
  TreeItem root, child, grandchild;
  std::vector<std::string> reports;
};

TEST_F(FakePageTreeTest, ItemsGoFirstOrLastAmongTheirSiblings) {
  Record d{"d"}, e{"e"};
  tree.insert(root, &d, 0, false, "d", false);
  tree.insert(root, &e, 0, false, "e", true);
  EXPECT_EQ(tree.childTexts(root), (std::vector<std::string>{"d", "b", "e"}));
  EXPECT_EQ(tree.parent(child), root);
  EXPECT_EQ(tree.parent(root), kNoTreeItem);
  EXPECT_EQ(tree.insert(TreeItem{999}, &d, 0, false, "x", false), kNoTreeItem);
}

TEST_F(FakePageTreeTest, OnlyItemsWithChildrenOpenAndOnlyTheFirstOpeningIsReported) {
  tree.expand(grandchild);  // no children
  EXPECT_FALSE(tree.isExpanded(grandchild));
  Record d{"d"};
  TreeItem flagless = tree.insert(grandchild, &d, 0, false, "d", false);
  tree.expand(grandchild);  // children, but no button
  EXPECT_FALSE(tree.isExpanded(grandchild));
  TreeItemChange withButton;
  withButton.hasChildren = true;
  tree.update(grandchild, withButton);
  tree.expand(grandchild);
  EXPECT_TRUE(tree.isExpanded(grandchild));
  tree.expand(root);
  tree.userCollapse(root);
  tree.expand(root);  // opened once before: no report
  EXPECT_TRUE(tree.isExpanded(root));
  tree.userCollapse(root);
  EXPECT_TRUE(tree.userExpand(root));  // the user's opening is always reported
  EXPECT_EQ(reports, (std::vector<std::string>{"expand c", "expand a", "collapse a", "collapse a",
                                               "expand a"}));
  EXPECT_TRUE(tree.isShown(child));
  EXPECT_FALSE(tree.isShown(flagless));  // b is closed
}

TEST_F(FakePageTreeTest, OnlyShownItemsHaveATop) {
  EXPECT_EQ(tree.itemTop(root), 0);
  EXPECT_EQ(tree.itemTop(child), std::nullopt);
  tree.userExpand(root);
  tree.userExpand(child);
  EXPECT_EQ(tree.itemTop(grandchild), 32);
  tree.firstShownRow = 1;
  EXPECT_EQ(tree.itemTop(root), -16);
  tree.userCollapse(child);
  EXPECT_EQ(tree.itemTop(grandchild), std::nullopt);
  EXPECT_EQ(tree.itemTop(TreeItem{999}), std::nullopt);
}

TEST_F(FakePageTreeTest, SelectingReportsTheChangeThenOpensWhatHidesTheItem) {
  tree.select(grandchild);
  tree.select(grandchild);
  EXPECT_EQ(reports, (std::vector<std::string>{"select c", "expand a", "expand b"}));
  EXPECT_EQ(tree.selectedRecord(), &c);
  // Closing a branch around the selection moves it onto the closed item, unreported.
  tree.userCollapse(root);
  EXPECT_EQ(tree.selectedItem(), root);
  EXPECT_EQ(reports.back(), "collapse a");
}

TEST_F(FakePageTreeTest, ClearingLeavesNoItemsAndNoSelection) {
  tree.select(root);
  tree.cursorItem = child;
  EXPECT_EQ(tree.recordUnderCursor(), &b);
  tree.clear();
  EXPECT_EQ(tree.itemCount(), 0u);
  EXPECT_EQ(tree.selectedRecord(), nullptr);
  EXPECT_EQ(tree.recordUnderCursor(), nullptr);
  EXPECT_EQ(tree.itemRecord(root), nullptr);
  EXPECT_EQ(reports, (std::vector<std::string>{"select a"}));
}

}  // namespace
