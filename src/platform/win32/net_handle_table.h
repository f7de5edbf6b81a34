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
  // How long the table's destructor waits for calls still inside the library to leave and
  // for every native close to be made. The calls above are used until then, and by calls
  // abandoned for longer even after: they must keep working without the table.
  uint32_t closeWaitMs = 0;
};

// The handles the Internet port gives out, and two guarantees the library under Wine does not
// give: closing a handle from another thread releases a call blocked on it at once, and a
// close never makes the caller wait.
//
// Closing a native handle does not wake a call blocked on it there (it waits for the server),
// and the library reuses a freed handle value for the next handle it opens, so a call that
// is about to start on a closed value could land on someone else's handle. Closing a
// request whose reply has not been read to the end makes the library read and drop the rest
// of it, 1 KiB at a time, for as long as more is already there: from a fast server, the
// whole rest of the file, for seconds. Hence:
// - A NetHandle is an id of this table, never reused; a closed id fails every later call.
// - Calls that wait on the network run on a helper thread; the caller waits for the result
//   or for the close, whichever comes first. A call abandoned that way finishes on its own
//   (when the server sends or closes) and touches nothing of the caller.
// - The native handle is closed only when no call is inside the library on it or on a
//   descendant: by close() when idle, otherwise by the last call that leaves. Closing a
//   native parent invalidates its descendants, and the library may give a freed value to
//   the next handle it opens, so a call about to start on a child would land on that one.
//   A closed parent marks its descendants closed at once; one whose call was inside is
//   closed as the call leaves, before the parent, and the idle ones go with the parent.
// - Native closes are made by one closer thread, in the order they were decided, so a value
//   is never closed after its parent (which would free it for reuse first).
// - The reply body is read ahead by a helper into a bounded buffer, so body calls cost no
//   thread switch while data is buffered and return as soon as any has arrived. The helper
//   asks how much is available (at most 8 KiB under Wine: the library's own buffer) and
//   reads that much while data trickles in. When the library's buffer comes back full, data
//   is streaming, and the helper reads more than was announced, doubling the size after
//   each read that filled quickly (up to kLargestRead), back to the announced size after a
//   slow one. Such a read waits until it is full, holding back what has arrived meanwhile,
//   so its size is kept to what arrives in about 20 ms at the current rate: a server that
//   stalls just then holds back at most that much until it sends again (or the caller gives
//   up on it and fetches the range anew). Measured under Wine on loopback: 1 GiB in about
//   1.5 s this way, 21 s reading only what is announced.
class NetHandleTable {
 public:
  explicit NetHandleTable(NativeNetCalls calls);
  // Closes every handle still open, waiting for the library as NativeNetCalls::closeWaitMs
  // says.
  ~NetHandleTable();
  NetHandleTable(const NetHandleTable&) = delete;
  NetHandleTable& operator=(const NetHandleTable&) = delete;

  // Takes over a native handle opened under `parent` (0: a root). A null native gives 0; so
  // does a parent closed meanwhile, whose close takes the native handle with it.
  NetHandle add(uintptr_t native, NetHandle parent);
  // The native handle to open, with the parent's native, in a library call that waits on the
  // network; 0 when it cannot be opened. It must own everything it uses (it may outlive this).
  using Opener = std::function<uintptr_t(uintptr_t parentNative)>;
  // A handle under `parent` whose native one is made later, by open(), so that it can be
  // closed, and its opening released, while the library still waits for the server. 0 when
  // the parent is closed or unknown.
  NetHandle addPending(NetHandle parent, Opener opener);
  // Blocking: runs the pending handle's opener on a helper thread. False when it fails, or
  // when the handle is closed first; a native handle the opener makes after that is closed.
  bool open(NetHandle handle);
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
  // Waits until the native handle of every handle closed so far has been closed (after the
  // calls inside the library on it have left), at most `limitMs`; false when some are
  // still open then.
  bool waitForNativeCloses(uint32_t limitMs);

  // Most bytes read ahead and not yet taken, per handle.
  static constexpr size_t kReadAheadLimit = 1 << 20;
  // The largest single read of the read-ahead.
  static constexpr uint32_t kLargestRead = 1 << 20;

 private:
  struct State;
  struct Entry;
  // Reads the reply body ahead of the caller until it ends, fails or the handle is closed.
  static void pumpBody(const std::shared_ptr<State>& state, const std::shared_ptr<Entry>& entry);
  // Makes the native closes waiting in line, unless a closer thread is at it already.
  static void runCloser(const std::shared_ptr<State>& state);

  std::shared_ptr<State> state_;
};
