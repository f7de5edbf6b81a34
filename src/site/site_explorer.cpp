#include "site/site_explorer.h"

#include "platform/product.h"

namespace {

// The address without its fragment: what the server is asked for.
std::string_view documentAddress(const SitePage& page) {
  std::string_view full = page.address.fullAddress;
  return full.substr(0, full.find('#'));
}

const std::vector<SitePage*> kNoSharers;

}  // namespace

SiteExplorer::SiteExplorer(const ByteText& text, const AddressParser& parser, FileOps& fileOps,
                           TransferEngine& engine, const SiteViews& views,
                           std::string& outgoingAddresses)
    : parser_(parser),
      fileOps_(fileOps),
      engine_(engine),
      views_(views),
      outgoing_(outgoingAddresses),
      registry_(text),
      tree_(views.tree, views.frame, text),
      list_(views.rows, tree_, registry_),
      extractor_(text, parser, registry_, fileOps),
      scans_(text, fileOps, [engine = &engine] { engine->wake(); }) {}

SiteExplorer::~SiteExplorer() {
  for (SitePage* page : pagesWithJobs_) {
    engine_.destroyJob(page->job, false);
    page->job = nullptr;
  }
  for (auto& [owner, sharers] : sharers_)
    for (SitePage* sharer : sharers) sharer->job = nullptr;
}

void SiteExplorer::openTypedAddress(std::string_view typed) {
  UrlParts address = parser_.parseTypedAddress(typed);
  if (!isUsable(address)) {
    views_.messages.show(std::string(product::kName),
                         "Haulix cannot open the Internet site you typed. Check the address and "
                         "try again.",
                         message_style::kIconError);
    return;
  }
  const SiteHistoryEntry* current = history_.current();
  if (current && current->address.fullAddress == address.fullAddress) {
    fetchStopped_ = false;
    return;
  }
  visitAddress(address);
  discardPages();
  showCurrentEntry();
}

void SiteExplorer::goBack() {
  if (!history_.goOlder()) return;
  clearViews();
  showCurrentEntry();
}

void SiteExplorer::goForward() {
  if (!history_.goNewer()) return;
  clearViews();
  showCurrentEntry();
}

void SiteExplorer::refresh() {
  if (!canRefresh()) return;
  discardPages();
  showCurrentEntry();
}

void SiteExplorer::elevate(SitePage& page) {
  if (!canElevate(page)) return;
  visitAddress(page.address);
  clearViews();
  showCurrentEntry();
}

void SiteExplorer::openPage(const SitePage& page) {
  views_.shell.open(page.address.fullAddress, "");
}

void SiteExplorer::openContainingPage(const SitePage& page) {
  if (page.listedOnPage) openPage(*page.listedOnPage);
}

void SiteExplorer::showCurrentEntry() {
  const SiteHistoryEntry* entry = history_.current();
  if (!entry) return;
  SitePage* page = registry_.findOrAddPage(entry->address);
  tree_.insertIntoTree(*page, nullptr);
  tree_.addChildPages(*page);  // a page read before shows its children at once
  list_.refillList(false);
  fetchStopped_ = false;
  views_.frame.setAddressText(entry->address.fullAddress);
  views_.frame.focusTree();
  // The selection report makes the root the selected page and fills the list.
  views_.tree.select(page->treeItem);
}

void SiteExplorer::clearViews() {
  // The tree goes first: a control that reports a selection while its items are deleted
  // may make the list mark pages again, and the list is emptied after it.
  tree_.clearTree();
  list_.clearMarks();
  selectedPage_ = nullptr;
}

void SiteExplorer::discardPages() {
  clearViews();
  cancelPageFetches();
  documents_.clear();
  registry_.clear();
}

