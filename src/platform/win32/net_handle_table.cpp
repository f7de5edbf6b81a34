#include "platform/win32/net_handle_table.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/slim_lock.h"
#include "platform/thread_pool.h"

namespace {

// The library hands over at most its own buffer per query (8 KiB under Wine); one that comes
// back this full means more was waiting behind it.
constexpr uint32_t kFullLibraryBuffer = 8 << 10;
// The first read beyond what was announced, and how it grows and shrinks: a read that
// filled within kFastReadMs doubles the next; one that took longer than kSlowReadMs, or a
// query that finds the library's buffer short, goes back to reading what is announced.
constexpr uint32_t kFirstLargeRead = 32 << 10;
constexpr double kFastReadMs = 20;
constexpr double kSlowReadMs = 100;
// Buffers of finished chunks kept for the next reads, so that large reads do not each
// allocate afresh.
constexpr size_t kSpareChunks = 2;

double millisecondsSince(const LARGE_INTEGER& began) {
  LARGE_INTEGER now;
  LARGE_INTEGER frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart - began.QuadPart) * 1000.0 /
         static_cast<double>(frequency.QuadPart);
}

// Runs the body on a thread of its own; false when the system has none to give.
bool startDetached(std::function<void()> body) {
  return ThreadPool::shared().start(std::move(body));
}

}  // namespace

struct NetHandleTable::Entry {
  uintptr_t native = 0;           // 0 while a pending handle is not open yet
  NetHandleTable::Opener opener;  // set until a pending handle's open begins
  // Kept while the handle is: its native is closed only after the handle's calls leave.
  std::shared_ptr<Entry> parent;
  std::vector<std::weak_ptr<Entry>> children;
  bool closed = false;    // no new calls; waiting callers are released
  bool released = false;  // the native handle is closed or invalidated
  int inFlight = 0;       // calls inside the library on the native handle or a descendant's
  bool blockingBusy = false;
  SlimCondition changed;

  // The read-ahead of the reply body.
  bool pumpStarted = false;
  bool bodyEnded = false;
  bool bodyFailed = false;
  std::deque<std::vector<char>> chunks;
  std::vector<std::vector<char>> spare;  // emptied chunks, for the next reads
  size_t frontOffset = 0;
  size_t buffered = 0;
};

struct NetHandleTable::State {
  explicit State(NativeNetCalls c) : calls(std::move(c)) {}

  NativeNetCalls calls;
  SlimMutex mutex;
  std::unordered_map<NetHandle, std::shared_ptr<Entry>> entries;
  NetHandle nextId = 1;

  // Native handles to close, in the order the closes were decided, and whether a closer
  // (a thread of its own, or a caller standing in) is making them.
  std::deque<uintptr_t> closing;
  bool closerBusy = false;
  // Handles closed whose native handle waits for a call inside the library to leave.
  size_t unreleased = 0;
  SlimCondition closesMade;

  std::shared_ptr<Entry> find(NetHandle handle) {
    auto it = entries.find(handle);
    return it == entries.end() ? nullptr : it->second;
  }

  // Marks an entry and its descendants closed and wakes their waiters. Its native handle
  // goes in line to be closed when no call is inside the library on it; true when it did.
  bool closeLocked(const std::shared_ptr<Entry>& entry) {
    markClosedLocked(*entry);
    return releaseIfIdleLocked(entry);
  }

  // A closed parent fails its children's calls at once, even while a call on the parent
  // (the opening of a child, say) keeps its native open a while longer.
  void markClosedLocked(Entry& entry) {
    if (!entry.closed) {
      entry.closed = true;
      if (!entry.released) ++unreleased;
    }
    entry.changed.notify_all();
    for (auto& weak : entry.children) {
      if (auto child = weak.lock()) markClosedLocked(*child);
    }
  }

  bool releaseIfIdleLocked(const std::shared_ptr<Entry>& entry) {
    if (!entry->closed || entry->released || entry->inFlight > 0) return false;
    entry->released = true;
    --unreleased;
    invalidateChildrenLocked(*entry);
    entry->chunks.clear();
    entry->spare.clear();
    entry->buffered = 0;
    // A pending handle closed before (or when) its open failed has no native to close.
    if (entry->native == 0) return false;
    closing.push_back(entry->native);
    return true;
  }

