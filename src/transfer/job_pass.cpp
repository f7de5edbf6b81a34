// The job pass: the user-interface thread's regular look at every job, with the lock held.
// It reads the pieces as covered and uncovered segments, fails or completes the job, stops
// workers that caught up or stalled, takes the ends of the workers that ended (a download
// tries a broken connection again, see job_retry.cpp), starts workers for the gaps and
// counts.
#include <algorithm>
#include <string>
#include <vector>

#include "transfer/segments.h"
#include "transfer/transfer_engine.h"
#include "transfer/worker_request.h"
#include "url/byte_text.h"

namespace {

// A worker silent this long in one call is stopped, and its range fetched again.
constexpr int64_t kStallMs = 90000;
// A gap smaller than this is left to the connection heading into it when a job merely keeps
// its connections: a new one would cost more than the few bytes it takes over.
constexpr int64_t kLeastGapToSplit = int64_t{1} << 20;

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
  adoptFromWorkers(job);
  fetchWholeAgainIfChanged(job);
  if (failIfWorkerFailed(job)) return;
  if (!anyActiveWorker(job) && completeIfCovered(job)) {
    // Joining goes on: nothing runs, every byte is there.
    if (job.result == kJobNoResult) recount(job);
    return;
  }
  stopCaughtUpAndStalled(job);
  if (settleEndedWorkers(job)) return;
  startWorkers(job);
  recount(job);
  // Trying begins (again) when the job starts to run: the time without a byte counts
  // from here.
  const bool running = isRunning(job);
  if (running && !job.retry.trying) {
    job.retry.progress.mark(clock_);
    job.retry.nextDelayMs = 0;
  }
  job.retry.trying = running;
}

void TransferEngine::adoptFromWorkers(TransferJob& job) {
  for (const auto& worker : job.workers) {
    const bool refused = worker->state == WorkerState::Refused;
    // A refused reply (a 503 page, say) tells nothing about the file's size.
    if (job.totalSize == -1 && worker->start == 0 && worker->contentLength != -1 && !refused) {
      job.totalSize = worker->contentLength;
    }
    if (job.contentType.empty() && !worker->contentType.empty()) {
      job.contentType = worker->contentType;
    }
    // The version of the first reply that was taken is the one the pieces belong to.
    if (job.validator.empty() && !worker->validator.empty() && !refused) {
      job.validator = worker->validator;
    }
    if (worker->rangesRefused) job.rangesRefused = true;
    if (job.finalAddress.empty() && !worker->finalAddress.empty()) {
      job.finalAddress = worker->finalAddress;
    }
    // A refused reply (an error page) does not name the file.
    if (job.serverName.empty() && !worker->serverName.empty() && !refused) {
      job.serverName = worker->serverName;
    }
    if (worker->busyBeside) job.extrasRefused = true;
    // Bytes arrived: the waits between attempts start from the first step again.
    const Stopwatch& data = worker->piece.rate.lastData;
    if (data.started && (!job.retry.progress.started ||
                         (data.tick != job.retry.progress.tick &&
                          laterTick(data.tick, job.retry.progress.tick) == data.tick))) {
      job.retry.progress = data;
      job.retry.nextDelayMs = 0;
    }
  }
}

void TransferEngine::fetchWholeAgainIfChanged(TransferJob& job) {
  const bool changed = std::any_of(job.workers.begin(), job.workers.end(),
                                   [](const auto& worker) { return worker->wholeAgain; });
  if (!changed) return;
  // Every piece is of the old version (or cannot be continued): none may be joined with
  // what comes now. The file is fetched from its first byte, as if new.
  if (job.joining) discardPiece(*job.joining);
  job.joining.reset();
  while (!job.workers.empty()) removeWorker(*job.workers.front());
  job.totalSize = -1;
  job.validator.clear();
  job.contentType.clear();
  if (job.wanted == 0) job.wanted = 1;
}

