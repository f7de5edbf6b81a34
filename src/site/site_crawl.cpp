#include "site/site_crawl.h"

#include <algorithm>
#include <utility>

#include "store/site_credentials.h"

SitePage* CrawlOrder::next(int depth, std::optional<int> top) const {
  // The places are sorted by depth, then top: the first one below the given place at its
  // depth, else the first one a level deeper, is a search away.
  auto after = [&](int d, std::optional<int> y) {
    return std::partition_point(places_.begin(), places_.end(), [&](const SiteTree::Place& p) {
      return p.depth < d || (p.depth == d && y && p.top <= *y);
    });
  };
  auto at = after(depth, top);
  if (at != places_.end() && at->depth == depth) return at->page;
  at = after(depth + 1, std::nullopt);
  if (at != places_.end() && at->depth == depth + 1) return at->page;
  return nullptr;
}

SitePage* SiteCrawl::walkNext(const SitePage* page) const {
  if (!page) return CrawlOrder(tree()).next(0, std::nullopt);
  return CrawlOrder(tree()).next(pageDepth(*page), itemTop(*page));
}

size_t SiteCrawl::nextPlaceToFetch(const CrawlOrder& order, size_t from) const {
  const auto& places = order.places();
  while (from < places.size() &&
         (places[from].page->state != PageState::Unread || isFetching(*places[from].page)))
    ++from;
  return from;
}

SitePage* SiteCrawl::nextPageToFetch(const CrawlOrder& order, size_t from) const {
  const size_t at = nextPlaceToFetch(order, from);
  return at < order.places().size() ? order.places()[at].page : nullptr;
}

bool SiteCrawl::anyVisibleUnread(const CrawlOrder& order) {
  return std::any_of(order.places().begin(), order.places().end(),
                     [](const SiteTree::Place& p) { return p.page->state == PageState::Unread; });
}

void SiteCrawl::startPageFetch(SitePage& page) {
  if (page.state != PageState::Unread) return;
  if (!connection_.connectionAvailable()) return;
  if (!page.job) {
    const Settings& settings = settings_.settings();
    UrlParts address = page.address;
    applySiteCredential(settings, address);
    explorer_.attachJob(page, explorer_.engine().createJob(address, settings.saveFolder, ""));
    if (!page.job) return;
  }
  if (page.job->result == kJobNoResult) ++page.job->wanted;
  explorer_.tree().refreshTreeItem(page);
}

void SiteCrawl::finishPageFetch(SitePage& page) {
  const TransferJob* job = page.job;
  if (!job || job->result == kJobNoResult) return;
  if (job->result != kJobSucceeded) {
    page.state = PageState::CannotFindServer;
    return;
  }
  // The page's bytes are only needed for their links: the file goes once they are read.
  if (!job->finishedPath.empty()) {
    explorer_.extractor().extractLinks(page, job->finishedPath);
    explorer_.fileOps().removePath(job->finishedPath);
  }
  explorer_.tree().addChildPages(page);
  explorer_.list().refillList(false);
  page.state = PageState::Read;
}

void SiteCrawl::stop() {
  cancelPageFetches();
  explorer_.setFetchStopped(true);
}

void SiteCrawl::expandNextLevel(const CrawlOrder& order) {
  const PageTree<SitePage>& control = tree().control();
  auto closedWithChildren = [&](const SitePage& page) {
    return page.firstChild && !control.isExpanded(page.treeItem);
  };
  const auto& places = order.places();
  auto first = std::find_if(places.begin(), places.end(),
                            [&](const SiteTree::Place& p) { return closedWithChildren(*p.page); });
  if (first == places.end()) return;
  // Opening an item shows its children below it, a level deeper: the places of this depth
  // keep their order, so one look at the order finds them all.
  std::vector<SitePage*> level;
  for (auto at = first; at != places.end() && at->depth == first->depth; ++at)
    if (closedWithChildren(*at->page)) level.push_back(at->page);
  explorer_.expandPages(level);
}

void SiteCrawl::collectFinishedFetches() {
  passOrderTaken_ = false;
  // In address order, as the registry holds the pages: when two pages that finish in one
  // pass link to the same page, the first of them gets it as its child.
  std::vector<SitePage*> pages = explorer_.pagesWithJobs();
  const ByteText& text = explorer_.registry().text();
  std::sort(pages.begin(), pages.end(), [&](const SitePage* a, const SitePage* b) {
    return text.compareAddresses(a->address.fullAddress, b->address.fullAddress) < 0;
  });
  for (SitePage* page : pages) {
    if (page->job && page->job->result != kJobNoResult) {
      finishPageFetch(*page);
      explorer_.destroyJob(*page);
    }
    explorer_.tree().refreshTreeItem(*page);
  }
}

void SiteCrawl::startPageFetches(int filesAtOnce) {
  passOrderTaken_ = false;
  if (explorer_.fetchStopped()) return;
  int fetching = 0;
  for (const SitePage* page : explorer_.pagesWithJobs())
    if (isFetching(*page)) ++fetching;
  CrawlOrder order(tree());
  // Starting a page changes its image only, so the order stays right for the whole loop
  // and each page sought is found after the one started before.
  size_t from = 0;
  for (int n = filesAtOnce - fetching; n >= 1; --n) {
    from = nextPlaceToFetch(order, from);
    if (from == order.places().size()) break;
    SitePage& page = *order.places()[from].page;
    startPageFetch(page);
    // Without a connection no other page would start either.
    if (!isFetching(page)) break;
    ++from;
  }
  passOrder_ = std::move(order);
  passOrderTaken_ = true;
}

void SiteCrawl::expandWhenIdle() {
  CrawlOrder order = passOrderTaken_ ? std::move(passOrder_) : CrawlOrder();
  const bool taken = std::exchange(passOrderTaken_, false);
  if (!explorer_.expandAll()) return;
  if (!taken) order = CrawlOrder(tree());
  if (anyVisibleUnread(order)) return;
  expandNextLevel(order);
}
