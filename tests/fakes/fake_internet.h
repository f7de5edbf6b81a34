#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/internet.h"

// The content a fake server sends: given bytes, or a pattern made from the offset and a
// seed (so large bodies cost no memory).
class FakeBody {
 public:
  static std::shared_ptr<const FakeBody> of(std::string bytes);
  static std::shared_ptr<const FakeBody> pattern(int64_t size, uint32_t seed = 1);

  int64_t size() const { return size_; }
  unsigned char at(int64_t offset) const;
  void copy(int64_t offset, size_t count, unsigned char* out) const;
  std::string bytes(int64_t offset = 0, int64_t count = -1) const;

 private:
  FakeBody() = default;
  std::string bytes_;
  int64_t size_ = 0;
  uint32_t seed_ = 0;
  bool generated_ = false;
};

// What a worker asked for: one request sent, or one address opened.
struct FakeRequest {
  std::string host;
  uint16_t port = 0;
  std::string userName;
  std::string password;
  std::string verb;
  std::string objectPath;
  std::string referrer;
  uint32_t flags = 0;
  std::string headers;                     // the header lines added, as given
  int64_t rangeStart = -1;                 // from "Range: bytes=N-"; -1 without one
  std::string address;                     // opened by address; empty for a request
  bool certificateFaultsAccepted = false;  // sent after acceptCertificateFaults
};

// What a fake server answers, and how the delivery goes wrong. Positions count bytes of
// the reply's body.
struct FakeReply {
  int statusCode = 200;
  std::string statusText = "OK";
  std::vector<std::string> headers;      // "Name: value", besides Content-Length
  std::shared_ptr<const FakeBody> body;  // none: an empty body
  int64_t bodyOffset = 0;         // the reply carries body[bodyOffset, bodyOffset + bodyLength)
  int64_t bodyLength = -1;        // -1: to the end of the body
  bool sendContentLength = true;  // a Content-Length of bodyLength
  std::string contentLengthText;  // when not empty, sent as the Content-Length instead

  bool stallBeforeReply = false;  // sending blocks until the handle is closed
  int64_t stallAt = -1;           // delivery stops here until the handle is closed
  int64_t dropAt = -1;            // here the connection breaks: the call reaching it fails
  int64_t endAt = -1;             // here the server closes: the reply ends early
  int gate = 0;                   // delivery only as far as this gate allows
  std::string finalAddress;       // where the library's redirects ended; empty: the request's own
};

// The Internet port against scripted servers, keyed by host and port, plus a handler for
// addresses opened directly. Blocking calls behave as the library's: a query blocks until
// data is there (and announces at most `availableCap` bytes), a read blocks until the whole
// buffer is filled or the reply ends (or, with partial reads, until any byte is there),
// and every blocking call fails at once when its
// handle, or the connection of its request, is closed from another thread. Handle values
// are never reused. Thread-safe; handlers run outside the fake's lock.
class FakeInternet final : public Internet {
 public:
  using Handler = std::function<FakeReply(const FakeRequest&)>;

  FakeInternet();
  ~FakeInternet() override;

  // Set-up.
  void setServer(const std::string& host, uint16_t port, Handler handler);
  // Connecting to the server fails (InternetConnect answers no handle).
  void setServerDown(const std::string& host, uint16_t port);
  // Connecting to the server blocks until the gate allows at least one byte.
  void setConnectGate(const std::string& host, uint16_t port, int gate);
  // A secure request to the server fails to send with this certificate fault, unless the
  // request accepts certificate faults.
  void setCertificateFault(const std::string& host, uint16_t port, CertificateFault fault);
  void setAddressHandler(Handler handler);
  void setAvailableCap(uint32_t bytes);
  // Reads return as soon as any byte is there, as the port on WinInet does with its
  // read-ahead, instead of waiting until the buffer is full as the library itself does.
  void setPartialReads(bool partial);

  // A reply serving the body as a file server does: 200 with all of it, or for a range
  // request 206 with "Content-Range: bytes N-LAST/SIZE" (416 past the end); no body for
  // HEAD.
  static FakeReply fileReply(const FakeRequest& request, std::shared_ptr<const FakeBody> body);

