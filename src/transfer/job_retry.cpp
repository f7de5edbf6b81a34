// The job pass's look at the workers that ended: a download does not fail when a
// connection breaks or brings nothing; the range is tried again, at once after an attempt
// that wrote bytes, otherwise after a wait that grows with every empty attempt (retry.h).
// A worker that wrote nothing leaves no piece file behind, so a server that closes before
// the body never fills the folder with empty files.
#include <vector>

#include "transfer/retry.h"
#include "transfer/segments.h"
#include "transfer/transfer_engine.h"

TransferEngine::Retry TransferEngine::retryFor(const TransferJob& job,
                                               const TransferWorker& worker) {
  if (!job.keepTrying) return Retry::kNo;
  const bool wrote = worker.piece.written > 0;
  const Retry again = wrote ? Retry::kAtOnce : Retry::kAfterWait;
  // The range this worker was fetching is done when its end is the file's end or lies in
  // another piece.
  const int64_t end = worker.start + worker.piece.written;
  const bool rangeDone =
      job.totalSize != -1 && (end >= job.totalSize || isCovered(end, job.totalSize, spansOf(job)));
  switch (worker.state) {
    case WorkerState::Stopped:
      // Stopped on request (pause, caught up) needs nothing; a silent one is a failure.
      return worker.stalled && !rangeDone ? again : Retry::kNo;
    case WorkerState::Complete:
      // Of a file of unknown size, the whole reply is the file; of one of known size, a
      // reply that ended early was cut off.
      if (job.totalSize == -1 || worker.piece.path.empty() || rangeDone) return Retry::kNo;
      return again;
    case WorkerState::NetworkError:
      return rangeDone ? Retry::kNo : again;
    case WorkerState::Refused:
      // Another version of the file is fetched whole instead, and a server that sends
      // whole files only is not asked for the range again; a refusal at offset 0 other
      // than "busy" failed the job.
      if (worker.wholeAgain || worker.rangesRefused) return Retry::kNo;
      if (worker.start == 0 && worker.statusCode != 503) return Retry::kNo;
      return Retry::kAfterWait;
    default:
      return Retry::kNo;
  }
}

bool TransferEngine::settleEndedWorkers(TransferJob& job) {
  int waitFor = 0;
  std::vector<TransferWorker*> empty;
  for (const auto& owned : job.workers) {
    TransferWorker& worker = *owned;
    if (isActiveState(worker.state) || worker.settled) continue;
    worker.settled = true;
    switch (retryFor(job, worker)) {
      case Retry::kAtOnce:
        job.wanted += 1;
        break;
      case Retry::kAfterWait:
        waitFor += 1;
        break;
      case Retry::kNo:
        break;
    }
    // Nothing to show for it: the file goes now, and the worker with it (a stored piece
    // or a finished file is never empty here: completion came first).
    if (worker.piece.written == 0 && !worker.piece.path.empty()) empty.push_back(&worker);
  }
  for (TransferWorker* worker : empty) removeWorker(*worker);
  if (waitFor == 0) return false;
  if (job.retry.progress.started && job.retry.progress.elapsed(clock_) >= kGiveUpAfterMs) {
    giveUp(job);
    return true;
  }
  if (job.retry.waiting == 0) beginWait(job);
  job.retry.waiting += waitFor;
  return false;
}

void TransferEngine::beginWait(TransferJob& job) {
  job.retry.nextDelayMs = nextRetryDelay(job.retry.nextDelayMs);
  job.retry.waitMs = spreadRetryDelay(job.retry.nextDelayMs, ids_.newToken());
  job.retry.wait.mark(clock_);
}

void TransferEngine::giveUp(TransferJob& job) {
  job.errorText = "Cannot Connect";
  failKeepingPieces(job);
}

void TransferEngine::failKeepingPieces(TransferJob& job) {
  // What was fetched stays for a later Get; only pieces of a file of known size can be
  // continued.
  if (sizeKnown(job)) {
    for (const auto& worker : job.workers) {
      if (worker->piece.written > 0 && !worker->piece.path.empty()) {
        worker->piece.keep = true;
        job.keptPieces = true;
      }
    }
  }
  for (const auto& worker : job.workers) finishWorker(*worker, WorkerState::Stopped);
  job.retry.waiting = 0;
  job.wanted = 0;
  setResult(job, kJobFailed);
  recount(job);
}
