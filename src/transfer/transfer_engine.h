#pragma once
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/clock.h"
#include "platform/ids.h"
#include "platform/internet.h"
#include "platform/slim_lock.h"
#include "transfer/file_ops.h"
#include "transfer/resume_text.h"
#include "transfer/segments.h"
#include "transfer/transfer_job.h"
#include "url/url_parts.h"

// The transfer jobs of the process and their worker threads. Jobs are made, paused,
// destroyed and passed over by the user-interface thread; each worker runs on a detached
// thread of its own. One lock (lock()) guards the job list, the worker list and every
// worker field. A worker thread holds it except around each blocking Internet call, and
// after the call looks its worker up again by workerId, so a worker removed meanwhile is
// never touched. Only the user-interface thread frees workers, with the lock held.
class TransferEngine {
 public:
  // `wake` is called whenever a worker reaches a final state, from any thread and with the
  // lock held; the application posts an empty message to its main window with it.
  TransferEngine(Internet& internet, FileOps& fileOps, Ids& ids, const Clock& clock,
                 std::function<void()> wake);
  // Destroys every job, then waits until no worker thread can touch the engine any more.
  ~TransferEngine();
  TransferEngine(const TransferEngine&) = delete;
  TransferEngine& operator=(const TransferEngine&) = delete;

  // Wakes the application as a worker's end does, for work done on other threads of the
  // process (a page read for its links); from any thread.
  void wake() const {
    if (wake_) wake_();
  }
  // The lock that worker threads share with the user-interface thread.
  SlimMutex& lock() { return mutex_; }
  // The jobs, newest first. Touched by the user-interface thread only.
  const std::list<std::unique_ptr<TransferJob>>& jobs() const { return jobs_; }

  // User-interface thread, without the lock held.

  // Makes a job for the address (with its site fields filled) whose pieces go into
  // `folder` (empty: only the reply headers are fetched). A resume text brings back its
  // stored pieces that still exist and are not empty, as Stopped workers.
  TransferJob* createJob(const UrlParts& address, const std::string& folder,
                         const std::string& resumeText);
  // Removes the job's workers and frees the job. With wantResumeText its non-empty pieces
  // are kept on disk and listed in the text returned; without, every piece is deleted
  // (except the finished piece of a job that succeeded).
  std::string destroyJob(TransferJob* job, bool wantResumeText);
  // The resume text destroyJob would give now, while the job goes on: its total size and
  // every piece that holds bytes (for a job that succeeded, its finished file). Takes the
  // lock; the pieces go on growing, and a resume measures them on disk.
  std::string resumeText(const TransferJob& job);
  // Ends the job's workers and wants none. When the total size is known the pieces stay
  // to be continued; otherwise they are deleted. Nothing for a job with a result.
  void pauseJob(TransferJob& job);
  // destroyJob without resume text for every job.
  void destroyAllJobs();
  // A job that failed with its pieces kept (keptPieces) becomes one that has not been
  // started yet: no result, nothing wanted, its pieces there to be continued.
  void reopenJob(TransferJob& job);
  // Takes the lock and runs the job pass for every job, newest first.
  void runJobPass();
  // Takes the lock: the active workers of every job, by the host of the job's address.
  std::unordered_map<std::string, int> connectionsByHost();

  // With the lock held.

  // Makes a worker of the job at byte offset `start`. With a piece path, the worker adopts
  // that stored file and is Stopped at once; otherwise, when the job has a folder, it gets
  // a new piece file there (SaveError when that fails), or at offset 0 of a job that holds
  // its reply a piece in memory, and a thread; without a folder, a thread that fetches the
  // reply headers only.
  TransferWorker* createWorker(TransferJob& job, int64_t start, const std::string& piecePath);
  // The one way a worker reaches a final state: closes its piece file and its Internet
  // handles (which makes a call its thread is blocked in fail) and wakes the application.
  // Nothing when the worker is final already.
  void finishWorker(TransferWorker& worker, WorkerState state);
  // Stops the worker, unlinks it, discards its piece and frees it.
  void removeWorker(TransferWorker& worker);
  // One job pass: adopt size and type, fail, complete, stop, start, count. Nothing for a
  // job that has a result.
  void jobPass(TransferJob& job);
  // Sets the result once; every piece of the job not kept is deleted.
  void setResult(TransferJob& job, int32_t result);
  // Writes the next kJoinBytesPerPass bytes of the covered segments into the job's joined
  // file (made at the first step); the result once the file holds totalSize bytes.
  enum class JoinStep { kGoingOn, kDone, kFailed };
  JoinStep joinStep(TransferJob& job);
  // The file a join writes: the first piece's file, where the pieces that share it already
  // lie in place; otherwise a new piece file.
  bool startJoin(TransferJob& job);

  // Bytes a join writes in one job pass (a few tens of milliseconds), and in one mapping of a
  // piece, so that a join holds neither the lock nor much memory for long.
  static constexpr int64_t kJoinBytesPerPass = int64_t{64} << 20;
  static constexpr int64_t kJoinStep = int64_t{8} << 20;

 private:
  using Lock = std::unique_lock<SlimMutex>;

  // With the lock held: the total size and the pieces that hold bytes, newest first.
  static ResumeText storedPieces(const TransferJob& job);