  // Gates: delivery through a gate stops at what it allows, until the test allows more.
  int makeGate(int64_t allowed = 0);
  void allow(int gate, int64_t moreBytes);
  void openGate(int gate);

  // The cookie store: folders (addresses up to their last "/") that hold cookies.
  void setFolderWithCookies(const std::string& folderAddress);

  // Makes every blocking call fail from now on, as at the end of a test.
  void abortAll();

  // Inspection.
  std::vector<FakeRequest> requests() const;
  // requests().size(), without the copy.
  size_t requestCount() const;
  int openHandles() const;
  int blockedCalls() const;
  // How many times a call has begun to wait, so far.
  uint64_t blockEvents() const;
  // Body bytes handed out by reads, over every handle.
  int64_t deliveredBytes() const;
  // Wait, with a safety timeout, until at least `count` calls are blocked at once, or
  // until calls have begun to wait `events` times in all.
  bool waitForBlockedCalls(int count, std::chrono::milliseconds timeout = kPatience);
  bool waitForBlockEvents(uint64_t events, std::chrono::milliseconds timeout = kPatience);

  static constexpr std::chrono::milliseconds kPatience{20000};

  // The cookie calls: folders asked about, cookies given ("ADDRESS: Set-Cookie: VALUE"), and how
  // often the folders were forgotten.
  std::vector<std::string> cookieFoldersAsked() const;
  std::vector<std::string> cookiesKept() const;
  int cookieFoldersForgotten() const;

  // Internet.
  NetHandle connect(const std::string& host, uint16_t port, const std::string& userName,
                    const std::string& password) override;
  NetHandle openRequest(NetHandle connection, const std::string& verb,
                        const std::string& objectPath, const std::string& referrer,
                        uint32_t flags) override;
  bool addRequestHeaders(NetHandle request, const std::string& headers) override;
  bool sendRequest(NetHandle request, CertificateFault& fault) override;
  bool acceptCertificateFaults(NetHandle request) override;
  bool queryAddress(NetHandle request, std::string& address) override;
  bool queryHeaderNumber(NetHandle request, uint32_t level, uint32_t& value) override;
  bool queryHeaderText(NetHandle request, uint32_t level, std::string& text) override;
  NetHandle prepareAddress(const std::string& fullAddress, uint32_t flags) override;
  bool openAddress(NetHandle address) override;
  bool queryDataAvailable(NetHandle handle, uint32_t& available) override;
  bool read(NetHandle handle, void* buffer, uint32_t size, uint32_t& got) override;
  void close(NetHandle handle) override;
  bool folderWithoutCookies(const std::string& folderAddress) override;
  void keepReplyCookies(const std::string& address,
                        const std::vector<std::string>& cookies) override;
  void forgetCookieFolders() override;

 private:
  struct HandleState;
  using Lock = std::unique_lock<std::mutex>;

  HandleState* find(NetHandle handle);
  bool isClosed(NetHandle handle);
  NetHandle addHandle(std::unique_ptr<HandleState> state);
  void startReply(HandleState& state, FakeReply reply);
  // Body bytes deliverable now, the end of the reply, and where it breaks.
  int64_t deliverable(const HandleState& state) const;
  // Waits on the condition, counting the call as blocked meanwhile.
  template <class Predicate>
  void waitBlocked(Lock& lock, Predicate ready);

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::map<std::string, Handler> servers_;
  std::map<std::string, bool> down_;
  std::map<std::string, int> connectGates_;
  std::map<std::string, CertificateFault> certificateFaults_;
  Handler addressHandler_;
  uint32_t availableCap_ = 8192;
  bool partialReads_ = false;
  std::map<NetHandle, std::unique_ptr<HandleState>> handles_;
  NetHandle nextHandle_ = 0x1000;
  std::map<int, int64_t> gates_;
  int nextGate_ = 1;
  bool aborted_ = false;
  int blocked_ = 0;
  uint64_t blockEvents_ = 0;
  std::vector<FakeRequest> requests_;
  std::vector<std::string> foldersWithCookies_;
  std::vector<std::string> cookieFoldersAsked_;
  std::vector<std::string> cookiesKept_;
  int cookieFoldersForgotten_ = 0;
};
