// The crawl of a generated site with Expand on, on the fake Internet and in-memory views,
// through the scheduler's passes: how long the longest and the average pass take as the
// site grows, how many requests it makes for how many documents, and what a page costs in
// memory and where that memory goes (the pages with their addresses and links, the tree's
// items, the list's rows). The views here are in memory: the real window's tree and list
// controls hold their own copies of the labels and row texts on top.
//
//   site_crawl_bench [PAGES] [FILES_AT_ONCE]      (default 50000 pages, 8 at once)
//
// Every section page links to its pages twice: once plainly and once with a fragment, as
// documentation does ("p.htm#usage"), so a site of N documents has about 2N pages.
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>

#include "site/site_crawl.h"
#include "unit/crawl_world.h"

namespace {

using WallClock = std::chrono::steady_clock;

size_t heapInUse() {
  malloc_trim(0);
  return mallinfo2().uordblks;
}

}  // namespace

int main(int argc, char** argv) {
  const int documents = argc > 1 ? std::atoi(argv[1]) / 2 : 25000;
  const int atOnce = argc > 2 ? std::atoi(argv[2]) : 8;
  const int perSection = 250;
  const int sections = std::max(1, documents / perSection);

  const size_t heapBefore = heapInUse();
  auto world = std::make_unique<CrawlWorld>();
  world->setNumber("get", &Settings::filesAtOnce, atOnce);
  std::string home = "<title>Generated manual</title>";
  for (int s = 0; s < sections; ++s) {
    const std::string folder = "http://manual.test/part" + std::to_string(s) + "/";
    std::string section = "<title>Part " + std::to_string(s) + "</title>";
    for (int p = 0; p < perSection; ++p) {
      const std::string name = "topic" + std::to_string(p) + ".html";
      section += "<li><a href=\"" + name + "\">Topic</a> (<a href=\"" + name +
                 "#usage\">usage</a>)</li>\n";
      world->serve(folder + name, "<html><head><title>Topic " + std::to_string(p) +
                                      "</title></head><body><a href=\"../index.html\">up</a> "
                                      "<a href=\"#top\">top</a> <img src=\"../logo.png\">"
                                      "</body></html>");
    }
    world->serve(folder, section);
    home += "<a href=\"part" + std::to_string(s) + "/\">Part</a>\n";
  }
  world->serve("http://manual.test/", home);
  world->serve("http://manual.test/index.html", home);
  const size_t heapServed = heapInUse();

  world->crawl.toggleExpand();
  world->explorer.openTypedAddress("http://manual.test/");
  double longest = 0, total = 0;
  long passes = 0;
  const auto began = WallClock::now();
  // The idle passes, as the window runs them: each after a worker's wake-up (or the 300 ms
  // timer), each also adding the list's new rows.
  auto over = [&] {
    if (!world->explorer.pagesWithJobs().empty()) return false;
    for (SitePage* page = world->explorer.registry().first(); page; page = page->nextPage)
      if (page->treeItem != kNoTreeItem &&
          (page->state == PageState::Unread ||
           (page->firstChild && !world->tree.isExpanded(page->treeItem))))
        return false;
    return true;
  };
  bool settled = false;
  while (!settled && passes < 2000000) {
    const int seen = world->wakes.load();
    const auto start = WallClock::now();
    world->scheduler.runScheduler();
    world->showNewSiteRows();
    const double ms = std::chrono::duration<double, std::milli>(WallClock::now() - start).count();
    longest = std::max(longest, ms);
    total += ms;
    ++passes;
    settled = over();
    std::unique_lock<std::mutex> lock(world->wakeMutex);
    world->wakeSignal.wait_for(lock, std::chrono::milliseconds(300),
                               [&] { return world->wakes.load() != seen; });
  }
  const double seconds = std::chrono::duration<double>(WallClock::now() - began).count();
  const size_t pages = world->explorer.registry().size();
  size_t read = 0;
  for (SitePage* page = world->explorer.registry().first(); page; page = page->nextPage)
    if (page->state == PageState::Read) ++read;
  const size_t requests = world->internet.requests().size();

  const size_t heapCrawled = heapInUse();
  world->siteRows.rows.clear();
  world->siteRows.rows.shrink_to_fit();
  const size_t heapNoRows = heapInUse();
  world->tree.clear();
  const size_t heapNoTree = heapInUse();
  world->explorer.registry().clear();
  const size_t heapNoPages = heapInUse();
  world.reset();
  const size_t heapAfter = heapInUse();

  auto perPage = [&](size_t bytes) { return static_cast<double>(bytes) / pages; };
  std::printf("site: %d documents in %d parts, %d at once%s\n", documents, sections, atOnce,
              settled ? "" : " (did not settle)");
  std::printf("pages %zu, read %zu, requests %zu, passes %ld, %.1f s\n", pages, read, requests,
              passes, seconds);
  std::printf("scheduler pass: longest %.2f ms, mean %.3f ms\n", longest, total / passes);
  std::printf(
      "memory per page: %.0f bytes in all; pages, addresses and links %.0f; tree "
      "items %.0f; list rows %.0f; the rest %.0f (the crawl's own, and the fake "
      "server's log of requests)\n",
      perPage(heapCrawled - heapServed), perPage(heapNoTree - heapNoPages),
      perPage(heapNoRows - heapNoTree), perPage(heapCrawled - heapNoRows),
      perPage(heapNoPages - heapServed));
  std::printf("(the fake server's pages: %.1f MB, left out; %.1f MB not given back at the end)\n",
              static_cast<double>(heapServed - heapBefore) / 1e6,
              static_cast<double>(heapAfter - heapBefore) / 1e6);
  return settled ? 0 : 1;
}
