#include "fakes/fake_internet.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

namespace {

constexpr int64_t kNoLimit = std::numeric_limits<int64_t>::max() / 4;

std::string serverKey(const std::string& host, uint16_t port) {
  return host + ":" + std::to_string(port);
}

char lowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string lowerText(std::string text) {
  for (char& c : text) c = lowerAscii(c);
  return text;
}

std::string trimmed(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) ++begin;
  while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
  return text.substr(begin, end - begin);
}

// The offset of "Range: bytes=N-" among CR LF separated header lines; -1 without one.
int64_t rangeStartOf(const std::string& headers) {
  const std::string lower = lowerText(headers);
  size_t at = lower.find("range:");
  if (at == std::string::npos) return -1;
  at = lower.find("bytes=", at);
  if (at == std::string::npos) return -1;
  at += 6;
  int64_t value = 0;
  bool digits = false;
  while (at < lower.size() && lower[at] >= '0' && lower[at] <= '9') {
    value = value * 10 + (lower[at++] - '0');
    digits = true;
  }
  return digits ? value : -1;
}

}  // namespace

// ---- FakeBody -------------------------------------------------------------------------

std::shared_ptr<const FakeBody> FakeBody::of(std::string bytes) {
  auto body = std::shared_ptr<FakeBody>(new FakeBody());
  body->size_ = static_cast<int64_t>(bytes.size());
  body->bytes_ = std::move(bytes);
  return body;
}

std::shared_ptr<const FakeBody> FakeBody::pattern(int64_t size, uint32_t seed) {
  auto body = std::shared_ptr<FakeBody>(new FakeBody());
  body->size_ = size;
  body->seed_ = seed;
  body->generated_ = true;
  return body;
}

unsigned char FakeBody::at(int64_t offset) const {
  if (!generated_) return static_cast<unsigned char>(bytes_[static_cast<size_t>(offset)]);
  uint64_t x = static_cast<uint64_t>(offset) * 0x9E3779B97F4A7C15ull + seed_;
  x ^= x >> 31;
  x *= 0xBF58476D1CE4E5B9ull;
  x ^= x >> 29;
  return static_cast<unsigned char>(x);
}

void FakeBody::copy(int64_t offset, size_t count, unsigned char* out) const {
  if (!generated_) {
    std::memcpy(out, bytes_.data() + offset, count);
    return;
  }
  for (size_t i = 0; i < count; ++i) out[i] = at(offset + static_cast<int64_t>(i));
}

std::string FakeBody::bytes(int64_t offset, int64_t count) const {
  if (count < 0) count = size_ - offset;
  std::string out(static_cast<size_t>(count), '\0');
  copy(offset, out.size(), reinterpret_cast<unsigned char*>(out.data()));
  return out;
}

// ---- Handles ----------------------------------------------------------------------------

struct FakeInternet::HandleState {
  enum class Kind { kConnection, kRequest, kAddress };
  Kind kind = Kind::kConnection;
  bool closed = false;
  NetHandle parent = 0;
  FakeRequest request;
  bool sent = false;
  FakeReply reply;
  int64_t fullLength = 0;  // what Content-Length announces
  int64_t end = 0;         // where delivery ends
  int64_t position = 0;    // body bytes delivered so far

  bool broken() const {
    return reply.dropAt >= 0 && reply.dropAt < end && position >= reply.dropAt;
  }
};

FakeInternet::FakeInternet() = default;
FakeInternet::~FakeInternet() = default;

void FakeInternet::setServer(const std::string& host, uint16_t port, Handler handler) {
  std::lock_guard<std::mutex> hold(mutex_);
  servers_[serverKey(host, port)] = std::move(handler);
}

void FakeInternet::setServerDown(const std::string& host, uint16_t port) {
  std::lock_guard<std::mutex> hold(mutex_);
  down_[serverKey(host, port)] = true;
}

void FakeInternet::setConnectGate(const std::string& host, uint16_t port, int gate) {
  std::lock_guard<std::mutex> hold(mutex_);
  connectGates_[serverKey(host, port)] = gate;
}

