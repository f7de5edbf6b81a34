// A document is asked of its server once, however many pages of the Site Window name it
// with a fragment, and a fetch that ends makes room for the next one in the same pass.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "site/site_crawl.h"
#include "unit/crawl_world.h"

namespace {

using Texts = std::vector<std::string>;

class SiteCrawlDocumentsTest : public testing::Test {
 protected:
  SiteCrawlDocumentsTest() {
    world.serve("http://h/",
                "<title>Home</title><a href=a.htm#one>1</a><a href=a.htm>a</a>"
                "<a href=b.htm>b</a><a href=a.htm#two>2</a>");
    world.serve("http://h/a.htm", "<title>A</title><a href=c.htm>c</a><img src=pic.gif>");
    world.serve("http://h/b.htm", "<title>B</title><a href=a.htm#three>3</a><a href=#top>t</a>");
    world.serve("http://h/c.htm", "<title>C</title>");
  }
  SitePage& page(const std::string& address) { return world.page(address); }
  std::vector<std::string> linksOf(const std::string& address) {
    std::vector<std::string> targets;
    for (SiteLink* link = documentOf(page(address)).links; link; link = link->next)
      targets.push_back(link->target->address.fullAddress);
    return targets;
  }

  CrawlWorld world;
};

TEST_F(SiteCrawlDocumentsTest, EachDocumentIsRequestedOnceAndFillsEveryPageOfIt) {
  world.crawl.toggleExpand();
  world.explorer.openTypedAddress("http://h/");
  ASSERT_TRUE(world.runUntilSettled());

  Texts paths = world.requestedPaths("h");
  std::sort(paths.begin(), paths.end());
  EXPECT_EQ(paths, (Texts{"/", "/a.htm", "/b.htm", "/c.htm"}));
  // Every page of a document shows what its one reply gave, as if fetched itself.
  for (const char* address : {"http://h/a.htm#one", "http://h/a.htm#two", "http://h/a.htm#three"}) {
    EXPECT_EQ(page(address).state, PageState::Read) << address;
    EXPECT_EQ(page(address).title, "A") << address;
    EXPECT_EQ(linksOf(address), linksOf("http://h/a.htm")) << address;
  }
  EXPECT_EQ(page("http://h/b.htm#top").state, PageState::Read);
  EXPECT_EQ(world.tree.outline(),
            "Home + *\n"
            "  A - a.htm +\n"
            "    C - c.htm\n"
            "  A - a.htm\n"
            "  B - b.htm +\n"
            "    A - a.htm\n"
            "    B - b.htm\n"
            "  A - a.htm\n");
  // The Site List of the root lists each address once, fragments apart.
  world.showNewSiteRows();
  Texts listed;
  for (const auto& row : world.siteRows.rows) listed.push_back(row.texts[4]);
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed, (Texts{"http://h/", "http://h/a.htm", "http://h/a.htm#one",
                           "http://h/a.htm#three", "http://h/a.htm#two", "http://h/b.htm",
                           "http://h/b.htm#top", "http://h/c.htm", "http://h/pic.gif"}));

  // Refresh asks for every document again, once.
  world.explorer.refresh();
  ASSERT_TRUE(world.runUntilSettled());
  EXPECT_EQ(world.requestedPaths("h").size(), 8u);
}

TEST_F(SiteCrawlDocumentsTest, PagesOfADocumentBeingFetchedWaitForThatFetch) {
  world.setNumber("get", &Settings::filesAtOnce, 3);
  world.holdBack("http://h/a.htm");
  world.explorer.openTypedAddress("http://h/");
  ASSERT_TRUE(world.runUntilRead("http://h/"));
  world.userExpand("http://h/");
  world.scheduler.runScheduler();
  // The three pages of a.htm show as fetched, through one request; b.htm has the second
  // of the three places.
  EXPECT_EQ(world.fetching(), (Texts{"http://h/a.htm", "http://h/a.htm#one", "http://h/a.htm#two",
                                     "http://h/b.htm"}));
  EXPECT_EQ(world.explorer.pagesWithJobs().size(), 2u);
  ASSERT_TRUE(world.runUntilRead("http://h/b.htm"));
  EXPECT_EQ(world.fetching(),
            (Texts{"http://h/a.htm", "http://h/a.htm#one", "http://h/a.htm#two"}));

  // Stop ends the one fetch for all of them; the crawl asks again later.
  world.crawl.stop();
  EXPECT_TRUE(world.fetching().empty());
  EXPECT_EQ(page("http://h/a.htm#one").job, nullptr);
  world.release("http://h/a.htm");
  world.explorer.openTypedAddress("http://h/");
  ASSERT_TRUE(world.runUntilRead("http://h/a.htm#two"));
  EXPECT_EQ(page("http://h/a.htm#one").state, PageState::Read);
  EXPECT_EQ(page("http://h/a.htm").state, PageState::Read);
}

// When a page's fetch ends, the pass that takes its result also starts the next page: the
// place does not wait for the next timer.
TEST_F(SiteCrawlDocumentsTest, TheFetchThatEndsMakesRoomInTheSamePass) {
  world.setNumber("get", &Settings::filesAtOnce, 1);
  world.holdBack("http://h/a.htm");
  world.explorer.openTypedAddress("http://h/");
  ASSERT_TRUE(world.runUntilRead("http://h/"));
  world.userExpand("http://h/");
  world.scheduler.runScheduler();
  // a.htm#one fetches the document for a.htm too; b.htm waits for the one place.
  EXPECT_EQ(world.fetching(), (Texts{"http://h/a.htm", "http://h/a.htm#one"}));
  world.release("http://h/a.htm");
  // The pass that started the fetch started its worker too; no pass runs until the worker
  // has ended, which wakes the loop.
  auto ended = [&] {
    std::lock_guard hold(world.engine.lock());
    const TransferJob* job = page("http://h/a.htm#one").job;
    return !job->workers.empty() &&
           std::none_of(job->workers.begin(), job->workers.end(),
                        [](const auto& worker) { return isActiveState(worker->state); });
  };
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!ended() && std::chrono::steady_clock::now() < limit) {
    const int seen = world.wakes.load();
    std::unique_lock<std::mutex> lock(world.wakeMutex);
    world.wakeSignal.wait_for(lock, std::chrono::milliseconds(100),
                              [&] { return world.wakes.load() != seen; });
  }
  ASSERT_TRUE(ended());
  world.scheduler.runScheduler();
  // The page is read off the window's thread, and takes no place meanwhile.
  EXPECT_TRUE(world.hasJob("http://h/b.htm"));
  ASSERT_TRUE(world.runUntilRead("http://h/a.htm#one"));
  EXPECT_EQ(page("http://h/a.htm").state, PageState::Read);
  EXPECT_EQ(page("http://h/a.htm#two").state, PageState::Read);
}

}  // namespace
