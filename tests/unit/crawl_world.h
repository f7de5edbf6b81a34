#pragma once
// A Site Window's model crawling on fakes: the download world's engine, scheduler,
// settings and connection check, with the site explorer and its crawl plugged into the
// scheduler, and fake Web servers whose pages a test writes and holds back at will.

#include <charconv>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "fakes/fake_modal_messages.h"
#include "fakes/fake_page_tree.h"
#include "fakes/fake_site_frame.h"
#include "fakes/fake_waiting_messages.h"
#include "site/site_crawl.h"
#include "unit/download_world.h"

// The pages the fake servers answer with. Worker threads may still be answering while a
// world is taken down: as a base before the download world, these outlive its engine,
// which waits for its threads to end.
struct ServedPages {
  // What a server answers for one path: a page, or a failure status; held back while its
  // gate is closed.
  struct Served {
    std::string body;
    int status = 200;
    int gate = 0;
  };

  FakeReply reply(const std::string& host, const FakeRequest& request) {
    Served page;
    {
      std::lock_guard<std::mutex> hold(servedMutex);
      auto found = served.find(host + request.objectPath);
      if (found == served.end()) {
        FakeReply missing;
        missing.statusCode = 404;
        missing.statusText = "Not Found";
        return missing;
      }
      page = found->second;
    }
    FakeReply answer = FakeInternet::fileReply(request, FakeBody::of(page.body));
    if (page.status != 200) {
      answer.statusCode = page.status;
      answer.statusText = "Failed";
    }
    answer.gate = page.gate;
    return answer;
  }

  std::mutex servedMutex;
  std::map<std::string, Served> served;
};

struct CrawlWorld : ServedPages, DownloadWorld {
  CrawlWorld() {
    tree.onSelectionChanged = [this](TreeItem item) { explorer.onTreeSelectionChanged(item); };
    tree.onExpanded = [this](TreeItem item) { explorer.onTreeItemExpanded(item); };
    tree.onCollapsed = [this](TreeItem item) { explorer.onTreeItemCollapsed(item); };
    scheduler.setSiteSteps(&crawl);
    setNumber("get", &Settings::filesAtOnce, 2);
  }
  ~CrawlWorld() { internet.abortAll(); }

  // Serves `body` at the address (host and object path of an http address).
  void serve(const std::string& address, const std::string& body, int status = 200) {
    const std::string host = parser.parseTypedAddress(address).host;
    if (servers.insert(host).second)
      internet.setServer(
          host, 80, [pages = static_cast<ServedPages*>(this), host](const FakeRequest& request) {
            return pages->reply(host, request);
          });
    std::lock_guard<std::mutex> hold(servedMutex);
    served[key(address)] = Served{body, status, 0};
  }
  // The page at the address is delivered only once released.
  void holdBack(const std::string& address) {
    const int gate = internet.makeGate(0);
    std::lock_guard<std::mutex> hold(servedMutex);
    served[key(address)].gate = gate;
  }
  void release(const std::string& address) {
    int gate = 0;
    {
      std::lock_guard<std::mutex> hold(servedMutex);
      gate = served[key(address)].gate;
    }
    internet.openGate(gate);
  }

  // The object paths asked of the host, in the order the requests came.
  std::vector<std::string> requestedPaths(const std::string& host) const {
    std::vector<std::string> paths;
    for (const FakeRequest& request : internet.requests())
      if (request.host == host) paths.push_back(request.objectPath);
    return paths;
  }

  SitePage* findPage(const std::string& address) {
    const std::string full = parser.parseTypedAddress(address).fullAddress;
    for (SitePage* page = explorer.registry().first(); page; page = page->nextPage)
      if (page->address.fullAddress == full) return page;
    return nullptr;
  }
  SitePage& page(const std::string& address) {
    return *explorer.registry().findOrAddPage(parser.parseTypedAddress(address));
  }
  bool hasJob(const std::string& address) {
    SitePage* found = findPage(address);
    return found && found->job;
  }
  // The addresses of the pages being fetched, in address order.
  std::vector<std::string> fetching() {
    std::vector<std::string> addresses;
    for (SitePage* p = explorer.registry().first(); p; p = p->nextPage)
      if (SiteCrawl::isFetching(*p)) addresses.push_back(p->address.fullAddress);
    return addresses;
  }
  void userExpand(const std::string& address) { tree.userExpand(page(address).treeItem); }
  void userCollapse(const std::string& address) { tree.userCollapse(page(address).treeItem); }

  // Passes until the page is no longer Unread.
  bool runUntilRead(const std::string& address) {
    return runUntil([&] { return page(address).state != PageState::Unread && !page(address).job; });
  }
  // Passes until no page is fetched, nothing shown is left to read and, with Expand on,
  // no shown page is left to open.
  bool runUntilSettled() {
    return runUntil([&] {
      if (!explorer.pagesWithJobs().empty()) return false;
      for (const SiteTree::Place& place : explorer.tree().crawlOrder()) {
        if (place.page->state == PageState::Unread) return false;
        if (explorer.expandAll() && place.page->firstChild &&
            !tree.isExpanded(place.page->treeItem))
          return false;
      }
      return true;
    });
  }