void FakeInternet::setCertificateFault(const std::string& host, uint16_t port,
                                       CertificateFault fault) {
  std::lock_guard<std::mutex> hold(mutex_);
  certificateFaults_[serverKey(host, port)] = fault;
}

void FakeInternet::setAddressHandler(Handler handler) {
  std::lock_guard<std::mutex> hold(mutex_);
  addressHandler_ = std::move(handler);
}

void FakeInternet::setPartialReads(bool partial) {
  std::lock_guard<std::mutex> hold(mutex_);
  partialReads_ = partial;
}

void FakeInternet::setAvailableCap(uint32_t bytes) {
  std::lock_guard<std::mutex> hold(mutex_);
  availableCap_ = bytes;
}

FakeReply FakeInternet::fileReply(const FakeRequest& request,
                                  std::shared_ptr<const FakeBody> body) {
  FakeReply reply;
  const int64_t size = body ? body->size() : 0;
  reply.body = std::move(body);
  if (request.rangeStart >= 0) {
    if (request.rangeStart >= size) {
      reply.statusCode = 416;
      reply.statusText = "Requested Range Not Satisfiable";
      reply.headers.push_back("Content-Range: bytes */" + std::to_string(size));
      reply.body = nullptr;
      return reply;
    }
    reply.statusCode = 206;
    reply.statusText = "Partial Content";
    reply.bodyOffset = request.rangeStart;
    reply.headers.push_back("Content-Range: bytes " + std::to_string(request.rangeStart) + "-" +
                            std::to_string(size - 1) + "/" + std::to_string(size));
  }
  reply.headers.push_back("Accept-Ranges: bytes");
  return reply;
}

int FakeInternet::makeGate(int64_t allowed) {
  std::lock_guard<std::mutex> hold(mutex_);
  gates_[nextGate_] = allowed;
  return nextGate_++;
}

void FakeInternet::allow(int gate, int64_t moreBytes) {
  std::lock_guard<std::mutex> hold(mutex_);
  gates_[gate] += moreBytes;
  changed_.notify_all();
}

void FakeInternet::openGate(int gate) {
  std::lock_guard<std::mutex> hold(mutex_);
  gates_[gate] = kNoLimit;
  changed_.notify_all();
}

void FakeInternet::abortAll() {
  std::lock_guard<std::mutex> hold(mutex_);
  aborted_ = true;
  changed_.notify_all();
}

std::vector<FakeRequest> FakeInternet::requests() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return requests_;
}

size_t FakeInternet::requestCount() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return requests_.size();
}

int FakeInternet::openHandles() const {
  std::lock_guard<std::mutex> hold(mutex_);
  int count = 0;
  for (const auto& [handle, state] : handles_) count += state->closed ? 0 : 1;
  return count;
}

int FakeInternet::blockedCalls() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return blocked_;
}

uint64_t FakeInternet::blockEvents() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return blockEvents_;
}

int64_t FakeInternet::deliveredBytes() const {
  std::lock_guard<std::mutex> hold(mutex_);
  int64_t sum = 0;
  for (const auto& [handle, state] : handles_) sum += state->position;
  return sum;
}

bool FakeInternet::waitForBlockEvents(uint64_t events, std::chrono::milliseconds timeout) {
  Lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return blockEvents_ >= events; });
}

bool FakeInternet::waitForBlockedCalls(int count, std::chrono::milliseconds timeout) {
  Lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return blocked_ >= count; });
}

FakeInternet::HandleState* FakeInternet::find(NetHandle handle) {
  auto found = handles_.find(handle);
  return found == handles_.end() ? nullptr : found->second.get();
}

bool FakeInternet::isClosed(NetHandle handle) {
  if (aborted_) return true;
  HandleState* state = find(handle);
  if (!state || state->closed) return true;
  if (state->parent == 0) return false;
  HandleState* parent = find(state->parent);
  return !parent || parent->closed;
}

NetHandle FakeInternet::addHandle(std::unique_ptr<HandleState> state) {
  const NetHandle handle = nextHandle_++;
  handles_[handle] = std::move(state);
  return handle;
}

