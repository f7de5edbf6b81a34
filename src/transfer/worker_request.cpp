#include "transfer/worker_request.h"

#include "transfer/resume_text.h"
#include "platform/internet.h"
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

std::string rangeHeader(int64_t start) {
  return "Range: bytes=" + formatNumber(start) + "-\r\n";
}

bool contentRangeStartsAt(std::string_view rawHeaders, int64_t start) {
  std::string squeezed;
  squeezed.reserve(rawHeaders.size());
  for (char c : rawHeaders) {
    if (c != ' ') squeezed += lowerAscii(c);
  }
  return squeezed.find("content-range:bytes" + formatNumber(start) + "-") != std::string::npos;
}

bool contentRangeTotal(std::string_view rawHeaders, int64_t& total) {
  std::string squeezed;
  squeezed.reserve(rawHeaders.size());
  for (char c : rawHeaders) {
    if (c != ' ' && c != '\t') squeezed += lowerAscii(c);
  }
  const size_t header = squeezed.find("\ncontent-range:");
  const size_t at = header != std::string::npos              ? header + 1
                    : squeezed.starts_with("content-range:") ? 0
                                                             : std::string::npos;
  if (at == std::string::npos) return false;
  const size_t end = squeezed.find_first_of("\r\n", at);
  const std::string value = squeezed.substr(at, end == std::string::npos ? end : end - at);
  const size_t slash = value.rfind('/');
  if (slash == std::string::npos) return false;
  int64_t number = 0;
  const std::string_view digits = std::string_view(value).substr(slash + 1);
  if (digits.empty() || digits.front() == '-' || !parseDecimal(digits, number)) return false;
  total = number;
  return true;
}

bool parseContentLength(std::string_view text, int64_t& length) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  if (text.empty() || text.front() == '-') return false;
  return parseDecimal(text, length);
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
