#pragma once
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/page_tree.h"

// A tree view in memory that behaves as the control does:
// - items go first or last among their siblings; handles are never reused;
// - an item opens only when its children flag is set and it has child items; opening by
//   program reports an expansion only the first time (TVIS_EXPANDEDONCE), opening by the
//   user always does;
// - an item is shown when every ancestor is open; only shown items have a top, which is
//   their row among the shown items (counted from the first row scrolled into view) times
//   the row height;
// - selecting another item reports the change (nothing for the item already selected) and
//   then opens the closed ancestors of the new selection;
// - closing an item that holds the selection moves the selection onto it without a report,
//   as comctl32 does under Wine;
// - deleting every item leaves nothing selected and reports nothing.
class FakeTreeControl {
 public:
  struct Item {
    TreeItem parent = kNoTreeItem;
    std::vector<TreeItem> children;
    const void* record = nullptr;
    int image = -1;
    bool hasChildren = false;
    std::string text;
    bool expanded = false;
    bool expandedOnce = false;
  };

  TreeItem insertItem(TreeItem parent, const void* record, int image, bool hasChildren,
                      const std::string& text, bool last);
  void update(TreeItem item, const TreeItemChange& change);
  const void* recordOf(TreeItem item) const;
  TreeItem parent(TreeItem item) const;
  bool isExpanded(TreeItem item) const;
  void expand(TreeItem item);
  void select(TreeItem item);
  TreeItem selectedItem() const { return selected_; }
  void clear();
  std::optional<int> itemTop(TreeItem item) const;

  // What the user does with the mouse. userExpand gives false when the item did not open.
  bool userExpand(TreeItem item);
  void userCollapse(TreeItem item);

  // Inspection.
  const Item* find(TreeItem item) const;
  const std::vector<TreeItem>& topLevel() const { return topLevel_; }
  const std::vector<TreeItem>& childrenOf(TreeItem item) const;
  std::vector<std::string> childTexts(TreeItem item) const;
  const std::string& textOf(TreeItem item) const;
  int imageOf(TreeItem item) const;
  bool isShown(TreeItem item) const;
  size_t itemCount() const { return items_.size(); }
  // Every item, one line each, indented by two spaces per level, with "+" after an item
  // whose children flag is set and "*" after the selected one.
  std::string outline() const;

  // What the control reports to its window.
  std::function<void(TreeItem)> onSelectionChanged;
  std::function<void(TreeItem)> onExpanded;
  std::function<void(TreeItem)> onCollapsed;

  int rowHeight = 16;
  int firstShownRow = 0;  // rows scrolled above the view
  TreeItem cursorItem = kNoTreeItem;
  int inserts = 0;
  int expands = 0;  // by the program, not userExpand
  int imageWrites = 0;
  int childrenWrites = 0;
  int textWrites = 0;
  // Questions asked of the control about where items stand (itemTop, isExpanded).
  mutable int64_t shapeQueries = 0;
  // Items looked up by handle for their record or parent: on the system each is a message
  // to the control.
  mutable int64_t lookUps = 0;

 private:
  Item* findItem(TreeItem item);
  bool isInside(TreeItem item, TreeItem ancestor) const;
  void numberShownRows() const;
  void outlineFrom(const std::vector<TreeItem>& items, int depth, std::string& out) const;

  // Item h at items_[h - firstHandle_]: handles count up and a clearing deletes them all, so
  // no item is ever moved, as a hash map would move them all at once when it outgrew its
  // buckets (a cost the control does not have, in a benchmark of 75,000 items).
  std::deque<Item> items_;
  std::uintptr_t firstHandle_ = 1;
  std::vector<TreeItem> topLevel_;
  TreeItem selected_ = kNoTreeItem;
  std::uintptr_t nextHandle_ = 1;
  // The row of every shown item, renumbered after any change of the tree's shape.
  mutable std::unordered_map<std::uintptr_t, int> shownRows_;
  mutable bool rowsStale_ = true;
};

template <class Record>
class FakePageTree final : public PageTree<Record>, public FakeTreeControl {
 public:
  TreeItem insert(TreeItem parent, Record* record, int image, bool hasChildren,
                  const std::string& text, bool last) override {
    return insertItem(parent, record, image, hasChildren, text, last);
  }
  void update(TreeItem item, const TreeItemChange& change) override {
    FakeTreeControl::update(item, change);
  }
  Record* itemRecord(TreeItem item) const override { return cast(recordOf(item)); }
  TreeItem parent(TreeItem item) const override { return FakeTreeControl::parent(item); }
  bool isExpanded(TreeItem item) const override { return FakeTreeControl::isExpanded(item); }
  void expand(TreeItem item) override { FakeTreeControl::expand(item); }
  void select(TreeItem item) override { FakeTreeControl::select(item); }
  TreeItem selectedItem() const override { return FakeTreeControl::selectedItem(); }
  Record* selectedRecord() const override { return cast(recordOf(selectedItem())); }
  Record* recordUnderCursor() const override { return cast(recordOf(cursorItem)); }
  void clear() override { FakeTreeControl::clear(); }
  std::optional<int> itemTop(TreeItem item) const override {
    return FakeTreeControl::itemTop(item);
  }

 private:
  static Record* cast(const void* record) {
    return static_cast<Record*>(const_cast<void*>(record));
  }
};