bool TransferEngine::failIfWorkerFailed(TransferJob& job) {
  for (const auto& worker : job.workers) {
    switch (worker->state) {
      case WorkerState::NetworkError:
        // A download tries the range again instead (job_retry.cpp).
        if (job.keepTrying) continue;
        job.errorText = "Cannot Connect";
        break;
      case WorkerState::SaveError:
        job.errorText = "Cannot Save";
        break;
      case WorkerState::CertificateError:
        // Another connection would meet the same certificate: no retry.
        job.certificateFault = worker->certificateFault;
        job.errorText = certificateFaultText(job.certificateFault);
        if (!job.keepTrying) break;
        // A download keeps what it fetched, and the job itself, so that Get goes on once
        // the site is accepted (or its certificate mended).
        failKeepingPieces(job);
        job.keptPieces = true;
        return true;
      case WorkerState::Refused:
        // A refused range, or a server that is busy for now, leaves the range to a later
        // worker.
        if (worker->start != 0 || worker->statusCode == 503 || worker->wholeAgain) continue;
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
      // A join reads pieces from their files.
      for (const auto& worker : job.workers) {
        PieceFile& piece = worker->piece;
        if (!piece.held) continue;
        if (!spillHeldPiece(job, piece)) {
          job.errorText = "Cannot Save";
          setResult(job, kJobFailed);
          return true;
        }
        piece.file.reset();  // its worker has ended
      }
      switch (joinStep(job)) {
        case JoinStep::kGoingOn:
          // The rest in the next passes; ask for one soon.
          if (wake_) wake_();
          break;
        case JoinStep::kDone:
          job.finishedPath = job.joining->path;
          job.finalSize = job.joining->written;
          job.joining.reset();
          // Joined in the first piece's file: that file is the result now, and every piece
          // in it is kept with it.
          for (const auto& worker : job.workers) {
            if (worker->piece.path != job.finishedPath) continue;
            worker->piece.keep = true;
            if (worker->start == 0 && worker->piece.base == 0)
              worker->piece.written = job.finalSize;
          }
          setResult(job, kJobSucceeded);
          break;
        case JoinStep::kFailed:
          if (job.joining) discardPiece(*job.joining);
          job.joining.reset();
          job.errorText = "Cannot Save";
          setResult(job, kJobFailed);
          break;
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
  if (single->piece.held) job.finishedBytes = std::move(single->piece.bytes);
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
      worker.stalled = true;
    }
  }
}

void TransferEngine::startWorkers(TransferJob& job) {
  // The connections waiting to be tried again go when the wait is over.
  if (job.retry.waiting > 0 && job.retry.wait.elapsed(clock_) >= job.retry.waitMs) {
    job.wanted += job.retry.waiting;
    job.retry.waiting = 0;
  }
  if (job.wanted <= 0 && !keepsFewerConnections(job)) return;
  if (!sizeKnown(job)) {
    if (job.wanted > 0 && !anyActiveWorker(job)) startOneWorker(job, 0);
    return;
  }
  // A gap, or a split, that finds the host full waits for a later pass, when a connection
  // to it may have ended.
  std::vector<ByteRange> gaps;
  {
    const std::vector<PieceSpan> spans = spansOf(job);
    SegmentCursor cursor;
    while (nextSegment(cursor, job.totalSize, spans)) {
      if (!cursor.covered()) gaps.push_back({cursor.position, cursor.length});
    }
  }
  for (const ByteRange& gap : gaps) {
    // A connection the job keeps goes to a gap nothing heads for before any split.
    const bool asked = job.wanted > 0;
    if (!asked && !keepsFewerConnections(job)) break;
    // At the most pieces a job has, a gap waits for a connection to end, unless none runs:
    // then one more piece lets the job go on rather than wait for ever.
    if (job.workers.size() >= kMostPiecesPerJob && anyActiveWorker(job)) return;
    const bool headedFor =
        std::any_of(job.workers.begin(), job.workers.end(), [&gap](const auto& worker) {
          return isActiveState(worker->state) && worker->start + worker->piece.written == gap.start;
        });
    if (headedFor) continue;
    if (!asked) job.wanted += 1;
    if (!startOneWorker(job, gap.start)) {
      if (!asked) job.wanted -= 1;
      return;
    }
  }
  // Splits: one for each connection asked for, then as many as keep the job's connections
  // open while the largest gap is worth it. A server that sends whole files only, or that
  // is busy for a second connection, gets no further one; nor does a job with all its
  // pieces.
  while (!job.rangesRefused && !job.extrasRefused && job.workers.size() < kMostPiecesPerJob) {
    const ByteRange gap = largestGap(job.totalSize, spansOf(job));
    const bool asked = job.wanted > 0;
    if (!asked && (!keepsFewerConnections(job) || gap.length < kLeastGapToSplit)) return;
    if (gap.length == 0) return;
    if (!asked) job.wanted += 1;
    if (!startOneWorker(job, splitOffset(gap))) {
      if (!asked) job.wanted -= 1;
      return;
    }
    // A piece that could not be made ends its worker at once: no endless splitting.
    if (!isActiveState(job.workers.front()->state)) return;
  }
}

bool TransferEngine::keepsFewerConnections(const TransferJob& job) {
  // Only a job that runs keeps its connections; a job that stopped is started by its owner.
  const auto active = std::count_if(job.workers.begin(), job.workers.end(), [](const auto& worker) {
    return isActiveState(worker->state);
  });
  return active > 0 && active + job.retry.waiting < job.connections;
}

bool TransferEngine::startOneWorker(TransferJob& job, int64_t start) {
  if (connectionsTo(job.address.host) >= kMostConnectionsPerHost) return false;
  job.started += 1;
  job.wanted -= 1;
  createWorker(job, start, std::string());
  return true;
}

int TransferEngine::connectionsTo(const std::string& host) const {
  int count = 0;
  for (const auto& job : jobs_) {
    if (job->address.host != host) continue;
    for (const auto& worker : job->workers) count += isActiveState(worker->state) ? 1 : 0;
  }
  return count;
}

std::unordered_map<std::string, int> TransferEngine::connectionsByHost() {
  Lock lock(mutex_);
  std::unordered_map<std::string, int> counts;
  for (const auto& job : jobs_) {
    for (const auto& worker : job->workers) {
      if (isActiveState(worker->state)) counts[job->address.host] += 1;
    }
  }
  return counts;
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
    if (!worker->piece.keep) releasePiece(job, *worker);
  }
}