  void invalidateChildrenLocked(Entry& entry) {
    for (auto& weak : entry.children) {
      if (auto child = weak.lock()) {
        if (child->closed && !child->released) --unreleased;
        child->closed = true;
        child->released = true;
        child->changed.notify_all();
        invalidateChildrenLocked(*child);
      }
    }
    entry.children.clear();
  }

  // A call enters the library on the entry's native handle. It counts on every ancestor
  // too: closing an ancestor's native invalidates this handle, and the library may give its
  // value to the next handle opened, so a call still to start on it (the read after a
  // query, a blocking call past its check) would land on someone else's handle.
  static void enterLocked(const std::shared_ptr<Entry>& entry) {
    for (Entry* node = entry.get(); node; node = node->parent.get()) ++node->inFlight;
  }

  // A call leaves the library; true when that put a native handle in line to be closed
  // (the entry's, then its ancestors' that waited for it).
  bool leaveLocked(const std::shared_ptr<Entry>& entry) {
    bool toClose = false;
    for (std::shared_ptr<Entry> node = entry; node; node = node->parent) {
      --node->inFlight;
      node->changed.notify_all();
      toClose = releaseIfIdleLocked(node) || toClose;
    }
    return toClose;
  }
};

void NetHandleTable::runCloser(const std::shared_ptr<State>& state) {
  {
    std::lock_guard lock(state->mutex);
    if (state->closerBusy || state->closing.empty()) return;
    state->closerBusy = true;
  }
  auto closeInLine = [state] {
    std::unique_lock lock(state->mutex);
    while (!state->closing.empty()) {
      const uintptr_t native = state->closing.front();
      state->closing.pop_front();
      lock.unlock();
      state->calls.close(native);
      lock.lock();
    }
    state->closerBusy = false;
    state->closesMade.notify_all();
  };
  // Without a thread to spare, the caller makes the closes itself.
  if (!startDetached(closeInLine)) closeInLine();
}

NetHandleTable::NetHandleTable(NativeNetCalls calls)
    : state_(std::make_shared<State>(std::move(calls))) {}

NetHandleTable::~NetHandleTable() {
  {
    std::lock_guard lock(state_->mutex);
    // Newest first, so that children go before their parents while both are idle.
    std::vector<std::pair<NetHandle, std::shared_ptr<Entry>>> all(state_->entries.begin(),
                                                                  state_->entries.end());
    std::sort(all.begin(), all.end(), [](auto& a, auto& b) { return a.first > b.first; });
    for (auto& [id, entry] : all) state_->closeLocked(entry);
    state_->entries.clear();
  }
  runCloser(state_);
  if (state_->calls.closeWaitMs > 0) waitForNativeCloses(state_->calls.closeWaitMs);
}

NetHandle NetHandleTable::add(uintptr_t native, NetHandle parent) {
  if (native == 0) return 0;
  {
    std::lock_guard lock(state_->mutex);
    std::shared_ptr<Entry> parentEntry;
    if (parent != 0) parentEntry = state_->find(parent);
    if (parent == 0 || (parentEntry && !parentEntry->closed)) {
      auto entry = std::make_shared<Entry>();
      entry->native = native;
      if (parentEntry) {
        entry->parent = parentEntry;
        parentEntry->children.push_back(entry);
      }
      NetHandle id = state_->nextId++;
      state_->entries.emplace(id, entry);
      return id;
    }
  }
  // The parent was closed while the call that opened this handle was inside it, so the
  // parent's native close (made or in line) invalidates this handle too. Closing its value
  // once more could close a handle the library has given out again since.
  return 0;
}

NetHandle NetHandleTable::addPending(NetHandle parent, Opener opener) {
  std::lock_guard lock(state_->mutex);
  std::shared_ptr<Entry> parentEntry = state_->find(parent);
  if (!parentEntry || parentEntry->closed || !opener) return 0;
  auto entry = std::make_shared<Entry>();
  entry->opener = std::move(opener);
  entry->parent = parentEntry;
  parentEntry->children.push_back(entry);
  NetHandle id = state_->nextId++;
  state_->entries.emplace(id, entry);
  return id;
}

