// The handle bookkeeping under the Internet port, against a scripted library.
#include "platform/win32/net_handle_table.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// How long a test waits for a helper thread of the table: generous, for a busy machine.
constexpr DWORD kPatienceMs = 60000;

// A library whose blocking calls wait for the test to open a gate, and which records
// every native close.
class ScriptedLibrary {
 public:
  ScriptedLibrary()
      : gate_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
        closed_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
        entered_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
  ~ScriptedLibrary() {
    CloseHandle(gate_);
    CloseHandle(closed_);
    CloseHandle(entered_);
  }

  NativeNetCalls calls() {
    NativeNetCalls calls;
    calls.close = [this](uintptr_t native) {
      std::lock_guard lock(mutex_);
      closes_.push_back(native);
      SetEvent(closed_);
    };
    calls.queryAvailable = [this](uintptr_t, uint32_t& available) {
      SetEvent(entered_);
      std::unique_lock lock(mutex_);
      while (pieces_.empty() && !ended_ && !failed_) {
        lock.unlock();
        WaitForSingleObject(gate_, INFINITE);
        lock.lock();
        ResetEvent(gate_);
      }
      available = pieces_.empty() ? 0 : static_cast<uint32_t>(pieces_.front().size());
      return !(pieces_.empty() && failed_);
    };
    // What is queued, up to the size asked for.
    calls.read = [this](uintptr_t, void* buffer, uint32_t size, uint32_t& got) {
      std::lock_guard lock(mutex_);
      readSizes_.push_back(size);
      got = 0;
      while (got < size && !pieces_.empty()) {
        std::string& piece = pieces_.front();
        const size_t n = std::min<size_t>(size - got, piece.size());
        std::memcpy(static_cast<char*>(buffer) + got, piece.data(), n);
        got += static_cast<uint32_t>(n);
        piece.erase(0, n);
        if (piece.empty()) pieces_.pop_front();
      }
      return true;
    };
    // The library outlives no table: wait for every call to leave (a minute at most, for a
    // busy machine).
    calls.closeWaitMs = kPatienceMs;
    return calls;
  }

  // A call that waits for the gate, for useBlocking.
  std::function<bool(uintptr_t)> waitingCall() {
    return [this](uintptr_t) {
      SetEvent(entered_);
      WaitForSingleObject(gate_, INFINITE);
      return true;
    };
  }

  void open() { SetEvent(gate_); }
  void send(const std::string& piece) {
    std::lock_guard lock(mutex_);
    pieces_.push_back(piece);
    SetEvent(gate_);
  }
  void end() {
    std::lock_guard lock(mutex_);
    ended_ = true;
    SetEvent(gate_);
  }
  void fail() {
    std::lock_guard lock(mutex_);
    failed_ = true;
    SetEvent(gate_);
  }
  std::vector<uintptr_t> closes() {
    std::lock_guard lock(mutex_);
    return closes_;
  }
  // The size of every read asked of the library so far.
  std::vector<uint32_t> readSizes() {
    std::lock_guard lock(mutex_);
    return readSizes_;
  }
  // Waits until some native close has happened.
  bool waitForAClose() { return WaitForSingleObject(closed_, kPatienceMs) == WAIT_OBJECT_0; }
  // Waits until a blocking call is inside the library.
  bool waitUntilEntered() { return WaitForSingleObject(entered_, kPatienceMs) == WAIT_OBJECT_0; }

 private:
  HANDLE gate_;
  HANDLE closed_;
  HANDLE entered_;
  std::mutex mutex_;
  std::deque<std::string> pieces_;
  bool ended_ = false;
  bool failed_ = false;
  std::vector<uintptr_t> closes_;
  std::vector<uint32_t> readSizes_;
};

TEST(NetHandleTable, GivesIdsThatAreNeverReusedAndFailsEveryCallOnAClosedOne) {
  ScriptedLibrary library;
  NetHandleTable table(library.calls());
  NetHandle first = table.add(0x10, 0);
  ASSERT_NE(first, 0u);
  table.close(first);
  NetHandle second = table.add(0x10, 0);  // the library gave the same value again
  EXPECT_NE(second, first);
  EXPECT_FALSE(table.use(first, [](uintptr_t) { return true; }));
  uint32_t n = 0;
  EXPECT_FALSE(table.queryDataAvailable(first, n));
  EXPECT_TRUE(table.use(second, [](uintptr_t native) { return native == 0x10; }));
  ASSERT_TRUE(table.waitForNativeCloses(kPatienceMs));
  EXPECT_EQ(library.closes(), std::vector<uintptr_t>{0x10});
  EXPECT_EQ(table.add(0, 0), 0u);
}

