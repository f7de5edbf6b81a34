#include "transfer/transfer_engine.h"

#include <algorithm>
#include <new>
#include <string_view>
#include <utility>

#include "platform/thread_pool.h"
#include "transfer/resume_text.h"
#include "transfer/worker_request.h"
#include "url/byte_text.h"

namespace {

std::string withoutTrailingSlashes(std::string text) {
  while (!text.empty() && text.back() == '\\') text.pop_back();
  return text;
}

}  // namespace

TransferEngine::TransferEngine(Internet& internet, FileOps& fileOps, Ids& ids, const Clock& clock,
                               std::function<void()> wake)
    : internet_(internet), fileOps_(fileOps), ids_(ids), clock_(clock), wake_(std::move(wake)) {}

TransferEngine::~TransferEngine() {
  destroyAllJobs();
  // Every handle is closed now, so every blocked call returns; each thread then finds its
  // worker gone and ends. The detached threads share the lock and this object until then.
  Lock lock(mutex_);
  threadsEnded_.wait(lock, [this] { return liveThreads_ == 0; });
}

TransferJob* TransferEngine::createJob(const UrlParts& address, const std::string& folder,
                                       const std::string& resumeText) {
  auto owned = std::make_unique<TransferJob>();
  TransferJob& job = *owned;
  job.address = address;
  job.folder = folder;
  job.resultTime.mark(clock_);
  jobs_.push_front(std::move(owned));

  if (!resumeText.empty()) {
    const ResumeText resume = parseResumeText(resumeText);
    Lock lock(mutex_);
    // A file is adopted once as an earlier release's piece, or as the pieces stored with
    // their lengths that lie in it; a file named both ways (a damaged text) only as the
    // latter, since its size is no piece's length.
    auto sameFile = [](const StoredPiece& a, const StoredPiece& b) { return a.path == b.path; };
    std::vector<StoredPiece> adopted;
    for (const StoredPiece& piece : resume.pieces) {
      if (!isPieceFileName(piece.path)) continue;
      const bool taken = std::any_of(adopted.begin(), adopted.end(), [&](const StoredPiece& a) {
        return sameFile(a, piece) && (a.length < 0 || piece.length < 0 || a.start == piece.start);
      });
      const bool spannedElsewhere =
          piece.length < 0 &&
          std::any_of(resume.pieces.begin(), resume.pieces.end(),
                      [&](const StoredPiece& p) { return sameFile(p, piece) && p.length >= 0; });
      if (taken || spannedElsewhere) continue;
      const size_t before = job.workers.size();
      adoptStoredPiece(job, piece);
      if (job.workers.size() == before) continue;
      adopted.push_back(piece);
      job.totalSize = resume.totalSize;
      job.validator = resume.validator;
    }
    recount(job);
  }
  return &job;
}

ResumeText TransferEngine::storedPieces(const TransferJob& job) {
  ResumeText resume;
  resume.totalSize = job.totalSize;
  resume.validator = job.validator;
  for (const auto& worker : job.workers) {
    const PieceFile& piece = worker->piece;
    if (piece.written == 0 || piece.path.empty()) continue;
    // A piece that nothing else ever writes into (a later piece in a file of its own, or
    // one an earlier release stored) keeps the form earlier releases read: its file holds
    // only its own bytes, in order. A first piece's file may come to hold later pieces at
    // their offsets, with zeros between them, so it is stored with its length (a crash
    // never makes a later start take those zeros for bytes).
    const bool ownFileForGood = piece.base == 0 && (worker->start > 0 || piece.sizedByFile);
    resume.pieces.push_back(
        {worker->start, piece.path, piece.base, ownFileForGood ? -1 : piece.written});
  }
  return resume;
}

void TransferEngine::adoptStoredPiece(TransferJob& job, const StoredPiece& stored) {
  const int64_t fileSize = fileOps_.pathStatus(stored.path);
  // Bytes of the piece its file holds: a file cut short since holds fewer.
  const int64_t held =
      stored.length < 0 ? fileSize : std::min(stored.length, fileSize - stored.base);
  if (fileSize <= 0 || held <= 0) return;
  TransferWorker* worker = createWorker(job, stored.start, stored.path);
  worker->piece.base = stored.length < 0 ? 0 : stored.base;
  worker->piece.written = held;
  worker->piece.sizedByFile = stored.length < 0;
}

std::string TransferEngine::resumeText(const TransferJob& job) {
  Lock lock(mutex_);
  ResumeText resume = storedPieces(job);
  // A join into a file of its own leaves the finished file with no worker; until the item
  // takes it, it is the whole file from offset 0.
  if (job.result == kJobSucceeded && !job.finishedPath.empty()) {
    const bool listed =
        std::any_of(resume.pieces.begin(), resume.pieces.end(),
                    [&job](const StoredPiece& piece) { return piece.path == job.finishedPath; });
    // Cut to the file's size, so its size is its length, as earlier releases read it.
    if (!listed) resume.pieces.push_back({0, job.finishedPath});
  }
  return formatResumeText(resume);
}