bool NetHandleTable::open(NetHandle handle) {
  struct Outcome {
    bool done = false;
    bool ok = false;
  };
  auto outcome = std::make_shared<Outcome>();
  std::unique_lock lock(state_->mutex);
  std::shared_ptr<Entry> entry = state_->find(handle);
  if (!entry || entry->closed || !entry->opener) return false;
  std::shared_ptr<Entry> parent = entry->parent;
  if (!parent || parent->closed) return false;
  Opener opener = std::move(entry->opener);
  entry->opener = nullptr;
  // The open is a call inside the library on the parent, and stands for one on the handle:
  // neither native is closed under it.
  State::enterLocked(entry);
  const uintptr_t parentNative = parent->native;
  const bool started =
      startDetached([state = state_, entry, parentNative, outcome, opener] {
        const uintptr_t native = opener(parentNative);
        bool toClose = false;
        {
          std::lock_guard lock(state->mutex);
          outcome->done = true;
          outcome->ok = native != 0;
          // Closed meanwhile: the native goes in line to be closed as the call leaves,
          // before its parent can be.
          if (!entry->released) entry->native = native;
          toClose = state->leaveLocked(entry);
        }
        if (toClose) runCloser(state);
      });
  if (!started) {
    const bool toClose = state_->leaveLocked(entry);
    lock.unlock();
    if (toClose) runCloser(state_);
    return false;
  }
  entry->changed.wait(lock, [&] { return outcome->done || entry->closed; });
  return outcome->done && outcome->ok && !entry->closed;
}

bool NetHandleTable::use(NetHandle handle, const std::function<bool(uintptr_t)>& call) {
  std::shared_ptr<Entry> entry;
  {
    std::lock_guard lock(state_->mutex);
    entry = state_->find(handle);
    if (!entry || entry->closed || entry->native == 0) return false;
    State::enterLocked(entry);
  }
  bool ok = call(entry->native);
  bool toClose = false;
  {
    std::lock_guard lock(state_->mutex);
    toClose = state_->leaveLocked(entry);
  }
  if (toClose) runCloser(state_);
  return ok;
}

bool NetHandleTable::useBlocking(NetHandle handle, std::function<bool(uintptr_t)> call) {
  struct Outcome {
    bool done = false;
    bool ok = false;
  };
  auto outcome = std::make_shared<Outcome>();
  std::unique_lock lock(state_->mutex);
  std::shared_ptr<Entry> entry = state_->find(handle);
  if (!entry || entry->native == 0) return false;
  entry->changed.wait(lock, [&] { return entry->closed || !entry->blockingBusy; });
  if (entry->closed) return false;
  entry->blockingBusy = true;
  State::enterLocked(entry);
  const bool started = startDetached([state = state_, entry, outcome, call = std::move(call)] {
    bool ok = call(entry->native);
    bool toClose = false;
    {
      std::lock_guard lock(state->mutex);
      outcome->done = true;
      outcome->ok = ok;
      entry->blockingBusy = false;
      toClose = state->leaveLocked(entry);
    }
    if (toClose) runCloser(state);
  });
  if (!started) {
    entry->blockingBusy = false;
    const bool toClose = state_->leaveLocked(entry);
    lock.unlock();
    if (toClose) runCloser(state_);
    return false;
  }
  entry->changed.wait(lock, [&] { return outcome->done || entry->closed; });
  return outcome->done && outcome->ok;
}

bool NetHandleTable::queryDataAvailable(NetHandle handle, uint32_t& available) {
  available = 0;
  std::unique_lock lock(state_->mutex);
  std::shared_ptr<Entry> entry = state_->find(handle);
  if (!entry || entry->closed || entry->native == 0) return false;
  if (!entry->pumpStarted) {
    entry->pumpStarted = true;
    State::enterLocked(entry);
    if (!startDetached([state = state_, entry] { pumpBody(state, entry); })) {
      entry->bodyFailed = true;
      const bool toClose = state_->leaveLocked(entry);
      lock.unlock();
      if (toClose) runCloser(state_);
      return false;
    }
  }
  entry->changed.wait(lock, [&] {
    return entry->closed || entry->buffered > 0 || entry->bodyEnded || entry->bodyFailed;
  });
  if (entry->closed) return false;
  if (entry->buffered > 0) {
    available = static_cast<uint32_t>(std::min<size_t>(entry->buffered, UINT32_MAX));
    return true;
  }
  return entry->bodyEnded;
}

