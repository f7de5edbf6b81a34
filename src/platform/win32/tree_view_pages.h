#pragma once
#include <windows.h>
// After windows.h, which the other system headers need first.
#include <commctrl.h>

#include <cstring>
#include <deque>
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

// The PageTree port on a tree view control. Each item's text, image (selected or not) and
// children flag are the adapter's own, handed to the control when it asks (TVN_GETDISPINFO):
// under Wine, setting any of them on an item (TVM_SETITEM) re-lays out the whole tree, 9 ms
// in a plain tree and over 30 under load, while a change here redraws the item's row if it
// is in view. The control measures a label again each time it draws the item, so the
// selection, the tooltip and the horizontal scroll range follow a label that changed once
// the item is drawn. The item's parameter points at the adapter's copy, which holds the
// model record.
template <class Record>
class TreeViewPages final : public PageTree<Record> {
 public:
  explicit TreeViewPages(HWND tree = nullptr) : tree_(tree) {}
  void attach(HWND tree) { tree_ = tree; }
  HWND handle() const { return tree_; }

  TreeItem insert(TreeItem parent, Record* record, int image, bool hasChildren,
                  const std::string& text, bool last) override {
    // The control may ask for the text while it inserts, to measure it.
    Shown& shown = items_.emplace_back(Shown{record, text, image, hasChildren});
    TVINSERTSTRUCTA insert = {};
    insert.hParent = parent == kNoTreeItem ? TVI_ROOT : toHandle(parent);
    insert.hInsertAfter = last ? TVI_LAST : TVI_FIRST;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM | TVIF_CHILDREN;
    insert.item.pszText = LPSTR_TEXTCALLBACKA;
    insert.item.iImage = I_IMAGECALLBACK;
    insert.item.iSelectedImage = I_IMAGECALLBACK;
    insert.item.cChildren = I_CHILDRENCALLBACK;
    insert.item.lParam = reinterpret_cast<LPARAM>(&shown);
    const TreeItem added = fromHandle(
        reinterpret_cast<HTREEITEM>(send(TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert))));
    if (added == kNoTreeItem) items_.pop_back();
    return added;
  }

  void update(TreeItem item, const TreeItemChange& change) override {
    Shown* shown = shownOf(item);
    if (!shown) return;
    bool changed = false;
    if (change.hasChildren && *change.hasChildren != shown->hasChildren) {
      shown->hasChildren = *change.hasChildren;
      changed = true;
    }
    if (change.image && *change.image != shown->image) {
      shown->image = *change.image;
      changed = true;
    }
    if (change.text && *change.text != shown->text) {
      shown->text = *change.text;
      changed = true;
    }
    if (changed) redraw(item);
  }

  // The control asks for what an item shows (TVN_GETDISPINFOA): answered from the
  // adapter's copy. False, and nothing written, for any other notification.
  bool answerDisplayInfo(NMHDR& header) const {
    if (header.code != TVN_GETDISPINFOA) return false;
    TVITEMA& item = reinterpret_cast<NMTVDISPINFOA&>(header).item;
    const auto* shown = reinterpret_cast<const Shown*>(item.lParam);
    if (!shown) return true;
    // The control copies the text at once, so it may read it from here.
    if (item.mask & TVIF_TEXT) item.pszText = const_cast<char*>(shown->text.c_str());
    if (item.mask & TVIF_IMAGE) item.iImage = shown->image;
    if (item.mask & TVIF_SELECTEDIMAGE) item.iSelectedImage = shown->image;
    if (item.mask & TVIF_CHILDREN) item.cChildren = shown->hasChildren ? 1 : 0;
    return true;
  }

  Record* itemRecord(TreeItem item) const override {
    const Shown* shown = shownOf(item);
    return shown ? shown->record : nullptr;
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

  void clear() override {
    send(TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    items_.clear();
  }

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
  // What an item shows, and its record.
  struct Shown {
    Record* record;
    std::string text;
    int image;
    bool hasChildren;
  };

  Shown* shownOf(TreeItem item) const {
    if (item == kNoTreeItem) return nullptr;
    TVITEMA read = {};
    read.mask = TVIF_HANDLE | TVIF_PARAM;
    read.hItem = toHandle(item);
    if (!send(TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&read))) return nullptr;
    return reinterpret_cast<Shown*>(read.lParam);
  }
  // The item's whole row, button and lines included, when it is in view; the control
  // asks for what the item shows as it paints the row again.
  void redraw(TreeItem item) const {
    RECT row = {};
    const HTREEITEM handle = toHandle(item);
    std::memcpy(&row, &handle, sizeof handle);
    if (!send(TVM_GETITEMRECT, FALSE, reinterpret_cast<LPARAM>(&row))) return;
    RECT client = {}, shown = {};
    GetClientRect(tree_, &client);
    if (IntersectRect(&shown, &row, &client)) InvalidateRect(tree_, &shown, TRUE);
  }

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
  // Every item's copy, until clear(); a deque keeps each where the control's parameter
  // points as more are added.
  std::deque<Shown> items_;
};
