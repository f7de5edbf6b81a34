#pragma once
#include <windows.h>
// After windows.h, which the other system headers need first.
#include <commctrl.h>

#include <cstring>
#include <optional>
#include <string>

#include "platform/page_tree.h"

// What a tree view reported to its parent window (WM_NOTIFY) that the Site Window hands
// on to its model: a new selection, or an item opened or closed.
struct TreeNotification {
  enum class Kind { kNone, kSelectionChanged, kExpanded, kCollapsed };
  Kind kind = Kind::kNone;
  TreeItem item = kNoTreeItem;
};

// The action bits of TVN_ITEMEXPANDED; MinGW's headers lack the name.
inline constexpr UINT kTreeExpandActionMask = 0x0003;

// Reads TVN_SELCHANGED and TVN_ITEMEXPANDED, in their ANSI and wide forms (the control
// sends the form its parent asked for); any other notification gives kNone.
inline TreeNotification readTreeNotification(const NMHDR& header) {
  TreeNotification read;
  // The two forms differ only in the text pointers of their items.
  const auto& tree = reinterpret_cast<const NMTREEVIEWA&>(header);
  switch (header.code) {
    case TVN_SELCHANGEDA:
    case TVN_SELCHANGEDW:
      read.kind = TreeNotification::Kind::kSelectionChanged;
      break;
    case TVN_ITEMEXPANDEDA:
    case TVN_ITEMEXPANDEDW:
      switch (tree.action & kTreeExpandActionMask) {
        case TVE_EXPAND:
          read.kind = TreeNotification::Kind::kExpanded;
          break;
        case TVE_COLLAPSE:
          read.kind = TreeNotification::Kind::kCollapsed;
          break;
        default:
          return read;
      }
      break;
    default:
      return read;
  }
  read.item = static_cast<TreeItem>(reinterpret_cast<std::uintptr_t>(tree.itemNew.hItem));
  return read;
}

// The PageTree port on a tree view control: each item's parameter points at its model
// record, and its image serves as the selected image too.
template <class Record>
class TreeViewPages final : public PageTree<Record> {
 public:
  explicit TreeViewPages(HWND tree = nullptr) : tree_(tree) {}
  void attach(HWND tree) { tree_ = tree; }
  HWND handle() const { return tree_; }

  TreeItem insert(TreeItem parent, Record* record, int image, bool hasChildren,
                  const std::string& text, bool last) override {
    TVINSERTSTRUCTA insert = {};
    insert.hParent = parent == kNoTreeItem ? TVI_ROOT : toHandle(parent);
    insert.hInsertAfter = last ? TVI_LAST : TVI_FIRST;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM | TVIF_CHILDREN;
    insert.item.pszText = const_cast<char*>(text.c_str());
    insert.item.iImage = image;
    insert.item.iSelectedImage = image;
    insert.item.cChildren = hasChildren ? 1 : 0;
    insert.item.lParam = reinterpret_cast<LPARAM>(record);
    return fromHandle(
        reinterpret_cast<HTREEITEM>(send(TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert))));
  }

  void update(TreeItem item, const TreeItemChange& change) override {
    if (item == kNoTreeItem) return;
    TVITEMA parts = {};
    parts.hItem = toHandle(item);
    if (change.hasChildren) {
      parts.mask |= TVIF_CHILDREN;
      parts.cChildren = *change.hasChildren ? 1 : 0;
    }
    if (change.image) {
      parts.mask |= TVIF_IMAGE | TVIF_SELECTEDIMAGE;
      parts.iImage = parts.iSelectedImage = *change.image;
    }
    if (change.text) {
      parts.mask |= TVIF_TEXT;
      parts.pszText = const_cast<char*>(change.text->c_str());
    }
    if (parts.mask == 0) return;
    parts.mask |= TVIF_HANDLE;
    send(TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&parts));
  }

  Record* itemRecord(TreeItem item) const override {
    if (item == kNoTreeItem) return nullptr;
    TVITEMA read = {};
    read.mask = TVIF_HANDLE | TVIF_PARAM;
    read.hItem = toHandle(item);
    if (!send(TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&read))) return nullptr;
    return reinterpret_cast<Record*>(read.lParam);
  }

  TreeItem parent(TreeItem item) const override {
    if (item == kNoTreeItem) return kNoTreeItem;
    return fromHandle(reinterpret_cast<HTREEITEM>(
        send(TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(toHandle(item)))));
  }

  bool isExpanded(TreeItem item) const override {
    if (item == kNoTreeItem) return false;
    return (send(TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(toHandle(item)), TVIS_EXPANDED) &
            TVIS_EXPANDED) != 0;
  }

  void expand(TreeItem item) override {
    if (item == kNoTreeItem) return;
    send(TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(toHandle(item)));
  }

  void select(TreeItem item) override {
    send(TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(toHandle(item)));
  }

  TreeItem selectedItem() const override {
    return fromHandle(reinterpret_cast<HTREEITEM>(send(TVM_GETNEXTITEM, TVGN_CARET, 0)));
  }

  Record* selectedRecord() const override { return itemRecord(selectedItem()); }

  Record* recordUnderCursor() const override {
    TVHITTESTINFO hit = {};
    if (!GetCursorPos(&hit.pt) || !ScreenToClient(tree_, &hit.pt)) return nullptr;
    return itemRecord(fromHandle(
        reinterpret_cast<HTREEITEM>(send(TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)))));
  }

  void clear() override { send(TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT)); }

  // The control gives no rectangle for an item inside a closed branch; one scrolled out
  // of the view has a rectangle outside the client area (a negative top above it).
  std::optional<int> itemTop(TreeItem item) const override {
    if (item == kNoTreeItem) return std::nullopt;
    RECT rect = {};
    // The message takes the item in the rectangle's place.
    const HTREEITEM handle = toHandle(item);
    std::memcpy(&rect, &handle, sizeof handle);
    if (!send(TVM_GETITEMRECT, FALSE, reinterpret_cast<LPARAM>(&rect))) return std::nullopt;
    return static_cast<int>(rect.top);
  }

 private:
  static HTREEITEM toHandle(TreeItem item) {
    return reinterpret_cast<HTREEITEM>(static_cast<std::uintptr_t>(item));
  }
  static TreeItem fromHandle(HTREEITEM handle) {
    return static_cast<TreeItem>(reinterpret_cast<std::uintptr_t>(handle));
  }
  LRESULT send(UINT message, WPARAM w, LPARAM l) const {
    return SendMessageA(tree_, message, w, l);
  }

  HWND tree_;
};
