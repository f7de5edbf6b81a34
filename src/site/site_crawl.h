#pragma once
#include <optional>
#include <vector>

#include "download/connection_check.h"
#include "download/transfer_scheduler.h"
#include "site/site_explorer.h"
#include "store/settings.h"

// The crawl order at one moment: the pages shown in the Site Tree (every ancestor open),
// by depth, then by the top of their items. Taking it costs one item-rectangle query per
// shown page (and per child of one), so a scheduler pass takes it once.
class CrawlOrder {
 public:
  CrawlOrder() = default;
  explicit CrawlOrder(const SiteTree& tree) : places_(tree.crawlOrder()) {}

  const std::vector<SiteTree::Place>& places() const { return places_; }
  bool empty() const { return places_.empty(); }
  // The page after one of depth `depth` whose item has the top `top` (nothing: a page not
  // shown): the next one further down at that depth (any, for a page not shown), else the
  // first one a level deeper; nullptr at the end. The start is depth 0 and no top.
  SitePage* next(int depth, std::optional<int> top) const;

 private:
  std::vector<SiteTree::Place> places_;
};

// The crawl of a Site Window: which page is fetched next and how many at once, what
// happens when a fetch ends, and the two controls Stop and Expand. Only pages shown in the
// tree are fetched, the shallowest first and top to bottom within a level; page fetches
// are transfer jobs of the engine, counted apart from the downloads. Everything runs on
// the user-interface thread, inside the scheduler pass or a command.
class SiteCrawl final : public SiteSteps {
 public:
  SiteCrawl(SiteExplorer& explorer, const SettingsStore& settings, ConnectionCheck& connection)
      : explorer_(explorer), settings_(settings), connection_(connection) {}

  // The number of pages above the page in the tree; -1 for a page outside it.
  static int pageDepth(const SitePage& page) { return SiteTree::pageDepth(page); }
  // The top of the page's item; nothing when it has none or lies in a closed branch.
  std::optional<int> itemTop(const SitePage& page) const { return tree().itemTop(page); }
  // The page after `page` in crawl order (nullptr: the first page); nullptr at the end.
  SitePage* walkNext(const SitePage* page) const;
  // Unread, with a job that is running.
  static bool isFetching(const SitePage& page) { return ::isFetching(page); }
  // The first page in crawl order that is Unread and not being fetched; nullptr for none.
  SitePage* nextPageToFetch() const { return nextPageToFetch(CrawlOrder(tree()), 0); }
  // Some page shown in the tree is Unread.
  bool anyVisibleUnread() const { return anyVisibleUnread(CrawlOrder(tree())); }

  // For an Unread page, when the connection is there: its job (made on first need, with
  // the site's user name, password and referrer, writing into the save folder) asks for
  // one more worker, and its item shows the arrow.
  void startPageFetch(SitePage& page);
  // The outcome of the page's finished job: on success its links are read from the file
  // (which is then deleted), its children placed and the list refilled, and the page is
  // Read; on failure it cannot find its server. The caller destroys the job.
  void finishPageFetch(SitePage& page);
  // Destroys every page fetch; the pages stay Unread, to be fetched again.
  void cancelPageFetches() { explorer_.cancelPageFetches(); }
  // The Stop button: the fetches end and none starts until a branch is opened or an
  // address shown again.
  void stop();
  // Stop is offered while the crawl runs and some shown page is left to read.
  bool canStop() const { return !explorer_.fetchStopped() && anyVisibleUnread(); }
  // The Expand button, shown pressed while expandAll is on.
  void toggleExpand() { explorer_.setExpandAll(!explorer_.expandAll()); }
  bool expandPressed() const { return explorer_.expandAll(); }
  // Opens every closed page with child pages at the depth of the first such page in crawl
  // order; nothing when there is none.
  void expandNextLevel() { expandNextLevel(CrawlOrder(tree())); }

  // SiteSteps: the crawl's part of each scheduler pass, in this order.
  void collectFinishedFetches() override;
  void startPageFetches(int filesAtOnce) override;
  void expandWhenIdle() override;

 private:
  const SiteTree& tree() const { return explorer_.tree(); }
  SitePage* nextPageToFetch(const CrawlOrder& order, size_t from) const;
  size_t nextPlaceToFetch(const CrawlOrder& order, size_t from) const;
  static bool anyVisibleUnread(const CrawlOrder& order);
  void expandNextLevel(const CrawlOrder& order);

  SiteExplorer& explorer_;
  const SettingsStore& settings_;
  ConnectionCheck& connection_;
  // The order taken by startPageFetches, for expandWhenIdle right after it in the same
  // pass: starting fetches changes images only, never which items are shown or where.
  CrawlOrder passOrder_;
  bool passOrderTaken_ = false;
};
