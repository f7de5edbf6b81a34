#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "download/connection_check.h"
#include "download/transfer_scheduler.h"
#include "site/site_explorer.h"
#include "store/settings.h"

// The crawl of a Site Window: which page is fetched next and how many at once, what
// happens when a fetch ends, and the two controls Stop and Expand. Only pages shown in the
// tree are fetched, the shallowest first and top to bottom within a level; page fetches
// are transfer jobs of the engine, counted apart from the downloads. A document is asked
// for once: the pages whose addresses differ only in their fragment wait for the one
// fetch, or are filled at once from the page that read it. Everything runs on the
// user-interface thread, inside the scheduler pass or a command, but the reading of a
// fetched page, which runs on a pool thread and wakes the loop when it ends. A page is
// fetched into memory, unless it is larger than a page nearly ever is.
//
// A pass costs what changed, not the size of the site: the crawl order is kept by the
// tree until its shown shape changes, and cursors into it remember how far the pages are
// known to be read, fetched or opened, since pages only ever go that way (a cancelled
// fetch, or a changed order, starts the cursor again).
class SiteCrawl final : public SiteSteps {
 public:
  SiteCrawl(SiteExplorer& explorer, const SettingsStore& settings, ConnectionCheck& connection)
      : explorer_(explorer), settings_(settings), connection_(connection) {}

  // The number of pages above the page in the tree; -1 for a page outside it.
  static int pageDepth(const SitePage& page) { return SiteTree::pageDepth(page); }
  // The top of the page's item; nothing when it has none or lies in a closed branch.
  std::optional<int> itemTop(const SitePage& page) const { return tree().itemTop(page); }
  // The page after `page` in crawl order (nullptr: the first page); nullptr at the end.
  SitePage* walkNext(const SitePage* page) const { return tree().walkNext(page); }
  // Unread, with a job that is running (its own, or its document's).
  static bool isFetching(const SitePage& page) { return ::isFetching(page); }
  // The first page in crawl order that is Unread and not being fetched; nullptr for none.
  SitePage* nextPageToFetch() const;
  // Some page shown in the tree is Unread.
  bool anyVisibleUnread() const;

  // For an Unread page: when another page of its document was read, the page is filled
  // from it at once; when one is being fetched, the page waits for that fetch. Otherwise,
  // when the connection is there, its job (made on first need, with the site's user name,
  // password and referrer, holding up to pageBytesHeld bytes in memory and the rest in the
  // save folder) asks for one more worker. Its item then shows what it is.
  void startPageFetch(SitePage& page);
  // The outcome of the page's finished job: on success its scan begins, off this thread
  // (see PageScans), and the fetch goes on until addScannedLinks has added what it found;
  // on failure it cannot find its server. True once the fetch is over; the caller then
  // ends it (endPageFetch).
  bool finishPageFetch(SitePage& page);
  // Adds what the page's scan found, `budget` links at most, which it counts down. Once
  // all are in: its children placed, the list refilled and the page Read, and true.
  bool addScannedLinks(SitePage& page, FoundLinks& found, size_t& budget);
  // Destroys the page's job; the other pages of its document take what its reply gave.
  void endPageFetch(SitePage& page);
  // Destroys every page fetch; the pages stay Unread, to be fetched again.
  void cancelPageFetches();
  // The Stop button: the fetches end and none starts until a branch is opened or an
  // address shown again.
  void stop();
  // Stop is offered while the crawl runs and some shown page is left to read.
  bool canStop() const { return !explorer_.fetchStopped() && anyVisibleUnread(); }
  // Pages up to this many bytes are fetched into memory, larger ones into a file of the save
  // folder (kPageBytesHeld unless set).
  void holdPagesUpTo(int64_t bytes) { pageBytesHeld_ = bytes; }
  // The Expand button, shown pressed while expandAll is on.
  void toggleExpand() { explorer_.setExpandAll(!explorer_.expandAll()); }
  bool expandPressed() const { return explorer_.expandAll(); }
  // Opens the closed pages with child pages at the depth of the first such page in crawl
  // order, top to bottom: kOpensPerPass of them at most, and as many as show no more than
  // kShownPerPass children in all (at least one), and fewer when a message waits (see
  // SiteExplorer::takeUnit); nothing when there is none. The rest of that level opens at
  // the next call, even while pages are left to read.
  void expandNextLevel();
  // Pages left to fill from documents read already, or to open, for which this pass had
  // no time: the window asks for another pass at once rather than at its timer.
  bool wantsAnotherPass() const { return fillsLeft_ || levelLeft_ || linksLeft_ || lookLeft_; }
  // The pages the passes' steps looked at so far (places of the crawl order, pages with
  // jobs), for those who watch what a pass costs: a step that walks the site shows here.
  uint64_t pagesLookedAt() const { return pagesLookedAt_; }

  // SiteSteps: the crawl's part of each scheduler pass, in this order.
  void collectFinishedFetches() override;
  void startPageFetches(int filesAtOnce) override;
  void expandWhenIdle() override;

  // Pages filled from another page's reply in one pass at most, so that a level of many
  // pages of a few documents keeps the window answering.
  static constexpr int kFillsPerPass = 500;
  // Pages opened in one pass at most: each opening places its children's children, and a
  // level of a large site holds tens of thousands of pages.
  static constexpr size_t kOpensPerPass = 64;
  // Children that the openings of one pass show at most (the first opening goes ahead
  // whatever its number): an opening shows all its children at once, and the pages of a
  // level of a large site list hundreds each, so 64 openings would show tens of thousands.
  static constexpr size_t kShownPerPass = 1024;
  // Links added in one pass at most: the pages of a large site's index hold thousands.
  static constexpr size_t kLinksPerPass = 256;
  // Places of the crawl order that expandNextLevel passes over in one pass at most: once a
  // level of tens of thousands of pages is read, its cursor would pass them all at once.
  static constexpr size_t kLooksPerPass = 4096;
  // Bytes of a page held in memory while it is fetched and read: more than the largest page
  // of a large documentation site (2.5 MB), and 8 fetches at once hold 64 MiB at most.
  static constexpr int64_t kPageBytesHeld = int64_t{8} << 20;

 private:
  // A place in the crawl order of one order version: every page before it is past what the
  // cursor looks for.
  struct Cursor {
    uint64_t version = 0;
    size_t at = 0;
  };
  template <class Past>
  size_t advance(Cursor& cursor, Past past, size_t limit = SIZE_MAX) const;
  const SiteTree& tree() const { return explorer_.tree(); }
  // One more worker for the job, started at once.
  void askForWorker(TransferJob& job);
  // The page takes its document's state, title and links from `document`, which was read.
  void fillFromDocument(SitePage& page, SitePage& document);

  SiteExplorer& explorer_;
  const SettingsStore& settings_;
  ConnectionCheck& connection_;
  mutable Cursor fetchFrom_;   // before it: read, or being fetched
  mutable Cursor unreadFrom_;  // before it: read
  Cursor expandFrom_;          // before it: open, or without child pages
  mutable uint64_t pagesLookedAt_ = 0;
  int64_t pageBytesHeld_ = kPageBytesHeld;
  bool fillsLeft_ = false;
  bool linksLeft_ = false;  // pages whose links this pass had no time to add
  // A level that expandNextLevel began to open and did not finish, and its depth.
  bool levelLeft_ = false;
  int levelDepth_ = 0;
  // expandNextLevel looked at its share of places before it found where to go on.
  bool lookLeft_ = false;
};
