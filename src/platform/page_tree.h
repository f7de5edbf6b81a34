#pragma once
#include <cstdint>
#include <optional>
#include <string>

// An item of the tree view as the control names it (an HTREEITEM): an opaque value that
// stays valid until the item is deleted. kNoTreeItem is none, and also the top level as a
// parent.
enum class TreeItem : std::uintptr_t {};
inline constexpr TreeItem kNoTreeItem{};

// The parts of an item to set; those left empty keep what the item shows.
struct TreeItemChange {
  std::optional<int> image;         // the image, selected or not, in the shared image list
  std::optional<bool> hasChildren;  // whether the item shows the button that opens it
  std::optional<std::string> text;
};

// The tree view of a Site Window, as the model sees it. Each item carries a pointer to its
// model record. The control tells the window about selection changes and about items the
// user (or a first expand) opened or closed; the window hands those on to the model.
template <class Record>
class PageTree {
 public:
  virtual ~PageTree() = default;

  // Adds an item under `parent` (kNoTreeItem: at the top level), before its siblings or,
  // with `last`, after them. Gives the new item; kNoTreeItem on failure.
  virtual TreeItem insert(TreeItem parent, Record* record, int image, bool hasChildren,
                          const std::string& text, bool last) = 0;
  virtual void update(TreeItem item, const TreeItemChange& change) = 0;
  // The item's record; nullptr for none or an item that does not exist.
  virtual Record* itemRecord(TreeItem item) const = 0;
  // The item's parent item; kNoTreeItem for a top-level item.
  virtual TreeItem parent(TreeItem item) const = 0;
  virtual bool isExpanded(TreeItem item) const = 0;
  // Opens the item, as TVM_EXPAND does: nothing for an item without children; the control
  // reports the first opening of an item (and only that one) as an expansion.
  virtual void expand(TreeItem item) = 0;
  // Makes the item the selected one; the control reports the change when it is one.
  virtual void select(TreeItem item) = 0;
  virtual TreeItem selectedItem() const = 0;
  // The record of the selected item; nullptr when nothing is selected.
  virtual Record* selectedRecord() const = 0;
  // The record of the item under the mouse cursor; nullptr when there is none.
  virtual Record* recordUnderCursor() const = 0;
  // Deletes every item.
  virtual void clear() = 0;
  // The top of the item's row in the control's client pixels: larger further down, and
  // negative for rows scrolled above the view. Nothing when the item is not shown because
  // some ancestor is closed (or the item does not exist).
  virtual std::optional<int> itemTop(TreeItem item) const = 0;
};
