// The crawl of a Site Window through the scheduler: which pages are fetched, how many at
// once, what a finished or failed fetch leaves, and the Stop and Expand controls.
#include "site/site_crawl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "platform/own_images.h"
#include "store/site_credentials.h"
#include "unit/crawl_world.h"

namespace {

using Addresses = std::vector<std::string>;

class SiteCrawlTest : public testing::Test {
 protected:
  SiteExplorer& explorer = world.explorer;
  SiteCrawl& crawl = world.crawl;

  // Serves the root with links to the pages, and each page without links, every page
  // held back until released.
  void serveRootLinking(const Addresses& pages) {
    std::string html = "<title>Root</title>";
    for (const std::string& page : pages) {
      html += "<a href=\"" + page + "\">x</a>";
      world.serve("http://h/" + page, "<title>" + page + "</title>");
      world.holdBack("http://h/" + page);
    }
    world.serve("http://h/", html);
  }
  // Opens the address, reads the root and opens its item.
  void openAndReadRoot() {
    explorer.openTypedAddress("http://h/");
    ASSERT_TRUE(world.runUntilRead("http://h/"));
    world.userExpand("http://h/");
  }
  int image(const std::string& address) { return world.tree.imageOf(world.page(address).treeItem); }
  void pass() { world.scheduler.runScheduler(); }

