#pragma once
// A Site Window's model crawling on fakes: the download world's engine, scheduler,
// settings and connection check, with the site explorer and its crawl plugged into the
// scheduler, and fake Web servers whose pages a test writes and holds back at will.

#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "fakes/fake_modal_messages.h"
#include "fakes/fake_page_tree.h"
#include "fakes/fake_site_frame.h"
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
      internet.setServer(host, 80,
                         [pages = static_cast<ServedPages*>(this), host](const FakeRequest& request) {
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

  FakePageTree<SitePage> tree;
  FakeRowList<SitePage> siteRows;
  FakeSiteFrame frame;
  FakeModalMessages messages;
  std::string outgoing;
  SiteExplorer explorer{
      text, parser, fileOps, engine, SiteViews{tree, siteRows, frame, messages, shell}, outgoing};
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
