#pragma once
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/modal_messages.h"
#include "platform/page_tree.h"
#include "platform/row_list.h"
#include "platform/shell.h"
#include "platform/site_frame.h"
#include "platform/waiting_messages.h"
#include "site/gradual_map.h"
#include "site/link_extractor.h"
#include "site/page_registry.h"
#include "site/page_scans.h"
#include "site/site_history.h"
#include "site/site_list.h"
#include "site/site_tree.h"
#include "transfer/file_ops.h"
#include "transfer/transfer_engine.h"
#include "url/address.h"

// The views a Site Window's model drives, and the services it asks for.
struct SiteViews {
  PageTree<SitePage>& tree;
  RowList<SitePage>& rows;
  SiteFrame& frame;
  ModalMessages& messages;
  Shell& shell;
  WaitingMessages& waiting;
};

// The model of one Site Window: its pages, history, tree and list, and the commands and
// notifications that change them. Addresses chosen with Get are appended to the process's
// outgoing text, which the application hands to the Download Window.
class SiteExplorer {
 public:
  SiteExplorer(const ByteText& text, const AddressParser& parser, FileOps& fileOps,
               TransferEngine& engine, const SiteViews& views, std::string& outgoingAddresses);
  // Ends the page fetches and frees the pages without touching the views, which may be
  // gone; a window that closes calls discardPages first.
  ~SiteExplorer();
  SiteExplorer(const SiteExplorer&) = delete;
  SiteExplorer& operator=(const SiteExplorer&) = delete;

  // Go, Enter in the Address box, or the clipboard pasted there: shows the typed address
  // at the root, or a message box when it is no usable address. The address shown already
  // reloads nothing and only lets the crawl go on after a Stop.
  void openTypedAddress(std::string_view typed);
  bool canGoBack() const { return history_.hasOlder(); }
  bool canGoForward() const { return history_.hasNewer(); }
  bool canRefresh() const { return tree_.rootPage() != nullptr; }
  bool canElevate(const SitePage& page) const { return &page != tree_.rootPage(); }
  void goBack();
  void goForward();
  // Forgets every page, so that all are fetched again.
  void refresh();
  // The page becomes the root; pages read already keep their links, so their subtrees
  // show without new fetches.
  void elevate(SitePage& page);
  // Tree menu Open, list menu Open and Open Containing Page: the address with the shell.
  void openPage(const SitePage& page);
  void openRow(const SitePage& page) { openPage(page); }
  void openContainingPage(const SitePage& page);
  // Get: the address of every selected Site List row, each followed by CR LF.
  void sendSelectedToQueue() { list_.sendSelectedToQueue(outgoing_); }

  // What the tree reports, with the item concerned.
  void onTreeSelectionChanged(TreeItem item);
  void onTreeItemExpanded(TreeItem item);
  void onTreeItemCollapsed(TreeItem item);
  // Opens the pages' items one after another, as the user would, but refills the list
  // once after them all instead of once per item. Each opening is a unit of the pass
  // (see takeUnit): gives how many of the pages were taken, the rest left for later.
  size_t expandPages(const std::vector<SitePage*>& pages);

  // The idle pass's work on the controls comes in units, each a redraw of a scroll bar or
  // more: a batch of list rows, a read page's links placed, an item opened. A pass does
  // one at least, so that the crawl always moves, and stops before the next one while a
  // message waits; the next pass comes after it and goes on from there.
  void beginPass() { unitsThisPass_ = 0; }
  // Before a unit: true, and the unit counted, when the pass may do it.
  bool takeUnit() {
    if (unitsThisPass_ > 0 && views_.waiting.messageWaits()) return false;
    ++unitsThisPass_;
    return true;
  }
  // The idle pass's adding of rows, the first unit of a pass; true when the window should
  // sort by its default order.
  bool addWaitingRows() {
    if (list_.rowsWaiting()) ++unitsThisPass_;
    return list_.addWaitingRows();
  }

  // The steps the commands are made of.
  void visitAddress(const UrlParts& address) { history_.visitAddress(address); }
  void showCurrentEntry();
  // Empties the tree and the list; the pages with their states, titles and links stay.
  void clearViews();
  // clearViews, then every page fetch is cancelled and every page freed.
  void discardPages();
  // Destroys every page's job; the pages stay Unread, to be fetched again.
  void cancelPageFetches();
  // The page's fetch goes on through this job (made by the engine); the page must have
  // none yet. The page becomes its document's fetch (see documentFetch).
  void attachJob(SitePage& page, TransferJob* job);
  // Destroys the page's job, whose workers stop and whose pieces go, and clears `job`, in
  // the pages sharing it too.
  void destroyJob(SitePage& page);
  // The pages that have a job of their own, the oldest fetch first: the crawl's work of
  // every pass goes over these, not over every address the site links to. Pages sharing
  // another page's fetch are not among them.
  const std::vector<SitePage*>& pagesWithJobs() const { return pagesWithJobs_; }

  // One request per document: pages whose addresses differ only in their fragment are
  // one document, fetched once. The page of the page's document that was read, or whose
  // fetch runs or waits; nullptr when none was read and none is fetched.
  SitePage* documentFetch(const SitePage& page) const;
  // The page waits for the fetch of `owner` (a page of its document with a job) and is
  // filled from its reply; it shows as fetched meanwhile.
  void shareFetch(SitePage& page, SitePage& owner);
  // The pages waiting for the owner's fetch.
  const std::vector<SitePage*>& sharersOf(const SitePage& owner) const;
  // The entries the look-ups of pages and documents moved as they grew, for those who
  // watch what a pass costs.
  uint64_t entriesMoved() const { return registry_.entriesMoved() + documents_.entriesMoved(); }
  // The scans of fetched pages, whose found links are kept while they are added a part at
  // a time. A page's scan is dropped with its job.
  PageScans& scans() { return scans_; }

  PageRegistry& registry() { return registry_; }
  SiteTree& tree() { return tree_; }
  SiteList& list() { return list_; }
  const SiteHistory& history() const { return history_; }
  LinkExtractor& extractor() { return extractor_; }
  TransferEngine& engine() { return engine_; }
  FileOps& fileOps() { return fileOps_; }
  SitePage* rootPage() const { return tree_.rootPage(); }
  SitePage* selectedPage() const { return selectedPage_; }
  bool fetchStopped() const { return fetchStopped_; }
  void setFetchStopped(bool stopped) { fetchStopped_ = stopped; }
  bool expandAll() const { return expandAll_; }
  void setExpandAll(bool on) { expandAll_ = on; }

 private:
  const AddressParser& parser_;
  FileOps& fileOps_;
  TransferEngine& engine_;
  SiteViews views_;
  std::string& outgoing_;

  PageRegistry registry_;
  SiteHistory history_;
  SiteTree tree_;
  SiteList list_;
  LinkExtractor extractor_;
  std::vector<SitePage*> pagesWithJobs_;
  // Each document that was fetched, by its address without the fragment (a view into
  // its page's address): the page whose job fetched it. A site holds tens of thousands.
  GradualMap<std::string_view, SitePage*> documents_;
  std::unordered_map<const SitePage*, std::vector<SitePage*>> sharers_;
  SitePage* selectedPage_ = nullptr;
  bool fetchStopped_ = false;
  bool expandAll_ = false;
  // While expandPages runs: the list's refill waits until every item is open.
  bool expanding_ = false;
  bool refillWanted_ = false;
  int unitsThisPass_ = 0;
  // Last, so that it goes first: its destructor waits for the scans still running.
  PageScans scans_;
};
