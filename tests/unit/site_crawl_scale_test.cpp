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
      if (index.linkCount > 0) EXPECT_TRUE(world.crawl.wantsAnotherPass());
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
