// The thread of a transfer worker: open the address, check the reply, and write what
// arrives into the worker's piece (its file, or memory while the job holds the reply).
#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "transfer/content_disposition.h"
#include "transfer/read_size.h"
#include "transfer/transfer_engine.h"
#include "transfer/worker_request.h"

namespace {

// Received bytes are written at least this often...
constexpr int64_t kFlushIntervalMs = 250;
// ...and whenever this much is waiting, so a fast link cannot fill memory meanwhile.
constexpr size_t kFlushBound = size_t{1} << 20;

}  // namespace

void TransferEngine::workerThreadMain() {
  Lock lock(mutex_);
  // Every made worker starts one thread, and any thread takes the newest waiting worker.
  TransferWorker* worker = nullptr;
  for (TransferWorker* candidate : workers_) {
    if (candidate->state == WorkerState::Waiting) {
      worker = candidate;
      break;
    }
  }
  if (worker) {
    worker->state = WorkerState::Running;
    runWorker(lock, worker);
  }
  --liveThreads_;
  threadsEnded_.notify_all();
}

std::string TransferEngine::beforeCall(Lock& lock, TransferWorker& worker) {
  worker.activity.mark(clock_);
  std::string workerId = worker.workerId;
  lock.unlock();
  return workerId;
}

TransferWorker* TransferEngine::afterCall(Lock& lock, const std::string& workerId) {
  lock.lock();
  TransferWorker* worker = findWorker(workerId);
  // A worker stopped during the call had its handles closed: whatever the call answered,
  // it is over.
  if (!worker || !isActiveState(worker->state)) return nullptr;
  return worker;
}

TransferWorker* TransferEngine::findWorker(const std::string& workerId) {
  auto found = workersById_.find(workerId);
  return found == workersById_.end() ? nullptr : found->second;
}

void TransferEngine::runWorker(Lock& lock, TransferWorker* worker) {
  const bool withPiece = worker->piece.file != nullptr || worker->piece.held;
  worker =
      worker->host.empty() ? openByAddress(lock, worker) : openOverHttp(lock, worker, withPiece);
  if (!worker) return;
  if (!withPiece) {
    finishWorker(*worker, WorkerState::Complete);
    return;
  }
  readLoop(lock, worker);
}

TransferWorker* TransferEngine::openOverHttp(Lock& lock, TransferWorker* worker, bool withPiece) {
  if (worker->port == 0) {
    finishWorker(*worker, WorkerState::NetworkError);
    return nullptr;
  }
  // A page held in memory is one fetched for its links, one after another from the same
  // folders: it goes without the library's cookie look-up where its folder holds none.
  const std::string folder = worker->piece.held ? folderAddress(*worker) : std::string();
  bool plain = !folder.empty();
  for (;;) {
    worker = connectOverHttp(lock, worker, plain ? folder : std::string(), plain);
    if (!worker) return nullptr;
    const uint32_t flags = requestFlagsFor(worker->secure, worker->start);
    worker = requestOnce(lock, worker, withPiece,
                         plain ? flags | request_flags::kNoCookiesNoRedirect : flags);
    if (!worker) return nullptr;
    if (!plain || !isRedirect(worker->statusCode) || worker->location.empty()) break;
    // The library follows redirects with the cookies their replies set (a site may set one
    // and send the client back until it comes with it): the request goes again its way.
    // On a connection of its own: the library keeps a connection's requests in a list it
    // does not lock, and the old request's close may come from another thread.
    internet_.close(worker->request);
    internet_.close(worker->connection);
    worker->request = worker->connection = 0;
    clearReply(*worker);
    plain = false;
  }
  if (plain) worker = keepPlainReplyCookies(lock, worker);
  if (!worker) return nullptr;
  if (withPiece && !replyFits(*worker)) {
    finishWorker(*worker, WorkerState::Refused);
    return nullptr;
  }
  return worker;
}

TransferWorker* TransferEngine::connectOverHttp(Lock& lock, TransferWorker* worker,
                                                const std::string& folder, bool& plain) {
  const std::string host = worker->host;
  const uint16_t port = worker->port;
  const std::string userName = worker->userName;
  const std::string password = worker->password;
  std::string workerId = beforeCall(lock, *worker);
  const NetHandle connection = internet_.connect(host, port, userName, password);
  plain = plain && connection != 0 && internet_.folderWithoutCookies(folder);
  worker = afterCall(lock, workerId);
  if (!worker) {
    if (connection != 0) internet_.close(connection);
    return nullptr;
  }
  if (connection == 0) {
    finishWorker(*worker, WorkerState::NetworkError);
    return nullptr;
  }
  worker->connection = connection;
  return worker;
}

