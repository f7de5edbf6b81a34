#include "transfer/transfer_engine.h"

#include <algorithm>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>

#include "transfer/resume_text.h"
#include "transfer/worker_request.h"
#include "url/byte_text.h"

namespace {

// Only files named as piece files are adopted from a resume text: a damaged or edited
// queue database must not make the engine move or delete some other file of the user.
bool isPieceFileName(std::string_view path) {
  const size_t slash = path.rfind('\\');
  std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  constexpr std::string_view kPrefix = "haulix ";
  constexpr std::string_view kSuffix = ".db";
  if (name.size() != kPrefix.size() + 32 + kSuffix.size()) return false;
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  for (size_t i = 0; i < kPrefix.size(); ++i) {
    if (lower(name[i]) != kPrefix[i]) return false;
  }
  for (size_t i = 0; i < kSuffix.size(); ++i) {
    if (lower(name[name.size() - kSuffix.size() + i]) != kSuffix[i]) return false;
  }
  for (char c : name.substr(kPrefix.size(), 32)) {
    const char l = lower(c);
    if (!((l >= '0' && l <= '9') || (l >= 'a' && l <= 'f'))) return false;
  }
  return true;
}

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
    std::vector<std::string> adopted;
    for (const StoredPiece& piece : resume.pieces) {
      if (!isPieceFileName(piece.path)) continue;
      if (std::find(adopted.begin(), adopted.end(), piece.path) != adopted.end()) continue;
      if (fileOps_.pathStatus(piece.path) <= 0) continue;
      adopted.push_back(piece.path);
      job.totalSize = resume.totalSize;
      createWorker(job, piece.start, piece.path);
    }
    recount(job);
  }
  return &job;
}

std::string TransferEngine::destroyJob(TransferJob* job, bool wantResumeText) {
  if (!job) return {};
  ResumeText resume;
  resume.totalSize = job->totalSize;
  {
    Lock lock(mutex_);
    // A join cut short leaves nothing behind; the pieces it came from are kept or deleted
    // with their workers below (the first one may have been written on: it holds the file's
    // bytes further, which a resume takes as they are).
    if (job->joining) discardPiece(*job->joining);
    while (!job->workers.empty()) {
      TransferWorker& worker = *job->workers.front();
      if (wantResumeText && worker.piece.written > 0 && !worker.piece.path.empty()) {
        worker.piece.keep = true;
        resume.pieces.push_back({worker.start, worker.piece.path});
      }
      removeWorker(worker);
    }
  }
  jobs_.remove_if([job](const std::unique_ptr<TransferJob>& owned) { return owned.get() == job; });
  return wantResumeText ? formatResumeText(resume) : std::string();
}

void TransferEngine::pauseJob(TransferJob& job) {
  if (job.result != kJobNoResult) return;
  job.wanted = 0;
  job.started = 0;
  Lock lock(mutex_);
  if (sizeKnown(job)) {
    for (auto& worker : job.workers) finishWorker(*worker, WorkerState::Stopped);
  } else {
    while (!job.workers.empty()) removeWorker(*job.workers.front());
  }
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
  worker.start = start;
  job.workers.insert(job.workers.begin(), std::move(owned));
  workers_.push_front(&worker);
  workersById_[worker.workerId] = &worker;

  if (!piecePath.empty()) {
    worker.piece.path = piecePath;
    worker.piece.written = std::max<int64_t>(fileOps_.pathStatus(piecePath), 0);
    finishWorker(worker, WorkerState::Stopped);
  } else if (!job.folder.empty()) {
    if (makePieceFile(job.folder, worker.piece)) {
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
  discardPiece(worker.piece);
  auto& owned = worker.job->workers;
  owned.erase(std::find_if(owned.begin(), owned.end(),
                           [&worker](const auto& w) { return w.get() == &worker; }));
}

bool TransferEngine::makePieceFile(const std::string& folder, PieceFile& piece) {
  if (!fileOps_.makeFolders(folder, false)) return false;
  // Without a fresh token two pieces would share one name and overwrite each other.
  const std::string token = ids_.newToken();
  if (token.empty()) return false;
  const std::string path = withoutTrailingSlashes(folder) + "\\haulix " + token + ".db";
  std::unique_ptr<WritableFile> file = fileOps_.createForWriting(true, path);
  if (!file) return false;
  piece.file = std::move(file);
  piece.path = path;
  piece.written = 0;
  return true;
}

void TransferEngine::discardPiece(PieceFile& piece) {
  piece.file.reset();
  if (piece.keep) return;
  if (!piece.path.empty()) fileOps_.removePath(piece.path);
  piece.path.clear();
  piece.written = 0;
  piece.rate = RateMeter{};
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
  try {
    std::thread(&TransferEngine::workerThreadMain, this).detach();
  } catch (const std::system_error&) {
    // No thread will ever take the worker: stop it, so the job is started again later
    // instead of waiting for it for ever.
    --liveThreads_;
    finishWorker(worker, WorkerState::Stopped);
  }
}
