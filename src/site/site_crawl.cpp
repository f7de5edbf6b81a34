#include "site/site_crawl.h"

#include <algorithm>
#include <mutex>
#include <utility>

#include "store/site_credentials.h"

template <class Past>
size_t SiteCrawl::advance(Cursor& cursor, Past past, size_t limit) const {
  const SiteTree::Order& order = tree().crawlOrder();
  if (cursor.version != tree().orderVersion()) cursor = {tree().orderVersion(), 0};
  for (size_t looked = 0; cursor.at < order.size() && looked < limit; ++cursor.at, ++looked) {
    ++pagesLookedAt_;
    if (!past(*order[cursor.at].page)) break;
  }
  return cursor.at;
}

SitePage* SiteCrawl::nextPageToFetch() const {
  const size_t at = advance(fetchFrom_, [](const SitePage& page) {
    return page.state != PageState::Unread || isFetching(page);
  });
  const auto& order = tree().crawlOrder();
  return at < order.size() ? order[at].page : nullptr;
}

bool SiteCrawl::anyVisibleUnread() const {
  const size_t at =
      advance(unreadFrom_, [](const SitePage& page) { return page.state != PageState::Unread; });
  return at < tree().crawlOrder().size();
}

void SiteCrawl::fillFromDocument(SitePage& page, SitePage& document) {
  SitePage& holder = documentOf(document);
  page.document = &holder;
  page.title = document.title;
  if (document.state == PageState::Read) {
    explorer_.tree().addChildPages(page);
    explorer_.list().pageRead(page);
  }
  page.state = document.state;
  explorer_.tree().refreshTreeItem(page);
}

void SiteCrawl::startPageFetch(SitePage& page) {
  if (page.state != PageState::Unread) return;
  if (SitePage* document = explorer_.documentFetch(page); document && document != &page) {
    if (document->state != PageState::Unread) {
      fillFromDocument(page, *document);
      return;
    }
    // Its fetch waits for a worker again (its last one stalled, say): it is asked for.
    TransferJob& job = *document->job;
    if (job.result == kJobNoResult && !isRunning(job)) {
      if (!connection_.connectionAvailable()) return;
      askForWorker(job);
      explorer_.tree().refreshTreeItem(*document);
    }
    explorer_.shareFetch(page, *document);
    explorer_.tree().refreshTreeItem(page);
    return;
  }
  if (!connection_.connectionAvailable()) return;
  if (!page.job) {
    const Settings& settings = settings_.settings();
    UrlParts address = page.address;
    applySiteCredential(settings, address);
    explorer_.attachJob(page, explorer_.engine().createJob(address, settings.saveFolder, ""));
    if (!page.job) return;
    page.job->mostBytesHeld = pageBytesHeld_;
  }
  if (page.job->result == kJobNoResult) askForWorker(*page.job);
  explorer_.tree().refreshTreeItem(page);
}

// The job pass starts the worker now: left to the next pass, it would wait for the idle
// timer, since nothing else wakes the loop before then.
void SiteCrawl::askForWorker(TransferJob& job) {
  ++job.wanted;
  TransferEngine& engine = explorer_.engine();
  std::lock_guard hold(engine.lock());
  engine.jobPass(job);
}

bool SiteCrawl::finishPageFetch(SitePage& page) {
  TransferJob* job = page.job;
  if (!job || job->result == kJobNoResult) return false;
  if (job->result != kJobSucceeded) {
    page.state = PageState::CannotFindServer;
    page.failureText = job->certificateFault == CertificateFault::kNone ? "" : job->errorText;
    return true;
  }
  PageScans& scans = explorer_.scans();
  if (!scans.started(page)) scans.start(page, job->finishedPath, std::move(job->finishedBytes));
  return false;
}

bool SiteCrawl::addScannedLinks(SitePage& page, FoundLinks& found, size_t& budget) {
  budget -= explorer_.extractor().addFound(page, found, budget);
  if (!found.done()) return false;
  page.state = PageState::Read;
  explorer_.tree().addChildPages(page);
  explorer_.list().pageRead(page);
  return true;
}

void SiteCrawl::endPageFetch(SitePage& page) {
  // The other pages of the document take what its one reply gave.
  const std::vector<SitePage*> sharers = explorer_.sharersOf(page);
  explorer_.destroyJob(page);
  for (SitePage* sharer : sharers)
    if (sharer->state == PageState::Unread) fillFromDocument(*sharer, page);
}

void SiteCrawl::cancelPageFetches() {
  explorer_.cancelPageFetches();
  // The pages that were fetched are to be fetched again.
  fetchFrom_ = {};
}

void SiteCrawl::stop() {
  cancelPageFetches();
  explorer_.setFetchStopped(true);
}

