#pragma once
#include <cstdint>

#include "platform/clock.h"
#include "transfer/stopwatch.h"

// When the queue is saved in the background: soon after any change, so that a crash loses
// nothing older than kChangeSavedWithinMs, and regularly while transfers run, so that the
// resume texts follow the pieces they make. A save that failed is tried again later.
struct SaveSchedule {
  // A change waits this long for others to join it (a paste, a row of finishing files).
  static constexpr int64_t kChangeDelayMs = 1000;
  // What the delay and one save of a large queue (which a change may wait behind) leave
  // within the promise of 5 seconds.
  static constexpr int64_t kChangeSavedWithinMs = 5000;
  // While transfers run: so that no piece is older than 30 seconds when it is first named,
  // with the time a save takes to reach the disk.
  static constexpr int64_t kRunningSaveMs = 25000;
  // After a failed save (a full disk, a folder that cannot be written, another program
  // holding the database open for a moment).
  static constexpr int64_t kRetryMs = 5000;

  uint64_t savedChanges = 0;  // the queue's change count the last save took
  bool lastFailed = false;
  Stopwatch changeSeen;  // the first change not yet taken, as the schedule saw it
  Stopwatch lastSave;    // when the last save was taken
  Stopwatch failure;     // when the last save failed

  // Whether a save is due now. Called at every idle pass, also while a save is being
  // written (none is started then), so that a change is timed from when it happened.
  bool due(uint64_t changes, bool transfersRunning, const Clock& clock);
  // A save has taken the queue with this change count.
  void taken(uint64_t changes, const Clock& clock);
  // The save taken last has ended.
  void ended(bool written, const Clock& clock);
};
