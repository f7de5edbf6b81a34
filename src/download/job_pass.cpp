// The job pass: the user-interface thread's regular look at every job, with the lock held.
// It reads the pieces as covered and uncovered segments, fails or completes the job, stops
// workers that caught up or stalled, starts workers for the gaps and counts.
#include <algorithm>
#include <string>
#include <vector>

#include "download/segments.h"
#include "download/transfer_engine.h"
#include "url/byte_text.h"

namespace {

// A worker silent this long in one call is stopped, and its range fetched again.
constexpr int64_t kStallMs = 90000;
// The joined file is written in steps of this size.
constexpr int64_t kJoinStep = int64_t{16} << 20;

}  // namespace

std::vector<PieceSpan> TransferEngine::spansOf(const TransferJob& job) {
  std::vector<PieceSpan> spans;
  spans.reserve(job.workers.size());
  for (const auto& worker : job.workers) spans.push_back({worker->start, worker->piece.written});
  return spans;
}

bool TransferEngine::sizeKnown(const TransferJob& job) {
  // A job without a folder fetches reply headers only: it has no pieces to cover the
  // file with, whatever size the server announced.
  return !job.folder.empty() && sizeTestPasses(job.totalSize, spansOf(job));
}

bool TransferEngine::anyActiveWorker(const TransferJob& job) {
  return std::any_of(job.workers.begin(), job.workers.end(),
                     [](const auto& worker) { return isActiveState(worker->state); });
}

void TransferEngine::runJobPass() {
  Lock lock(mutex_);
  for (auto& job : jobs_) jobPass(*job);
}

void TransferEngine::jobPass(TransferJob& job) {
  if (job.result != kJobNoResult) return;
  for (const auto& worker : job.workers) {
    // A refused reply (a 503 page, say) tells nothing about the file's size.
    if (job.totalSize == -1 && worker->start == 0 && worker->contentLength != -1 &&
        worker->state != WorkerState::Refused) {
      job.totalSize = worker->contentLength;
    }
    if (job.contentType.empty() && !worker->contentType.empty()) {
      job.contentType = worker->contentType;
    }
  }
  if (failIfWorkerFailed(job)) return;
  if (!anyActiveWorker(job) && completeIfCovered(job)) return;
  stopCaughtUpAndStalled(job);
  startWorkers(job);
  recount(job);
}

bool TransferEngine::failIfWorkerFailed(TransferJob& job) {
  for (const auto& worker : job.workers) {
    switch (worker->state) {
      case WorkerState::NetworkError:
        job.errorText = "Cannot Connect";
        break;
      case WorkerState::SaveError:
        job.errorText = "Cannot Save";
        break;
      case WorkerState::Refused:
        // A refused range, or a server that is busy for now, leaves the range to a later
        // worker.
        if (worker->start != 0 || worker->statusCode == 503) continue;
        job.errorText = trimTokens(worker->statusText, {" "});
        if (job.errorText.empty()) job.errorText = "Not Found";
        break;
      default:
        continue;
    }
    setResult(job, kJobFailed);
    return true;
  }
  return false;
}

bool TransferEngine::completeIfCovered(TransferJob& job) {
  const std::vector<PieceSpan> spans = spansOf(job);
  TransferWorker* single = nullptr;
  if (sizeKnown(job)) {
    SegmentCursor cursor;
    ByteRange run;
    if (!nextCoveredRun(cursor, job.totalSize, spans, run) || run.start != 0 ||
        run.length != job.totalSize) {
      return false;
    }
    // One piece holding exactly the file is the result as it is; anything else is joined
    // (a piece longer than the file included, so the result has the file's size).
    for (const auto& worker : job.workers) {
      if (worker->start == 0 && worker->piece.written == job.totalSize) {
        single = worker.get();
        break;
      }
    }
    if (!single) {
      std::string path;
      int64_t size = 0;
      if (join(job, path, size)) {
        job.finishedPath = path;
        job.finalSize = size;
        setResult(job, kJobSucceeded);
      } else {
        job.errorText = "Cannot Save";
        setResult(job, kJobFailed);
      }
      return true;
    }
  } else {
    for (const auto& worker : job.workers) {
      if (worker->state == WorkerState::Complete) {
        single = worker.get();
        break;
      }
    }
    if (!single) return false;
  }
  single->piece.keep = true;
  job.finishedPath = single->piece.path;
  job.finalSize = single->piece.written;
  setResult(job, kJobSucceeded);
  return true;
}

