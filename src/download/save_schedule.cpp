#include "download/save_schedule.h"

bool SaveSchedule::due(uint64_t changes, bool transfersRunning, const Clock& clock) {
  const bool unsaved = changes != savedChanges || lastFailed;
  if (unsaved && !changeSeen.started) changeSeen.mark(clock);
  if (failure.started && !failure.atLeast(clock, kRetryMs)) return false;
  if (unsaved && changeSeen.atLeast(clock, kChangeDelayMs)) return true;
  return transfersRunning && lastSave.atLeast(clock, kRunningSaveMs);
}

void SaveSchedule::taken(uint64_t changes, const Clock& clock) {
  savedChanges = changes;
  lastFailed = false;
  changeSeen.clear();
  lastSave.mark(clock);
}

void SaveSchedule::ended(bool written, const Clock& clock) {
  lastFailed = !written;
  if (written) {
    failure.clear();
  } else {
    // What the failed save held is a change not saved, seen now.
    failure.mark(clock);
    changeSeen.mark(clock);
  }
}
