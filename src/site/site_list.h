#pragma once
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "platform/row_list.h"
#include "site/page_registry.h"
#include "site/site_tree.h"

// Which addresses the Site List shows, and its rows. The list shows the links of the page
// selected in the tree (for the root: of every page in crawl order), each address once,
// attributed to the first page that links to it; the selected page itself comes with them.
// Rows are only ever added, or all removed together.
class SiteList {
 public:
  SiteList(RowList<SitePage>& rows, SiteTree& tree, const PageRegistry& registry)
      : rows_(rows), tree_(tree), registry_(registry), text_(registry.text()) {}

  // With `clear`, first every row and every mark go. Then the selected page and its links
  // (the root: the links of every page in crawl order) are marked for a row.
  void refillList(bool clear);
  // refillList without clear after the page was read. When the list shows the whole site
  // and the crawl order is the one walked last, only that page and the places added to
  // the order since can have links without a mark, so only theirs are looked at, not every
  // page of the site.
  void pageRead(SitePage& page);
  // refillList without clear after places were added at the end of the crawl order: when
  // the list shows the whole site and the order is the one walked last, only they are
  // looked at.
  void orderGrew();
  // Marks the target for a row, listed on `onPage` through `link` (none for the selected
  // page itself); nothing when it is marked already.
  void markListed(SitePage& target, SitePage& onPage, SiteLink* link);
  // Removes every row and every mark.
  void clearMarks();
  // Adds a row for every page waiting for one, in address order. True when the list then
  // wants its default order (it held at most one row before).
  bool addWaitingRows();
  // Some page may wait for a row.
  bool rowsWaiting() const { return !waiting_.empty(); }
  // The five cells of a page's row: name, Type, Kind, On Page, address; the image of
  // column 0.
  RowCells rowCells(const SitePage& page) const;
  // The address of every selected row, in row order, each followed by CR LF.
  void sendSelectedToQueue(std::string& outgoing) const;

  RowList<SitePage>& rows() const { return rows_; }
  // The pages the list's refills and row adding looked at so far (pages whose links were
  // looked at, links marked, pages walked for rows), for those who watch what a pass
  // costs: a refill that walks the site shows here.
  uint64_t pagesLookedAt() const { return pagesLookedAt_; }

  // The registry is walked for the waiting rows, rather than the rows sorted, only when it
  // holds at most this many pages a row: a sort costs about log2(rows) comparisons a row,
  // most without the locale's call, and a walk of 64 pages a row cost a pass 32,000 steps
  // for a page's 500 links.
  static constexpr size_t kWalkOverSort = 4;

 private:
  void markLinksOf(SitePage& page);
  // Marks the links of the places added to the crawl order since the last walk.
  void markAddedPlaces();

  RowList<SitePage>& rows_;
  SiteTree& tree_;
  const PageRegistry& registry_;
  const ByteText& text_;
  // Pages marked since the list was last cleared (a deque: the whole site's pages, never
  // copied at once as they grow), and those of them still without a row.
  std::deque<SitePage*> marked_;
  std::vector<SitePage*> waiting_;
  // Counts clearings, so that each page knows whether its marked links are still marked.
  uint64_t generation_ = 1;
  // The crawl order walked last for the whole site, in this generation (0 for none), and
  // how far.
  uint64_t walkedOrder_ = 0;
  size_t walkedUpTo_ = 0;
  uint64_t pagesLookedAt_ = 0;
};

// The Site List's row order for a sort column (0 Name, 1 Type, 2 Kind, 3 On Page,
// 4 Address; -2 the default order: kind, then address): negative when a comes first. The
// window multiplies it by the sort direction.
int compareSiteRows(const SitePage& a, const SitePage& b, int column, const ByteText& text);
