#include "fakes/fake_page_tree.h"

#include <algorithm>

namespace {
std::uintptr_t key(TreeItem item) {
  return static_cast<std::uintptr_t>(item);
}
const std::vector<TreeItem> kNoItems;
}  // namespace

const FakeTreeControl::Item* FakeTreeControl::find(TreeItem item) const {
  const std::uintptr_t handle = key(item);
  if (handle < firstHandle_ || handle - firstHandle_ >= items_.size()) return nullptr;
  return &items_[handle - firstHandle_];
}

FakeTreeControl::Item* FakeTreeControl::findItem(TreeItem item) {
  return const_cast<Item*>(find(item));
}

TreeItem FakeTreeControl::insertItem(TreeItem parent, const void* record, int image,
                                     bool hasChildren, const std::string& text, bool last) {
  std::vector<TreeItem>* siblings = &topLevel_;
  if (parent != kNoTreeItem) {
    Item* above = findItem(parent);
    if (!above) return kNoTreeItem;
    siblings = &above->children;
  }
  const TreeItem handle{nextHandle_++};
  Item item;
  item.parent = parent;
  item.record = record;
  item.image = image;
  item.hasChildren = hasChildren;
  item.text = text;
  items_.push_back(std::move(item));
  if (last)
    siblings->push_back(handle);
  else
    siblings->insert(siblings->begin(), handle);
  ++inserts;
  rowsStale_ = true;
  return handle;
}

void FakeTreeControl::update(TreeItem item, const TreeItemChange& change) {
  Item* found = findItem(item);
  if (!found) return;
  if (change.image) {
    found->image = *change.image;
    ++imageWrites;
  }
  if (change.hasChildren) {
    found->hasChildren = *change.hasChildren;
    ++childrenWrites;
  }
  if (change.text) {
    found->text = *change.text;
    ++textWrites;
  }
}

const void* FakeTreeControl::recordOf(TreeItem item) const {
  ++lookUps;
  const Item* found = find(item);
  return found ? found->record : nullptr;
}

TreeItem FakeTreeControl::parent(TreeItem item) const {
  ++lookUps;
  const Item* found = find(item);
  return found ? found->parent : kNoTreeItem;
}

bool FakeTreeControl::isExpanded(TreeItem item) const {
  ++shapeQueries;
  const Item* found = find(item);
  return found && found->expanded;
}

void FakeTreeControl::expand(TreeItem item) {
  Item* found = findItem(item);
  if (!found || found->expanded || !found->hasChildren || found->children.empty()) return;
  found->expanded = true;
  ++expands;
  rowsStale_ = true;
  if (found->expandedOnce) return;
  found->expandedOnce = true;
  if (onExpanded) onExpanded(item);
}

bool FakeTreeControl::userExpand(TreeItem item) {
  Item* found = findItem(item);
  if (!found || found->expanded || !found->hasChildren || found->children.empty()) return false;
  found->expanded = true;
  found->expandedOnce = true;
  rowsStale_ = true;
  if (onExpanded) onExpanded(item);
  return true;
}

bool FakeTreeControl::isInside(TreeItem item, TreeItem ancestor) const {
  for (TreeItem up = parent(item); up != kNoTreeItem; up = parent(up))
    if (up == ancestor) return true;
  return false;
}

void FakeTreeControl::userCollapse(TreeItem item) {
  Item* found = findItem(item);
  if (!found || !found->expanded) return;
  found->expanded = false;
  rowsStale_ = true;
  if (selected_ != kNoTreeItem && isInside(selected_, item)) selected_ = item;
  if (onCollapsed) onCollapsed(item);
}

void FakeTreeControl::select(TreeItem item) {
  if (item != kNoTreeItem && !find(item)) return;
  if (item == selected_) return;
  selected_ = item;
  if (onSelectionChanged) onSelectionChanged(item);
  // Then the new selection is brought into view, opening what hides it, outermost first.
  std::vector<TreeItem> closed;
  for (TreeItem up = parent(item); up != kNoTreeItem; up = parent(up))
    if (!isExpanded(up)) closed.push_back(up);
  for (auto up = closed.rbegin(); up != closed.rend(); ++up) expand(*up);
}

void FakeTreeControl::clear() {
  items_.clear();
  firstHandle_ = nextHandle_;
  topLevel_.clear();
  selected_ = kNoTreeItem;
  cursorItem = kNoTreeItem;
  rowsStale_ = true;
}

void FakeTreeControl::numberShownRows() const {
  if (!rowsStale_) return;
  shownRows_.clear();
  int row = 0;
  // Depth first, in display order, descending only into open items.
  std::vector<TreeItem> pending(topLevel_.rbegin(), topLevel_.rend());
  while (!pending.empty()) {
    TreeItem item = pending.back();
    pending.pop_back();
    shownRows_[key(item)] = row++;
    const Item* found = find(item);
    if (found->expanded)
      pending.insert(pending.end(), found->children.rbegin(), found->children.rend());
  }
  rowsStale_ = false;
}

bool FakeTreeControl::isShown(TreeItem item) const {
  numberShownRows();
  return shownRows_.count(key(item)) != 0;
}

std::optional<int> FakeTreeControl::itemTop(TreeItem item) const {
  ++shapeQueries;
  numberShownRows();
  auto found = shownRows_.find(key(item));
  if (found == shownRows_.end()) return std::nullopt;
  return (found->second - firstShownRow) * rowHeight;
}

const std::vector<TreeItem>& FakeTreeControl::childrenOf(TreeItem item) const {
  if (item == kNoTreeItem) return topLevel_;
  const Item* found = find(item);
  return found ? found->children : kNoItems;
}

std::vector<std::string> FakeTreeControl::childTexts(TreeItem item) const {
  std::vector<std::string> texts;
  for (TreeItem child : childrenOf(item)) texts.push_back(textOf(child));
  return texts;
}

const std::string& FakeTreeControl::textOf(TreeItem item) const {
  static const std::string kNone;
  const Item* found = find(item);
  return found ? found->text : kNone;
}

int FakeTreeControl::imageOf(TreeItem item) const {
  const Item* found = find(item);
  return found ? found->image : -1;
}

void FakeTreeControl::outlineFrom(const std::vector<TreeItem>& items, int depth,
                                  std::string& out) const {
  for (TreeItem item : items) {
    const Item* found = find(item);
    out.append(static_cast<size_t>(depth) * 2, ' ');
    out += found->text;
    if (found->hasChildren) out += " +";
    if (item == selected_) out += " *";
    out += "\n";
    outlineFrom(found->children, depth + 1, out);
  }
}

std::string FakeTreeControl::outline() const {
  std::string out;
  outlineFrom(topLevel_, 0, out);
  return out;
}
