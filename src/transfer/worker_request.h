#pragma once
#include <cstdint>
#include <string>
#include <string_view>

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

// "Range: bytes=1000-\r\n" for a request that continues at 1000.
std::string rangeHeader(int64_t start);

// The raw reply headers, with every space removed, hold "content-range:bytes" + start + "-"
// in any case.
bool contentRangeStartsAt(std::string_view rawHeaders, int64_t start);
// The whole size a Content-Range header gives after its "/" ("bytes 1000-1999/2000": 2000);
// false when there is no such header or its size is "*" or no number.
bool contentRangeTotal(std::string_view rawHeaders, int64_t& total);

// A Content-Length value (digits, blanks around them allowed) as a 64-bit number; false
// for anything else, so a damaged header leaves the size unknown.
bool parseContentLength(std::string_view text, int64_t& length);

// The port written in the address (":81"), or the scheme's default for ":" and no port;
// 0 when the text is no port number at all.
uint16_t portFor(std::string_view portText, bool secure);
