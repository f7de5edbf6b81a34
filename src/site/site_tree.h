#pragma once
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/page_tree.h"
#include "platform/site_frame.h"
#include "site/site_page.h"
#include "url/byte_text.h"

// The Site Tree as the model shapes it: where pages go, how their items look, and the
// order in which the crawl reads them.
//
// A page stands in the tree at most once, under the first page whose reading revealed it.
// Pages on the site root's host and under its folder go directly under their parent;
// others go into the parent's "links" folder, and a page in a "links" folder is the site
// root of what lies below it.
class SiteTree {
 public:
  SiteTree(PageTree<SitePage>& tree, SiteFrame& frame, const ByteText& text)
      : tree_(tree), frame_(frame), text_(text) {}

  // Without a parent the page becomes the root, at the top level. The page must not be
  // in the tree yet.
  void insertIntoTree(SitePage& page, SitePage* parent);
  // For a page in the tree: its links of kind Page whose targets are not in the tree yet
  // become its children, in the order the links were found.
  void addChildPages(SitePage& page);
  // Brings the page's item up to date, touching only what changed.
  void refreshTreeItem(SitePage& page);
  // Deletes every item and forgets the tree's shape in every page that was in it.
  void clearTree();

  SitePage* rootPage() const { return root_; }
  PageTree<SitePage>& control() const { return tree_; }
  std::string pageLabel(const SitePage& page) const;

  // The crawl order: the pages shown in the tree (every ancestor open), level by level
  // from the root, each level top to bottom. Depth counts pages, not items: a "links"
  // folder adds none. Taking it asks the control for the top of every shown item, so it
  // is kept and taken again only after the shown shape changed (see orderChanged);
  // scrolling moves every top alike and leaves the order as it is.
  struct Place {
    SitePage* page;
    int depth;
  };
  // A deque: it grows at its end by a level's children at a time, and a vector of a large
  // site's places would copy them all, megabytes, in the pass that outgrew it.
  using Order = std::deque<Place>;
  const Order& crawlOrder() const;
  // Moves whenever the order may have changed; an order taken at one count holds while
  // the count stays. Places added at the end (see pageOpened) keep the count.
  uint64_t orderVersion() const { return orderVersion_; }
  // Items were opened or closed (by the user or the program), or the selection moved.
  // Items put under an open item and a cleared tree count by themselves.
  void orderChanged() { ++orderVersion_; }
  // The program opened the page's item. Opening the shown pages of a level top to bottom,
  // as Expand does, shows children that all belong at the end of the order: they are
  // added there and the order keeps its version, so what was found in it still holds.
  // Any other opening changes the order.
  void pageOpened(SitePage& page);
  // The page is in the crawl order as last taken, at no cost: the order must be the one
  // of the current version for that to say whether the page is shown now.
  bool inTakenOrder(const SitePage& page) const {
    return orderTakenAt_ != 0 && page.inOrder == orderTakenAt_;
  }
  uint64_t orderTakenAt() const { return orderTakenAt_; }
  // How often the order was taken, for those who watch the cost of a crawl.
  uint64_t ordersTaken() const { return ordersTaken_; }
  // The number of pages above the page in the tree; -1 for a page outside it.
  static int pageDepth(const SitePage& page);
  // The top of the page's item; nothing for a page outside the tree or not shown.
  std::optional<int> itemTop(const SitePage& page) const;
  // The page after `page` in crawl order (the first one for nullptr); nullptr at the end.
  SitePage* walkNext(const SitePage* page) const;

 private:
  SitePage& siteRootAbove(SitePage& parent) const;
  bool appendShownChildren(SitePage& page);
  bool isPlaced(const SitePage& page) const;
  void showTitleOf(const std::string& label);

  PageTree<SitePage>& tree_;
  SiteFrame& frame_;
  const ByteText& text_;
  SitePage* root_ = nullptr;
  uint64_t orderVersion_ = 1;
  // Counts clearings: a page's links placed in one tree are not placed in the next.
  uint32_t treeGeneration_ = 1;
  mutable Order order_;
  mutable uint64_t orderTakenAt_ = 0;
  mutable uint64_t ordersTaken_ = 0;
};