TEST(NetHandleTable, CloseReleasesTheWaitingCallerButClosesTheNativeOnlyWhenTheCallLeaves) {
  ScriptedLibrary library;
  NetHandleTable table(library.calls());
  NetHandle handle = table.add(0x20, 0);
  std::atomic<bool> returned{false};
  std::atomic<bool> result{true};
  std::thread caller([&] {
    result = table.useBlocking(handle, library.waitingCall());
    returned = true;
  });
  ASSERT_TRUE(library.waitUntilEntered());
  table.close(handle);
  caller.join();
  EXPECT_TRUE(returned);
  EXPECT_FALSE(result);
  // The library call is still inside: its native handle must not be closed under it.
  EXPECT_TRUE(library.closes().empty());
  library.open();
  ASSERT_TRUE(library.waitForAClose());
  EXPECT_EQ(library.closes(), std::vector<uintptr_t>{0x20});
}

// An opener that waits for the library's gate, then gives the native handle.
NetHandleTable::Opener gatedOpener(ScriptedLibrary& library, uintptr_t native) {
  auto wait = library.waitingCall();
  return [wait, native](uintptr_t parent) { return wait(parent) ? native : 0; };
}

TEST(NetHandleTable, APendingHandleOpensWithItsParentsNativeOrFailsWithoutANative) {
  ScriptedLibrary library;
  NetHandleTable table(library.calls());
  NetHandle root = table.add(0x90, 0);
  uintptr_t parentSeen = 0;
  NetHandle opened = table.addPending(root, [&](uintptr_t parent) {
    parentSeen = parent;
    return uintptr_t{0x91};
  });
  EXPECT_FALSE(table.use(opened, [](uintptr_t) { return true; })) << "not open yet";
  ASSERT_TRUE(table.open(opened));
  EXPECT_EQ(parentSeen, 0x90u);
  EXPECT_TRUE(table.use(opened, [](uintptr_t native) { return native == 0x91; }));
  EXPECT_FALSE(table.open(opened)) << "once only";

  NetHandle failed = table.addPending(root, [](uintptr_t) { return uintptr_t{0}; });
  EXPECT_FALSE(table.open(failed));
  table.close(failed);
  table.close(opened);
  ASSERT_TRUE(table.waitForNativeCloses(kPatienceMs));
  EXPECT_EQ(library.closes(), std::vector<uintptr_t>{0x91});
}

TEST(NetHandleTable, ClosingAPendingHandleReleasesItsOpenAndTheNativeMadeLaterIsClosed) {
  ScriptedLibrary library;
  NetHandleTable table(library.calls());
  NetHandle root = table.add(0xA0, 0);
  NetHandle pending = table.addPending(root, gatedOpener(library, 0xA1));
  std::atomic<bool> result{true};
  std::thread caller([&] { result = table.open(pending); });
  ASSERT_TRUE(library.waitUntilEntered());
  table.close(pending);
  caller.join();
  EXPECT_FALSE(result);
  EXPECT_TRUE(library.closes().empty());
  library.open();
  ASSERT_TRUE(library.waitForAClose());
  EXPECT_EQ(library.closes(), std::vector<uintptr_t>{0xA1});
}

TEST(NetHandleTable, ClosingTheParentOfAPendingHandleReleasesItsOpen) {
  ScriptedLibrary library;
  NetHandleTable table(library.calls());
  NetHandle root = table.add(0xB0, 0);
  NetHandle pending = table.addPending(root, gatedOpener(library, 0xB1));
  std::atomic<bool> result{true};
  std::thread caller([&] { result = table.open(pending); });
  ASSERT_TRUE(library.waitUntilEntered());
  table.close(root);
  caller.join();
  EXPECT_FALSE(result);
  // The open is still inside the library on the parent: nothing is closed under it.
  EXPECT_TRUE(library.closes().empty());
  library.open();
  ASSERT_TRUE(table.waitForNativeCloses(kPatienceMs));
  // The handle opened meanwhile is closed before its parent, never after it.
  EXPECT_EQ(library.closes(), (std::vector<uintptr_t>{0xB1, 0xB0}));
  EXPECT_EQ(table.addPending(root, gatedOpener(library, 0xB2)), 0u);
}

