#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "transfer/stopwatch.h"
#include "platform/files.h"
#include "platform/internet.h"
#include "url/url_parts.h"

struct TransferJob;

// Where a worker is. Waiting and Running are active; the others are final, and a worker
// never leaves a final state. The numbers are the ones the job pass tests.
enum class WorkerState : int32_t {
  Waiting = 0,       // made; no thread has taken it yet
  Running = 1,       // a thread has taken it
  Stopped = 2,       // stopped on request, or made from a stored piece
  Complete = 3,      // the whole reply arrived (without a piece file: its headers)
  NetworkError = 4,  // connect, request, header, send, query or read failed
  SaveError = 5,     // the piece file could not be made or written, or memory ran out
  Refused = 6,       // the reply's status or content range did not fit the request
  CertificateError = 7  // the server's certificate was refused (certificateFault says how)
};

inline bool isActiveState(WorkerState state) {
  return state == WorkerState::Waiting || state == WorkerState::Running;
}

// The job's result.
inline constexpr int32_t kJobNoResult = 0;
inline constexpr int32_t kJobSucceeded = 1;
inline constexpr int32_t kJobFailed = 2;

// The file a worker writes its bytes into: a hidden piece of the whole file.
struct PieceFile {
  std::unique_ptr<WritableFile> file;  // open while the worker may write
  std::string path;
  int64_t written = 0;  // bytes on disk
  RateMeter rate;
  bool keep = false;  // do not delete the file when the piece is discarded
  // Where the piece's first byte lies in its file: 0 in a file of its own, the piece's
  // start in the file it shares with the other pieces of its job.
  int64_t base = 0;
  // Adopted from a resume text of an earlier release, which gives no length: the file's
  // size is the piece's length there, so nothing else may ever write into that file.
  bool sizedByFile = false;
  // The piece's bytes are held here rather than in a file (see TransferJob::mostBytesHeld);
  // `path` is empty meanwhile.
  bool held = false;
  std::string bytes;
};

// One connection fetching the file from `start` on, on a thread of its own. Every field is
// guarded by the engine's lock.
struct TransferWorker {
  TransferJob* job = nullptr;
  bool secure = false;
  std::string userName;
  std::string password;
  std::string host;  // empty: opened by address
  uint16_t port = 0;
  std::string objectPath;
  std::string referrer;
  std::string fullAddress;
  int64_t start = 0;  // byte offset of the piece in the file
  PieceFile piece;
  WorkerState state = WorkerState::Waiting;
  Stopwatch activity;  // marked before every blocking call
  Stopwatch lifetime;  // marked when made and when final
  int64_t contentLength = -1;
  int64_t statusCode = -1;
  std::string statusText;
  std::string contentType;
  std::string location;
  std::string rawHeaders;
  CertificateFault certificateFault = CertificateFault::kNone;  // with CertificateError
  std::string finalAddress;  // where the library's redirects ended; empty when not redirected
  std::string serverName;    // the file name of the reply's Content-Disposition, or empty
  std::string workerId;  // 32 hexadecimal digits, unique among the live workers
  NetHandle connection = 0;
  NetHandle request = 0;
  // The version of the file the job's pieces came from, sent as If-Range with a range
  // request (copied from the job when the worker is made), and the one the reply names.
  std::string ifRange;
  std::string validator;
  // The reply showed that the pieces belong to another version of the file (or that the
  // server sends only whole files): the job throws them away and fetches it whole.
  bool wholeAgain = false;
  // A 200 to a range request beside other connections: the server sends whole files only.
  bool rangesRefused = false;
  // A 503 beside other connections: the server takes no more connections for the file.
  bool busyBeside = false;
  bool stalled = false;  // stopped by the job pass after a silence
  bool settled = false;  // the job pass has taken the worker's end into account
};

// How a job that keeps trying waits between attempts (see retry.h).
struct RetryState {
  int32_t waiting = 0;      // connections to start again once the wait is over
  Stopwatch wait;           // marked when the current wait began
  int64_t waitMs = 0;       // how long it lasts
  int64_t nextDelayMs = 0;  // the delay of the next wait, before its spread; 0: the first step
  Stopwatch progress;       // marked when trying began and whenever a worker wrote bytes
  bool trying = false;      // the job was running at the end of the last pass
};

// Connections to one host at once, over every job: servers block clients that open more.
inline constexpr int kMostConnectionsPerHost = 8;

// Pieces one job may have: splitting stops there, so a job never gathers hundreds of
// files (nor a quadratic job pass over them).
inline constexpr size_t kMostPiecesPerJob = 32;

// One fetch of one address, through one or more workers.
struct TransferJob {
  UrlParts address;        // with siteUser, sitePassword and referrer filled
  std::string folder;      // where piece files are made; empty: reply headers only
  int32_t wanted = 0;      // workers asked for and not yet started
  int32_t started = 0;     // workers started so far
  int32_t running = 0;     // active workers, as of the last job pass
  Stopwatch lastActivity;  // the latest activity mark among active workers
  int64_t speed = 0;       // bytes per second over the active workers
  int64_t totalSize = -1;
  std::string contentType;
  std::string finalAddress;  // where the first reply came from after redirects; empty: no
                             // redirect
  std::string serverName;    // the file name the first reply that gave one gave, or empty
  int64_t bytesGot = 0;
  std::string pieceMap;  // "total,start,length,start,length..." or empty
  int32_t result = kJobNoResult;
  Stopwatch resultTime;
  std::string finishedPath;
  int64_t finalSize = -1;
  std::string errorText;
  // Failed, but its pieces stay to be continued (a download that gave up for want of a
  // connection, or whose server's certificate was refused): its owner keeps the job rather
  // than destroying it.
  bool keptPieces = false;
  CertificateFault certificateFault = CertificateFault::kNone;  // when that is why it failed
  // Owned, newest first: the order in which the worker list holds them.
  std::vector<std::unique_ptr<TransferWorker>> workers;
  // While the pieces, which cover the whole file, are being joined: the joined file so far.
  // A join goes on over several job passes, so no pass holds the lock for long.
  std::unique_ptr<PieceFile> joining;

  // The version of the file (its ETag, or else its Last-Modified) the pieces came from;
  // empty while unknown.
  std::string validator;
  bool rangesRefused = false;  // the server sends whole files only: no second connection
  bool extrasRefused = false;  // the server answered 503 to a second connection: none more
  // Connections the job keeps open at once while its file has a gap worth splitting, once
  // its size is known (a download's "Connections per file", plus one per further Get);
  // 0 keeps none beyond what is asked for.
  int32_t connections = 0;

  // A reply of at most this many bytes is held in memory rather than written to a piece
  // file: a page fetched only to be read for its links then leaves no file to delete, and
  // a deletion can take hundreds of milliseconds on some disks. A reply that grows past
  // it goes on in a piece file; a held piece that is not the whole file goes into one before
  // it is joined with the others. 0: pieces are files from the start.
  int64_t mostBytesHeld = 0;
  // The finished reply of a job whose one piece was held (finishedPath is then empty).
  std::string finishedBytes;

  // Trying again (downloads): a connection that breaks, or ends without a byte while the
  // file still has gaps, is started again after a wait instead of failing the job.
  bool keepTrying = false;
  RetryState retry;
};

// No result yet, and a worker is wanted or running, or a connection waits to be tried again.
inline bool isRunning(const TransferJob& job) {
  return job.result == kJobNoResult &&
         (job.wanted != 0 || job.running != 0 || job.retry.waiting != 0);
}