  // The idle pass's new Site List rows, sorted by the default order when the window would.
  void showNewSiteRows() {
    if (explorer.addWaitingRows())
      siteRows.sortRows([this](const SitePage* a, const SitePage* b) {
        return compareSiteRows(*a, *b, -2, text);
      });
  }
  // The Site Window's idle passes until `done` holds after one: each adds the list's new
  // rows, runs the scheduler and asks whether Stop is available. The next pass comes at
  // once when the crawl asks for it, else after a worker's wake-up (a short timeout keeps
  // it going if none comes). False when the limit was reached first.
  // A crawl with Expand pressed is over: nothing fetched or left to fetch, nothing shown
  // left to read or to open. The walk is the test's own, made only once the cheap signs
  // say the crawl may be over.
  bool expandedCrawlOver() {
    if (!explorer.pagesWithJobs().empty() || crawl.wantsAnotherPass() || crawl.anyVisibleUnread())
      return false;
    for (const SiteTree::Place& place : explorer.tree().crawlOrder())
      if (place.page->firstChild && !tree.isExpanded(place.page->treeItem)) return false;
    return true;
  }

  bool runIdlePasses(const std::function<bool()>& done, int limitPasses) {
    for (int pass = 0; pass < limitPasses; ++pass) {
      const int seen = wakes.load();
      explorer.beginPass();
      showNewSiteRows();
      scheduler.runScheduler();
      (void)crawl.canStop();
      if (done()) return true;
      if (crawl.wantsAnotherPass()) continue;
      std::unique_lock<std::mutex> lock(wakeMutex);
      wakeSignal.wait_for(lock, std::chrono::milliseconds(20),
                          [&] { return wakes.load() != seen; });
    }
    return false;
  }

  FakePageTree<SitePage> tree;
  FakeRowList<SitePage> siteRows;
  FakeSiteFrame frame;
  FakeModalMessages messages;
  FakeWaitingMessages waiting;
  std::string outgoing;
  SiteExplorer explorer{
      text,    parser, fileOps, engine, SiteViews{tree, siteRows, frame, messages, shell, waiting},
      outgoing};
  SiteCrawl crawl{explorer, settings, connectionCheck};

 private:
  // Host and object path, as a request names them.
  std::string key(const std::string& address) {
    const UrlParts parts = parser.parseTypedAddress(address);
    const std::string path = parts.folder + parts.baseName + parts.extension + parts.extra;
    return parts.host + (path.empty() ? "/" : path);
  }

  std::set<std::string> servers;
};

// A generated manual at http://manual.test/, made from the requested path rather than
// stored, so that a site of tens of thousands of pages costs nothing to set up: the home
// page (also at index.html) links to each part; a part lists its topics twice, plainly and
// with a fragment, as documentation does ("topic3.html#usage"), and links off the site (a
// "links" folder, which Expand leaves closed); a topic links up, to its own top and to an
// image. A part is 251 documents and about 750 pages shown.
class GeneratedManual {
 public:
  static constexpr int kTopicsPerPart = 250;
  static constexpr const char* kStart = "http://manual.test/";

  static void serve(FakeInternet& internet, int parts) {
    internet.setServer("manual.test", 80, [parts](const FakeRequest& request) {
      std::optional<std::string> body = page(request.objectPath, parts);
      if (body) return FakeInternet::fileReply(request, FakeBody::of(std::move(*body)));
      FakeReply missing;
      missing.statusCode = 404;
      missing.statusText = "Not Found";
      return missing;
    });
  }
  // The home page twice, then each part with its topics.
  static size_t documents(int parts) { return 2 + parts * (1 + size_t{kTopicsPerPart}); }
  // The home page, the index.html a topic reveals, each part, each topic with its fragments
  // "#usage" and "#top".
  static size_t pagesShown(int parts) { return 2 + parts * (1 + 3 * size_t{kTopicsPerPart}); }

  // The page at the object path; nothing for a path the manual does not have.
  static std::optional<std::string> page(std::string_view path, int parts) {
    if (path == "/" || path == "/index.html") return home(parts);
    int part = 0, topic = 0;
    if (!takeNumber(path, "/part", part) || part >= parts) return std::nullopt;
    if (path == "/") return partPage(part);
    if (!takeNumber(path, "/topic", topic) || topic >= kTopicsPerPart || path != ".html")
      return std::nullopt;
    return "<html><head><title>Topic " + std::to_string(topic) +
           "</title></head><body><a href=\"../index.html\">up</a> <a href=\"#top\">top</a> "
           "<img src=\"../logo.png\"></body></html>";
  }

 private:
  static std::string home(int parts) {
    std::string html = "<title>Generated manual</title>";
    for (int s = 0; s < parts; ++s) html += "<a href=\"part" + std::to_string(s) + "/\">Part</a>\n";
    return html;
  }
  static std::string partPage(int part) {
    std::string html = "<title>Part " + std::to_string(part) + "</title>";
    for (int p = 0; p < kTopicsPerPart; ++p) {
      const std::string name = "topic" + std::to_string(p) + ".html";
      html += "<li><a href=\"" + name + "\">Topic</a> (<a href=\"" + name +
              "#usage\">usage</a>)</li>\n";
    }
    return html + "<a href=\"http://elsewhere.test/\">Elsewhere</a>";
  }
  // Takes the prefix and the decimal number after it off the front of `path`.
  static bool takeNumber(std::string_view& path, std::string_view prefix, int& number) {
    if (path.substr(0, prefix.size()) != prefix) return false;
    path.remove_prefix(prefix.size());
    const auto [end, error] = std::from_chars(path.data(), path.data() + path.size(), number);
    if (error != std::errc() || end == path.data() || number < 0) return false;
    path.remove_prefix(static_cast<size_t>(end - path.data()));
    return true;
  }
};
