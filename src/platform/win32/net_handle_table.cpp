#include "platform/win32/net_handle_table.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <vector>

namespace {

// The system's slim lock and condition variable: under Wine they wait on futexes, while
// the C++ library's (winpthreads) go through the Wine server, several times slower per
// hand-over of a body piece between the read-ahead and its reader.
class SlimMutex {
 public:
  void lock() { AcquireSRWLockExclusive(&lock_); }
  void unlock() { ReleaseSRWLockExclusive(&lock_); }
  SRWLOCK* native() { return &lock_; }

 private:
  SRWLOCK lock_ = SRWLOCK_INIT;
};

// Waiting and notifying happen with the mutex held, so the count of waiters is exact and a
// notification nobody waits for costs nothing (it is made for every piece of the body).
class SlimCondition {
 public:
  template <typename Predicate>
  void wait(std::unique_lock<SlimMutex>& lock, Predicate done) {
    while (!done()) {
      ++waiters_;
      SleepConditionVariableSRW(&condition_, lock.mutex()->native(), INFINITE, 0);
      --waiters_;
    }
  }
  void notify_all() {
    if (waiters_ > 0) WakeAllConditionVariable(&condition_);
  }

 private:
  CONDITION_VARIABLE condition_ = CONDITION_VARIABLE_INIT;
  int waiters_ = 0;
};

// Starts a detached thread; false when the system has none to give.
bool startDetached(std::function<void()> body) {
  try {
    std::thread(std::move(body)).detach();
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

}  // namespace

struct NetHandleTable::Entry {
  uintptr_t native = 0;
  std::weak_ptr<Entry> parent;
  std::vector<std::weak_ptr<Entry>> children;
  bool closed = false;    // no new calls; waiting callers are released
  bool released = false;  // the native handle is closed or invalidated
  int inFlight = 0;       // calls inside the library on the native handle
  bool blockingBusy = false;
  SlimCondition changed;

  // The read-ahead of the reply body.
  bool pumpStarted = false;
  bool bodyEnded = false;
  bool bodyFailed = false;
  std::deque<std::vector<char>> chunks;
  size_t frontOffset = 0;
  size_t buffered = 0;
};

struct NetHandleTable::State {
  explicit State(NativeNetCalls c) : calls(std::move(c)) {}

  NativeNetCalls calls;
  SlimMutex mutex;
  std::unordered_map<NetHandle, std::shared_ptr<Entry>> entries;
  NetHandle nextId = 1;

  std::shared_ptr<Entry> find(NetHandle handle) {
    auto it = entries.find(handle);
    return it == entries.end() ? nullptr : it->second;
  }

  // Marks an entry and its descendants closed and wakes their waiters. Returns the native
  // handle to close now (0 when a call is still inside the library, or nothing to close).
  uintptr_t closeLocked(const std::shared_ptr<Entry>& entry) {
    entry->closed = true;
    entry->changed.notify_all();
    return releaseIfIdleLocked(entry);
  }

  uintptr_t releaseIfIdleLocked(const std::shared_ptr<Entry>& entry) {
    if (!entry->closed || entry->released || entry->inFlight > 0) return 0;
    entry->released = true;
    invalidateChildrenLocked(*entry);
    return entry->native;
  }

  void invalidateChildrenLocked(Entry& entry) {
    for (auto& weak : entry.children) {
      if (auto child = weak.lock()) {
        child->closed = true;
        child->released = true;
        child->changed.notify_all();
        invalidateChildrenLocked(*child);
      }
    }
    entry.children.clear();
  }

  void leaveLocked(const std::shared_ptr<Entry>& entry, uintptr_t& toClose) {
    --entry->inFlight;
    entry->changed.notify_all();
    toClose = releaseIfIdleLocked(entry);
  }

  void closeNative(uintptr_t native) {
    if (native != 0) calls.close(native);
  }
};

NetHandleTable::NetHandleTable(NativeNetCalls calls)
    : state_(std::make_shared<State>(std::move(calls))) {}

NetHandleTable::~NetHandleTable() {
  std::vector<uintptr_t> toClose;
  {
    std::lock_guard lock(state_->mutex);
    // Newest first, so that children go before their parents while both are idle.
    std::vector<std::pair<NetHandle, std::shared_ptr<Entry>>> all(state_->entries.begin(),
                                                                  state_->entries.end());
    std::sort(all.begin(), all.end(), [](auto& a, auto& b) { return a.first > b.first; });
    for (auto& [id, entry] : all) toClose.push_back(state_->closeLocked(entry));
    state_->entries.clear();
  }
  for (uintptr_t native : toClose) state_->closeNative(native);
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
  state_->closeNative(native);
  return 0;
}

bool NetHandleTable::use(NetHandle handle, const std::function<bool(uintptr_t)>& call) {
  std::shared_ptr<Entry> entry;
  {
    std::lock_guard lock(state_->mutex);
    entry = state_->find(handle);
    if (!entry || entry->closed) return false;
    ++entry->inFlight;
  }
  bool ok = call(entry->native);
  uintptr_t toClose = 0;
  {
    std::lock_guard lock(state_->mutex);
    state_->leaveLocked(entry, toClose);
  }
  state_->closeNative(toClose);
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
  if (!entry) return false;
  entry->changed.wait(lock, [&] { return entry->closed || !entry->blockingBusy; });
  if (entry->closed) return false;
  entry->blockingBusy = true;
  ++entry->inFlight;
  const bool started = startDetached([state = state_, entry, outcome, call = std::move(call)] {
    bool ok = call(entry->native);
    uintptr_t toClose = 0;
    {
      std::lock_guard lock(state->mutex);
      outcome->done = true;
      outcome->ok = ok;
      entry->blockingBusy = false;
      state->leaveLocked(entry, toClose);
    }
    state->closeNative(toClose);
  });
  if (!started) {
    uintptr_t toClose = 0;
    entry->blockingBusy = false;
    state_->leaveLocked(entry, toClose);
    lock.unlock();
    state_->closeNative(toClose);
    return false;
  }
  entry->changed.wait(lock, [&] { return outcome->done || entry->closed; });
  return outcome->done && outcome->ok;
}

bool NetHandleTable::queryDataAvailable(NetHandle handle, uint32_t& available) {
  available = 0;
  std::unique_lock lock(state_->mutex);
  std::shared_ptr<Entry> entry = state_->find(handle);
  if (!entry || entry->closed) return false;
  if (!entry->pumpStarted) {
    entry->pumpStarted = true;
    ++entry->inFlight;
    if (!startDetached([state = state_, entry] { pumpBody(state, entry); })) {
      entry->bodyFailed = true;
      uintptr_t toClose = 0;
      state_->leaveLocked(entry, toClose);
      lock.unlock();
      state_->closeNative(toClose);
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
      entry->chunks.pop_front();
      entry->frontOffset = 0;
    }
  }
  entry->changed.notify_all();
  return true;
}

void NetHandleTable::close(NetHandle handle) {
  uintptr_t toClose = 0;
  {
    std::lock_guard lock(state_->mutex);
    auto it = state_->entries.find(handle);
    if (it == state_->entries.end()) return;
    std::shared_ptr<Entry> entry = it->second;
    state_->entries.erase(it);
    toClose = state_->closeLocked(entry);
  }
  state_->closeNative(toClose);
}

size_t NetHandleTable::openCount() const {
  std::lock_guard lock(state_->mutex);
  size_t n = 0;
  for (auto& [id, entry] : state_->entries) n += entry->closed ? 0 : 1;
  return n;
}

void NetHandleTable::pumpBody(const std::shared_ptr<State>& state,
                              const std::shared_ptr<Entry>& entry) {
  const uintptr_t native = entry->native;
  for (;;) {
    {
      std::unique_lock lock(state->mutex);
      entry->changed.wait(lock, [&] { return entry->closed || entry->buffered < kReadAheadLimit; });
      if (entry->closed) break;
    }
    uint32_t available = 0;
    bool ok = state->calls.queryAvailable(native, available);
    std::vector<char> chunk;
    uint32_t got = 0;
    if (ok && available > 0) {
      chunk.resize(available);
      ok = state->calls.read(native, chunk.data(), available, got);
      chunk.resize(ok ? got : 0);
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
  uintptr_t toClose = 0;
  {
    std::lock_guard lock(state->mutex);
    state->leaveLocked(entry, toClose);
  }
  state->closeNative(toClose);
}
