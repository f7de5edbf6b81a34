#include "site/page_scans.h"

#include <mutex>
#include <thread>
#include <utility>

#include "platform/slim_lock.h"
#include "platform/thread_pool.h"

namespace {

// The system's file types may be asked on the window's thread only (their icons go into
// the window's image list): a scan's addresses get their types as they are added.
class NoFileTypes final : public FileTypes {
 public:
  FileType lookup(std::string_view) override { return {}; }
};

}  // namespace

// What every scan reads and none changes.
struct PageScans::Tools {
  explicit Tools(const ByteText& text) : parser(text, types), reader(text), patterns(reader) {}
  NoFileTypes types;
  AddressParser parser;
  SpanReader reader;
  ScanPatterns patterns;
};

// One page's scan. The address, path and bytes are set before its thread starts and only
// read after; `ended` and `found` are handed over under the running count's lock.
struct PageScans::Scan {
  UrlParts address;
  std::string path;
  std::string bytes;
  bool ended = false;
  FoundLinks found;
};

// The scans under way, shared with their threads, which outlive a dropped scan.
struct PageScans::Running {
  SlimMutex mutex;
  SlimCondition idle;
  int count = 0;       // scans begun and not yet ended, waiting ones included
  size_t threads = 0;  // threads at work on scans
  size_t mostThreads = 1;
  std::deque<std::shared_ptr<Scan>> waiting;  // for the next thread that is free
};

PageScans::PageScans(const ByteText& text, FileOps& fileOps, std::function<void()> wake,
                     size_t mostAtOnce)
    : fileOps_(fileOps),
      wake_(std::move(wake)),
      tools_(std::make_shared<const Tools>(text)),
      running_(std::make_shared<Running>()) {
  if (mostAtOnce == 0) {
    const unsigned processors = std::thread::hardware_concurrency();
    mostAtOnce = processors > 1 ? processors - 1 : 1;
  }
  running_->mostThreads = mostAtOnce;
}

PageScans::~PageScans() {
  started_.clear();
  std::deque<std::shared_ptr<Scan>> waiting;
  {
    std::lock_guard<SlimMutex> hold(running_->mutex);
    waiting.swap(running_->waiting);
    running_->count -= static_cast<int>(waiting.size());
  }
  for (const auto& scan : waiting)
    if (!scan->path.empty()) fileOps_.removePath(scan->path);
  std::unique_lock<SlimMutex> hold(running_->mutex);
  running_->idle.wait(hold, [&] { return running_->count == 0; });
}

void PageScans::run(const Tools& tools, FileOps& fileOps, Scan& scan) {
  FoundLinks found;
  found.typesLeft = true;
  auto read = [&](const unsigned char* bytes, int64_t size) {
    if (bytes && size > 0)
      LinkScan(tools.reader, tools.patterns, tools.parser, scan.address,
               TextSpan::document(bytes, size), found)
          .run();
  };
  // The page's bytes are only needed for their links.
  if (scan.path.empty()) {
    read(reinterpret_cast<const unsigned char*>(scan.bytes.data()),
         static_cast<int64_t>(scan.bytes.size()));
    std::string().swap(scan.bytes);
  } else {
    {
      std::unique_ptr<MappedFile> file = fileOps.mapFile(scan.path);
      if (file) read(file->data(), file->size());
    }  // unmapped first: a mapped file cannot be deleted
    fileOps.removePath(scan.path);
  }
  scan.found = std::move(found);
}

void PageScans::start(SitePage& page, const std::string& path, std::string bytes) {
  auto scan = std::make_shared<Scan>();
  scan->address = page.address;  // a copy: the page may be freed while the scan runs
  scan->path = path;
  scan->bytes = std::move(bytes);
  started_.push_back({&page, scan});
  if (path.empty() && scan->bytes.empty()) {
    scan->found.typesLeft = true;
    scan->ended = true;
    return;
  }
  {
    std::lock_guard<SlimMutex> hold(running_->mutex);
    ++running_->count;
    if (running_->threads >= running_->mostThreads) {
      running_->waiting.push_back(std::move(scan));
      return;
    }
    ++running_->threads;
  }
  if (ThreadPool::shared().start(
          [tools = tools_, running = running_, scan, &fileOps = fileOps_, wake = wake_] {
            runInTurn(tools, fileOps, running, wake, scan);
          })) {
    return;
  }
  {
    std::lock_guard<SlimMutex> hold(running_->mutex);
    --running_->threads;
    --running_->count;
  }
  run(*tools_, fileOps_, *scan);
  scan->ended = true;
}

void PageScans::runInTurn(const std::shared_ptr<const Tools>& tools, FileOps& fileOps,
                          const std::shared_ptr<Running>& running,
                          const std::function<void()>& wake, std::shared_ptr<Scan> scan) {
  while (scan) {
    run(*tools, fileOps, *scan);
    {
      std::lock_guard<SlimMutex> hold(running->mutex);
      scan->ended = true;
    }
    // The window is woken before the scan counts itself out, while whatever `wake` reaches
    // lives.
    if (wake) wake();
    {
      std::lock_guard<SlimMutex> hold(running->mutex);
      --running->count;
      scan = nullptr;
      if (!running->waiting.empty()) {
        scan = std::move(running->waiting.front());
        running->waiting.pop_front();
      } else {
        --running->threads;
      }
    }
    running->idle.notify_all();
  }
}

bool PageScans::started(const SitePage& page) const {
  for (const Started& each : started_)
    if (each.page == &page) return true;
  return false;
}

SitePage* PageScans::firstEnded(FoundLinks*& found) {
  if (started_.empty()) return nullptr;
  Started& first = started_.front();
  {
    std::lock_guard<SlimMutex> hold(running_->mutex);
    if (!first.scan->ended) return nullptr;
  }
  found = &first.scan->found;
  return first.page;
}

void PageScans::drop(const SitePage& page) {
  std::erase_if(started_, [&](const Started& each) { return each.page == &page; });
}
