#include "transfer/worker_request.h"

#include <utility>
#include <vector>

#include "platform/internet.h"
#include "transfer/resume_text.h"
#include "url/address.h"
#include "url/byte_text.h"

namespace {

std::string withoutLastCharacter(const std::string& text) {
  return text.empty() ? text : text.substr(0, text.size() - 1);
}

// The address canonicaliser takes whole addresses only: the path is canonicalised as part
// of one and taken back out, so unsafe characters in it are escaped before it is sent.
std::string canonicalObjectPath(const std::string& objectPath) {
  const std::string prefix = "http://h";
  const std::string whole = canonicalizeAddress(prefix + objectPath);
  if (whole.size() <= prefix.size() || whole.compare(0, prefix.size(), prefix) != 0) {
    return objectPath;
  }
  return whole.substr(prefix.size());
}

char lowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string_view trimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

}  // namespace

void fillWorkerAddress(TransferWorker& worker, const UrlParts& address) {
  if (address.scheme.starts_with("http")) {
    worker.secure = address.scheme == "https://";
    if (!address.user.empty()) {
      // user holds its ":" or "@", password its "@".
      worker.userName = withoutLastCharacter(address.user);
      worker.password = withoutLastCharacter(address.password);
    } else {
      worker.userName = address.siteUser;
      worker.password = address.sitePassword;
    }
    worker.host = address.host;
    worker.port = portFor(address.port, worker.secure);
    worker.objectPath =
        canonicalObjectPath(address.folder + address.baseName + address.extension + address.extra);
    worker.referrer = canonicalizeAddress(address.referrer);
  } else {
    worker.fullAddress = canonicalizeAddress(address.fullAddress);
  }
}

uint32_t requestFlagsFor(bool secure, int64_t start) {
  // The file goes into a piece file already: a second copy in the Internet cache would
  // double the disk space and the writing of every download.
  uint32_t flags = request_flags::kDefault | request_flags::kNoCacheWrite;
  if (secure) flags |= request_flags::kSecure;
  if (start != 0) flags |= request_flags::kReloadNoCacheWrite;
  return flags;
}

std::string rangeHeaders(int64_t start, const std::string& ifRange) {
  std::string headers = "Range: bytes=" + formatNumber(start) + "-\r\n";
  if (!ifRange.empty()) headers += "If-Range: " + ifRange + "\r\n";
  return headers;
}

std::vector<std::string> replyHeaders(std::string_view rawHeaders, std::string_view name,
                                      size_t most) {
  std::vector<std::string> values;
  while (!rawHeaders.empty() && values.size() < most) {
    const size_t end = rawHeaders.find_first_of("\r\n");
    const std::string_view line = rawHeaders.substr(0, end);
    rawHeaders = end == std::string_view::npos ? std::string_view() : rawHeaders.substr(end + 1);
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string_view key = trimBlanks(line.substr(0, colon));
    if (key.size() != name.size()) continue;
    bool same = true;
    for (size_t i = 0; i < key.size() && same; ++i)
      same = lowerAscii(key[i]) == lowerAscii(name[i]);
    if (same) values.emplace_back(trimBlanks(line.substr(colon + 1)));
  }
  return values;
}

bool replyHeader(std::string_view rawHeaders, std::string_view name, std::string& value) {
  std::vector<std::string> values = replyHeaders(rawHeaders, name, 1);
  if (values.empty()) return false;
  value = std::move(values.front());
  return true;
}

std::string replyValidator(std::string_view rawHeaders) {
  std::string value;
  // A weak ETag may not be sent in If-Range: the server would never match it.
  if (!replyHeader(rawHeaders, "ETag", value) || value.empty() || value.starts_with("W/")) {
    if (!replyHeader(rawHeaders, "Last-Modified", value)) value.clear();
  }
  for (char c : value) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return {};
  }
  return value;
}

bool parseContentRange(std::string_view rawHeaders, ContentRange& range) {
  std::string value;
  if (!replyHeader(rawHeaders, "Content-Range", value)) return false;
  std::string squeezed;
  for (char c : value) {
    if (c != ' ' && c != '\t') squeezed += lowerAscii(c);
  }
  std::string_view text = squeezed;
  if (!text.starts_with("bytes")) return false;
  text.remove_prefix(5);
  const size_t dash = text.find('-');
  const size_t slash = text.find('/');
  if (dash == std::string_view::npos || slash == std::string_view::npos || slash < dash) {
    return false;
  }
  auto number = [](std::string_view digits, int64_t& out) {
    return !digits.empty() && digits.front() != '-' && parseDecimal(digits, out);
  };
  ContentRange parsed;
  if (!number(text.substr(0, dash), parsed.first) ||
      !number(text.substr(dash + 1, slash - dash - 1), parsed.last)) {
    return false;
  }
  const std::string_view total = text.substr(slash + 1);
  if (total != "*" && !number(total, parsed.total)) return false;
  range = parsed;
  return true;
}