  CrawlWorld world;
};

TEST_F(SiteCrawlTest, TwoAtOnceFetchTheRootThenTwoPagesAtATimeInTreeOrderBesideTheDownloads) {
  serveRootLinking({"e.htm", "b.htm", "d.htm", "a.htm", "c.htm"});
  // Two downloads run all along, held back by their server.
  world.serve("http://files/1.bin", "one");
  world.serve("http://files/2.bin", "two");
  world.holdBack("http://files/1.bin");
  world.holdBack("http://files/2.bin");
  world.queue.addAddresses("http://files/1.bin\r\nhttp://files/2.bin");
  world.showNewRows();

  explorer.openTypedAddress("http://h/");
  pass();
  EXPECT_EQ(world.fetching(), (Addresses{"http://h/"}));
  ASSERT_TRUE(world.runUntilRead("http://h/"));
  EXPECT_EQ(world.tree.childTexts(world.page("http://h/").treeItem),
            (Addresses{"e.htm", "b.htm", "d.htm", "a.htm", "c.htm"}));
  // The children are out of sight until the root is opened.
  pass();
  EXPECT_TRUE(world.fetching().empty());

  world.userExpand("http://h/");
  pass();
  EXPECT_EQ(world.fetching(), (Addresses{"http://h/b.htm", "http://h/e.htm"}));
  EXPECT_TRUE(ItemCommands::isActive(*world.queue.first()));
  EXPECT_TRUE(ItemCommands::isActive(*world.queue.first()->next));
  // Each page that ends makes room for the next one in the tree.
  world.release("http://h/b.htm");
  ASSERT_TRUE(world.runUntilRead("http://h/b.htm"));
  EXPECT_EQ(world.fetching(), (Addresses{"http://h/d.htm", "http://h/e.htm"}));
  world.release("http://h/e.htm");
  ASSERT_TRUE(world.runUntilRead("http://h/e.htm"));
  EXPECT_EQ(world.fetching(), (Addresses{"http://h/a.htm", "http://h/d.htm"}));
  world.release("http://h/a.htm");
  world.release("http://h/d.htm");
  ASSERT_TRUE(world.runUntil([&] { return world.fetching() == Addresses{"http://h/c.htm"}; }));
  world.release("http://h/c.htm");
  ASSERT_TRUE(world.runUntilRead("http://h/c.htm"));
  // Each page was asked for once (in what order the worker threads sent the requests is
  // theirs to decide).
  Addresses asked = world.requestedPaths("h");
  std::sort(asked.begin(), asked.end());
  EXPECT_EQ(asked, (Addresses{"/", "/a.htm", "/b.htm", "/c.htm", "/d.htm", "/e.htm"}));
  // The downloads were never held up, nor did they hold the pages up.
  EXPECT_TRUE(ItemCommands::isActive(*world.queue.first()));
  EXPECT_TRUE(ItemCommands::isActive(*world.queue.first()->next));
}

TEST_F(SiteCrawlTest, ARunningFetchShowsTheArrowAndAReadPageTheWorld) {
  serveRootLinking({"a.htm"});
  openAndReadRoot();
  EXPECT_EQ(image("http://h/"), imageIndex(OwnImage::kTreeWorld));
  EXPECT_EQ(image("http://h/a.htm"), imageIndex(OwnImage::kTreeHole));
  pass();
  EXPECT_EQ(image("http://h/a.htm"), imageIndex(OwnImage::kTreeArrow));
  world.release("http://h/a.htm");
  ASSERT_TRUE(world.runUntilRead("http://h/a.htm"));
  EXPECT_EQ(image("http://h/a.htm"), imageIndex(OwnImage::kTreeWorld));
  EXPECT_EQ(world.tree.textOf(world.page("http://h/a.htm").treeItem), "a.htm - a.htm");
}

TEST_F(SiteCrawlTest, CollapsingABranchTakesItsUnreadPagesOutAndExpandingBringsThemBack) {
  world.setNumber("get", &Settings::filesAtOnce, 1);
  serveRootLinking({"a.htm", "b.htm"});
  openAndReadRoot();
  pass();
  EXPECT_EQ(world.fetching(), (Addresses{"http://h/a.htm"}));
  world.userCollapse("http://h/");
  // The fetch under way goes on; nothing further starts in the closed branch.
  world.release("http://h/a.htm");
  world.release("http://h/b.htm");
  ASSERT_TRUE(world.runUntilRead("http://h/a.htm"));
  for (int i = 0; i < 3; ++i) pass();
  EXPECT_FALSE(world.hasJob("http://h/b.htm"));
  world.userExpand("http://h/");
  ASSERT_TRUE(world.runUntilRead("http://h/b.htm"));
  EXPECT_EQ(world.requestedPaths("h"), (Addresses{"/", "/a.htm", "/b.htm"}));
}

TEST_F(SiteCrawlTest, StopTurnsTheArrowsBackAndNothingStartsUntilABranchIsOpened) {
  serveRootLinking({"a.htm", "b.htm"});
  openAndReadRoot();
  pass();
  EXPECT_TRUE(crawl.canStop());
  EXPECT_EQ(image("http://h/a.htm"), imageIndex(OwnImage::kTreeArrow));
  crawl.stop();
  EXPECT_TRUE(explorer.fetchStopped());
  EXPECT_FALSE(crawl.canStop());
  EXPECT_TRUE(world.engine.jobs().empty());
  EXPECT_TRUE(explorer.pagesWithJobs().empty());
  EXPECT_EQ(image("http://h/a.htm"), imageIndex(OwnImage::kTreeHole));
  EXPECT_EQ(image("http://h/b.htm"), imageIndex(OwnImage::kTreeHole));
  EXPECT_EQ(world.page("http://h/a.htm").state, PageState::Unread);
  for (int i = 0; i < 3; ++i) pass();
  EXPECT_TRUE(world.fetching().empty());

  // Opening a branch lets the crawl go on, and the stopped pages are fetched anew.
  world.userCollapse("http://h/");
  world.userExpand("http://h/");
  EXPECT_FALSE(explorer.fetchStopped());
  pass();
  EXPECT_EQ(world.fetching(), (Addresses{"http://h/a.htm", "http://h/b.htm"}));
}

TEST_F(SiteCrawlTest, AfterStopTypingTheAddressAgainOrAnotherOneGoesOn) {
  serveRootLinking({"a.htm"});
  world.serve("http://other/", "<title>Other</title>");
  openAndReadRoot();
  crawl.stop();
  pass();
  EXPECT_TRUE(world.fetching().empty());
  explorer.openTypedAddress("http://h/");
  pass();
  EXPECT_EQ(world.fetching(), (Addresses{"http://h/a.htm"}));

  crawl.stop();
  explorer.openTypedAddress("http://other/");
  ASSERT_TRUE(world.runUntilRead("http://other/"));
  EXPECT_EQ(world.frame.windowTitle, "Other - Haulix");
  EXPECT_EQ(world.findPage("http://h/a.htm"), nullptr);
}

TEST_F(SiteCrawlTest, ExpandWithNothingLeftAtDepthOneOpensEveryClosedDepthOnePageInOnePass) {
  world.serve("http://h/", "<a href=a.htm>a</a><a href=b.htm>b</a><a href=c.htm>c</a>");
  world.serve("http://h/a.htm", "<a href=a1.htm>a1</a>");
  world.serve("http://h/b.htm", "<a href=b1.htm>b1</a>");
  world.serve("http://h/c.htm", "no links");
  world.serve("http://h/a1.htm", "<a href=a2.htm>a2</a>");
  world.serve("http://h/b1.htm", "");
  world.serve("http://h/a2.htm", "<title>a2</title>");
  world.holdBack("http://h/c.htm");
  crawl.toggleExpand();
  EXPECT_TRUE(crawl.expandPressed());
  explorer.openTypedAddress("http://h/");
  // The root is opened in the pass that reads it.
  ASSERT_TRUE(world.runUntilRead("http://h/"));
  EXPECT_TRUE(world.tree.isExpanded(world.page("http://h/").treeItem));
  ASSERT_TRUE(world.runUntilRead("http://h/a.htm"));
  ASSERT_TRUE(world.runUntilRead("http://h/b.htm"));
  pass();
  // c is still being read: the next level waits.
  EXPECT_FALSE(world.tree.isExpanded(world.page("http://h/a.htm").treeItem));
  world.release("http://h/c.htm");
  ASSERT_TRUE(world.runUntilRead("http://h/c.htm"));
  EXPECT_TRUE(world.tree.isExpanded(world.page("http://h/a.htm").treeItem));
  EXPECT_TRUE(world.tree.isExpanded(world.page("http://h/b.htm").treeItem));
  pass();
  EXPECT_EQ(world.fetching(), (Addresses{"http://h/a1.htm", "http://h/b1.htm"}));
  ASSERT_TRUE(world.runUntilSettled());
  EXPECT_EQ(world.page("http://h/a2.htm").state, PageState::Read);
}

TEST_F(SiteCrawlTest, CollapsingAnItemTurnsExpandOff) {
  world.serve("http://h/", "<a href=a.htm>a</a>");
  world.serve("http://h/a.htm", "");
  crawl.toggleExpand();
  explorer.openTypedAddress("http://h/");
  ASSERT_TRUE(world.runUntilRead("http://h/"));
  world.userCollapse("http://h/");
  EXPECT_FALSE(crawl.expandPressed());
  for (int i = 0; i < 3; ++i) pass();
  EXPECT_FALSE(world.tree.isExpanded(world.page("http://h/").treeItem));
  EXPECT_FALSE(world.hasJob("http://h/a.htm"));
  crawl.toggleExpand();
  EXPECT_TRUE(crawl.expandPressed());
}

TEST_F(SiteCrawlTest, APageWhoseCertificateIsRefusedSaysSo) {
  world.serve("http://h/", "<a href=https://secure/x.htm>x</a>");
  world.internet.setServer("secure", 443, [](const FakeRequest& request) {
    return FakeInternet::fileReply(request, FakeBody::of("<title>x</title>"));
  });
  world.internet.setCertificateFault("secure", 443, CertificateFault::kNameWrong);
  openAndReadRoot();
  world.tree.userExpand(world.page("http://h/").linksItem);
  ASSERT_TRUE(world.runUntilRead("https://secure/x.htm"));
  SitePage& refused = world.page("https://secure/x.htm");
  EXPECT_EQ(refused.state, PageState::CannotFindServer);
  EXPECT_EQ(world.tree.textOf(refused.treeItem), "x.htm (Certificate Name Wrong)");
}

TEST_F(SiteCrawlTest, AFailedPageShowsCannotFindServerAndOnlyRefreshFetchesItAgain) {
  world.serve("http://h/", "<a href=gone.htm>g</a><a href=http://down/x.htm>x</a>");
  world.serve("http://h/gone.htm", "not here", 404);
  world.internet.setServerDown("down", 80);
  openAndReadRoot();
  world.tree.userExpand(world.page("http://h/").linksItem);
  ASSERT_TRUE(world.runUntilRead("http://h/gone.htm"));
  ASSERT_TRUE(world.runUntilRead("http://down/x.htm"));
  SitePage& gone = world.page("http://h/gone.htm");
  EXPECT_EQ(gone.state, PageState::CannotFindServer);
  EXPECT_EQ(world.page("http://down/x.htm").state, PageState::CannotFindServer);
  EXPECT_EQ(world.tree.textOf(gone.treeItem), "gone.htm (Cannot find server)");
  EXPECT_EQ(image("http://h/gone.htm"), imageIndex(OwnImage::kTreeRed));
  EXPECT_EQ(gone.links, nullptr);
  for (int i = 0; i < 3; ++i) pass();
  EXPECT_EQ(world.requestedPaths("h"), (Addresses{"/", "/gone.htm"}));

  explorer.refresh();
  ASSERT_TRUE(world.runUntilRead("http://h/"));
  world.userExpand("http://h/");
  ASSERT_TRUE(world.runUntilRead("http://h/gone.htm"));
  EXPECT_EQ(world.requestedPaths("h"), (Addresses{"/", "/gone.htm", "/", "/gone.htm"}));
}

TEST_F(SiteCrawlTest, APageScrolledOutOfSightInsideAnOpenBranchIsStillFetched) {
  world.setNumber("get", &Settings::filesAtOnce, 1);
  serveRootLinking({"a.htm", "b.htm", "c.htm", "d.htm"});
  openAndReadRoot();
  world.tree.firstShownRow = 3;  // the root, a and b lie above the view
  ASSERT_LT(*crawl.itemTop(world.page("http://h/a.htm")), 0);
  for (const char* page : {"http://h/a.htm", "http://h/b.htm", "http://h/c.htm", "http://h/d.htm"})
    world.release(page);
  ASSERT_TRUE(world.runUntilSettled());
  EXPECT_EQ(world.requestedPaths("h"), (Addresses{"/", "/a.htm", "/b.htm", "/c.htm", "/d.htm"}));
}

TEST_F(SiteCrawlTest, WithoutAConnectionNothingStartsAndTheConnectDialogIsAskedForOnce) {
  serveRootLinking({});
  world.setNumber("dialup", &Settings::dialUpMode, 1);
  world.connection.connected = false;
  explorer.openTypedAddress("http://h/");
  pass();
  EXPECT_FALSE(world.hasJob("http://h/"));
  EXPECT_TRUE(takeRequest(world.requests.openConnectDialog));
  pass();
  EXPECT_FALSE(takeRequest(world.requests.openConnectDialog));
  world.connection.connected = true;
  ASSERT_TRUE(world.runUntilRead("http://h/"));
}

TEST_F(SiteCrawlTest, TheFetchCarriesTheSitesCredentialsAndLeavesNoFileBehind) {
  world.settings.setTextSetting("site", &Settings::siteTable,
                                formatSiteTable({{"h", "fred", "secret", "http://ref/"}}));
  world.serve("http://h/", "<title>In</title>");
  explorer.openTypedAddress("http://h/");
  ASSERT_TRUE(world.runUntilRead("http://h/"));
  const std::vector<FakeRequest> requests = world.internet.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].userName, "fred");
  EXPECT_EQ(requests[0].password, "secret");
  EXPECT_EQ(requests[0].referrer, "http://ref/");
  EXPECT_EQ(world.page("http://h/").title, "In");
  // Only the folders remain: the page's file went once its links were read.
  for (const std::string& path : world.files.allPaths()) EXPECT_EQ(path.back(), '\\') << path;
}

