// A site of some thousands of pages crawled with Expand on, through the scheduler's passes
// on the fake Internet. What a pass costs is counted, not timed: the questions it asks the
// tree control about where items stand (their tops, whether they are open), which is what
// walking the whole site in a pass would show, and how often the crawl order is taken
// afresh.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "site/site_crawl.h"
#include "unit/crawl_world.h"

namespace {

std::vector<SitePage*> pagesOf(const std::vector<SiteTree::Place>& order) {
  std::vector<SitePage*> pages;
  for (const SiteTree::Place& place : order) pages.push_back(place.page);
  return pages;
}

TEST(SiteCrawlScale, APassCostsWhatChangedInItNotTheSizeOfTheSite) {
  CrawlWorld world;
  world.setNumber("get", &Settings::filesAtOnce, 8);
  // Each section lists its pages twice, plainly and with a fragment, and links off the
  // site, so the tree has "links" folders and pages filled from another page's reply.
  constexpr int kSections = 30;
  constexpr int kPagesPerSection = 100;
  std::string home = "<title>Home</title>";
  for (int s = 0; s < kSections; ++s) {
    const std::string folder = "http://big.test/s" + std::to_string(s) + "/";
    std::string section = "<title>Section</title><a href=http://elsewhere.test/>away</a>";
    for (int p = 0; p < kPagesPerSection; ++p) {
      const std::string name = "p" + std::to_string(p) + ".htm";
      section += "<a href=" + name + ">p</a><a href=" + name + "#use>use</a>";
      world.serve(folder + name, "<title>Page</title><a href=../../>home</a>");
    }
    world.serve(folder, section);
    home += "<a href=s" + std::to_string(s) + "/>s</a>";
  }
  world.serve("http://big.test/", home);
  constexpr size_t kDocuments = 1 + kSections + kSections * kPagesPerSection;
  constexpr size_t kShown = 1 + kSections + 2 * kSections * kPagesPerSection;

  world.crawl.toggleExpand();
  world.explorer.openTypedAddress("http://big.test/");
  int64_t queriesBefore = world.tree.shapeQueries;
  int insertsBefore = world.tree.inserts;
  int64_t totalQueries = 0, mostInAPass = 0;
  // After each pass: the pass's questions, then whether the crawl is over (the test's own
  // questions are not the pass's).
  auto over = [&] {
    if (!world.explorer.pagesWithJobs().empty() || world.crawl.wantsAnotherPass() ||
        world.crawl.anyVisibleUnread())
      return false;
    for (const SiteTree::Place& place : world.explorer.tree().crawlOrder())
      if (place.page->firstChild && !world.tree.isExpanded(place.page->treeItem)) return false;
    return true;
  };
  const bool settled = world.runUntil(
      [&] {
        // An item put into the tree is asked about once: that is the change itself.
        const int64_t queries = world.tree.shapeQueries - queriesBefore;
        totalQueries += queries;
        mostInAPass = std::max(mostInAPass, queries - (world.tree.inserts - insertsBefore));
        const bool done = over();
        queriesBefore = world.tree.shapeQueries;
        insertsBefore = world.tree.inserts;
        return done;
      },
      100000);
  ASSERT_TRUE(settled);

  // Every document was asked for once, and every page on the site is shown.
  EXPECT_EQ(world.internet.requests().size(), kDocuments);
  const std::vector<SitePage*> kept = pagesOf(world.explorer.tree().crawlOrder());
  EXPECT_EQ(kept.size(), kShown);
  // No pass walked the site: the busiest asked about a few levels' worth of openings,
  // where one walk asks about every shown page. The order was taken afresh only while
  // the root was shown and selected; the rest came at its end as levels opened.
  EXPECT_LE(mostInAPass, static_cast<int64_t>(8 * SiteCrawl::kOpensPerPass));
  EXPECT_LE(totalQueries, static_cast<int64_t>(4 * kShown));
  EXPECT_LE(world.explorer.tree().ordersTaken(), 4u);
  // The order grown at its end is the one the tree shows.
  world.explorer.tree().orderChanged();
  EXPECT_EQ(pagesOf(world.explorer.tree().crawlOrder()), kept);
}

}  // namespace