void SiteCrawl::expandNextLevel() {
  const bool levelGoesOn = levelLeft_;
  levelLeft_ = false;
  const PageTree<SitePage>& control = tree().control();
  auto closedWithChildren = [&](const SitePage& page) {
    return page.firstChild && !control.isExpanded(page.treeItem);
  };
  // Children come with reading, and opened pages stay open until a closing changes the
  // order: read pages the cursor passed need no second look. An Unread page may still
  // get children, so the cursor stops there.
  auto passed = [&](const SitePage& p) {
    return p.state != PageState::Unread && !closedWithChildren(p);
  };
  size_t first = advance(expandFrom_, passed, kLooksPerPass);
  const auto& places = tree().crawlOrder();
  // A level read whole is passed a share a pass, not in one pass.
  lookLeft_ = first < places.size() && passed(*places[first].page);
  if (lookLeft_) {
    levelLeft_ = levelGoesOn;
    return;
  }
  for (; first < places.size(); ++first) {
    ++pagesLookedAt_;
    if (closedWithChildren(*places[first].page)) break;
  }
  if (first == places.size()) return;
  const int depth = places[first].depth;
  // The rest of a level begun earlier opens while its first children are read; the next
  // level waits, as ever, until nothing shown is left to read.
  if (levelGoesOn && depth != levelDepth_ && anyVisibleUnread()) return;
  // Opening an item shows its children below it, a level deeper: the places of this depth
  // keep their order, so one look at the order finds them all.
  std::vector<SitePage*> level;
  size_t shown = 0;
  for (size_t at = first; at < places.size() && places[at].depth == depth; ++at) {
    ++pagesLookedAt_;
    SitePage& page = *places[at].page;
    if (!closedWithChildren(page)) continue;
    size_t children = 0;
    for (const SitePage* child = page.firstChild; child; child = child->nextSibling) ++children;
    pagesLookedAt_ += children;
    if (level.size() == kOpensPerPass || (!level.empty() && shown + children > kShownPerPass)) {
      levelLeft_ = true;
      levelDepth_ = depth;
      break;
    }
    shown += children;
    level.push_back(&page);
  }
  if (explorer_.expandPages(level) < level.size()) {
    levelLeft_ = true;
    levelDepth_ = depth;
  }
}

void SiteCrawl::collectFinishedFetches() {
  // Fetches that ended go in address order, as the registry holds the pages: when two
  // pages that finish in one pass link to the same page, the first of them gets it as its
  // child. Their scans begin in that order, and their links are added in the order the
  // scans began. Only they are sorted: a comparison of addresses is a call of the system's
  // text rules, and the fetches under way only have their items refreshed.
  std::vector<SitePage*> ended;
  pagesLookedAt_ += explorer_.pagesWithJobs().size();
  for (SitePage* page : explorer_.pagesWithJobs()) {
    if (page->job && page->job->result != kJobNoResult) {
      ended.push_back(page);
      continue;
    }
    // A fetch that wants no worker any more is to be started again, wherever it stands.
    if (page->job && !isRunning(*page->job)) fetchFrom_ = {};
    explorer_.tree().refreshTreeItem(*page);
  }
  const ByteText& text = explorer_.registry().text();
  std::sort(ended.begin(), ended.end(), [&](const SitePage* a, const SitePage* b) {
    return text.compareAddresses(a->address.fullAddress, b->address.fullAddress) < 0;
  });
  for (SitePage* page : ended) {
    if (finishPageFetch(*page)) endPageFetch(*page);
    explorer_.tree().refreshTreeItem(*page);
  }
  // A scan still running holds back the ones that began after it; its end wakes the loop.
  linksLeft_ = false;
  size_t budget = kLinksPerPass;
  FoundLinks* found = nullptr;
  while (SitePage* page = explorer_.scans().firstEnded(found)) {
    // Its links placed in the tree and listed make a unit of the pass's control work.
    if (!explorer_.takeUnit()) {
      linksLeft_ = true;
      break;
    }
    if (!addScannedLinks(*page, *found, budget)) {
      linksLeft_ = true;
      break;
    }
    endPageFetch(*page);
    explorer_.tree().refreshTreeItem(*page);
  }
}

void SiteCrawl::startPageFetches(int filesAtOnce) {
  fillsLeft_ = false;
  if (explorer_.fetchStopped()) return;
  // A page whose fetch has ended takes no place while it is read (see PageScans), unless
  // more than a place's worth of them wait: they hold their replies in memory, and the
  // fetches must not run ever further ahead of the reading.
  int free = filesAtOnce;
  int ended = 0;
  pagesLookedAt_ += explorer_.pagesWithJobs().size();
  for (const SitePage* page : explorer_.pagesWithJobs()) {
    if (isRunning(*page->job))
      --free;
    else if (page->job->result != kJobNoResult)
      ++ended;
  }
  free -= std::max(0, ended - filesAtOnce);
  // Pages of documents fetched or read already need no request and take no place; the
  // first page that needs one waits for a free place.
  int fills = 0;
  while (SitePage* page = nextPageToFetch()) {
    SitePage* document = explorer_.documentFetch(*page);
    const bool request = !document || document == page;
    if (request && free < 1) break;
    if (!request && ++fills > kFillsPerPass) {
      fillsLeft_ = true;
      break;
    }
    startPageFetch(*page);
    // Without a connection no other page would start either.
    if (page->state == PageState::Unread && !isFetching(*page)) break;
    if (request) --free;
  }
}

void SiteCrawl::expandWhenIdle() {
  if (!explorer_.expandAll()) {
    levelLeft_ = lookLeft_ = false;
    return;
  }
  if (levelLeft_ || !anyVisibleUnread())
    expandNextLevel();
  else
    lookLeft_ = false;  // the look goes on once nothing is left to read
}
