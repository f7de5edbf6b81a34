// The crawl of a site with Expand on, on the fake Internet and in-memory views, through the
// scheduler's passes: how long the longest and the average pass take (in wall time, and in
// the thread's CPU time, which a busy machine does not stretch), how many passes take
// longer than the 5 ms a pass may take, how many requests it makes for how many documents,
// which steps took the time of the slowest passes, and what a page costs in memory and
// where that memory goes (the pages with their addresses and links, the tree's items, the
// list's rows). The views here are in memory: the real window's tree and list controls
// hold their own copies of the labels and row texts on top.
//
//   site_crawl_bench [PAGES] [FILES_AT_ONCE]
//       a generated site of PAGES / 2 documents (default 50000, 8 at once)
//   site_crawl_bench --folder DIR [FILES_AT_ONCE]
//       the HTML files of a folder, from DIR/index.html
//
// Every part of the generated site links to its pages twice: once plainly and once with a
// fragment, as documentation does ("p.htm#usage"), and each page links to its own top, so
// a site of N documents has about 3N pages. A folder (Debian's
// /usr/share/doc/python3.11/html, say) brings the large pages of real documentation:
// indexes of 15,000 links in one page.
#include <malloc.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "site/site_crawl.h"
#include "unit/crawl_world.h"

namespace {

using WallClock = std::chrono::steady_clock;

size_t heapInUse() {
  malloc_trim(0);
  return mallinfo2().uordblks;
}

// The CPU time of the calling thread, ms: what a pass costs even when the machine's other
// work takes the processor from it in the middle.
double threadCpuMs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// The scheduler's site steps, each timed in the thread's CPU time, so that the slowest
// passes can say which step made them slow.
class TimedSteps final : public SiteSteps {
 public:
  explicit TimedSteps(SiteSteps& steps) : steps_(steps) {}
  void collectFinishedFetches() override {
    time(0, [&] { steps_.collectFinishedFetches(); });
  }
  void startPageFetches(int filesAtOnce) override {
    time(1, [&] { steps_.startPageFetches(filesAtOnce); });
  }
  void expandWhenIdle() override {
    time(2, [&] { steps_.expandWhenIdle(); });
  }
  double ms[3] = {};