std::string TransferEngine::destroyJob(TransferJob* job, bool wantResumeText) {
  if (!job) return {};
  ResumeText resume;
  {
    Lock lock(mutex_);
    // A join cut short leaves nothing behind; the pieces it came from are kept or deleted
    // with their workers below (the first one may have been written on: it holds the file's
    // bytes further, which a resume takes as they are).
    if (job->joining) discardPiece(*job->joining);
    resume = storedPieces(*job);
    if (wantResumeText) {
      for (const auto& worker : job->workers) {
        if (worker->piece.written > 0 && !worker->piece.path.empty()) worker->piece.keep = true;
      }
    }
    while (!job->workers.empty()) removeWorker(*job->workers.front());
  }
  jobs_.remove_if([job](const std::unique_ptr<TransferJob>& owned) { return owned.get() == job; });
  return wantResumeText ? formatResumeText(resume) : std::string();
}

void TransferEngine::pauseJob(TransferJob& job) {
  if (job.result != kJobNoResult) return;
  job.wanted = 0;
  job.started = 0;
  job.retry.waiting = 0;
  job.retry.trying = false;
  Lock lock(mutex_);
  if (sizeKnown(job)) {
    for (auto& worker : job.workers) finishWorker(*worker, WorkerState::Stopped);
  } else {
    while (!job.workers.empty()) removeWorker(*job.workers.front());
  }
  recount(job);
}

void TransferEngine::reopenJob(TransferJob& job) {
  if (!job.keptPieces) return;
  job.result = kJobNoResult;
  job.errorText.clear();
  job.keptPieces = false;
  job.wanted = 0;
  job.started = 0;
  job.retry = RetryState{};
  Lock lock(mutex_);
  // What the result's clean-up deleted is gone for good; what it kept is a piece again, for
  // Reset or Remove to delete as any other.
  std::vector<TransferWorker*> emptied;
  for (auto& worker : job.workers) {
    worker->piece.keep = false;
    if (worker->piece.path.empty()) emptied.push_back(worker.get());
  }
  for (TransferWorker* worker : emptied) removeWorker(*worker);
  recount(job);
}

void TransferEngine::destroyAllJobs() {
  while (!jobs_.empty()) destroyJob(jobs_.front().get(), false);
}

TransferWorker* TransferEngine::createWorker(TransferJob& job, int64_t start,
                                             const std::string& piecePath) {
  auto owned = std::make_unique<TransferWorker>();
  TransferWorker& worker = *owned;
  worker.job = &job;
  worker.lifetime.mark(clock_);
  worker.workerId = uniqueWorkerId();
  fillWorkerAddress(worker, job.address);
  worker.ifRange = job.validator;
  worker.start = start;
  job.workers.insert(job.workers.begin(), std::move(owned));
  workers_.push_front(&worker);
  workersById_[worker.workerId] = &worker;

  if (!piecePath.empty()) {
    worker.piece.path = piecePath;
    worker.piece.written = std::max<int64_t>(fileOps_.pathStatus(piecePath), 0);
    finishWorker(worker, WorkerState::Stopped);
  } else if (!job.folder.empty()) {
    if (start == 0 && job.mostBytesHeld > 0) {
      worker.piece.held = true;
      startWorkerThread(worker);
    } else if (openInHomeFile(job, worker) || makePieceFile(job.folder, worker.piece)) {
      startWorkerThread(worker);
    } else {
      finishWorker(worker, WorkerState::SaveError);
    }
  } else {
    startWorkerThread(worker);
  }
  return &worker;
}

void TransferEngine::finishWorker(TransferWorker& worker, WorkerState state) {
  if (!isActiveState(worker.state)) return;
  worker.state = state;
  worker.lifetime.mark(clock_);
  worker.activity.clear();
  worker.piece.file.reset();
  // Closing the handles makes a call the worker's thread is blocked in return a failure.
  if (worker.request != 0) internet_.close(std::exchange(worker.request, 0));
  if (worker.connection != 0) internet_.close(std::exchange(worker.connection, 0));
  if (wake_) wake_();
}

void TransferEngine::removeWorker(TransferWorker& worker) {
  finishWorker(worker, WorkerState::Stopped);
  workers_.remove(&worker);
  workersById_.erase(worker.workerId);
  releasePiece(*worker.job, worker);
  auto& owned = worker.job->workers;
  owned.erase(std::find_if(owned.begin(), owned.end(),
                           [&worker](const auto& w) { return w.get() == &worker; }));
}