  // The engine's side of piece files.
  bool makePieceFile(const std::string& folder, PieceFile& piece);
  // Adds received bytes to the worker's piece: in memory while it is held and stays within
  // the job's bound, otherwise in its file. False when they cannot be kept.
  bool storeBytes(TransferWorker& worker, const unsigned char* bytes, size_t count);
  // Moves a held piece into a new piece file of the job's folder, as if it had been written
  // there from the start; its file is left open. True for a piece that is not held.
  bool spillHeldPiece(TransferJob& job, PieceFile& piece);
  void discardPiece(PieceFile& piece);
  // discardPiece for a worker of the job, whose file other pieces of the job may share:
  // then the file stays for them (and is kept with them when this piece was kept).
  void releasePiece(TransferJob& job, TransferWorker& worker);
  // Adopts a piece of a resume text as a Stopped worker; nothing when its file holds none
  // of its bytes.
  void adoptStoredPiece(TransferJob& job, const StoredPiece& stored);
  // The worker whose piece begins the file, in a file whose every piece is stored with its
  // length: later pieces of the job are written into that file at their own offsets.
  static const TransferWorker* homeWorker(const TransferJob& job);
  // Opens the job's first piece file for the worker at its start; false when there is
  // none or it cannot be opened (the worker then gets a file of its own).
  bool openInHomeFile(TransferJob& job, TransferWorker& worker);
  std::string uniqueWorkerId();

  // Worker threads.
  void startWorkerThread(TransferWorker& worker);
  void workerThreadMain();
  void runWorker(Lock& lock, TransferWorker* worker);
  TransferWorker* openOverHttp(Lock& lock, TransferWorker* worker, bool withPiece);
  // Opens the request on the worker's connection with these flags, sends it and reads the
  // reply's headers.
  TransferWorker* requestOnce(Lock& lock, TransferWorker* worker, bool withPiece, uint32_t flags);
  // Connects the worker to its server; `plain` stays true when it was and the folder holds
  // no cookie.
  TransferWorker* connectOverHttp(Lock& lock, TransferWorker* worker, const std::string& folder,
                                  bool& plain);
  // The cookies a reply to a request sent without the library's set go to its store.
  TransferWorker* keepPlainReplyCookies(Lock& lock, TransferWorker* worker);
  // Sends the request; a certificate fault is sent again accepting it when the site's
  // certificate errors are accepted. Keeps the address the request ended at.
  TransferWorker* sendChecked(Lock& lock, TransferWorker* worker);
  TransferWorker* openByAddress(Lock& lock, TransferWorker* worker);
  void readLoop(Lock& lock, TransferWorker* worker);
  // Before a blocking call: marks the activity and lets go of the lock. After it: takes
  // the lock and finds the worker again; nullptr when it was removed or became final.
  std::string beforeCall(Lock& lock, TransferWorker& worker);
  TransferWorker* afterCall(Lock& lock, const std::string& workerId);
  TransferWorker* findWorker(const std::string& workerId);
  void readReply(TransferWorker& worker);

  // The reply to a worker's request fits what it asked for; otherwise it notes what the
  // reply tells of the file (another version, no ranges) for the job pass.
  bool replyFits(TransferWorker& worker);

  // The job pass, in its steps.
  static std::vector<PieceSpan> spansOf(const TransferJob& job);
  void adoptFromWorkers(TransferJob& job);
  void fetchWholeAgainIfChanged(TransferJob& job);
  // The size test: the total size is known and the file has a segment (and the job has a
  // folder to keep pieces in).
  static bool sizeKnown(const TransferJob& job);
  static bool anyActiveWorker(const TransferJob& job);
  bool failIfWorkerFailed(TransferJob& job);
  bool completeIfCovered(TransferJob& job);
  void stopCaughtUpAndStalled(TransferJob& job);
  // Takes the end of every worker that ended since the last pass: a broken or empty
  // attempt is tried again (at once, or after a wait), an empty piece is deleted. True
  // when the job gave up.
  bool settleEndedWorkers(TransferJob& job);
  enum class Retry { kNo, kAtOnce, kAfterWait };
  static Retry retryFor(const TransferJob& job, const TransferWorker& worker);
  void beginWait(TransferJob& job);
  void giveUp(TransferJob& job);
  // Fails the job, its workers stopped and the pieces that hold bytes kept (keptPieces).
  void failKeepingPieces(TransferJob& job);
  void startWorkers(TransferJob& job);
  // Fewer connections run (or wait to be tried again) than the job keeps, and one runs.
  static bool keepsFewerConnections(const TransferJob& job);
  // False, starting nothing, while the job's host has kMostConnectionsPerHost connections.
  bool startOneWorker(TransferJob& job, int64_t start);
  int connectionsTo(const std::string& host) const;
  void recount(TransferJob& job);

  Internet& internet_;
  FileOps& fileOps_;
  Ids& ids_;
  const Clock& clock_;
  std::function<void()> wake_;

  SlimMutex mutex_;
  std::list<std::unique_ptr<TransferJob>> jobs_;
  // The worker list, newest first (the jobs own the workers), and the live workers by id.
  std::list<TransferWorker*> workers_;
  std::unordered_map<std::string, TransferWorker*> workersById_;
  uint64_t fallbackIds_ = 0;

  // Threads that may still take the lock; the destructor waits until there are none.
  int liveThreads_ = 0;
  SlimCondition threadsEnded_;
};