void FakeInternet::startReply(HandleState& state, FakeReply reply) {
  const int64_t available =
      reply.body ? std::max<int64_t>(reply.body->size() - reply.bodyOffset, 0) : 0;
  state.fullLength = reply.bodyLength >= 0 ? std::min(reply.bodyLength, available) : available;
  state.end = state.fullLength;
  if (reply.endAt >= 0) state.end = std::min(state.end, reply.endAt);
  if (state.request.verb == "HEAD") state.end = 0;
  state.position = 0;
  state.reply = std::move(reply);
}

int64_t FakeInternet::deliverable(const HandleState& state) const {
  int64_t limit = state.end;
  if (state.reply.stallAt >= 0) limit = std::min(limit, state.reply.stallAt);
  if (state.reply.dropAt >= 0) limit = std::min(limit, state.reply.dropAt);
  if (state.reply.gate != 0) {
    auto gate = gates_.find(state.reply.gate);
    limit = std::min(limit, gate == gates_.end() ? 0 : gate->second);
  }
  return limit;
}

template <class Predicate>
void FakeInternet::waitBlocked(Lock& lock, Predicate ready) {
  if (ready()) return;
  ++blocked_;
  ++blockEvents_;
  changed_.notify_all();
  changed_.wait(lock, ready);
  --blocked_;
}

// ---- Internet ---------------------------------------------------------------------------

NetHandle FakeInternet::connect(const std::string& host, uint16_t port, const std::string& userName,
                                const std::string& password) {
  Lock lock(mutex_);
  const std::string key = serverKey(host, port);
  auto gate = connectGates_.find(key);
  if (gate != connectGates_.end()) {
    // No handle exists yet that could be closed: only the gate or the end of the test ends
    // the wait.
    waitBlocked(lock, [&] { return aborted_ || gates_[gate->second] > 0; });
  }
  if (aborted_ || down_.count(key) != 0) return 0;
  auto state = std::make_unique<HandleState>();
  state->kind = HandleState::Kind::kConnection;
  state->request.host = host;
  state->request.port = port;
  state->request.userName = userName;
  state->request.password = password;
  return addHandle(std::move(state));
}

NetHandle FakeInternet::openRequest(NetHandle connection, const std::string& verb,
                                    const std::string& objectPath, const std::string& referrer,
                                    uint32_t flags) {
  std::lock_guard<std::mutex> hold(mutex_);
  HandleState* parent = find(connection);
  if (isClosed(connection) || parent->kind != HandleState::Kind::kConnection) return 0;
  auto state = std::make_unique<HandleState>();
  state->kind = HandleState::Kind::kRequest;
  state->parent = connection;
  state->request = parent->request;
  state->request.verb = verb;
  state->request.objectPath = objectPath;
  state->request.referrer = referrer;
  state->request.flags = flags;
  return addHandle(std::move(state));
}

bool FakeInternet::addRequestHeaders(NetHandle request, const std::string& headers) {
  std::lock_guard<std::mutex> hold(mutex_);
  HandleState* state = find(request);
  if (isClosed(request) || state->kind != HandleState::Kind::kRequest || state->sent) return false;
  state->request.headers += headers;
  state->request.rangeStart = rangeStartOf(state->request.headers);
  return true;
}

bool FakeInternet::sendRequest(NetHandle request, CertificateFault& fault) {
  fault = CertificateFault::kNone;
  Lock lock(mutex_);
  HandleState* state = find(request);
  if (isClosed(request) || state->kind != HandleState::Kind::kRequest || state->sent) return false;
  const std::string key = serverKey(state->request.host, state->request.port);
  // The certificate is refused before any request reaches the server; the request may be
  // sent again.
  auto refused = certificateFaults_.find(key);
  if (refused != certificateFaults_.end() && (state->request.flags & request_flags::kSecure) &&
      !state->request.certificateFaultsAccepted) {
    fault = refused->second;
    return false;
  }
  state->sent = true;
  requests_.push_back(state->request);
  auto server = servers_.find(key);
  if (server == servers_.end()) return false;  // no such host
  Handler handler = server->second;
  const FakeRequest asked = state->request;
  lock.unlock();
  FakeReply reply = handler(asked);
  lock.lock();
  if (isClosed(request)) return false;
  if (reply.stallBeforeReply) {
    waitBlocked(lock, [&] { return isClosed(request); });
    return false;
  }
  startReply(*state, std::move(reply));
  return true;
}

