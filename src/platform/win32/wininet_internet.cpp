#include "platform/win32/wininet_internet.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

namespace {

HINTERNET toNative(uintptr_t native) {
  return reinterpret_cast<HINTERNET>(native);
}
uintptr_t fromNative(HINTERNET handle) {
  return reinterpret_cast<uintptr_t>(handle);
}

const char* textOrNull(const std::string& text) {
  return text.empty() ? nullptr : text.c_str();
}

bool setOption(HINTERNET handle, uint32_t option, uint32_t value) {
  DWORD dword = value;
  return InternetSetOptionA(handle, option, &dword, sizeof dword) != FALSE;
}

bool queryOption(HINTERNET handle, uint32_t option, uint32_t& value) {
  DWORD dword = 0;
  DWORD size = sizeof dword;
  if (!InternetQueryOptionA(handle, option, &dword, &size)) return false;
  value = dword;
  return true;
}

// Reply header as a number; false when the header is absent.
bool queryNumber(HINTERNET request, uint32_t level, uint32_t& value) {
  DWORD number = 0;
  DWORD size = sizeof number;
  if (!HttpQueryInfoA(request, level | HTTP_QUERY_FLAG_NUMBER, &number, &size, nullptr)) {
    return false;
  }
  value = number;
  return true;
}

// Reply header as text: first asked without a buffer, which must fail for want of room (it
// fails otherwise when the header is absent), then with a buffer of the size asked for.
bool queryText(HINTERNET request, uint32_t level, std::string& text) {
  DWORD size = 0;
  if (HttpQueryInfoA(request, level, nullptr, &size, nullptr) ||
      GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
    return false;
  }
  // A header can change between the two calls only if the library rewrites it; allow a
  // few rounds of growing rather than failing on a larger answer.
  for (int round = 0; round < 4; ++round) {
    // Under Wine, in the UTF-8 code page, a header with bytes beyond ASCII is sized short
    // and its length comes back as -1: room for three bytes a unit, and the text ends at
    // its zero within the buffer.
    std::vector<char> buffer(size * 3 + 16);
    const DWORD room = static_cast<DWORD>(buffer.size() - 1);
    DWORD length = room;
    if (HttpQueryInfoA(request, level, buffer.data(), &length, nullptr)) {
      text.assign(buffer.data(), strnlen(buffer.data(), std::min(length, room)));
      return true;
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || length <= size) return false;
    size = length;
  }
  return false;
}

// The library's certificate errors, as the faults the port reports. Under Wine a chain from
// an authority that is not trusted reports that its revocation could not be checked (the
// revocation check of the chain fails before its root is looked at), not an unknown
// authority; both mean that nothing vouches for the certificate.
CertificateFault certificateFaultOf(DWORD error) {
  switch (error) {
    case ERROR_INTERNET_SEC_CERT_CN_INVALID:
      return CertificateFault::kNameWrong;
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID:
      return CertificateFault::kExpired;
    case ERROR_INTERNET_INVALID_CA:
    case ERROR_INTERNET_SEC_CERT_REV_FAILED:
      return CertificateFault::kNotTrusted;
    case ERROR_INTERNET_SEC_CERT_ERRORS:
    case ERROR_INTERNET_SEC_CERT_NO_REV:
    case ERROR_INTERNET_SEC_INVALID_CERT:
    case ERROR_INTERNET_SEC_CERT_REVOKED:
      return CertificateFault::kOther;
    default:
      return CertificateFault::kNone;
  }
}

// The library keeps the connections of a root handle in a list that it changes without a
// lock: as a connection is opened, and as it is closed. Under Wine, a crawl's connections
// opened and closed by several threads at once damaged it, and the process crashed in a
// later close. Both are short (neither waits on the network), so they take turns here.
// Left alive at exit: closes abandoned by the handle table may come after.
SlimMutex& connectionListLock() {
  static SlimMutex* lock = new SlimMutex;
  return *lock;
}

bool isConnection(HINTERNET handle) {
  DWORD type = 0;
  DWORD size = sizeof type;
  return InternetQueryOptionA(handle, INTERNET_OPTION_HANDLE_TYPE, &type, &size) &&
         (type == INTERNET_HANDLE_TYPE_CONNECT_HTTP || type == INTERNET_HANDLE_TYPE_CONNECT_FTP);
}

NativeNetCalls wininetCalls() {
  NativeNetCalls calls;
  calls.close = [](uintptr_t native) {
    if (!isConnection(toNative(native))) {
      InternetCloseHandle(toNative(native));
      return;
    }
    std::lock_guard hold(connectionListLock());
    InternetCloseHandle(toNative(native));
  };
  calls.queryAvailable = [](uintptr_t native, uint32_t& available) {
    DWORD n = 0;
    bool ok = InternetQueryDataAvailable(toNative(native), &n, 0, 0) != FALSE;
    available = ok ? n : 0;
    return ok;
  };
  calls.read = [](uintptr_t native, void* buffer, uint32_t size, uint32_t& got) {
    DWORD n = 0;
    bool ok = InternetReadFile(toNative(native), buffer, size, &n) != FALSE;
    got = ok ? n : 0;
    return ok;
  };
  return calls;
}

}  // namespace