bool TransferEngine::makePieceFile(const std::string& folder, PieceFile& piece) {
  // Without a fresh token two pieces would share one name and overwrite each other.
  const std::string token = ids_.newToken();
  if (token.empty()) return false;
  const std::string path = withoutTrailingSlashes(folder) + "\\haulix " + token + ".db";
  // The folder is there nearly always: it is looked up (and made) only when the file cannot
  // be made, which spares every piece the look-ups' round trips to the system, made under
  // the lock.
  std::unique_ptr<WritableFile> file = fileOps_.createForWriting(true, path);
  if (!file && fileOps_.makeFolders(folder, false)) file = fileOps_.createForWriting(true, path);
  if (!file) return false;
  piece.file = std::move(file);
  piece.path = path;
  piece.written = 0;
  return true;
}

const TransferWorker* TransferEngine::homeWorker(const TransferJob& job) {
  for (const auto& worker : job.workers) {
    const PieceFile& piece = worker->piece;
    if (worker->start == 0 && piece.base == 0 && !piece.path.empty() && !piece.sizedByFile &&
        FileOps::isValidPath(piece.path)) {
      return worker.get();
    }
  }
  return nullptr;
}

bool TransferEngine::openInHomeFile(TransferJob& job, TransferWorker& worker) {
  // Later pieces of a file of known size go into the file of its first piece, at their own
  // offsets: once every byte is there, that file is the whole file, with nothing to copy.
  if (worker.start <= 0 || job.totalSize == -1) return false;
  const TransferWorker* home = homeWorker(job);
  if (!home || home == &worker) return false;
  std::unique_ptr<WritableFile> file =
      fileOps_.files().openForWritingAt(home->piece.path, worker.start);
  if (!file) return false;
  worker.piece.file = std::move(file);
  worker.piece.path = home->piece.path;
  worker.piece.base = worker.start;
  worker.piece.written = 0;
  return true;
}

void TransferEngine::releasePiece(TransferJob& job, TransferWorker& worker) {
  PieceFile& piece = worker.piece;
  bool shared = job.joining && !piece.path.empty() && job.joining->path == piece.path;
  for (auto& other : job.workers) {
    if (other.get() == &worker || piece.path.empty() || other->piece.path != piece.path) continue;
    shared = true;
    if (piece.keep) other->piece.keep = true;
  }
  if (!shared) {
    discardPiece(piece);
    return;
  }
  // The file holds other pieces: only this piece's claim on it goes.
  piece.file.reset();
  if (piece.keep) return;
  piece.path.clear();
  piece.written = 0;
  piece.rate = RateMeter{};
}

void TransferEngine::discardPiece(PieceFile& piece) {
  piece.file.reset();
  if (piece.keep) return;
  if (!piece.path.empty()) fileOps_.removePath(piece.path);
  piece.path.clear();
  piece.written = 0;
  piece.rate = RateMeter{};
  piece.held = false;
  std::string().swap(piece.bytes);
}

bool TransferEngine::storeBytes(TransferWorker& worker, const unsigned char* bytes, size_t count) {
  PieceFile& piece = worker.piece;
  if (piece.held && piece.written + static_cast<int64_t>(count) > worker.job->mostBytesHeld &&
      !spillHeldPiece(*worker.job, piece)) {
    return false;
  }
  if (!piece.held) return piece.file && FileOps::writeAll(*piece.file, bytes, count);
  try {
    piece.bytes.append(reinterpret_cast<const char*>(bytes), count);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

bool TransferEngine::spillHeldPiece(TransferJob& job, PieceFile& piece) {
  if (!piece.held) return true;
  PieceFile made;
  if (!makePieceFile(job.folder, made)) return false;
  if (!piece.bytes.empty() &&
      !FileOps::writeAll(*made.file, piece.bytes.data(), piece.bytes.size())) {
    made.file.reset();
    fileOps_.removePath(made.path);
    return false;
  }
  piece.file = std::move(made.file);
  piece.path = made.path;
  piece.held = false;
  std::string().swap(piece.bytes);
  return true;
}

std::string TransferEngine::uniqueWorkerId() {
  // A thread finds its worker again by this id alone, so it must not be empty nor belong
  // to another live worker, even when no GUID could be made.
  std::string id = ids_.newToken();
  while (id.empty() || workersById_.count(id) != 0) {
    id = "ffffffff" + formatNumber(static_cast<int64_t>(++fallbackIds_), 24);
  }
  return id;
}

void TransferEngine::startWorkerThread(TransferWorker& worker) {
  ++liveThreads_;
  if (!ThreadPool::shared().start([this] { workerThreadMain(); })) {
    // No thread will ever take the worker: stop it, so the job is started again later
    // instead of waiting for it for ever.
    --liveThreads_;
    finishWorker(worker, WorkerState::Stopped);
  }
}