bool FakeInternet::acceptCertificateFaults(NetHandle request) {
  std::lock_guard<std::mutex> hold(mutex_);
  HandleState* state = find(request);
  if (isClosed(request) || state->kind != HandleState::Kind::kRequest) return false;
  state->request.certificateFaultsAccepted = true;
  return true;
}

bool FakeInternet::queryAddress(NetHandle request, std::string& address) {
  std::lock_guard<std::mutex> hold(mutex_);
  HandleState* state = find(request);
  if (isClosed(request) || state->kind != HandleState::Kind::kRequest) return false;
  if (state->sent && !state->reply.finalAddress.empty()) {
    address = state->reply.finalAddress;
    return true;
  }
  const FakeRequest& asked = state->request;
  const bool secure = (asked.flags & request_flags::kSecure) != 0;
  address = std::string(secure ? "https://" : "http://") + asked.host;
  if (asked.port != (secure ? 443 : 80)) address += ":" + std::to_string(asked.port);
  address += asked.objectPath;
  return true;
}

bool FakeInternet::queryHeaderNumber(NetHandle request, uint32_t level, uint32_t& value) {
  std::string text;
  if (!queryHeaderText(request, level, text)) return false;
  uint64_t number = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + static_cast<uint64_t>(c - '0');
  }
  // As the library's number query: the low 32 bits.
  value = static_cast<uint32_t>(number);
  return !text.empty();
}

bool FakeInternet::queryHeaderText(NetHandle request, uint32_t level, std::string& text) {
  std::lock_guard<std::mutex> hold(mutex_);
  HandleState* state = find(request);
  if (isClosed(request) || state->kind != HandleState::Kind::kRequest || !state->sent) return false;
  const FakeReply& reply = state->reply;
  auto header = [&reply](const std::string& name, std::string& value) {
    for (const std::string& line : reply.headers) {
      const size_t colon = line.find(':');
      if (colon == std::string::npos) continue;
      if (lowerText(trimmed(line.substr(0, colon))) != lowerText(name)) continue;
      value = trimmed(line.substr(colon + 1));
      return true;
    }
    return false;
  };
  std::string contentLength;
  if (reply.sendContentLength) {
    contentLength = reply.contentLengthText.empty() ? std::to_string(state->fullLength)
                                                    : reply.contentLengthText;
  }
  switch (level) {
    case http_query::kContentLength:
      if (contentLength.empty()) return false;
      text = contentLength;
      return true;
    case http_query::kStatusCode:
      text = std::to_string(reply.statusCode);
      return true;
    case http_query::kStatusText:
      if (reply.statusText.empty()) return false;
      text = reply.statusText;
      return true;
    case http_query::kContentType:
      return header("Content-Type", text);
    case http_query::kLocation:
      return header("Location", text);
    case http_query::kRawHeadersCrlf: {
      text = "HTTP/1.1 " + std::to_string(reply.statusCode) + " " + reply.statusText + "\r\n";
      if (!contentLength.empty()) text += "Content-Length: " + contentLength + "\r\n";
      for (const std::string& line : reply.headers) text += line + "\r\n";
      text += "\r\n";
      return true;
    }
    default:
      return false;
  }
}

NetHandle FakeInternet::prepareAddress(const std::string& fullAddress, uint32_t flags) {
  std::lock_guard<std::mutex> hold(mutex_);
  if (aborted_) return 0;
  auto state = std::make_unique<HandleState>();
  state->kind = HandleState::Kind::kAddress;
  state->request.address = fullAddress;
  state->request.flags = flags;
  return addHandle(std::move(state));
}

