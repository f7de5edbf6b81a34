#include "site/site_tree.h"

#include <algorithm>

#include "platform/own_images.h"
#include "platform/product.h"
#include "site/page_label.h"

std::string SiteTree::pageLabel(const SitePage& page) const {
  return ::pageLabel(page, text_);
}

void SiteTree::showTitleOf(const std::string& label) {
  std::string title = label + " - " + std::string(product::kName);
  if (frame_.title() != title) frame_.setTitle(title);
}

// Climbs from the parent while the page climbed from stands directly under its own parent;
// a page that stands in its parent's "links" folder, or the tree's root, is the site root.
SitePage& SiteTree::siteRootAbove(SitePage& parent) const {
  SitePage* at = &parent;
  while (at->parent) {
    if (at->parent->linksItem != kNoTreeItem && tree_.parent(at->treeItem) == at->parent->linksItem)
      break;
    at = at->parent;
  }
  return *at;
}

void SiteTree::insertIntoTree(SitePage& page, SitePage* parent) {
  TreeItem under = kNoTreeItem;
  if (!parent) {
    root_ = &page;
  } else {
    page.parent = parent;
    page.nextSibling = parent->firstChild;
    parent->firstChild = &page;
    const UrlParts& site = siteRootAbove(*parent).address;
    const UrlParts& here = page.address;
    const bool onSite = here.scheme == site.scheme && here.host == site.host &&
                        text_.startsWithText(here.folder, site.folder);
    if (onSite) {
      under = parent->treeItem;
    } else {
      if (parent->linksItem == kNoTreeItem)
        parent->linksItem = tree_.insert(parent->treeItem, parent, imageIndex(OwnImage::kTreeDot),
                                         true, "links", true);
      under = parent->linksItem;
    }
  }
  // Under a parent whose item the control refused, the page keeps its place in the model
  // but gets no item (it would land at the top level).
  if (parent && under == kNoTreeItem) return;
  page.shownHasChildren = page.firstChild != nullptr;
  page.shownIcon = pageImage(page);
  page.shownLabel = pageLabel(page);
  page.treeItem =
      tree_.insert(under, &page, page.shownIcon, page.shownHasChildren, page.shownLabel, false);
  // An item put under an open one is shown at once; under a closed one it waits for the
  // opening, which counts as a change itself.
  if (!parent || tree_.isExpanded(under)) orderChanged();
  if (&page == root_) showTitleOf(page.shownLabel);
}

// In the tree's shape, even when the control refused its item: placing it again would
// link it into a second child list.
bool SiteTree::isPlaced(const SitePage& page) const {
  return page.treeItem != kNoTreeItem || page.parent || &page == root_;
}

void SiteTree::addChildPages(SitePage& page) {
  if (page.treeItem == kNoTreeItem) return;
  // Once a document's links went through here, every page they lead to is in this tree:
  // the other pages of the same document have nothing left to place, however many.
  SitePage& document = documentOf(page);
  // A page whose links are still being added shows its children once they all are.
  if (isFetching(document)) return;
  if (document.linksPlaced != treeGeneration_) {
    // Links are newest first and each child goes first, so the children end up in the
    // order the links were found.
    for (SiteLink* link = document.links; link; link = link->next)
      if (link->kind == LinkKind::Page && !isPlaced(*link->target))
        insertIntoTree(*link->target, &page);
    // A page has its links once it was read: a page without any (not read yet) may have
    // them later.
    if (document.links) document.linksPlaced = treeGeneration_;
  }
  if (page.firstChild) refreshTreeItem(page);
}

void SiteTree::refreshTreeItem(SitePage& page) {
  if (page.treeItem == kNoTreeItem) return;
  const bool hasChildren = page.firstChild != nullptr;
  const int image = pageImage(page);
  std::string label = pageLabel(page);
  TreeItemChange change;
  if (hasChildren != page.shownHasChildren) change.hasChildren = hasChildren;
  if (image != page.shownIcon) change.image = image;
  if (label != page.shownLabel) change.text = label;
  if (!change.hasChildren && !change.image && !change.text) return;
  if (&page == root_ && change.text) showTitleOf(label);
  tree_.update(page.treeItem, change);
  page.shownHasChildren = hasChildren;
  page.shownIcon = image;
  page.shownLabel = std::move(label);
}