TransferWorker* TransferEngine::requestOnce(Lock& lock, TransferWorker* worker, bool withPiece,
                                            uint32_t flags) {
  const int64_t start = worker->start;
  worker->request = internet_.openRequest(worker->connection, withPiece ? "GET" : "HEAD",
                                          worker->objectPath, worker->referrer, flags);
  if (worker->request == 0 ||
      (start != 0 &&
       !internet_.addRequestHeaders(worker->request, rangeHeaders(start, worker->ifRange)))) {
    finishWorker(*worker, WorkerState::NetworkError);
    return nullptr;
  }
  worker = sendChecked(lock, worker);
  if (!worker) return nullptr;
  readReply(*worker);
  // The library keeps the cookies of the replies it handles, those of the redirects it
  // followed included: what was found of the folders' cookies may no longer hold.
  const bool plain = (flags & request_flags::kNoCookiesNoRedirect) != 0;
  if (!plain && (!replyCookies(worker->rawHeaders).empty() || !worker->finalAddress.empty())) {
    internet_.forgetCookieFolders();
  }
  return worker;
}

TransferWorker* TransferEngine::keepPlainReplyCookies(Lock& lock, TransferWorker* worker) {
  const std::vector<std::string> cookies = replyCookies(worker->rawHeaders);
  if (cookies.empty()) return worker;
  const std::string address = requestAddress(*worker);
  const std::string workerId = beforeCall(lock, *worker);
  internet_.keepReplyCookies(address, cookies);
  return afterCall(lock, workerId);
}

bool TransferEngine::replyFits(TransferWorker& worker) {
  const TransferJob& job = *worker.job;
  const bool othersActive =
      std::any_of(job.workers.begin(), job.workers.end(), [&worker](const auto& other) {
        return other.get() != &worker && isActiveState(other->state);
      });
  switch (checkReply(worker.start, worker.ifRange, worker.statusCode, worker.rawHeaders,
                     job.totalSize, othersActive)) {
    case ReplyFit::kFits:
      return true;
    case ReplyFit::kRefused:
      worker.busyBeside = worker.statusCode == 503 && othersActive;
      return false;
    case ReplyFit::kWholeAgain:
      worker.wholeAgain = true;
      // A whole file of the version asked for (or without If-Range) in answer to a range
      // means the server ignores ranges.
      worker.rangesRefused = worker.statusCode == 200 && worker.validator == worker.ifRange;
      return false;
    case ReplyFit::kRangesRefused:
      worker.rangesRefused = true;
      return false;
  }
  return false;
}

TransferWorker* TransferEngine::sendChecked(Lock& lock, TransferWorker* worker) {
  const NetHandle request = worker->request;
  CertificateFault fault = CertificateFault::kNone;
  std::string workerId = beforeCall(lock, *worker);
  bool sent = internet_.sendRequest(request, fault);
  worker = afterCall(lock, workerId);
  if (!worker) return nullptr;
  // A site whose certificate the user accepts gets the request again, accepting the fault;
  // every other site's certificate must hold.
  const bool accepting =
      !sent && fault != CertificateFault::kNone && worker->job->address.acceptCertificateErrors;
  if (accepting && internet_.acceptCertificateFaults(request)) {
    workerId = beforeCall(lock, *worker);
    sent = internet_.sendRequest(request, fault);
    worker = afterCall(lock, workerId);
    if (!worker) return nullptr;
  }
  if (!sent) {
    worker->certificateFault = fault;
    finishWorker(*worker, fault == CertificateFault::kNone ? WorkerState::NetworkError
                                                           : WorkerState::CertificateError);
    return nullptr;
  }
  std::string reached;
  if (internet_.queryAddress(request, reached) && redirectedElsewhere(*worker, reached)) {
    worker->finalAddress = reached;
  }
  // Accepting one site's certificate says nothing of the site a redirect led to, whose
  // certificate was accepted along with it.
  if (accepting && leftTheHost(*worker, reached)) {
    worker->certificateFault = CertificateFault::kOther;
    finishWorker(*worker, WorkerState::CertificateError);
    return nullptr;
  }
  return worker;
}