void TransferEngine::stopCaughtUpAndStalled(TransferJob& job) {
  const std::vector<PieceSpan> spans = spansOf(job);
  for (const auto& owned : job.workers) {
    TransferWorker& worker = *owned;
    if (!isActiveState(worker.state)) continue;
    if (isCovered(worker.start + worker.piece.written, job.totalSize, spans)) {
      finishWorker(worker, WorkerState::Stopped);
      // Its range is done; the job goes on without waiting for the scheduler.
      if (!anyActiveWorker(job) && job.wanted == 0) job.wanted = 1;
    } else if (worker.activity.started && worker.activity.elapsed(clock_) > kStallMs) {
      finishWorker(worker, WorkerState::Stopped);
    }
  }
}

void TransferEngine::startWorkers(TransferJob& job) {
  if (job.wanted <= 0) return;
  if (!sizeKnown(job)) {
    if (!anyActiveWorker(job)) startOneWorker(job, 0);
    return;
  }
  std::vector<ByteRange> gaps;
  {
    const std::vector<PieceSpan> spans = spansOf(job);
    SegmentCursor cursor;
    while (nextSegment(cursor, job.totalSize, spans)) {
      if (!cursor.covered()) gaps.push_back({cursor.position, cursor.length});
    }
  }
  for (const ByteRange& gap : gaps) {
    if (job.wanted <= 0) return;
    const bool headedFor =
        std::any_of(job.workers.begin(), job.workers.end(), [&gap](const auto& worker) {
          return isActiveState(worker->state) && worker->start + worker->piece.written == gap.start;
        });
    if (!headedFor) startOneWorker(job, gap.start);
  }
  while (job.wanted > 0) {
    const ByteRange gap = largestGap(job.totalSize, spansOf(job));
    if (gap.length == 0) return;
    startOneWorker(job, splitOffset(gap));
  }
}

void TransferEngine::startOneWorker(TransferJob& job, int64_t start) {
  job.started += 1;
  job.wanted -= 1;
  createWorker(job, start, std::string());
}

void TransferEngine::recount(TransferJob& job) {
  job.speed = 0;
  job.running = 0;
  job.lastActivity.clear();
  int64_t mostWritten = 0;
  for (const auto& worker : job.workers) {
    mostWritten = std::max(mostWritten, worker->piece.written);
    if (!isActiveState(worker->state)) continue;
    job.running += 1;
    job.speed += worker->piece.rate.speed();
    if (!worker->activity.started) continue;
    if (!job.lastActivity.started) {
      job.lastActivity = worker->activity;
    } else {
      job.lastActivity.tick = laterTick(job.lastActivity.tick, worker->activity.tick);
    }
  }
  const std::vector<PieceSpan> spans = spansOf(job);
  if (sizeKnown(job)) {
    job.bytesGot = coveredBytes(job.totalSize, spans);
    job.pieceMap = pieceMapText(job.totalSize, spans);
  } else {
    job.bytesGot = mostWritten;
    job.pieceMap.clear();
  }
}

void TransferEngine::setResult(TransferJob& job, int32_t result) {
  if (job.result != kJobNoResult) return;
  job.result = result;
  job.resultTime.mark(clock_);
  for (auto& worker : job.workers) {
    if (!worker->piece.keep) discardPiece(worker->piece);
  }
}

bool TransferEngine::join(TransferJob& job, std::string& path, int64_t& size) {
  PieceFile joined;
  if (!makePieceFile(job.folder, joined)) return false;
  const std::vector<PieceSpan> spans = spansOf(job);
  bool ok = true;
  SegmentCursor cursor;
  while (ok && nextSegment(cursor, job.totalSize, spans)) {
    if (!cursor.covered()) continue;
    const TransferWorker& worker = *job.workers[static_cast<size_t>(cursor.piece)];
    std::unique_ptr<MappedFile> mapped = fileOps_.mapFile(worker.piece.path);
    // A piece file shorter than its count (changed behind our back) must not be read past.
    if (!mapped || mapped->size() < cursor.offset + cursor.length) {
      ok = false;
      break;
    }
    for (int64_t done = 0; ok && done < cursor.length; done += kJoinStep) {
      const int64_t step = std::min(kJoinStep, cursor.length - done);
      ok = FileOps::writeAll(*joined.file, mapped->data() + cursor.offset + done,
                             static_cast<size_t>(step));
      if (ok) joined.written += step;
    }
  }
  ok = ok && joined.written == job.totalSize;
  joined.file.reset();
  if (!ok) {
    discardPiece(joined);
    return false;
  }
  path = joined.path;
  size = joined.written;
  return true;
}