 private:
  template <class Step>
  void time(int at, Step step) {
    const double start = threadCpuMs();
    step();
    ms[at] = threadCpuMs() - start;
  }
  SiteSteps& steps_;
};

// A pass's CPU time, ms, step by step: the list's new rows, the crawl's three steps, the
// rest of the scheduler (the engine's job pass, the downloads), and Stop's enabling.
struct Split {
  double rows, collect, start, expand, rest, stop;
};

// The slowest passes, each with its steps.
void printSlowest(const std::vector<double>& cpuMs, const std::vector<Split>& splits) {
  std::vector<size_t> slowest(cpuMs.size());
  for (size_t i = 0; i < slowest.size(); ++i) slowest[i] = i;
  const size_t shown = std::min<size_t>(5, slowest.size());
  std::partial_sort(slowest.begin(), slowest.begin() + shown, slowest.end(),
                    [&](size_t a, size_t b) { return cpuMs[a] > cpuMs[b]; });
  std::printf(
      "the %zu slowest passes, CPU ms: pass, in all; rows, collect, start, expand, "
      "the rest of the scheduler, Stop\n",
      shown);
  for (size_t i = 0; i < shown; ++i) {
    const Split& s = splits[slowest[i]];
    std::printf("  %6zu  %6.2f; %6.2f %6.2f %6.2f %6.2f %6.2f %6.2f\n", slowest[i],
                cpuMs[slowest[i]], s.rows, s.collect, s.start, s.expand, s.rest, s.stop);
  }
}

// Longest, 99.9th percentile, mean, and how many over 5 ms.
void printPasses(const char* what, std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  double total = 0;
  for (double each : ms) total += each;
  const auto over5 = ms.end() - std::upper_bound(ms.begin(), ms.end(), 5.0);
  std::printf(
      "scheduler pass, %s: longest %.2f ms, 99.9th percentile %.2f ms, mean %.3f ms; "
      "%ld over 5 ms; the 5 longest:",
      what, ms.back(), ms[ms.size() * 999 / 1000], total / ms.size(), static_cast<long>(over5));
  for (size_t i = 0; i < 5 && i < ms.size(); ++i) std::printf(" %.2f", ms[ms.size() - 1 - i]);
  std::printf("\n");
}

// A generated manual of about `pages` pages (see GeneratedManual); gives its start address.
std::string serveGenerated(CrawlWorld& world, int pages) {
  const int parts = std::max(1, pages / 2 / GeneratedManual::kTopicsPerPart);
  GeneratedManual::serve(world.internet, parts);
  std::printf("site: %zu documents in %d parts\n", GeneratedManual::documents(parts), parts);
  return GeneratedManual::kStart;
}

// Every .html file under the folder, at the same path under http://docs.test/.
std::string serveFolder(CrawlWorld& world, const std::filesystem::path& folder) {
  size_t files = 0, bytes = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    if (!entry.is_regular_file() || entry.path().extension() != ".html") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::string body((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    bytes += body.size();
    ++files;
    world.serve("http://docs.test/" + entry.path().lexically_relative(folder).generic_string(),
                body);
  }
  std::printf("site: %zu HTML files, %.1f MB, from %s\n", files, bytes / 1e6, folder.c_str());
  return "http://docs.test/index.html";
}

}  // namespace

int main(int argc, char** argv) {
  const bool fromFolder = argc > 2 && std::string(argv[1]) == "--folder";
  const int next = fromFolder ? 3 : 2;
  const int pages = !fromFolder && argc > 1 ? std::atoi(argv[1]) : 50000;
  const int atOnce = argc > next ? std::atoi(argv[next]) : 8;

  const size_t heapBefore = heapInUse();
  auto world = std::make_unique<CrawlWorld>();
  world->setNumber("get", &Settings::filesAtOnce, atOnce);
  const std::string start =
      fromFolder ? serveFolder(*world, argv[2]) : serveGenerated(*world, pages);
  const size_t heapServed = heapInUse();

  TimedSteps timed(world->crawl);
  world->scheduler.setSiteSteps(&timed);
  world->crawl.toggleExpand();
  world->explorer.openTypedAddress(start);
  std::vector<double> passMs, passCpuMs;
  std::vector<Split> splits;
  const auto began = WallClock::now();
  // The idle passes, as the window runs them: each after a worker's wake-up (or the 300 ms
  // timer, or at once when the crawl asks for another pass), each also adding the list's
  // new rows and asking whether Stop is available.
  // Nothing fetched, nothing shown left to read or to open (pages in a closed "links"
  // folder are not shown, and Expand leaves those folders closed).
  auto over = [&] {
    if (!world->explorer.pagesWithJobs().empty() || world->crawl.anyVisibleUnread()) return false;
    for (const SiteTree::Place& place : world->explorer.tree().crawlOrder())
      if (place.page->firstChild && !world->tree.isExpanded(place.page->treeItem)) return false;
    return true;
  };
  bool settled = false;
  while (!settled && passMs.size() < 2000000) {
    const int seen = world->wakes.load();
    const auto start = WallClock::now();
    const double cpuStart = threadCpuMs();
    world->showNewSiteRows();
    const double rowsDone = threadCpuMs();
    world->scheduler.runScheduler();
    const double schedulerDone = threadCpuMs();
    (void)world->crawl.canStop();
    const double stopDone = threadCpuMs();
    const double siteMs = timed.ms[0] + timed.ms[1] + timed.ms[2];
    splits.push_back({rowsDone - cpuStart, timed.ms[0], timed.ms[1], timed.ms[2],
                      schedulerDone - rowsDone - siteMs, stopDone - schedulerDone});
    passMs.push_back(std::chrono::duration<double, std::milli>(WallClock::now() - start).count());
    passCpuMs.push_back(threadCpuMs() - cpuStart);
    settled = over();
    if (world->crawl.wantsAnotherPass()) continue;
    std::unique_lock<std::mutex> lock(world->wakeMutex);
    world->wakeSignal.wait_for(lock, std::chrono::milliseconds(300),
                               [&] { return world->wakes.load() != seen; });
  }
  const double seconds = std::chrono::duration<double>(WallClock::now() - began).count();
  const size_t registered = world->explorer.registry().size();
  size_t read = 0;
  for (SitePage* page = world->explorer.registry().first(); page; page = page->nextPage)
    if (page->state == PageState::Read) ++read;
  const size_t requests = world->internet.requests().size();
  const uint64_t ordersTaken = world->explorer.tree().ordersTaken();

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

  auto perPage = [&](size_t bytes) { return static_cast<double>(bytes) / registered; };
  std::printf("%d at once%s\n", atOnce, settled ? "" : " (did not settle)");
  std::printf(
      "pages %zu, read %zu, requests %zu, passes %zu, crawl order taken %llu times, %.1f s\n",
      registered, read, requests, passMs.size(), static_cast<unsigned long long>(ordersTaken),
      seconds);
  printPasses("wall time", passMs);
  printPasses("thread CPU time", passCpuMs);
  printSlowest(passCpuMs, splits);
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
