// A fetched page is read for its links on a pool thread while the window goes on: a Stop
// or a closed window meanwhile drops what the read finds and leaves no file, and what it
// finds ends in the page as one read on the window's thread gives it. Pages are fetched
// into memory, and only one too large for it into a file.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "site/site_crawl.h"
#include "unit/crawl_world.h"

namespace {

// Only folders are left: no page's file stayed behind.
std::vector<std::string> filesLeft(const FakeFiles& files) {
  std::vector<std::string> left;
  for (const std::string& path : files.allPaths())
    if (path.back() != '\\') left.push_back(path);
  return left;
}

// The root page's fetch has ended and its read is held in the mapping of its file: a page
// larger than the crawl holds in memory goes into one.
void holdTheRead(CrawlWorld& world, const std::string& address) {
  world.crawl.holdPagesUpTo(8);
  world.files.holdNextMap("");
  world.explorer.openTypedAddress(address);
  ASSERT_TRUE(world.runUntil([&] { return world.explorer.scans().started(world.page(address)); }));
  ASSERT_TRUE(world.files.waitForHeldMap());
}

TEST(SiteCrawlScan, AStopWhileAPageIsReadLeavesItToBeReadAgainAndNoFile) {
  CrawlWorld world;
  world.serve("http://h/", "<title>Root</title><a href=a.htm>a</a>");
  ASSERT_NO_FATAL_FAILURE(holdTheRead(world, "http://h/"));
  SitePage& root = world.page("http://h/");

  world.crawl.stop();
  EXPECT_EQ(root.job, nullptr);
  world.files.releaseMap();
  // The read ends and removes the file; what it found is not the page's.
  ASSERT_TRUE(world.runUntil([&] { return filesLeft(world.files).empty(); }));
  world.scheduler.runScheduler();
  EXPECT_EQ(root.state, PageState::Unread);
  EXPECT_EQ(root.linkCount, 0u);
  EXPECT_EQ(root.title, "");

  world.explorer.openTypedAddress("http://h/");
  ASSERT_TRUE(world.runUntilRead("http://h/"));
  EXPECT_EQ(root.linkCount, 1u);
  EXPECT_EQ(root.title, "Root");
  EXPECT_EQ(world.requestedPaths("h").size(), 2u);
  EXPECT_TRUE(filesLeft(world.files).empty());
}

// The window goes while the read is held: its pages are freed, then the model with its
// crawl, which waits for the read, whose file goes all the same.
TEST(SiteCrawlScan, AWindowClosedWhileAPageIsReadTouchesNoPageAndLeavesNoFile) {
  auto world = std::make_unique<CrawlWorld>();
  std::shared_ptr<FakeFiles> files = world->sharedFiles;
  world->serve("http://h/", "<title>Root</title><a href=a.htm>a</a>");
  ASSERT_NO_FATAL_FAILURE(holdTheRead(*world, "http://h/"));

  world->explorer.discardPages();
  std::thread releaser([&] { files->releaseMap(); });
  world.reset();
  releaser.join();
  EXPECT_TRUE(filesLeft(*files).empty());
}

// Pages are fetched into memory, with no file made for them, unless they outgrow what the
// crawl holds: then a file must be made.
TEST(SiteCrawlScan, APageIsFetchedIntoMemoryUnlessItIsLarger) {
  for (const int64_t held : {SiteCrawl::kPageBytesHeld, int64_t{8}}) {
    CrawlWorld world;
    world.crawl.holdPagesUpTo(held);
    world.serve("http://h/", "<title>Root</title><a href=a.htm>a</a>");
    world.files.failOperation(FakeFiles::Op::kCreate, os_error::kAccessDenied);
    world.explorer.openTypedAddress("http://h/");
    ASSERT_TRUE(world.runUntilRead("http://h/"));
    const SitePage& root = world.page("http://h/");
    const bool inMemory = held == SiteCrawl::kPageBytesHeld;
    EXPECT_EQ(root.state, inMemory ? PageState::Read : PageState::CannotFindServer) << held;
    EXPECT_EQ(root.title, inMemory ? "Root" : "") << held;
    EXPECT_TRUE(filesLeft(world.files).empty());
  }
}

// The found addresses get their types from the file types the window's thread asks, as
// any address it parses does.
TEST(SiteCrawlScan, WhatAReadFindsIsWhatOneReadOnTheWindowsThreadGives) {
  const std::string html =
      "<title>Root</title><a href=b.zip>b</a><a href=a.htm>a</a><img src=p.gif>"
      "<a href=c>c</a><a href=a.htm#x>x</a><a href=sub/>s</a><a href=d.txt>d</a>";
  CrawlWorld world;
  world.serve("http://h/", html);
  world.explorer.openTypedAddress("http://h/");
  ASSERT_TRUE(world.runUntilRead("http://h/"));
  CrawlWorld once;
  SitePage& copy = once.page("http://h/");
  once.explorer.extractor().extractLinks(copy, reinterpret_cast<const unsigned char*>(html.data()),
                                         static_cast<int64_t>(html.size()));

  auto described = [](const SitePage& page) {
    std::vector<std::string> links;
    for (const SiteLink* link = page.links; link; link = link->next) {
      const UrlParts& a = link->target->address;
      links.push_back(a.fullAddress + " " + a.typeName + " " + a.displayName + " " +
                      std::string(kindText(link->kind)));
    }
    return links;
  };
  SitePage& root = world.page("http://h/");
  EXPECT_EQ(root.title, copy.title);
  EXPECT_EQ(described(root), described(copy));
  EXPECT_EQ(root.linkCount, 7u);
  for (const SiteLink* link = root.links; link; link = link->next) {
    const UrlParts& a = link->target->address;
    EXPECT_EQ(a.iconIndex, world.parser.parseAddress(a.fullAddress).iconIndex) << a.fullAddress;
  }
}

// Fetched pages hold their replies until they are read: once more than a place's worth
// wait, they take places, and the fetches stop running ahead of the reading.
TEST(SiteCrawlScan, FetchesStopRunningAheadOfPagesWaitingToBeRead) {
  CrawlWorld world;  // two at once
  std::string root = "<title>Root</title>";
  for (int i = 0; i < 10; ++i) {
    const std::string name = "p" + std::to_string(i) + ".htm";
    root += "<a href=" + name + ">p</a>";
    world.serve("http://h/" + name, "<title>" + name + "</title>");
  }
  world.serve("http://h/", root);
  world.crawl.holdPagesUpTo(8);  // into files, whose reads can be held
  world.crawl.toggleExpand();
  world.explorer.openTypedAddress("http://h/");
  ASSERT_TRUE(world.runUntilRead("http://h/"));
  // The first page's read is held; the pages after it are taken only after it.
  world.files.holdNextMap("");
  auto count = [&](bool ended) {
    size_t n = 0;
    for (const SitePage* page : world.explorer.pagesWithJobs())
      n += (page->job->result != kJobNoResult) == ended ? 1 : 0;
    return n;
  };
  ASSERT_TRUE(world.runUntil([&] { return count(true) > 0 && count(false) == 0; }));
  EXPECT_EQ(count(true), 4u);
  EXPECT_EQ(world.requestedPaths("h").size(), 5u);

  world.files.releaseMap();
  ASSERT_TRUE(world.runUntilSettled());
  EXPECT_EQ(world.requestedPaths("h").size(), 11u);
  EXPECT_TRUE(filesLeft(world.files).empty());
}

}  // namespace