TEST(NetHandleTable, ClosingAParentReleasesItsChildrenButClosesNoNativeUnderTheirCalls) {
  ScriptedLibrary library;
  NetHandleTable table(library.calls());
  NetHandle connection = table.add(0x30, 0);
  NetHandle request = table.add(0x31, connection);
  NetHandle idleRequest = table.add(0x32, connection);
  std::atomic<size_t> closesWhileInside{0};
  auto call = library.waitingCall();
  std::atomic<bool> result{true};
  std::thread caller([&] {
    result = table.useBlocking(request, [&, call](uintptr_t native) {
      const bool ok = call(native);
      closesWhileInside = library.closes().size();
      return ok;
    });
  });
  ASSERT_TRUE(library.waitUntilEntered());
  table.close(connection);
  caller.join();
  EXPECT_FALSE(result);
  EXPECT_FALSE(table.use(request, [](uintptr_t) { return true; }));
  EXPECT_FALSE(table.use(idleRequest, [](uintptr_t) { return true; }));
  library.open();
  ASSERT_TRUE(table.waitForNativeCloses(kPatienceMs));
  // Closing the connection invalidates the request, whose value the library may give to the
  // next handle while a call on it is still to start: nothing is closed while one is inside.
  EXPECT_EQ(closesWhileInside, 0u);
  // The request its call left, then the connection; the idle request goes with it, as
  // closing that value again could close a handle the library has since given out.
  EXPECT_EQ(library.closes(), (std::vector<uintptr_t>{0x31, 0x30}));
  table.close(request);
  table.close(idleRequest);
  ASSERT_TRUE(table.waitForNativeCloses(kPatienceMs));
  EXPECT_EQ(library.closes(), (std::vector<uintptr_t>{0x31, 0x30}));
}

TEST(NetHandleTable, AHandleOpenedUnderAParentClosedMeanwhileGoesWithTheParent) {
  ScriptedLibrary library;
  NetHandleTable table(library.calls());
  NetHandle root = table.add(0x40, 0);
  // The parent is closed while the call that opens the child is inside the library.
  EXPECT_TRUE(table.use(root, [&](uintptr_t) {
    table.close(root);
    return true;
  }));
  EXPECT_EQ(table.add(0x41, root), 0u);
  ASSERT_TRUE(table.waitForNativeCloses(kPatienceMs));
  // Only the parent: the library invalidates the child with it, and may give its value out
  // again at once.
  EXPECT_EQ(library.closes(), std::vector<uintptr_t>{0x40});
}

TEST(NetHandleTable, NativeClosesAreMadeInTheOrderTheyWereDecidedAndNeverByTheCaller) {
  ScriptedLibrary library;
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE entered = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::atomic<DWORD> closingThread{0};
  NativeNetCalls calls = library.calls();
  NativeNetCalls slow = calls;
  // The first close takes as long as the library reading the rest of a reply.
  slow.close = [&, inner = calls.close](uintptr_t native) {
    if (native == 0x81) {
      closingThread = GetCurrentThreadId();
      SetEvent(entered);
      WaitForSingleObject(release, kPatienceMs);
    }
    inner(native);
  };
  NetHandleTable table(slow);
  NetHandle connection = table.add(0x80, 0);
  NetHandle request = table.add(0x81, connection);
  // Neither close waits for the slow one: its native close has not happened when they return.
  table.close(request);
  table.close(connection);
  ASSERT_EQ(WaitForSingleObject(entered, kPatienceMs), WAIT_OBJECT_0);
  EXPECT_NE(closingThread.load(), GetCurrentThreadId());
  EXPECT_FALSE(table.waitForNativeCloses(100));
  EXPECT_TRUE(library.closes().empty());
  SetEvent(release);
  ASSERT_TRUE(table.waitForNativeCloses(kPatienceMs));
  EXPECT_EQ(library.closes(), (std::vector<uintptr_t>{0x81, 0x80}));
  CloseHandle(release);
  CloseHandle(entered);
}