void SiteTree::clearTree() {
  tree_.clear();
  orderChanged();
  ++treeGeneration_;
  // Every page that was placed hangs below the root through the child lists.
  std::vector<SitePage*> pending;
  if (root_) pending.push_back(root_);
  while (!pending.empty()) {
    SitePage* page = pending.back();
    pending.pop_back();
    for (SitePage* child = page->firstChild; child; child = child->nextSibling)
      pending.push_back(child);
    page->parent = page->firstChild = page->nextSibling = nullptr;
    page->treeItem = page->linksItem = kNoTreeItem;
  }
  root_ = nullptr;
}

int SiteTree::pageDepth(const SitePage& page) {
  if (page.treeItem == kNoTreeItem) return -1;
  int depth = 0;
  for (const SitePage* up = page.parent; up; up = up->parent) ++depth;
  return depth;
}

std::optional<int> SiteTree::itemTop(const SitePage& page) const {
  if (page.treeItem == kNoTreeItem) return std::nullopt;
  return tree_.itemTop(page.treeItem);
}

// Level by level from the root. A page that is not shown hides everything below it, so
// the walk does not go down there.
const SiteTree::Order& SiteTree::crawlOrder() const {
  if (orderTakenAt_ == orderVersion_) return order_;
  orderTakenAt_ = orderVersion_;
  ++ordersTaken_;
  Order& order = order_;
  order.clear();
  std::optional<int> rootTop = root_ ? itemTop(*root_) : std::nullopt;
  if (!rootTop) return order;
  struct Shown {
    int top;
    Place place;
  };
  std::vector<Shown> level{{*rootTop, {root_, 0}}};
  while (!level.empty()) {
    std::sort(level.begin(), level.end(),
              [](const Shown& a, const Shown& b) { return a.top < b.top; });
    std::vector<Shown> below;
    for (const Shown& shown : level) {
      SitePage& page = *shown.place.page;
      page.inOrder = orderTakenAt_;
      page.orderAt = order.size();
      order.push_back(shown.place);
      for (SitePage* child = page.firstChild; child; child = child->nextSibling)
        if (std::optional<int> top = itemTop(*child))
          below.push_back({*top, {child, shown.place.depth + 1}});
    }
    level = std::move(below);
  }
  return order;
}

void SiteTree::pageOpened(SitePage& page) {
  if (!appendShownChildren(page)) orderChanged();
}

bool SiteTree::appendShownChildren(SitePage& page) {
  if (orderTakenAt_ != orderVersion_ || !inTakenOrder(page) || !tree_.isExpanded(page.treeItem))
    return false;
  // The children go at the end when nothing deeper than the page is shown yet, or only
  // children of pages above it at its depth.
  const int depth = order_[page.orderAt].depth;
  const Place& last = order_.back();
  if (last.depth != depth &&
      !(last.depth == depth + 1 && last.page->parent->orderAt < page.orderAt))
    return false;
  // The child list holds the children in the order of their items (each was put first);
  // the "links" folder is made last, so its children come after the others.
  const bool linksShown = page.linksItem != kNoTreeItem && tree_.isExpanded(page.linksItem);
  std::vector<SitePage*> direct, linked;
  for (SitePage* child = page.firstChild; child; child = child->nextSibling) {
    if (child->treeItem == kNoTreeItem) continue;
    // An open child shows its own children as well, a level further down.
    if (child->firstChild && tree_.isExpanded(child->treeItem)) return false;
    if (page.linksItem == kNoTreeItem || tree_.parent(child->treeItem) != page.linksItem)
      direct.push_back(child);
    else if (linksShown)
      linked.push_back(child);
  }
  for (const std::vector<SitePage*>* pages : {&direct, &linked})
    for (SitePage* child : *pages) {
      child->inOrder = orderTakenAt_;
      child->orderAt = order_.size();
      order_.push_back({child, depth + 1});
    }
  return true;
}

SitePage* SiteTree::walkNext(const SitePage* page) const {
  const Order& order = crawlOrder();
  // A shown page is followed by the next place of the order, which is further down at its
  // depth or else the first a level deeper.
  auto at = std::find_if(order.begin(), order.end(),
                         [&](const Place& place) { return place.page == page; });
  if (page && at != order.end()) return ++at == order.end() ? nullptr : at->page;
  // Any other page (or the start, depth 0) goes on at the first page of its depth, else
  // at the first one a level deeper.
  const int depth = page ? pageDepth(*page) : 0;
  for (int d : {depth, depth + 1})
    for (const Place& place : order)
      if (place.depth == d) return place.page;
  return nullptr;
}
