// Generated sites of tens of thousands of pages crawled with Expand on, through the Site
// Window's idle passes on the fake Internet. What a pass costs is counted, not timed: the
// questions it asks the tree control (where items stand, whether they are open, an item's
// record or parent), the list rows it asks for and adds, the pages the crawl's steps and
// the list's refills look at, which is what walking the whole site in a pass would show,
// and the entries the look-ups of pages and documents move as they grow.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "site/site_crawl.h"
#include "unit/crawl_world.h"

namespace {

std::vector<SitePage*> pagesOf(const SiteTree::Order& order) {
  std::vector<SitePage*> pages;
  for (const SiteTree::Place& place : order) pages.push_back(place.page);
  return pages;
}

// The work of every pass so far.
int64_t workSoFar(CrawlWorld& world) {
  return world.tree.shapeQueries + world.tree.lookUps + world.tree.inserts +
         world.siteRows.recordsAsked + world.siteRows.appends +
         static_cast<int64_t>(world.crawl.pagesLookedAt() + world.explorer.list().pagesLookedAt() +
                              world.explorer.entriesMoved());
}

struct CrawlCost {
  size_t requests = 0;
  size_t shown = 0;
  int64_t total = 0;    // the work of every pass
  int64_t busiest = 0;  // the work of the busiest pass
  uint64_t ordersTaken = 0;
};

// Crawls the generated manual of that many parts to its end, 8 pages at once.
CrawlCost crawlManual(int parts) {
  CrawlWorld world;
  world.setNumber("get", &Settings::filesAtOnce, 8);
  GeneratedManual::serve(world.internet, parts);
  world.crawl.toggleExpand();
  world.explorer.openTypedAddress(GeneratedManual::kStart);
  CrawlCost cost;
  int64_t workBefore = workSoFar(world);
  const bool settled = world.runIdlePasses(
      [&] {
        const int64_t work = workSoFar(world) - workBefore;
        cost.total += work;
        cost.busiest = std::max(cost.busiest, work);
        const bool done = world.expandedCrawlOver();
        workBefore = workSoFar(world);
        return done;
      },
      1000000);
  EXPECT_TRUE(settled);
  cost.requests = world.internet.requestCount();
  cost.ordersTaken = world.explorer.tree().ordersTaken();
  const std::vector<SitePage*> kept = pagesOf(world.explorer.tree().crawlOrder());
  cost.shown = kept.size();
  // The order grown at its end is the one the tree shows.
  world.explorer.tree().orderChanged();
  EXPECT_EQ(pagesOf(world.explorer.tree().crawlOrder()), kept);
  return cost;
}

TEST(SiteCrawlScale, APassOfATenTimesLargerSiteCostsTheSameAndTheCrawlTenTimesAsMuch) {
  constexpr int kSmall = 10, kLarge = 100;  // 2,512 and 25,102 documents
  const CrawlCost small = crawlManual(kSmall);
  const CrawlCost large = crawlManual(kLarge);
  for (const auto& [parts, cost] : {std::pair{kSmall, small}, std::pair{kLarge, large}}) {
    // Every document was asked for once, and every page on the site is shown.
    EXPECT_EQ(cost.requests, GeneratedManual::documents(parts));
    EXPECT_EQ(cost.shown, GeneratedManual::pagesShown(parts));
    // The order was taken afresh only while the root was shown and selected; the rest came
    // at its end as levels opened.
    EXPECT_LE(cost.ordersTaken, 4u);
  }
  // No pass walked the site: the busiest pass of the large site did about what the
  // busiest of the small one did, as much as the crawl's shares of a pass allow.
  EXPECT_LE(large.busiest, 2 * small.busiest) << "small site: " << small.busiest;
  // In all, a page costs about the same on either site.
  EXPECT_LE(large.total * static_cast<int64_t>(small.shown),
            2 * small.total * static_cast<int64_t>(large.shown))
      << "small site: " << small.total << " for " << small.shown
      << " pages, large site: " << large.total << " for " << large.shown;
}

// A page of thousands of links (an index) is taken in over several passes, no pass adding
// more than its share, and ends with the links, title and children one go would give. A
// Stop while its links are being added leaves it to be read again, each link once.
class LargePageTest : public ::testing::Test {
 protected:
  static constexpr int kTargets = 1500;
  void SetUp() override {
    html = "<title>Index</title>";
    for (int i = 0; i < kTargets; ++i) {
      const std::string name = "t" + std::to_string(i) + ".htm";
      html += "<a href=" + name + ">t</a><a href=" + name + "#x>x</a>";
    }
    world.serve("http://big.test/index.htm", html);
  }
  std::vector<std::string> targets(const SitePage& page) {
    std::vector<std::string> addresses;
    for (const SiteLink* link = page.links; link; link = link->next)
      addresses.push_back(link->target->address.fullAddress);
    return addresses;
  }
  CrawlWorld world;
  std::string html;
};

TEST_F(LargePageTest, ItsLinksAreAddedAPartAtATimeAndEndAsOneGoGivesThem) {
  world.explorer.openTypedAddress("http://big.test/index.htm");
  SitePage& index = world.page("http://big.test/index.htm");
  size_t before = 0, passesAdding = 0;
  ASSERT_TRUE(world.runUntil([&] {
    EXPECT_LE(index.linkCount - before, SiteCrawl::kLinksPerPass);
    if (index.linkCount != before) ++passesAdding;
    if (index.state == PageState::Unread) {
      // Not shown as read, nor with children, before every link is in.
      EXPECT_EQ(index.firstChild, nullptr);
      if (index.linkCount > 0) {
        EXPECT_TRUE(world.crawl.wantsAnotherPass());
      }
    }
    before = index.linkCount;
    return index.state == PageState::Read;
  }));
  EXPECT_GE(passesAdding, 2 * kTargets / SiteCrawl::kLinksPerPass);
  SitePage& copy = world.page("http://big.test/copy.htm");
  world.explorer.extractor().extractLinks(copy, reinterpret_cast<const unsigned char*>(html.data()),
                                          static_cast<int64_t>(html.size()));
  EXPECT_EQ(targets(index), targets(copy));
  EXPECT_EQ(index.title, "Index");
  EXPECT_NE(index.firstChild, nullptr);
  EXPECT_EQ(world.explorer.pagesWithJobs().size(), 0u);
}

TEST_F(LargePageTest, AStopWhileItsLinksAreAddedLeavesItToBeReadAgain) {
  world.explorer.openTypedAddress("http://big.test/index.htm");
  SitePage& index = world.page("http://big.test/index.htm");
  ASSERT_TRUE(world.runUntil([&] { return index.linkCount > 0; }));
  ASSERT_EQ(index.state, PageState::Unread);
  world.crawl.stop();
  EXPECT_EQ(index.job, nullptr);
  world.explorer.openTypedAddress("http://big.test/index.htm");
  ASSERT_TRUE(world.runUntilRead("http://big.test/index.htm"));
  EXPECT_EQ(index.linkCount, 2u * kTargets);
  EXPECT_EQ(world.requestedPaths("big.test").size(), 2u);
}

}  // namespace
