// Drives haulix.exe for bench/answer-bench.sh as a user would and times how fast its Site
// Window answers while it crawls: the program started with /site, Expand clicked, the start
// address typed and Enter pressed; then, until the crawl ends, an empty message (WM_NULL)
// sent to the window every 20 ms and the time to its answer kept. A message is answered
// only when the window's thread looks for messages, so the answer time is how long the
// window would leave a user's click or key waiting.
//
// The crawl has ended once the tree's and the list's counts and the server's access log
// (nothing fetched) have all stayed the same for QUIET seconds; its seconds run from Enter
// to the last change. The counts are read every 250 ms; those messages are timed too.
//
// Usage: haulix_answer_prober.exe HAULIX_EXE START_ADDRESS SAVE_FOLDER FILES_AT_ONCE
//          ACCESS_LOG PICTURE PICTURE_AT_ROWS LIMIT_SECONDS [ANSWERS_FILE]
// PICTURE (a PPM) is a picture of the whole display taken once the list holds
// PICTURE_AT_ROWS rows. ANSWERS_FILE, when given, receives every answer: "SECONDS MS TREE
// ROWS", the moment from Enter, the answer time and the counts last read.
// Prints one line: tree=N rows=N seconds=S answers=N max_ms=X p99_ms=X median_ms=X
// over_100ms=N peak_mib=X settled=0|1, then the ten slowest answers and their moments.
#include <windows.h>
// After windows.h, which the other system headers need first.
#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "e2e/haulix_process.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kExpandButton = 8;
constexpr DWORD kProbeEveryMs = 20;
constexpr double kCountEverySeconds = 0.25;
constexpr double kQuietSeconds = 10;

double secondsBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

struct Answer {
  double at;  // seconds from Enter
  double ms;
  LRESULT tree;
  LRESULT rows;
};

// The window's answer to a message, and how long it took; a window that does not answer
// within a minute counts as that minute.
LRESULT timedSend(HWND window, UINT message, double& ms) {
  DWORD_PTR result = 0;
  const auto sent = Clock::now();
  SendMessageTimeoutA(window, message, 0, 0, SMTO_NORMAL, 60000, &result);
  ms = secondsBetween(sent, Clock::now()) * 1000;
  return static_cast<LRESULT>(result);
}