void TransferEngine::readReply(TransferWorker& worker) {
  const NetHandle request = worker.request;
  std::string text;
  // As text: the number query has 32 bits, and files above 4 GiB are common.
  if (internet_.queryHeaderText(request, http_query::kContentLength, text)) {
    int64_t length = 0;
    if (parseContentLength(text, length)) worker.contentLength = length;
  }
  uint32_t status = 0;
  if (internet_.queryHeaderNumber(request, http_query::kStatusCode, status)) {
    worker.statusCode = status;
  }
  if (internet_.queryHeaderText(request, http_query::kStatusText, text)) worker.statusText = text;
  if (internet_.queryHeaderText(request, http_query::kContentType, text)) {
    worker.contentType = text;
  }
  if (internet_.queryHeaderText(request, http_query::kLocation, text)) worker.location = text;
  if (internet_.queryHeaderText(request, http_query::kRawHeadersCrlf, text)) {
    worker.rawHeaders = text;
    worker.serverName = contentDispositionName(text);
  }
  worker.validator = replyValidator(worker.rawHeaders);
}

TransferWorker* TransferEngine::openByAddress(Lock& lock, TransferWorker* worker) {
  // Opening by address cannot ask for a range: what came back would be written at the
  // wrong place of the file. The file is fetched whole instead.
  if (worker->start != 0 && worker->piece.file) {
    worker->wholeAgain = true;
    worker->rangesRefused = true;
    finishWorker(*worker, WorkerState::Refused);
    return nullptr;
  }
  // The handle is the worker's before the open waits on the server, so that stopping the
  // worker (or ending the program) releases the wait instead of waiting for the server.
  worker->request = internet_.prepareAddress(worker->fullAddress, request_flags::kExistingConnect);
  if (worker->request == 0) {
    finishWorker(*worker, WorkerState::NetworkError);
    return nullptr;
  }
  const NetHandle handle = worker->request;
  const std::string workerId = beforeCall(lock, *worker);
  const bool opened = internet_.openAddress(handle);
  worker = afterCall(lock, workerId);
  if (!worker) return nullptr;
  if (!opened) {
    finishWorker(*worker, WorkerState::NetworkError);
    return nullptr;
  }
  return worker;
}

void TransferEngine::readLoop(Lock& lock, TransferWorker* worker) {
  // The buffer belongs to the thread, not to the worker, so it outlives a removal safely;
  // what it holds when a call fails is dropped.
  std::vector<unsigned char> buffer;
  size_t filled = 0;
  Stopwatch flush;
  ReadSizer sizer;
  for (;;) {
    const NetHandle handle = worker->request;
    std::string workerId = beforeCall(lock, *worker);
    uint32_t available = 0;
    bool ok = internet_.queryDataAvailable(handle, available);
    worker = afterCall(lock, workerId);
    if (!worker) return;
    if (!ok) {
      finishWorker(*worker, WorkerState::NetworkError);
      return;
    }

    if (available > 0) {
      const uint32_t size = sizer.next(available);
      if (buffer.size() < filled + size) {
        try {
          buffer.resize(filled + size + 8);
        } catch (const std::bad_alloc&) {
          finishWorker(*worker, WorkerState::SaveError);
          return;
        }
      }
      unsigned char* space = buffer.data() + filled;
      workerId = beforeCall(lock, *worker);
      const uint32_t readStart = clock_.tickCount();
      uint32_t got = 0;
      ok = internet_.read(handle, space, size, got);
      const int64_t took = static_cast<uint32_t>(clock_.tickCount() - readStart);
      worker = afterCall(lock, workerId);
      if (!worker) return;
      // Fewer bytes than were announced as there: the connection broke.
      if (!ok || got < available || got > size) {
        finishWorker(*worker, WorkerState::NetworkError);
        return;
      }
      filled += got;
      sizer.update(got, took);
    }

    if (filled > 0 &&
        (available == 0 || flush.atLeast(clock_, kFlushIntervalMs) || filled >= kFlushBound)) {
      flush.mark(clock_);
      PieceFile& piece = worker->piece;
      if (!storeBytes(*worker, buffer.data(), filled)) {
        finishWorker(*worker, WorkerState::SaveError);
        return;
      }
      piece.written += static_cast<int64_t>(filled);
      piece.rate.add(clock_, static_cast<int64_t>(filled));
      filled = 0;
    }
    if (available == 0) {
      finishWorker(*worker, WorkerState::Complete);
      return;
    }
  }
}
