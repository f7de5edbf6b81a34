// A site of 50,000 pages crawled with Expand on, through the scheduler's passes on the
// fake Internet. What a pass costs is counted, not timed: the questions it asks the tree
// control about where items stand (their tops, whether they are open), which is what
// walking the whole site in every pass would show.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "site/site_crawl.h"
#include "unit/crawl_world.h"

namespace {

TEST(SiteCrawlScale, APassCostsWhatChangedInItNotTheSizeOfTheSite) {
  CrawlWorld world;
  world.setNumber("get", &Settings::filesAtOnce, 8);
  constexpr int kSections = 100;
  constexpr int kPagesPerSection = 500;
  std::string home = "<title>Home</title>";
  for (int s = 0; s < kSections; ++s) {
    const std::string folder = "http://big.test/s" + std::to_string(s) + "/";
    std::string section = "<title>Section</title>";
    for (int p = 0; p < kPagesPerSection; ++p) {
      const std::string name = "p" + std::to_string(p) + ".htm";
      section += "<a href=" + name + ">p</a>";
      world.serve(folder + name, "<title>Page</title><a href=../../>home</a>");
    }
    world.serve(folder, section);
    home += "<a href=s" + std::to_string(s) + "/>s</a>";
  }
  world.serve("http://big.test/", home);
  constexpr size_t kPages = 1 + kSections + kSections * kPagesPerSection;

  world.crawl.toggleExpand();
  world.explorer.openTypedAddress("http://big.test/");
  int64_t queriesBefore = world.tree.shapeQueries;
  int insertsBefore = world.tree.inserts;
  int64_t totalQueries = 0;
  int costlyPasses = 0;
  // After each pass: the pass's questions, then whether the crawl is over (the test's own
  // questions are not the pass's).
  auto over = [&] {
    if (!world.explorer.pagesWithJobs().empty() || world.explorer.registry().size() != kPages)
      return false;
    for (SitePage* page = world.explorer.registry().first(); page; page = page->nextPage)
      if (page->state != PageState::Read ||
          (page->firstChild && !world.tree.isExpanded(page->treeItem)))
        return false;
    return true;
  };
  const bool settled = world.runUntil(
      [&] {
        const int64_t queries = world.tree.shapeQueries - queriesBefore;
        totalQueries += queries;
        // An item put into the tree is asked about once: that is the change itself.
        const int inserted = world.tree.inserts - insertsBefore;
        if (queries - inserted > 64) ++costlyPasses;
        const bool done = over();
        queriesBefore = world.tree.shapeQueries;
        insertsBefore = world.tree.inserts;
        return done;
      },
      400000);
  ASSERT_TRUE(settled);

  // Every page was read, each with one request.
  EXPECT_EQ(world.internet.requests().size(), kPages);
  EXPECT_EQ(world.explorer.tree().crawlOrder().size(), kPages);
  // Only the passes that open a level look at the whole of it; every other pass asks about
  // the pages it placed, started or finished. Over the crawl that is a few questions per
  // page, where walking the site in each pass would be thousands.
  EXPECT_LE(costlyPasses, 4);
  EXPECT_LE(totalQueries, static_cast<int64_t>(6 * kPages));
}

}  // namespace