TEST(NetHandleTable, BodyArrivesInOrderAndItsEndIsReportedAfterTheLastByte) {
  ScriptedLibrary library;
  NetHandleTable table(library.calls());
  NetHandle request = table.add(0x50, 0);
  library.send("hello ");
  library.send("world");
  library.end();
  std::string body;
  char buffer[4];
  for (;;) {
    uint32_t got = 0;
    ASSERT_TRUE(table.read(request, buffer, sizeof buffer, got));
    if (got == 0) break;
    body.append(buffer, got);
  }
  EXPECT_EQ(body, "hello world");
  uint32_t available = 7;
  EXPECT_TRUE(table.queryDataAvailable(request, available));
  EXPECT_EQ(available, 0u);
}

TEST(NetHandleTable, ReadsMoreThanAnnouncedOnlyWhileTheLibrarysBufferComesBackFull) {
  ScriptedLibrary library;
  NetHandleTable table(library.calls());
  NetHandle request = table.add(0x58, 0);
  // Data streams: the library's 8 KiB buffer is full at every query.
  for (int i = 0; i < 5; ++i) library.send(std::string(8192, static_cast<char>('a' + i)));
  std::string body;
  std::vector<char> buffer(1 << 20);
  while (body.size() < 5 * 8192) {
    uint32_t got = 0;
    ASSERT_TRUE(table.read(request, buffer.data(), static_cast<uint32_t>(buffer.size()), got));
    ASSERT_GT(got, 0u);
    body.append(buffer.data(), got);
  }
  // Then it trickles: what is announced is read, so nothing waits for more to come.
  library.send("tail");
  uint32_t got = 0;
  ASSERT_TRUE(table.read(request, buffer.data(), static_cast<uint32_t>(buffer.size()), got));
  body.append(buffer.data(), got);
  library.end();
  ASSERT_TRUE(table.read(request, buffer.data(), static_cast<uint32_t>(buffer.size()), got));
  EXPECT_EQ(got, 0u);

  std::string expected;
  for (int i = 0; i < 5; ++i) expected += std::string(8192, static_cast<char>('a' + i));
  EXPECT_EQ(body, expected + "tail");
  EXPECT_EQ(library.readSizes(), (std::vector<uint32_t>{8192, 32768, 4}));
}

TEST(NetHandleTable, DataReadBeforeAFailureIsDeliveredBeforeTheFailure) {
  ScriptedLibrary library;
  NetHandleTable table(library.calls());
  NetHandle request = table.add(0x60, 0);
  library.send("abc");
  library.fail();
  char buffer[16];
  uint32_t got = 0;
  ASSERT_TRUE(table.read(request, buffer, sizeof buffer, got));
  EXPECT_EQ(std::string(buffer, got), "abc");
  EXPECT_FALSE(table.read(request, buffer, sizeof buffer, got));
}

TEST(NetHandleTable, CloseReleasesAReaderWaitingForData) {
  ScriptedLibrary library;
  NetHandleTable table(library.calls());
  NetHandle request = table.add(0x70, 0);
  std::atomic<bool> result{true};
  std::thread reader([&] {
    char buffer[16];
    uint32_t got = 0;
    result = table.read(request, buffer, sizeof buffer, got);
  });
  ASSERT_TRUE(library.waitUntilEntered());
  table.close(request);
  reader.join();
  EXPECT_FALSE(result);
  EXPECT_TRUE(library.closes().empty());
  library.end();  // the read-ahead leaves the library; only then is the native closed
  ASSERT_TRUE(library.waitForAClose());
  EXPECT_EQ(library.closes(), std::vector<uintptr_t>{0x70});
}

TEST(NetHandleTable, DestroyingTheTableClosesEveryHandleChildrenFirst) {
  ScriptedLibrary library;
  {
    NetHandleTable table(library.calls());
    NetHandle root = table.add(0x1, 0);
    NetHandle connection = table.add(0x2, root);
    table.add(0x3, connection);
    EXPECT_EQ(table.openCount(), 3u);
  }
  EXPECT_EQ(library.closes(), (std::vector<uintptr_t>{0x3, 0x2, 0x1}));
}

}  // namespace
