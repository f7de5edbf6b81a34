// The Site Window's idle pass gives way to waiting messages: between its units of work on
// the controls (a batch of list rows, a read page's links placed, an item opened) it stops
// while a message waits, and the next pass goes on where it stopped.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "site/site_crawl.h"
#include "unit/crawl_world.h"

namespace {

struct CrawlEnd {
  std::string tree;
  std::vector<std::string> rows;  // each row's cells, in address order
  std::vector<std::string> requests;
  int mostUnitsInAPass = 0;
};

// Crawls a generated manual of two parts with Expand on, one page at a time so that the
// requests come in one order whatever the threads' timing.
CrawlEnd crawlManual(bool messagesWait) {
  CrawlWorld world;
  world.setNumber("get", &Settings::filesAtOnce, 1);
  world.waiting.waiting = messagesWait;
  GeneratedManual::serve(world.internet, 2);
  world.crawl.toggleExpand();
  world.explorer.openTypedAddress(GeneratedManual::kStart);

  // What a pass did on the controls: its openings, whether it added rows, and the fetched
  // pages whose links it added.
  struct Fetched {
    SitePage* page;
    size_t links;
  };
  int expands = world.tree.expands;
  int64_t appends = world.siteRows.appends;
  std::vector<Fetched> fetched;
  auto lookBefore = [&] {
    expands = world.tree.expands;
    appends = world.siteRows.appends;
    fetched.clear();
    for (SitePage* page : world.explorer.pagesWithJobs())
      fetched.push_back({page, page->linkCount});
  };
  CrawlEnd end;
  lookBefore();
  const bool settled = world.runIdlePasses(
      [&] {
        int units = world.tree.expands - expands + (world.siteRows.appends != appends ? 1 : 0);
        for (const Fetched& f : fetched)
          if (f.page->linkCount != f.links || f.page->state == PageState::Read) ++units;
        end.mostUnitsInAPass = std::max(end.mostUnitsInAPass, units);
        lookBefore();
        return world.expandedCrawlOver();
      },
      200000);
  EXPECT_TRUE(settled);
  end.tree = world.tree.outline();
  for (int row = 0; row < world.siteRows.rowCount(); ++row) {
    std::string cells;
    for (int column = 0; column < 5; ++column) cells += world.siteRows.text(row, column) + "|";
    end.rows.push_back(cells);
  }
  std::sort(end.rows.begin(), end.rows.end());
  end.requests = world.requestedPaths("manual.test");
  return end;
}

TEST(SiteCrawlYield, WithMessagesAlwaysWaitingEachPassDoesOneUnitAndTheCrawlEndsTheSame) {
  const CrawlEnd free = crawlManual(false);
  const CrawlEnd yielding = crawlManual(true);
  // Without waiting messages a pass does many units; the same crawl still ends.
  EXPECT_GT(free.mostUnitsInAPass, 1);
  EXPECT_EQ(yielding.mostUnitsInAPass, 1);
  EXPECT_EQ(yielding.requests.size(), GeneratedManual::documents(2));
  EXPECT_EQ(yielding.requests, free.requests);
  EXPECT_EQ(yielding.tree, free.tree);
  EXPECT_EQ(yielding.rows, free.rows);
}

}  // namespace
