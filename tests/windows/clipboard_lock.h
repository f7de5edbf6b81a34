#pragma once
#include <windows.h>

// The tests run side by side in one Wine prefix and one display, so they share one
// clipboard: a test that copies, pastes or watches it holds this lock for its whole run,
// and no other such test changes the clipboard under it.
class ClipboardLock {
 public:
  ClipboardLock() : mutex_(CreateMutexA(nullptr, FALSE, "HaulixTestsClipboard")) {
    // An owner that died leaves the lock abandoned, which still hands it over; one that
    // hangs is ended by its test's time limit, which abandons the lock too. A turn can take
    // minutes on a busy machine, so the wait is bounded only far beyond that.
    if (mutex_) WaitForSingleObject(mutex_, 4 * 60 * 1000);
  }
  ~ClipboardLock() {
    if (!mutex_) return;
    ReleaseMutex(mutex_);
    CloseHandle(mutex_);
  }
  ClipboardLock(const ClipboardLock&) = delete;
  ClipboardLock& operator=(const ClipboardLock&) = delete;

 private:
  HANDLE mutex_;
};
