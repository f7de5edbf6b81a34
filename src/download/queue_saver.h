#pragma once
#include <atomic>
#include <functional>
#include <thread>

#include "download/download_queue.h"
#include "download/queue_database.h"
#include "download/save_schedule.h"
#include "platform/clock.h"

// Saves the queue in the background while the program runs, so that a crash or a kill
// loses little: the user-interface thread only takes a snapshot when the schedule says a
// save is due, and a thread of its own writes it (with the same atomic replacement as the
// save at exit). At most one save is written at a time. Besides the changes the queue
// counts, a piece that has begun to hold bytes (or is gone) is a change: the resume text
// names it soon, and a kill then loses none of what it holds.
class QueueSaver {
 public:
  // `written` is called on the writing thread when a save has ended, written or not; the
  // application wakes its message loop with it, so a change that waited goes out soon.
  QueueSaver(DownloadQueue& queue, QueueDatabase& database, const Clock& clock,
             std::function<void()> written = {});
  // Stops, as stop() does.
  ~QueueSaver();
  QueueSaver(const QueueSaver&) = delete;
  QueueSaver& operator=(const QueueSaver&) = delete;

  // The queue as it is now is on disk (just loaded): no save until it changes, or until
  // transfers have run for a while.
  void markSaved();
  // User-interface thread, once per idle pass: takes the result of a save that ended, and
  // starts the next one when it is due and none is being written.
  void onIdlePass();
  // Asks a save being written to give up, waits for its thread, and starts no more: the
  // save at exit follows and must not meet it on the disk.
  void stop();

  // A save is being written.
  bool writing() const { return writing_.load(); }
  const SaveSchedule& schedule() const { return schedule_; }

 private:
  bool transfersRunning() const;
  // The pieces with bytes among the running transfers (read under the engine's lock).
  size_t piecesWithBytes() const;
  // The queue's changes and those of the pieces, as one count that grows with each.
  uint64_t changes();
  void collectEndedSave();

  DownloadQueue& queue_;
  QueueDatabase& database_;
  const Clock& clock_;
  std::function<void()> written_;
  SaveSchedule schedule_;
  size_t pieces_ = 0;          // pieces with bytes at the last look
  uint64_t pieceChanges_ = 0;  // looks that found a different number
  std::thread writer_;
  std::atomic<bool> writing_{false};
  std::atomic<bool> lastWritten_{false};
  std::atomic<bool> cancel_{false};
  bool stopped_ = false;
};