bool TransferEngine::startJoin(TransferJob& job) {
  auto joined = std::make_unique<PieceFile>();
  // The file the first piece lies in is the joined file when it can be written: its own
  // bytes, and those of the pieces written into it at their offsets, need not move. It
  // stays its pieces' file until the join is done (keep: throwing the join away leaves it
  // to them).
  SegmentCursor first;
  if (nextSegment(first, job.totalSize, spansOf(job)) && first.covered()) {
    const TransferWorker& worker = *job.workers[static_cast<size_t>(first.piece)];
    const PieceFile& piece = worker.piece;
    if (worker.start == 0 && piece.base == 0 && FileOps::isValidPath(piece.path) &&
        fileOps_.pathStatus(piece.path) >= piece.written &&
        fileOps_.files().openForWritingAt(piece.path, 0)) {
      joined->path = piece.path;
      joined->keep = true;
    }
  }
  if (joined->path.empty() && !makePieceFile(job.folder, *joined)) return false;
  // Written through a handle opened at each step's offset.
  joined->file.reset();
  joined->written = 0;
  job.joining = std::move(joined);
  return true;
}

TransferEngine::JoinStep TransferEngine::joinStep(TransferJob& job) {
  if (!job.joining && !startJoin(job)) return JoinStep::kFailed;
  // `written` is how far the joined file is the file: every byte before it is in place.
  PieceFile& joined = *job.joining;
  const std::vector<PieceSpan> spans = spansOf(job);
  int64_t budget = kJoinBytesPerPass;
  while (budget > 0 && joined.written < job.totalSize) {
    // The segment holding the next byte.
    SegmentCursor cursor;
    bool found = false;
    while (nextSegment(cursor, job.totalSize, spans)) {
      if (cursor.position + cursor.length > joined.written) {
        found = cursor.covered();
        break;
      }
    }
    if (!found) return JoinStep::kFailed;
    const TransferWorker& worker = *job.workers[static_cast<size_t>(cursor.piece)];
    const int64_t into = joined.written - cursor.position;
    if (worker.piece.path == joined.path && worker.piece.base == worker.start) {
      joined.written = cursor.position + cursor.length;
      continue;
    }
    const int64_t from = worker.piece.base + cursor.offset + into;
    const int64_t count = std::min({cursor.length - into, kJoinStep, budget});
    // Mapped a step at a time: a whole piece mapped at once would hold every page read of it.
    std::unique_ptr<MappedFile> mapped = fileOps_.mapFile(worker.piece.path);
    std::unique_ptr<WritableFile> file =
        fileOps_.files().openForWritingAt(joined.path, joined.written);
    // A piece file shorter than its count (changed behind our back) must not be read past.
    if (!mapped || mapped->size() < from + count || !file ||
        !FileOps::writeAll(*file, mapped->data() + from, static_cast<size_t>(count))) {
      return JoinStep::kFailed;
    }
    joined.written += count;
    budget -= count;
  }
  if (joined.written < job.totalSize) return JoinStep::kGoingOn;
  // Nothing beyond the file's end: a piece may have gone on past it.
  std::unique_ptr<WritableFile> end = fileOps_.files().openForWritingAt(joined.path, job.totalSize);
  if (!end || !end->truncateHere()) return JoinStep::kFailed;
  joined.keep = true;
  return JoinStep::kDone;
}
