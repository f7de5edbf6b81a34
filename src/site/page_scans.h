#pragma once
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "site/link_scan.h"
#include "transfer/file_ops.h"

// The scans of a Site Window's fetched pages, on threads of the shared pool: the window's
// thread only starts them and takes what they found, in the order they began, so that pages
// whose fetches end together are read in the order one thread would read them. At most one
// processor fewer than the machine has scans at once (one at least), the rest waiting in
// that order: a scan on every processor took them from the window's thread and from the
// fetches, and made the crawl slower, not faster.
// A scan reads the page's title and links from its bytes (or maps its file, and removes
// the file), whatever becomes of its page meanwhile; it holds a copy of the page's address
// and shares only what never changes, so a page freed or a window closed under it costs
// nothing but the result, which is dropped.
class PageScans {
 public:
  // `wake` is called from a scan's thread each time a scan ends. `mostAtOnce` 0: one fewer
  // than the machine's processors, one at least.
  PageScans(const ByteText& text, FileOps& fileOps, std::function<void()> wake,
            size_t mostAtOnce = 0);
  // Drops every scan and waits until none is running: they use the text rules and the
  // file operations, which may go right after. Scans still waiting only remove their files.
  ~PageScans();
  PageScans(const PageScans&) = delete;
  PageScans& operator=(const PageScans&) = delete;

  // Starts the scan of the page's fetched reply: `bytes`, or the file at `path` (neither:
  // the scan finds nothing). The file is the scan's to remove from now on. Without a thread
  // to run on, the scan is done at once.
  void start(SitePage& page, const std::string& path, std::string bytes = {});
  // The page's scan was started and not dropped.
  bool started(const SitePage& page) const;
  // The page whose scan began first, with what it found, once that scan has ended; nullptr
  // while it runs, or when no scan is left. The found links are the caller's to add, and
  // stay with the page until it is dropped.
  SitePage* firstEnded(FoundLinks*& found);
  // Forgets the page's scan: one still running removes its file all the same.
  void drop(const SitePage& page);

 private:
  struct Tools;
  struct Scan;
  struct Running;
  struct Started {
    SitePage* page;
    std::shared_ptr<Scan> scan;
  };
  // The scan itself: what the bytes or the file hold, then the file removed.
  static void run(const Tools& tools, FileOps& fileOps, Scan& scan);
  // A scan thread's work: the scan it was started with, then those waiting, in turn.
  static void runInTurn(const std::shared_ptr<const Tools>& tools, FileOps& fileOps,
                        const std::shared_ptr<Running>& running, const std::function<void()>& wake,
                        std::shared_ptr<Scan> scan);

  FileOps& fileOps_;
  std::function<void()> wake_;
  std::shared_ptr<const Tools> tools_;
  std::shared_ptr<Running> running_;
  std::deque<Started> started_;  // in the order the scans began
};
