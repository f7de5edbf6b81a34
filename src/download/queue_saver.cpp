#include "download/queue_saver.h"

#include <mutex>
#include <system_error>
#include <utility>

#include "transfer/transfer_engine.h"

QueueSaver::QueueSaver(DownloadQueue& queue, QueueDatabase& database, const Clock& clock,
                       std::function<void()> written)
    : queue_(queue), database_(database), clock_(clock), written_(std::move(written)) {}

QueueSaver::~QueueSaver() {
  stop();
}

void QueueSaver::markSaved() {
  schedule_.taken(changes(), clock_);
}

bool QueueSaver::transfersRunning() const {
  for (const auto& job : queue_.engine().jobs())
    if (isRunning(*job)) return true;
  return false;
}

size_t QueueSaver::piecesWithBytes() const {
  TransferEngine& engine = queue_.engine();
  std::lock_guard hold(engine.lock());
  size_t count = 0;
  for (const auto& job : engine.jobs()) {
    if (!isRunning(*job)) continue;
    for (const auto& worker : job->workers)
      if (worker->piece.written > 0 && !worker->piece.path.empty()) ++count;
  }
  return count;
}

uint64_t QueueSaver::changes() {
  const size_t pieces = piecesWithBytes();
  if (pieces != pieces_) {
    pieces_ = pieces;
    ++pieceChanges_;
  }
  return queue_.changeCount() + pieceChanges_;
}

void QueueSaver::collectEndedSave() {
  if (!writer_.joinable() || writing_.load()) return;
  writer_.join();
  schedule_.ended(lastWritten_.load(), clock_);
}

void QueueSaver::onIdlePass() {
  if (stopped_) return;
  collectEndedSave();
  const uint64_t seen = changes();
  if (!schedule_.due(seen, transfersRunning(), clock_) || writer_.joinable()) return;
  // The snapshot goes to the thread whole; its texts are freed there too.
  QueueSnapshot snapshot = database_.takeSnapshot();
  schedule_.taken(seen, clock_);
  writing_ = true;
  try {
    writer_ = std::thread([this, snapshot = std::move(snapshot)] {
      const QueueSaveResult result = database_.writeSnapshot(snapshot, &cancel_);
      lastWritten_ = result != QueueSaveResult::kFailed;
      writing_ = false;
      if (written_) written_();
    });
  } catch (const std::system_error&) {
    // No thread to write it: counted as a failed save, tried again later.
    writing_ = false;
    schedule_.ended(false, clock_);
  }
}

void QueueSaver::stop() {
  stopped_ = true;
  cancel_ = true;
  if (writer_.joinable()) writer_.join();
}