void SiteExplorer::cancelPageFetches() {
  std::vector<SitePage*> fetching;
  fetching.swap(pagesWithJobs_);
  for (SitePage* page : fetching) {
    // Links added before the cancel stay: a later read adds the rest, and none twice.
    scans_.drop(*page);
    engine_.destroyJob(page->job, false);
    page->job = nullptr;
    tree_.refreshTreeItem(*page);
    auto sharers = sharers_.find(page);
    if (sharers == sharers_.end()) continue;
    for (SitePage* sharer : sharers->second) {
      sharer->job = nullptr;
      tree_.refreshTreeItem(*sharer);
    }
    sharers_.erase(sharers);
  }
}

void SiteExplorer::attachJob(SitePage& page, TransferJob* job) {
  if (!job || page.job) return;
  page.job = job;
  pagesWithJobs_.push_back(&page);
  documents_.assign(documentAddress(page), &page);
}

void SiteExplorer::destroyJob(SitePage& page) {
  if (!page.job) return;
  scans_.drop(page);
  engine_.destroyJob(page.job, false);
  page.job = nullptr;
  std::erase(pagesWithJobs_, &page);
  auto sharers = sharers_.find(&page);
  if (sharers == sharers_.end()) return;
  for (SitePage* sharer : sharers->second) sharer->job = nullptr;
  sharers_.erase(sharers);
}

SitePage* SiteExplorer::documentFetch(const SitePage& page) const {
  SitePage* const* found = documents_.find(documentAddress(page));
  if (!found) return nullptr;
  SitePage* owner = *found;
  // A fetch that was cancelled left its page Unread without a job: the document is to be
  // fetched anew, for whichever of its pages comes first.
  return owner->state != PageState::Unread || owner->job ? owner : nullptr;
}

void SiteExplorer::shareFetch(SitePage& page, SitePage& owner) {
  if (&page == &owner || page.job || !owner.job) return;
  page.job = owner.job;
  sharers_[&owner].push_back(&page);
}

const std::vector<SitePage*>& SiteExplorer::sharersOf(const SitePage& owner) const {
  auto found = sharers_.find(&owner);
  return found == sharers_.end() ? kNoSharers : found->second;
}

void SiteExplorer::onTreeSelectionChanged(TreeItem item) {
  // A control may open the branch of the new selection.
  tree_.orderChanged();
  SitePage* page = views_.tree.itemRecord(item);
  if (!page || item == page->linksItem || page == selectedPage_) return;
  selectedPage_ = page;
  list_.refillList(true);
}

void SiteExplorer::onTreeItemExpanded(TreeItem item) {
  // The items expandPages opens tell the order themselves.
  if (!expanding_) tree_.orderChanged();
  SitePage* page = views_.tree.itemRecord(item);
  if (!page) return;
  // The children's own children get items now, so that each child shows whether it can
  // be opened in turn.
  for (SitePage* child = page->firstChild; child; child = child->nextSibling)
    tree_.addChildPages(*child);
  if (expanding_)
    refillWanted_ = true;
  else
    list_.refillList(false);
  fetchStopped_ = false;
}

// A refill walks the crawl order from where it last stopped, and one refill after them
// all marks the links of the pages that came into view, in crawl order.
size_t SiteExplorer::expandPages(const std::vector<SitePage*>& pages) {
  expanding_ = true;
  refillWanted_ = false;
  size_t done = 0;
  for (; done < pages.size(); ++done) {
    SitePage& page = *pages[done];
    if (page.treeItem == kNoTreeItem) continue;
    if (!takeUnit()) break;
    views_.tree.expand(page.treeItem);
    // Asked of each: the control reports only the first opening of an item.
    tree_.pageOpened(page);
  }
  expanding_ = false;
  if (refillWanted_) list_.orderGrew();
  return done;
}

void SiteExplorer::onTreeItemCollapsed(TreeItem item) {
  tree_.orderChanged();
  SitePage* page = views_.tree.itemRecord(item);
  if (!page) return;
  // Closing a branch that holds the selection moves the selection onto the closed item,
  // and not every control reports that; the list shows the new selection's links from
  // now on, and a later click on the page selected before must fill it again.
  selectedPage_ = views_.tree.selectedRecord();
  list_.refillList(true);
  expandAll_ = false;
}
