// haulix_crawl.exe: a Site Window's crawl with Expand pressed, on the real ports (WinInet,
// the Win32 file functions, the tick counter, the system's text rules) driven the way the
// program's idle pass drives it: a scheduler pass whenever a worker ends and at least every
// 300 ms. The tree and list are kept in memory, so the figures leave out the controls' own
// work and memory. Used by bench/crawl-bench.sh.
//
//   haulix_crawl.exe ADDRESS [--at-once N] [--folder DIR]
//
// Prints pages, read, seconds, passes, the loop thread's CPU time, the longest pass in
// milliseconds and the process's peak working set. Exit code 0 when the crawl settled.
#include <windows.h>
// After windows.h, which the other system headers need first.
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "download/connection_check.h"
#include "download/download_queue.h"
#include "download/item_commands.h"
#include "download/transfer_scheduler.h"
#include "fakes/fake_connection.h"
#include "fakes/fake_modal_messages.h"
#include "fakes/fake_page_tree.h"
#include "fakes/fake_registry.h"
#include "fakes/fake_row_list.h"
#include "fakes/fake_shell.h"
#include "fakes/fake_site_frame.h"
#include "fakes/fake_waiting_messages.h"
#include "platform/file_types.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_ids.h"
#include "platform/win32/win32_text_rules.h"
#include "platform/win32/wininet_internet.h"
#include "site/site_crawl.h"
#include "store/settings.h"
#include "transfer/file_ops.h"
#include "transfer/transfer_engine.h"
#include "url/address.h"
#include "url/byte_text.h"

namespace {

class NoFileTypes final : public FileTypes {
 public:
  FileType lookup(std::string_view) override { return {}; }
};

double secondsSince(const LARGE_INTEGER& began) {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart - began.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

// The CPU time of the calling thread, in seconds: what the loop's passes cost even while the
// machine's other work takes the processor from them. Taken once at each end of the crawl:
// under Wine every call is a round of the Wine server, which the crawl's threads share.
double threadCpuSeconds() {
  FILETIME created, ended, kernel, user;
  GetThreadTimes(GetCurrentThread(), &created, &ended, &kernel, &user);
  auto seconds = [](const FILETIME& t) {
    return static_cast<double>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) /
           1e7;
  };
  return seconds(kernel) + seconds(user);
}

std::string absolutePath(const std::string& path) {
  char full[MAX_PATH + 1] = {};
  const DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
  return n == 0 || n > MAX_PATH ? path : std::string(full, n);
}

int usage() {
  std::fprintf(stderr, "usage: haulix_crawl.exe ADDRESS [--at-once N] [--folder DIR]\n");
  return 2;
}

// Nothing fetched, nothing shown left to read or to open.
bool settled(SiteExplorer& explorer, SiteCrawl& crawl, const FakePageTree<SitePage>& tree) {
  if (!explorer.pagesWithJobs().empty() || crawl.anyVisibleUnread()) return false;
  const auto& order = explorer.tree().crawlOrder();
  return std::none_of(order.begin(), order.end(), [&](const SiteTree::Place& place) {
    return place.page->firstChild && !tree.isExpanded(place.page->treeItem);
  });
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  int atOnce = 3;
  std::string folder = absolutePath(".");
  for (int i = 2; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--at-once")
      atOnce = std::atoi(argv[i + 1]);
    else if (option == "--folder")
      folder = absolutePath(argv[i + 1]);
    else
      return usage();
  }
  if (atOnce < 1) return usage();

  Win32TextRules rules;
  ByteText text(rules);
  NoFileTypes types;
  AddressParser parser(text, types);
  WinInetInternet internet;
  if (!internet.isOpen()) {
    std::fprintf(stderr, "haulix_crawl: the Internet library cannot be opened\n");
    return 1;
  }
  Win32Files files;
  Win32Ids ids;
  Win32Clock clock;
  FileOps fileOps(files, ids, text);
  HANDLE woken = CreateEventA(nullptr, FALSE, FALSE, nullptr);

  FakeRegistry registry;
  KnownFolders folders;
  folders.myDocuments = folder;
  SettingsStore settings(registry, folders);
  settings.loadSettings(text);
  settings.setTextSetting("folder", &Settings::saveFolder, folder);
  settings.setNumberSetting("get", &Settings::filesAtOnce, atOnce);
  FakeConnection connection;
  IdleRequests requests;
  ConnectionCheck connectionCheck(settings, connection, requests);
  FakeShell shell;
  FakePageTree<SitePage> tree;
  FakeRowList<SitePage> siteRows;
  FakeRowList<DownloadItem> downloadRows;
  FakeSiteFrame frame;
  FakeModalMessages messages;
  FakeWaitingMessages waiting;
  std::string outgoing;

  LARGE_INTEGER began;
  QueryPerformanceCounter(&began);
  double longestPass = 0, passTotal = 0, waited = 0, loopCpu = 0;
  long passes = 0;
  bool done = false;
  size_t pages = 0, read = 0;
  {
    TransferEngine engine(internet, fileOps, ids, clock, [woken] { SetEvent(woken); });
    DownloadQueue queue(text, parser, engine);
    ItemCommands commands(queue, downloadRows, fileOps, shell, clock, folders, text, settings,
                          connectionCheck);
    SiteExplorer explorer(text, parser, fileOps, engine,
                          SiteViews{tree, siteRows, frame, messages, shell, waiting}, outgoing);
    SiteCrawl crawl(explorer, settings, connectionCheck);
    TransferScheduler scheduler(queue, commands, downloadRows, settings, &crawl);
    tree.onSelectionChanged = [&](TreeItem item) { explorer.onTreeSelectionChanged(item); };
    tree.onExpanded = [&](TreeItem item) { explorer.onTreeItemExpanded(item); };
    tree.onCollapsed = [&](TreeItem item) { explorer.onTreeItemCollapsed(item); };

    crawl.toggleExpand();
    explorer.openTypedAddress(argv[1]);
    const double cpuBegan = threadCpuSeconds();
    while (!done) {
      LARGE_INTEGER passBegan;
      QueryPerformanceCounter(&passBegan);
      scheduler.runScheduler();
      explorer.addWaitingRows();
      const bool canStop = crawl.canStop();  // the buttons' refresh of every pass
      const double pass = secondsSince(passBegan);
      longestPass = std::max(longestPass, pass);
      passTotal += pass;
      ++passes;
      done = !canStop && settled(explorer, crawl, tree);
      if (!done && !crawl.wantsAnotherPass()) {
        LARGE_INTEGER waitBegan;
        QueryPerformanceCounter(&waitBegan);
        WaitForSingleObject(woken, 300);
        waited += secondsSince(waitBegan);
      }
    }
    loopCpu = threadCpuSeconds() - cpuBegan;
    for (SitePage* page = explorer.registry().first(); page; page = page->nextPage) {
      ++pages;
      if (page->state == PageState::Read) ++read;
    }
    explorer.discardPages();
  }
  const double wall = secondsSince(began);
  CloseHandle(woken);
  PROCESS_MEMORY_COUNTERS memory = {};
  memory.cb = sizeof memory;
  GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
  std::printf(
      "pages=%zu read=%zu seconds=%.3f passes=%ld passes_s=%.3f loop_cpu_s=%.3f waits_s=%.3f "
      "longest_pass_ms=%.2f peak_mib=%.1f\n",
      pages, read, wall, passes, passTotal, loopCpu, waited, longestPass * 1000,
      static_cast<double>(memory.PeakWorkingSetSize) / 1048576.0);
  return 0;
}
