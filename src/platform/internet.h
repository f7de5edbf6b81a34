#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The calls a transfer worker makes on the platform's Internet client library. Handles
// are opaque values, as the library's own are, so that one thread may close a handle while
// another is blocked in a call on it: that call then fails. 0 is no handle.
using NetHandle = uintptr_t;

// The header queries a worker makes (HttpQueryInfo levels).
namespace http_query {
inline constexpr uint32_t kContentType = 1;
inline constexpr uint32_t kContentLength = 5;
inline constexpr uint32_t kStatusCode = 19;
inline constexpr uint32_t kStatusText = 20;
inline constexpr uint32_t kRawHeadersCrlf = 22;
inline constexpr uint32_t kLocation = 33;
}  // namespace http_query

// Request flags (INTERNET_FLAG_...).
namespace request_flags {
inline constexpr uint32_t kDefault = 0x0040C200;  // keep connection, follow redirects between
                                                  // http and https, no UI; the server's
                                                  // certificate is checked (name, dates, chain)
inline constexpr uint32_t kSecure = 0x00800000;
inline constexpr uint32_t kNoCacheWrite = 0x04000000;
inline constexpr uint32_t kReloadNoCacheWrite = 0x84000000;
inline constexpr uint32_t kExistingConnect = 0x20000000;
// Neither the library's cookies nor its following of redirects: a redirect comes back as
// the reply.
inline constexpr uint32_t kNoCookiesNoRedirect = 0x00080000 | 0x00200000;
}  // namespace request_flags

// Why the server's certificate was refused, when that is why a request could not be sent.
enum class CertificateFault : uint8_t {
  kNone,        // the request failed for another reason, or did not fail
  kNameWrong,   // issued for another name
  kExpired,     // outside its dates
  kNotTrusted,  // from an authority the system does not trust (self-signed, say), or its
                // revocation could not be checked
  kOther        // any other fault of the certificate
};

class Internet {
 public:
  virtual ~Internet() = default;

  // Blocking: a connection to an HTTP server (InternetConnect on the root handle).
  virtual NetHandle connect(const std::string& host, uint16_t port, const std::string& userName,
                            const std::string& password) = 0;
  // A request on a connection (HttpOpenRequest): verb "HEAD" or "GET"; no referrer when
  // `referrer` is empty.
  virtual NetHandle openRequest(NetHandle connection, const std::string& verb,
                                const std::string& objectPath, const std::string& referrer,
                                uint32_t flags) = 0;
  // Adds header lines, each ended by CR LF (HttpAddRequestHeaders).
  virtual bool addRequestHeaders(NetHandle request, const std::string& headers) = 0;
  // Blocking: sends the request and reads the reply's headers (HttpSendRequest). When it
  // fails because of the server's certificate, `fault` says how; otherwise it is kNone.
  virtual bool sendRequest(NetHandle request, CertificateFault& fault) = 0;
  // From now on the request accepts the faults of the server's certificate (an unknown
  // authority, another name, dates, revocation): for sending it again to a site whose
  // certificate the user accepts.
  virtual bool acceptCertificateFaults(NetHandle request) = 0;
  // The address the request went to last: its own, or where the redirects the library
  // followed ended (INTERNET_OPTION_URL).
  virtual bool queryAddress(NetHandle request, std::string& address) = 0;
  // A reply header as a number (HTTP_QUERY_FLAG_NUMBER); false when absent.
  virtual bool queryHeaderNumber(NetHandle request, uint32_t level, uint32_t& value) = 0;
  // A reply header as text; false when absent.
  virtual bool queryHeaderText(NetHandle request, uint32_t level, std::string& text) = 0;
  // An address of any scheme the library knows, ready to be opened by openAddress; touches
  // no network. Split in two so that the worker holds a handle, which close() releases,
  // while the open waits on the server.
  virtual NetHandle prepareAddress(const std::string& fullAddress, uint32_t flags) = 0;
  // Blocking: opens the prepared address (InternetOpenUrl); false when it cannot be opened.
  virtual bool openAddress(NetHandle address) = 0;
  // Blocking: how many bytes can be read now; 0 at the end of the reply.
  virtual bool queryDataAvailable(NetHandle handle, uint32_t& available) = 0;
  // Blocking: reads up to `size` bytes; `got` is 0 only at the end of the reply.
  virtual bool read(NetHandle handle, void* buffer, uint32_t size, uint32_t& got) = 0;
  // Closes a handle from any thread; a call blocked on it fails.
  virtual void close(NetHandle handle) = 0;

  // Cookies. The library looks its cookie store up for every request it sends with cookies;
  // under Wine that takes milliseconds, one request at a time. A request sent with
  // kNoCookiesNoRedirect skips it, and these let it do so where no cookie is lost:
  // Whether the store holds no cookie for requests to this folder (an address up to and
  // with the last "/" of its path), as found at most a few seconds ago.
  virtual bool folderWithoutCookies(const std::string& folderAddress) = 0;
  // Gives the store the cookies a reply to such a request set (the values of its
  // Set-Cookie headers), for the address it answered.
  virtual void keepReplyCookies(const std::string& address,
                                const std::vector<std::string>& cookies) = 0;
  // The store may have changed (a reply the library handled set cookies, or came through
  // redirects that may have): what folderWithoutCookies found so far no longer holds.
  virtual void forgetCookieFolders() = 0;
};
