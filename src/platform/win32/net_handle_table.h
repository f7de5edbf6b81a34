#pragma once
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/internet.h"

// What the table asks of the Internet library, on native handles.
struct NativeNetCalls {
  // Closes a native handle; the library also invalidates the handles opened under it.
  std::function<void(uintptr_t)> close;
  // Blocking: bytes the library can hand over now, 0 at the end of the reply.
  std::function<bool(uintptr_t, uint32_t&)> queryAvailable;
  // Blocking: reads into the buffer; waits until it is full or the reply ends.
  std::function<bool(uintptr_t, void*, uint32_t, uint32_t&)> read;
};

// The handles the Internet port gives out, and the one guarantee the library under Wine
// does not give: closing a handle from another thread releases a call blocked on it at once.
//
// Closing a native handle does not wake a call blocked on it there (it waits for the server),
// and the library reuses a freed handle value for the next handle it opens, so a call that
// is about to start on a closed value could land on someone else's handle. Hence:
// - A NetHandle is an id of this table, never reused; a closed id fails every later call.
// - Calls that wait on the network run on a helper thread; the caller waits for the result
//   or for the close, whichever comes first. A call abandoned that way finishes on its own
//   (when the server sends or closes) and touches nothing of the caller.
// - The native handle is closed only when no call is inside the library on it: by close()
//   when idle, otherwise by the last call that leaves. Closing a native parent marks its
//   descendants closed too, as the library has invalidated them.
// - The reply body is read ahead by a helper into a bounded buffer, so body calls cost no
//   thread switch while data is buffered and return as soon as any has arrived. The helper
//   asks how much is available (which waits for the first byte) and reads exactly that
//   (at most 8 KiB under Wine). A larger read would be about twice as fast on loopback but
//   waits until its buffer is full, holding back bytes that have arrived, which a stalling
//   server would then keep from the caller for as long as it stalls.
class NetHandleTable {
 public:
  explicit NetHandleTable(NativeNetCalls calls);
  // Closes every handle still open.
  ~NetHandleTable();
  NetHandleTable(const NetHandleTable&) = delete;
  NetHandleTable& operator=(const NetHandleTable&) = delete;

  // Takes over a native handle opened under `parent` (0: a root). A null native gives 0; so
  // does a closed parent, and the native handle is then closed at once.
  NetHandle add(uintptr_t native, NetHandle parent);
  // Runs a quick call on the calling thread with the native handle; false when the handle
  // is closed or unknown.
  bool use(NetHandle handle, const std::function<bool(uintptr_t)>& call);
  // Runs a call that waits on the network on a helper thread. False when the handle is
  // closed before the call ends; `call` must own everything it uses (it may outlive this).
  bool useBlocking(NetHandle handle, std::function<bool(uintptr_t)> call);
  // The reply body: blocking until data, the end, a failure or a close.
  bool queryDataAvailable(NetHandle handle, uint32_t& available);
  bool read(NetHandle handle, void* buffer, uint32_t size, uint32_t& got);
  // Closes from any thread: calls waiting on the handle return false at once.
  void close(NetHandle handle);
  // Open handles (for tests of the bookkeeping).
  size_t openCount() const;

  // Most bytes read ahead and not yet taken, per handle.
  static constexpr size_t kReadAheadLimit = 1 << 20;

 private:
  struct State;
  struct Entry;
  // Reads the reply body ahead of the caller until it ends, fails or the handle is closed.
  static void pumpBody(const std::shared_ptr<State>& state, const std::shared_ptr<Entry>& entry);

  std::shared_ptr<State> state_;
};