ReplyFit checkReply(int64_t start, const std::string& ifRange, int64_t statusCode,
                    std::string_view rawHeaders, int64_t knownSize, bool othersActive) {
  if (start == 0) return statusCode == 200 ? ReplyFit::kFits : ReplyFit::kRefused;
  if (statusCode == 200) {
    // With If-Range the server sends the whole file when it is another one now; a whole
    // file of the version asked for, or one without If-Range, comes from a server that
    // ignores ranges: it cannot be continued but can be read whole.
    if (!ifRange.empty() && replyValidator(rawHeaders) != ifRange) return ReplyFit::kWholeAgain;
    return othersActive ? ReplyFit::kRangesRefused : ReplyFit::kWholeAgain;
  }
  if (statusCode != 206) return ReplyFit::kRefused;
  ContentRange range;
  if (!parseContentRange(rawHeaders, range) || range.first != start || range.last < start) {
    return ReplyFit::kRefused;
  }
  // A range of a file of another size, or of another version than the one asked for (from
  // a server that ignores If-Range), belongs to another file: joined with the pieces, it
  // would make a file of neither.
  if (knownSize != -1 && range.total != -1 && range.total != knownSize) {
    return ReplyFit::kWholeAgain;
  }
  const std::string version = replyValidator(rawHeaders);
  if (!ifRange.empty() && !version.empty() && version != ifRange) return ReplyFit::kWholeAgain;
  return ReplyFit::kFits;
}

bool parseContentLength(std::string_view text, int64_t& length) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  if (text.empty() || text.front() == '-') return false;
  return parseDecimal(text, length);
}

namespace {

std::string lowerAsciiText(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = lowerAscii(c);
  return lower;
}

}  // namespace

bool redirectedElsewhere(const TransferWorker& worker, std::string_view reached) {
  const CrackedAddress cracked = crackAddress(reached);
  const std::string scheme = lowerAsciiText(cracked.scheme);
  if (scheme != "http" && scheme != "https") return false;
  if (cracked.host.empty()) return false;
  const bool secure = scheme == "https";
  const std::string path = (cracked.path.empty() ? "/" : cracked.path) + cracked.extra;
  return secure != worker.secure || lowerAsciiText(cracked.host) != lowerAsciiText(worker.host) ||
         portFor(cracked.portText, secure) != worker.port || path != worker.objectPath;
}

bool leftTheHost(const TransferWorker& worker, std::string_view reached) {
  const CrackedAddress cracked = crackAddress(reached);
  return lowerAsciiText(cracked.scheme) == "https" &&
         lowerAsciiText(cracked.host) != lowerAsciiText(worker.host);
}

namespace {

// "https://host:81", the port only when it is not the scheme's.
std::string siteOf(const TransferWorker& worker) {
  std::string site = worker.secure ? "https://" : "http://";
  site += worker.host;
  if (worker.port != (worker.secure ? 443 : 80)) site += ":" + formatNumber(worker.port);
  return site;
}

}  // namespace

std::string requestAddress(const TransferWorker& worker) {
  return siteOf(worker) + worker.objectPath;
}

std::string folderAddress(const TransferWorker& worker) {
  const std::string& path = worker.objectPath;
  const size_t slash = path.rfind('/', path.find('?'));
  return siteOf(worker) + (slash == std::string::npos ? "/" : path.substr(0, slash + 1));
}

bool isRedirect(int64_t statusCode) {
  return statusCode == 301 || statusCode == 302 || statusCode == 303 || statusCode == 307 ||
         statusCode == 308;
}

std::vector<std::string> replyCookies(std::string_view rawHeaders) {
  return replyHeaders(rawHeaders, "Set-Cookie");
}

void clearReply(TransferWorker& worker) {
  worker.contentLength = -1;
  worker.statusCode = -1;
  worker.statusText.clear();
  worker.contentType.clear();
  worker.location.clear();
  worker.rawHeaders.clear();
  worker.finalAddress.clear();
  worker.serverName.clear();
  worker.validator.clear();
}

std::string certificateFaultText(CertificateFault fault) {
  switch (fault) {
    case CertificateFault::kNameWrong:
      return "Certificate Name Wrong";
    case CertificateFault::kExpired:
      return "Certificate Expired";
    case CertificateFault::kNotTrusted:
      return "Certificate Not Trusted";
    default:
      return "Certificate Error";
  }
}

bool isCertificateFaultText(std::string_view text) {
  for (CertificateFault fault : {CertificateFault::kNameWrong, CertificateFault::kExpired,
                                 CertificateFault::kNotTrusted, CertificateFault::kOther}) {
    if (text == certificateFaultText(fault)) return true;
  }
  return false;
}

uint16_t portFor(std::string_view portText, bool secure) {
  const uint16_t fallback = secure ? 443 : 80;
  if (portText.starts_with(':')) portText.remove_prefix(1);
  if (portText.empty()) return fallback;
  int64_t number = 0;
  if (portText.front() == '-' || !parseDecimal(portText, number)) return 0;
  if (number == 0) return fallback;  // the library's own reading of port 0
  return number <= 65535 ? static_cast<uint16_t>(number) : 0;
}