WinInetInternet::WinInetInternet() : handles_(wininetCalls()) {
  HINTERNET root = InternetOpenA(nullptr, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  root_ = handles_.add(fromNative(root), 0);
  setDwordOption(0, INTERNET_OPTION_MAX_CONNS_PER_SERVER, 0xFFFFFFFF);
  setDwordOption(0, INTERNET_OPTION_MAX_CONNS_PER_1_0_SERVER, 0xFFFFFFFF);
}

WinInetInternet::~WinInetInternet() = default;

bool WinInetInternet::setDwordOption(NetHandle handle, uint32_t option, uint32_t value) {
  if (handle == 0) return setOption(nullptr, option, value);
  return handles_.use(handle,
                      [&](uintptr_t native) { return setOption(toNative(native), option, value); });
}

bool WinInetInternet::dwordOption(NetHandle handle, uint32_t option, uint32_t& value) {
  if (handle == 0) return queryOption(nullptr, option, value);
  return handles_.use(
      handle, [&](uintptr_t native) { return queryOption(toNative(native), option, value); });
}

NetHandle WinInetInternet::connect(const std::string& host, uint16_t port,
                                   const std::string& userName, const std::string& password) {
  HINTERNET connection = nullptr;
  handles_.use(root_, [&](uintptr_t root) {
    std::lock_guard hold(connectionListLock());
    connection = InternetConnectA(toNative(root), host.c_str(), port, textOrNull(userName),
                                  textOrNull(password), INTERNET_SERVICE_HTTP, 0, 0);
    return connection != nullptr;
  });
  return handles_.add(fromNative(connection), root_);
}

NetHandle WinInetInternet::openRequest(NetHandle connection, const std::string& verb,
                                       const std::string& objectPath, const std::string& referrer,
                                       uint32_t flags) {
  HINTERNET request = nullptr;
  handles_.use(connection, [&](uintptr_t native) {
    request = HttpOpenRequestA(toNative(native), textOrNull(verb), objectPath.c_str(), nullptr,
                               textOrNull(referrer), nullptr, flags, 0);
    return request != nullptr;
  });
  return handles_.add(fromNative(request), connection);
}

bool WinInetInternet::addRequestHeaders(NetHandle request, const std::string& headers) {
  return handles_.use(request, [&](uintptr_t native) {
    return HttpAddRequestHeadersA(toNative(native), headers.c_str(), static_cast<DWORD>(-1), 0) !=
           FALSE;
  });
}

bool WinInetInternet::sendRequest(NetHandle request, CertificateFault& fault) {
  // The call runs on a helper thread that may outlive this one when the handle is closed,
  // so the error it leaves is shared, and atomic.
  auto error = std::make_shared<std::atomic<DWORD>>(0);
  const bool sent = handles_.useBlocking(request, [error](uintptr_t native) {
    if (HttpSendRequestA(toNative(native), nullptr, 0, nullptr, 0)) return true;
    error->store(GetLastError());
    return false;
  });
  fault = sent ? CertificateFault::kNone : certificateFaultOf(error->load());
  return sent;
}

bool WinInetInternet::acceptCertificateFaults(NetHandle request) {
  return handles_.use(request, [](uintptr_t native) {
    DWORD flags = 0;
    DWORD size = sizeof flags;
    if (!InternetQueryOptionA(toNative(native), INTERNET_OPTION_SECURITY_FLAGS, &flags, &size)) {
      flags = 0;
    }
    flags |= SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_CN_INVALID |
             SECURITY_FLAG_IGNORE_CERT_DATE_INVALID | SECURITY_FLAG_IGNORE_REVOCATION |
             SECURITY_FLAG_IGNORE_WRONG_USAGE;
    return InternetSetOptionA(toNative(native), INTERNET_OPTION_SECURITY_FLAGS, &flags,
                              sizeof flags) != FALSE;
  });
}

bool WinInetInternet::queryAddress(NetHandle request, std::string& address) {
  return handles_.use(request, [&](uintptr_t native) {
    DWORD size = 0;
    InternetQueryOptionA(toNative(native), INTERNET_OPTION_URL, nullptr, &size);
    if (size == 0) return false;
    std::vector<char> buffer(size + 1);
    DWORD length = size;
    if (!InternetQueryOptionA(toNative(native), INTERNET_OPTION_URL, buffer.data(), &length)) {
      return false;
    }
    address.assign(buffer.data(), strnlen(buffer.data(), length));
    return true;
  });
}

bool WinInetInternet::queryHeaderNumber(NetHandle request, uint32_t level, uint32_t& value) {
  return handles_.use(
      request, [&](uintptr_t native) { return queryNumber(toNative(native), level, value); });
}

bool WinInetInternet::queryHeaderText(NetHandle request, uint32_t level, std::string& text) {
  return handles_.use(request,
                      [&](uintptr_t native) { return queryText(toNative(native), level, text); });
}

NetHandle WinInetInternet::prepareAddress(const std::string& fullAddress, uint32_t flags) {
  return handles_.addPending(root_, [fullAddress, flags](uintptr_t root) {
    return fromNative(InternetOpenUrlA(toNative(root), fullAddress.c_str(), nullptr, 0, flags, 0));
  });
}

bool WinInetInternet::openAddress(NetHandle address) {
  return handles_.open(address);
}

bool WinInetInternet::queryDataAvailable(NetHandle handle, uint32_t& available) {
  return handles_.queryDataAvailable(handle, available);
}

bool WinInetInternet::read(NetHandle handle, void* buffer, uint32_t size, uint32_t& got) {
  return handles_.read(handle, buffer, size, got);
}

void WinInetInternet::close(NetHandle handle) {
  handles_.close(handle);
}

namespace {

// How long a look-up of a folder's cookies holds: cookies set meanwhile by another program
// (or expiring) are seen this late at most.
constexpr uint32_t kCookieFolderLifeMs = 10000;
// Folders remembered at most; beyond, the look-ups start afresh.
constexpr size_t kMostCookieFolders = 4096;

}  // namespace

bool WinInetInternet::folderWithoutCookies(const std::string& folderAddress) {
  {
    std::lock_guard hold(cookieMutex_);
    auto found = cookieFolders_.find(folderAddress);
    if (found != cookieFolders_.end() &&
        GetTickCount() - found->second.askedAt < kCookieFolderLifeMs) {
      return found->second.without;
    }
  }
  // Outside the lock: the look-up goes through the store, which takes its own locks.
  const uint32_t askedAt = GetTickCount();
  DWORD size = 0;
  const bool without = !InternetGetCookieExA(folderAddress.c_str(), nullptr, nullptr, &size,
                                             INTERNET_COOKIE_HTTPONLY, nullptr) &&
                       GetLastError() == ERROR_NO_MORE_ITEMS;
  std::lock_guard hold(cookieMutex_);
  if (cookieFolders_.size() >= kMostCookieFolders) cookieFolders_.clear();
  cookieFolders_[folderAddress] = {without, askedAt};
  return without;
}

void WinInetInternet::keepReplyCookies(const std::string& address,
                                       const std::vector<std::string>& cookies) {
  // As the library keeps a reply's cookies: HttpOnly ones too, for the address asked for.
  for (const std::string& cookie : cookies)
    InternetSetCookieExA(address.c_str(), nullptr, cookie.c_str(), INTERNET_COOKIE_HTTPONLY, 0);
  if (!cookies.empty()) forgetCookieFolders();
}

void WinInetInternet::forgetCookieFolders() {
  std::lock_guard hold(cookieMutex_);
  cookieFolders_.clear();
}
