#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "transfer/transfer_job.h"
#include "url/url_parts.h"

// What a worker sends and how it reads the reply: pure rules, kept apart from the thread.

// Fills the connection fields of a worker from the job's address: for "http://" and
// "https://" the credentials (those written in the address before the site's), host, port,
// object path and referrer; for any other scheme the full address.
void fillWorkerAddress(TransferWorker& worker, const UrlParts& address);

// The request flags: the defaults, never written to the system's Internet cache, plus
// secure for https, plus reload for a request that continues a file.
uint32_t requestFlagsFor(bool secure, int64_t start);

// "Range: bytes=1000-\r\n" for a request that continues at 1000, with
// "If-Range: VALIDATOR\r\n" after it when the version of the file is known.
std::string rangeHeaders(int64_t start, const std::string& ifRange);

// The value of the first reply header of that name (case ignored), blanks trimmed; false
// when there is none.
bool replyHeader(std::string_view rawHeaders, std::string_view name, std::string& value);
// The values of every reply header of that name, in order, at most `most` of them.
std::vector<std::string> replyHeaders(std::string_view rawHeaders, std::string_view name,
                                      size_t most = SIZE_MAX);

// The version of the file a reply names: its ETag when that is a strong one, else its
// Last-Modified; empty when it names neither, or when the value holds a control byte
// (the resume text and the queue database could not keep it).
std::string replyValidator(std::string_view rawHeaders);

// A Content-Range header "bytes FIRST-LAST/TOTAL" (blanks and case as they come); total
// is -1 for "*".
struct ContentRange {
  int64_t first = -1;
  int64_t last = -1;
  int64_t total = -1;
};
bool parseContentRange(std::string_view rawHeaders, ContentRange& range);

// What a reply with a piece to write means.
enum class ReplyFit {
  kFits,           // write it
  kRefused,        // not what was asked for: the range is tried again later
  kWholeAgain,     // the file is not the one the pieces came from (or the server sends
                   // whole files only and nothing else runs): fetch it whole, from nothing
  kRangesRefused,  // a whole file in answer to a second connection's range: drop that one
};
// The request asked from `start` (with If-Range `ifRange` when not empty); the file's size
// is `knownSize` (-1 unknown); `othersActive` tells whether other connections of the job
// run. From 0 only a 200 fits; from further on a 206 whose Content-Range begins there, of a
// file of the known size and of the version asked for.
ReplyFit checkReply(int64_t start, const std::string& ifRange, int64_t statusCode,
                    std::string_view rawHeaders, int64_t knownSize, bool othersActive);

// A Content-Length value (digits, blanks around them allowed) as a 64-bit number; false
// for anything else, so a damaged header leaves the size unknown.
bool parseContentLength(std::string_view text, int64_t& length);

// Whether the address a request ended at (what the library reports after following
// redirects) is another one than the worker asked for: another scheme, host, port or path.
// False for an address that cannot be read.
bool redirectedElsewhere(const TransferWorker& worker, std::string_view reached);
// Whether the request ended on a secure site on another host than the worker's.
bool leftTheHost(const TransferWorker& worker, std::string_view reached);

// The address a worker's request goes to ("https://host:81/path?query", the port only
// when it is not the scheme's), and its folder: that address up to and with the last "/"
// of its path.
std::string requestAddress(const TransferWorker& worker);
std::string folderAddress(const TransferWorker& worker);

// A redirect the library follows on its own: 301, 302, 303, 307 or 308.
bool isRedirect(int64_t statusCode);
// The cookies a reply sets: the values of its Set-Cookie headers.
std::vector<std::string> replyCookies(std::string_view rawHeaders);
// Forgets the reply's fields, for a request sent again.
void clearReply(TransferWorker& worker);

// The Status text of a refused certificate: "Certificate Name Wrong", "Certificate
// Expired", "Certificate Not Trusted" or "Certificate Error".
std::string certificateFaultText(CertificateFault fault);
// True for every text certificateFaultText gives.
bool isCertificateFaultText(std::string_view text);

// The port written in the address (":81"), or the scheme's default for ":" and no port;
// 0 when the text is no port number at all.
uint16_t portFor(std::string_view portText, bool secure);