bool NetHandleTable::read(NetHandle handle, void* buffer, uint32_t size, uint32_t& got) {
  got = 0;
  if (size == 0) {
    std::lock_guard lock(state_->mutex);
    auto entry = state_->find(handle);
    return entry && !entry->closed;
  }
  uint32_t available = 0;
  if (!queryDataAvailable(handle, available)) return false;
  if (available == 0) return true;
  std::lock_guard lock(state_->mutex);
  std::shared_ptr<Entry> entry = state_->find(handle);
  if (!entry || entry->closed) return false;
  char* out = static_cast<char*>(buffer);
  while (got < size && !entry->chunks.empty()) {
    std::vector<char>& front = entry->chunks.front();
    size_t n = std::min<size_t>(size - got, front.size() - entry->frontOffset);
    std::memcpy(out + got, front.data() + entry->frontOffset, n);
    got += static_cast<uint32_t>(n);
    entry->frontOffset += n;
    entry->buffered -= n;
    if (entry->frontOffset == front.size()) {
      if (entry->spare.size() < kSpareChunks) entry->spare.push_back(std::move(front));
      entry->chunks.pop_front();
      entry->frontOffset = 0;
    }
  }
  entry->changed.notify_all();
  return true;
}

void NetHandleTable::close(NetHandle handle) {
  bool toClose = false;
  {
    std::lock_guard lock(state_->mutex);
    auto it = state_->entries.find(handle);
    if (it == state_->entries.end()) return;
    std::shared_ptr<Entry> entry = it->second;
    state_->entries.erase(it);
    toClose = state_->closeLocked(entry);
  }
  if (toClose) runCloser(state_);
}

size_t NetHandleTable::openCount() const {
  std::lock_guard lock(state_->mutex);
  size_t n = 0;
  for (auto& [id, entry] : state_->entries) n += entry->closed ? 0 : 1;
  return n;
}

bool NetHandleTable::waitForNativeCloses(uint32_t limitMs) {
  std::unique_lock lock(state_->mutex);
  return state_->closesMade.wait_for(lock, std::chrono::milliseconds(limitMs), [&] {
    return state_->closing.empty() && !state_->closerBusy && state_->unreleased == 0;
  });
}

void NetHandleTable::pumpBody(const std::shared_ptr<State>& state,
                              const std::shared_ptr<Entry>& entry) {
  const uintptr_t native = entry->native;
  uint32_t largeRead = 0;  // 0: read what is announced
  for (;;) {
    std::vector<char> chunk;
    {
      std::unique_lock lock(state->mutex);
      entry->changed.wait(lock, [&] { return entry->closed || entry->buffered < kReadAheadLimit; });
      if (entry->closed) break;
      if (!entry->spare.empty()) {
        chunk = std::move(entry->spare.back());
        entry->spare.pop_back();
      }
    }
    uint32_t available = 0;
    bool ok = state->calls.queryAvailable(native, available);
    uint32_t got = 0;
    if (ok && available > 0) {
      // Data trickles in while the library's buffer is not full: take just that, so nothing
      // that has arrived waits for more to come.
      if (available < kFullLibraryBuffer) largeRead = 0;
      const uint32_t size = std::max(available, largeRead);
      if (chunk.capacity() < size) chunk = std::vector<char>();
      chunk.resize(size);
      LARGE_INTEGER began;
      QueryPerformanceCounter(&began);
      ok = state->calls.read(native, chunk.data(), size, got);
      const double took = millisecondsSince(began);
      chunk.resize(ok ? got : 0);
      if (ok && available >= kFullLibraryBuffer) {
        if (took > kSlowReadMs || got < size) {
          largeRead = 0;
        } else if (size == available || took <= kFastReadMs) {
          largeRead = std::min(std::max(size * 2, kFirstLargeRead), kLargestRead);
        }
      }
    }
    std::lock_guard lock(state->mutex);
    if (!ok) {
      entry->bodyFailed = true;
    } else if (available == 0 || got == 0) {
      entry->bodyEnded = true;
    } else {
      entry->buffered += got;
      entry->chunks.push_back(std::move(chunk));
    }
    entry->changed.notify_all();
    if (entry->bodyFailed || entry->bodyEnded) break;
  }
  bool toClose = false;
  {
    std::lock_guard lock(state->mutex);
    toClose = state->leaveLocked(entry);
  }
  if (toClose) runCloser(state);
}