TEST_F(SiteCrawlTest, ANewAddressWhilePagesAreFetchedEndsTheirFetches) {
  serveRootLinking({"a.htm", "b.htm"});
  world.serve("http://other/", "");
  openAndReadRoot();
  pass();
  ASSERT_EQ(world.fetching().size(), 2u);
  explorer.openTypedAddress("http://other/");
  EXPECT_EQ(explorer.pagesWithJobs().size(), 0u);
  EXPECT_TRUE(world.engine.jobs().empty());
  ASSERT_TRUE(world.runUntilRead("http://other/"));
}

TEST_F(SiteCrawlTest, APageGoingBackWhileFetchedIsReadWithoutAPlaceInTheTree) {
  serveRootLinking({"a.htm"});
  world.serve("http://h/a.htm", "<a href=deeper.htm>d</a>");
  world.holdBack("http://h/a.htm");
  world.serve("http://next/", "");
  openAndReadRoot();
  pass();
  ASSERT_TRUE(world.hasJob("http://h/a.htm"));
  explorer.openTypedAddress("http://next/");  // a new site: the old pages go
  explorer.goBack();
  ASSERT_TRUE(world.runUntilRead("http://h/"));
  world.userExpand("http://h/");
  pass();
  ASSERT_TRUE(world.hasJob("http://h/a.htm"));
  // Forward empties the tree while a is fetched; a is read all the same.
  explorer.goForward();
  world.release("http://h/a.htm");
  ASSERT_TRUE(world.runUntilRead("http://h/a.htm"));
  EXPECT_EQ(world.page("http://h/a.htm").treeItem, kNoTreeItem);
  EXPECT_NE(world.findPage("http://h/deeper.htm"), nullptr);
}