LONGLONG fileSize(const char* path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return -1;
  return (static_cast<LONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

double peakMebibytes(DWORD processId) {
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
  if (!process) return 0;
  PROCESS_MEMORY_COUNTERS memory = {};
  memory.cb = sizeof memory;
  const BOOL ok = GetProcessMemoryInfo(process, &memory, sizeof memory);
  CloseHandle(process);
  return ok ? static_cast<double>(memory.PeakWorkingSetSize) / 1048576.0 : 0;
}

struct SiteWindow {
  HWND window = nullptr, edit = nullptr, tree = nullptr, list = nullptr;
};

// The Site Window of the program once it shows, with its Address box, tree and list; a
// window of nulls when none showed within a minute.
SiteWindow waitForSiteWindow() {
  SiteWindow site;
  HWND window = nullptr;
  if (!waitUntil([&] { return (window = FindWindowA("HaulixSite", nullptr)) != nullptr; },
                 60000) ||
      !waitUntil([&] { return IsWindowVisible(window) != FALSE; }, 60000)) {
    return site;
  }
  site.edit = FindWindowExA(window, nullptr, "EDIT", nullptr);
  site.tree = FindWindowExA(window, nullptr, WC_TREEVIEWA, nullptr);
  site.list = FindWindowExA(window, nullptr, WC_LISTVIEWA, nullptr);
  if (site.edit && site.tree && site.list) site.window = window;
  return site;
}

struct Crawl {
  std::vector<Answer> answers;
  LRESULT tree = 0, rows = 0;
  double seconds = 0;  // from Enter to the last change
  bool settled = false;
};

// Sends the window its messages from `entered` until the crawl settles or the limit passes;
// `rowsSeen` follows the list's rows.
Crawl probeCrawl(const SiteWindow& site, const std::string& accessLog, double limit,
                 Clock::time_point entered, std::atomic<LRESULT>& rowsSeen) {
  Crawl crawl;
  crawl.answers.reserve(60000);
  LONGLONG logSize = fileSize(accessLog.c_str());
  double lastCount = -kCountEverySeconds;
  for (;;) {
    double ms = 0;
    timedSend(site.window, WM_NULL, ms);
    const double now = secondsBetween(entered, Clock::now());
    crawl.answers.push_back({now - ms / 1000, ms, crawl.tree, crawl.rows});
    if (now - lastCount >= kCountEverySeconds) {
      lastCount = now;
      // The counts are asked of the window's thread too: their answers are kept as well, or
      // a wait that falls on them would go uncounted.
      double treeMs = 0, rowsMs = 0;
      const LRESULT tree = timedSend(site.tree, TVM_GETCOUNT, treeMs);
      crawl.answers.push_back({now, treeMs, crawl.tree, crawl.rows});
      const LRESULT rows = timedSend(site.list, LVM_GETITEMCOUNT, rowsMs);
      crawl.answers.push_back({now + treeMs / 1000, rowsMs, tree, crawl.rows});
      const LONGLONG size = fileSize(accessLog.c_str());
      if (tree != crawl.tree || rows != crawl.rows || size != logSize) crawl.seconds = now;
      crawl.tree = tree;
      crawl.rows = rows;
      logSize = size;
      rowsSeen = rows;
      if (crawl.tree > 1 && now - crawl.seconds >= kQuietSeconds) {
        crawl.settled = true;
        return crawl;
      }
    }
    if (now >= limit) return crawl;
    Sleep(kProbeEveryMs);
  }
}

void writeAnswers(const char* path, const std::vector<Answer>& answers) {
  FILE* out = std::fopen(path, "w");
  if (!out) return;
  for (const Answer& a : answers)
    std::fprintf(out, "%.3f %.2f %ld %ld\n", a.at, a.ms, static_cast<long>(a.tree),
                 static_cast<long>(a.rows));
  std::fclose(out);
}

void printSummary(const Crawl& crawl, double peak) {
  std::vector<double> times;
  for (const Answer& a : crawl.answers) times.push_back(a.ms);
  std::sort(times.begin(), times.end());
  const size_t n = times.size();
  const double p99 = times[std::min(n - 1, (n * 99 + 99) / 100 - 1)];
  const long over = std::count_if(times.begin(), times.end(), [](double t) { return t > 100; });
  std::printf(
      "tree=%ld rows=%ld seconds=%.1f answers=%zu max_ms=%.1f p99_ms=%.1f median_ms=%.2f "
      "over_100ms=%ld peak_mib=%.1f settled=%d\n",
      static_cast<long>(crawl.tree), static_cast<long>(crawl.rows), crawl.seconds, n,
      times.back(), p99, times[n / 2], over, peak, crawl.settled ? 1 : 0);
  std::vector<Answer> slowest = crawl.answers;
  const size_t shown = std::min<size_t>(10, slowest.size());
  std::partial_sort(slowest.begin(), slowest.begin() + shown, slowest.end(),
                    [](const Answer& a, const Answer& b) { return a.ms > b.ms; });
  std::printf("slowest:");
  for (size_t i = 0; i < shown; ++i)
    std::printf(" %.0fms@%.1fs(tree %ld)", slowest[i].ms, slowest[i].at,
                static_cast<long>(slowest[i].tree));
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 9 && argc != 10) {
    std::fprintf(stderr,
                 "usage: %s HAULIX_EXE START_ADDRESS SAVE_FOLDER FILES_AT_ONCE ACCESS_LOG PICTURE "
                 "PICTURE_AT_ROWS LIMIT_SECONDS [ANSWERS_FILE]\n",
                 argv[0]);
    return 2;
  }
  const std::string start = argv[2], accessLog = argv[5], picturePath = argv[6];
  const LRESULT pictureAt = std::atoi(argv[7]);
  const double limit = std::atof(argv[8]);
  _putenv_s("HAULIX_EXE", argv[1]);
  CreateDirectoryA(argv[3], nullptr);
  setHaulixNumber("setup", 300);
  setHaulixNumber("pause", 0);
  setHaulixNumber("get", static_cast<DWORD>(std::atoi(argv[4])));
  setHaulixText("folder", argv[3]);

  HaulixProcess program;
  if (!program.start("/site")) {
    std::fprintf(stderr, "cannot start %s\n", argv[1]);
    return 1;
  }
  const SiteWindow site = waitForSiteWindow();
  if (!site.window) {
    std::fprintf(stderr, "no Site Window with its Address box, tree and list within a minute\n");
    return 1;
  }

  clickAt(site.window, siteButtonCentre(kExpandButton));
  SendMessageA(site.edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(start.c_str()));
  PostMessageA(site.edit, WM_KEYDOWN, VK_RETURN, 0);
  const auto entered = Clock::now();

  // The picture is taken by a thread of its own, so that the probes go on meanwhile.
  std::atomic<LRESULT> rowsSeen{0};
  std::atomic<bool> ended{false};
  std::thread photographer([&] {
    while (!ended && rowsSeen < pictureAt) Sleep(50);
    if (!ended) {
      ScreenPicture picture;
      if (!picture.take(picturePath)) std::fprintf(stderr, "no picture taken\n");
    }
  });
  const Crawl crawl = probeCrawl(site, accessLog, limit, entered, rowsSeen);
  ended = true;
  photographer.join();
  const double peak = peakMebibytes(program.processId());
  PostMessageA(site.window, WM_CLOSE, 0, 0);
  if (program.waitForExit(120000) < 0) program.kill();

  if (argc == 10) writeAnswers(argv[9], crawl.answers);
  printSummary(crawl, peak);
  return crawl.settled ? 0 : 1;
}