bool FakeInternet::openAddress(NetHandle address) {
  Lock lock(mutex_);
  HandleState* state = find(address);
  if (isClosed(address) || state->kind != HandleState::Kind::kAddress || state->sent) return false;
  state->sent = true;
  requests_.push_back(state->request);
  Handler handler = addressHandler_;
  if (!handler) return false;
  const FakeRequest asked = state->request;
  lock.unlock();
  FakeReply reply = handler(asked);
  lock.lock();
  if (isClosed(address)) return false;
  if (reply.stallBeforeReply) {
    waitBlocked(lock, [&] { return isClosed(address); });
    return false;
  }
  if (reply.statusCode != 200) return false;
  startReply(*state, std::move(reply));
  return true;
}

bool FakeInternet::queryDataAvailable(NetHandle handle, uint32_t& available) {
  Lock lock(mutex_);
  HandleState* state = find(handle);
  if (isClosed(handle) || !state->sent) return false;
  waitBlocked(lock, [&] {
    return isClosed(handle) || state->broken() || state->position >= state->end ||
           deliverable(*state) > state->position;
  });
  if (isClosed(handle) || state->broken()) return false;
  if (state->position >= state->end) {
    available = 0;
    return true;
  }
  available = static_cast<uint32_t>(
      std::min<int64_t>(deliverable(*state) - state->position, availableCap_));
  return true;
}

bool FakeInternet::read(NetHandle handle, void* buffer, uint32_t size, uint32_t& got) {
  Lock lock(mutex_);
  got = 0;
  HandleState* state = find(handle);
  if (isClosed(handle) || !state->sent || state->broken()) return false;
  int64_t want = std::min<int64_t>(size, state->end - state->position);
  if (want <= 0) return true;
  const FakeReply& reply = state->reply;
  if (partialReads_) {
    // Whatever is there once anything is, up to the break.
    waitBlocked(lock, [&] {
      return isClosed(handle) || state->broken() || deliverable(*state) > state->position;
    });
    if (isClosed(handle) || state->broken()) return false;
    want = std::min(want, deliverable(*state) - state->position);
  }
  const int64_t target = state->position + want;
  // A break inside the requested bytes fails the read once delivery reaches it.
  const int64_t needed = reply.dropAt >= 0 && reply.dropAt < target ? reply.dropAt : target;
  waitBlocked(lock, [&] { return isClosed(handle) || deliverable(*state) >= needed; });
  if (isClosed(handle)) return false;
  if (needed < target) {
    state->position = needed;
    return false;
  }
  reply.body->copy(reply.bodyOffset + state->position, static_cast<size_t>(want),
                   static_cast<unsigned char*>(buffer));
  state->position = target;
  got = static_cast<uint32_t>(want);
  return true;
}

void FakeInternet::close(NetHandle handle) {
  std::lock_guard<std::mutex> hold(mutex_);
  HandleState* state = find(handle);
  if (state) state->closed = true;
  changed_.notify_all();
}

void FakeInternet::setFolderWithCookies(const std::string& folderAddress) {
  Lock lock(mutex_);
  foldersWithCookies_.push_back(folderAddress);
}

bool FakeInternet::folderWithoutCookies(const std::string& folderAddress) {
  Lock lock(mutex_);
  cookieFoldersAsked_.push_back(folderAddress);
  return std::find(foldersWithCookies_.begin(), foldersWithCookies_.end(), folderAddress) ==
         foldersWithCookies_.end();
}

void FakeInternet::keepReplyCookies(const std::string& address,
                                    const std::vector<std::string>& cookies) {
  Lock lock(mutex_);
  for (const std::string& cookie : cookies)
    cookiesKept_.push_back(address + ": Set-Cookie: " + cookie);
}

void FakeInternet::forgetCookieFolders() {
  Lock lock(mutex_);
  ++cookieFoldersForgotten_;
}

std::vector<std::string> FakeInternet::cookieFoldersAsked() const {
  Lock lock(mutex_);
  return cookieFoldersAsked_;
}

std::vector<std::string> FakeInternet::cookiesKept() const {
  Lock lock(mutex_);
  return cookiesKept_;
}

int FakeInternet::cookieFoldersForgotten() const {
  Lock lock(mutex_);
  return cookieFoldersForgotten_;
}