// The order the tree keeps must be the order the walk defines: by depth, then by the
// tops of the items, over the pages whose items are shown. Checked against that definition
// applied to every page of the registry, on random trees opened, closed and scrolled at
// random.
TEST_F(SiteCrawlTest, TheOrderOfAPassIsTheOrderTheWalkDefines) {
  std::mt19937 random(7);
  for (int round = 0; round < 20; ++round) {
    CrawlWorld local;
    local.explorer.openTypedAddress("http://h/");
    std::vector<SitePage*> read;
    SitePage& root = local.page("http://h/");
    read.push_back(&root);
    // Random pages link to random others, on the host or off it.
    for (int i = 0; i < 25; ++i) {
      SitePage& page = *read[random() % read.size()];
      if (page.state == PageState::Read) continue;
      std::string html;
      for (int links = random() % 5; links > 0; --links)
        html += "<a href=" + std::string(random() % 4 ? "" : "http://o/") + "p" +
                std::to_string(random() % 40) + ".htm>x</a>";
      local.explorer.extractor().extractLinks(page,
                                              reinterpret_cast<const unsigned char*>(html.data()),
                                              static_cast<int64_t>(html.size()));
      local.explorer.tree().addChildPages(page);
      page.state = PageState::Read;
      for (SitePage* child = page.firstChild; child; child = child->nextSibling)
        read.push_back(child);
      for (const SitePage* p : read)
        if (p->treeItem != kNoTreeItem && random() % 2) local.tree.userExpand(p->treeItem);
      if (page.linksItem != kNoTreeItem && random() % 2) local.tree.userExpand(page.linksItem);
    }
    local.tree.firstShownRow = static_cast<int>(random() % 6);

    std::vector<SitePage*> defined;
    int depth = 0;
    std::optional<int> top;
    for (;;) {
      SitePage* best = nullptr;
      std::optional<int> bestTop;
      for (int d : {depth, depth + 1}) {
        for (SitePage* p = local.explorer.registry().first(); p; p = p->nextPage) {
          std::optional<int> t = local.crawl.itemTop(*p);
          if (!t || SiteCrawl::pageDepth(*p) != d || (d == depth && top && *t <= *top)) continue;
          if (!best || *t < *bestTop) {
            best = p;
            bestTop = t;
          }
        }
        if (best) {
          depth = d;
          break;
        }
      }
      if (!best) break;
      defined.push_back(best);
      top = bestTop;
    }
    std::vector<SitePage*> taken, walked;
    for (const SiteTree::Place& place : local.explorer.tree().crawlOrder())
      taken.push_back(place.page);
    for (SitePage* p = local.crawl.walkNext(nullptr); p; p = local.crawl.walkNext(p))
      walked.push_back(p);
    ASSERT_EQ(taken, defined) << round;
    ASSERT_EQ(walked, defined) << round;
  }
}

}  // namespace
