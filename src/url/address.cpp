#include "url/address.h"

#include <optional>

// Cracking, combining and canonicalising addresses, by the generic syntax of RFC 3986.
// Every function here runs in time linear in its input (resolving dot segments included)
// and reads only inside the texts it is given, whatever their bytes.

namespace {

constexpr auto npos = std::string_view::npos;

// Texts end at their first zero byte, as they do for the system's ANSI functions.
std::string_view untilZero(std::string_view s) {
  return s.substr(0, s.find('\0'));
}

bool isAlpha(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

int hexValue(char c) {
  if (isDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A reference split by RFC 3986 (appendix B), with the scheme checked against its grammar
// (ALPHA *( ALPHA / DIGIT / "+" / "-" / "." )) so that "c:\x" or "a b:c" are told apart
// from relative paths that merely hold a colon.
struct Reference {
  std::optional<std::string_view> scheme;
  std::optional<std::string_view> authority;
  std::string_view path;
  std::optional<std::string_view> query;
  std::optional<std::string_view> fragment;
  size_t extraStart = 0;  // where the query or fragment begins in the text
};

Reference splitReference(std::string_view s) {
  Reference r;
  size_t at = 0;
  size_t colon = s.find_first_of(":/?#");
  if (colon != npos && colon > 0 && s[colon] == ':' && isAlpha(s[0])) {
    bool valid = true;
    for (size_t i = 1; i < colon && valid; ++i)
      valid = isAlpha(s[i]) || isDigit(s[i]) || s[i] == '+' || s[i] == '-' || s[i] == '.';
    if (valid) {
      r.scheme = s.substr(0, colon);
      at = colon + 1;
    }
  }
  if (s.substr(at, 2) == "//") {
    size_t end = s.find_first_of("/?#", at + 2);
    if (end == npos) end = s.size();
    r.authority = s.substr(at + 2, end - at - 2);
    at = end;
  }
  size_t pathEnd = s.find_first_of("?#", at);
  if (pathEnd == npos) pathEnd = s.size();
  r.path = s.substr(at, pathEnd - at);
  r.extraStart = pathEnd;
  at = pathEnd;
  if (at < s.size() && s[at] == '?') {
    size_t end = s.find('#', at);
    if (end == npos) end = s.size();
    r.query = s.substr(at + 1, end - at - 1);
    at = end;
  }
  if (at < s.size()) r.fragment = s.substr(at + 1);
  return r;
}

// RFC 3986 section 5.2.4. Removing the last output segment scans only that segment, which
// then goes, so the whole pass is linear.
std::string removeDotSegments(std::string_view in) {
  std::string out;
  out.reserve(in.size());
  auto dropLastSegment = [&out] {
    size_t slash = out.rfind('/');
    out.resize(slash == std::string::npos ? 0 : slash);
  };
  while (!in.empty()) {
    if (in.starts_with("../")) {
      in.remove_prefix(3);
    } else if (in.starts_with("./")) {
      in.remove_prefix(2);
    } else if (in.starts_with("/./")) {
      in.remove_prefix(2);
    } else if (in == "/.") {
      in = "/";
    } else if (in.starts_with("/../")) {
      in.remove_prefix(3);
      dropLastSegment();
    } else if (in == "/..") {
      in = "/";
      dropLastSegment();
    } else if (in == "." || in == "..") {
      in = {};
    } else {
      size_t end = in.find('/', 1);
      if (end == npos) end = in.size();
      out.append(in.substr(0, end));
      in.remove_prefix(end);
    }
  }
  return out;
}

// RFC 3986 section 5.2.3.
std::string mergePaths(const Reference& base, std::string_view relativePath) {
  if (base.authority && base.path.empty()) return "/" + std::string(relativePath);
  size_t slash = base.path.rfind('/');
  if (slash == npos) return std::string(relativePath);
  return std::string(base.path.substr(0, slash + 1)) + std::string(relativePath);
}

// Whether the escape of this byte stays when the texts are decoded for combining. A decoded
// zero byte would end the address, and a decoded CR or LF would split it in two wherever
// addresses travel one to a line. A decoded "#" or "?" would cut the path short ("C%23.pdf"
// would become the page "C" with a fragment), and a decoded "%" would turn "%2541" into
// the escape of another character; each would make the address name another resource.
bool keepsEscape(int value) {
  return value < 0x20 || value == 0x7F || value == '%' || value == '#' || value == '?';
}

// Every other %XX escape decoded, once, before the texts are combined.
std::string decodeForCombining(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size()) {
      int high = hexValue(s[i + 1]), low = hexValue(s[i + 2]);
      int value = high * 16 + low;
      if (high >= 0 && low >= 0 && !keepsEscape(value)) {
        out.push_back(static_cast<char>(value));
        i += 2;
        continue;
      }
    }
    out.push_back(s[i]);
  }
  return out;
}

// Bytes that may not stand as they are in a request line, wherever they are.
bool alwaysUnsafe(unsigned char c) {
  switch (c) {
    case '"':
    case '<':
    case '>':
    case '\\':
    case '^':
    case '`':
    case '{':
    case '|':
    case '}':
      return true;
    default:
      return c <= 0x20 || c >= 0x7F;
  }
}

enum class Component { kAuthority, kPath, kQuery, kFragment };

void appendEscaped(std::string& out, std::string_view s, Component component) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (size_t i = 0; i < s.size(); ++i) {
    auto c = static_cast<unsigned char>(s[i]);
    bool unsafe = alwaysUnsafe(c);
    if (c == '%') {
      // An existing escape stays; a lone "%" is escaped itself.
      unsafe = !(i + 2 < s.size() && hexValue(s[i + 1]) >= 0 && hexValue(s[i + 2]) >= 0);
    } else if (c == '[' || c == ']') {
      unsafe = component != Component::kAuthority;  // brackets belong to IPv6 hosts only
    } else if (c == '#') {
      unsafe = true;  // only a fragment can hold one here, after its own "#"
    }
    if (unsafe) {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 0xF]);
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
}

// A port text: empty, or ":" and digits naming a port up to 65535.
bool isPortText(std::string_view text) {
  if (text.empty()) return true;
  if (text[0] != ':') return false;
  uint32_t value = 0;
  for (char c : text.substr(1)) {
    if (!isDigit(c)) return false;
    value = value * 10 + static_cast<uint32_t>(c - '0');
    if (value > 65535) return false;
  }
  return true;
}

}  // namespace

CrackedAddress crackAddress(std::string_view address) {
  std::string_view text = untilZero(address);
  Reference r = splitReference(text);
  if (!r.scheme) return {};
  CrackedAddress cracked;
  if (r.authority) {
    std::string_view authority = *r.authority;
    // The user information ends at the last "@": the host cannot hold one.
    size_t at = authority.rfind('@');
    std::string_view hostPort = authority;
    if (at != npos) {
      std::string_view userInfo = authority.substr(0, at);
      hostPort = authority.substr(at + 1);
      size_t colon = userInfo.find(':');
      cracked.user = userInfo.substr(0, colon);
      if (colon != npos) cracked.password = userInfo.substr(colon + 1);
    }
    size_t hostEnd;
    if (hostPort.starts_with('[')) {
      size_t close = hostPort.find(']');
      if (close == npos) return {};
      hostEnd = close + 1;
    } else {
      hostEnd = hostPort.find(':');
      if (hostEnd == npos) hostEnd = hostPort.size();
    }
    std::string_view portText = hostPort.substr(hostEnd);
    if (!isPortText(portText)) return {};
    cracked.host = hostPort.substr(0, hostEnd);
    cracked.portText = portText;
  }
  cracked.scheme = *r.scheme;
  cracked.path = r.path;
  cracked.extra = text.substr(r.extraStart);
  return cracked;
}

std::string combineAddress(std::string_view base, std::string_view relative) {
  std::string decodedBase = decodeForCombining(untilZero(base));
  std::string decodedRelative = decodeForCombining(untilZero(relative));
  Reference b = splitReference(decodedBase);
  Reference r = splitReference(decodedRelative);

  // RFC 3986 section 5.2.2, strict: a reference with a scheme stands on its own.
  std::optional<std::string_view> scheme, authority, query;
  std::string path;
  if (r.scheme) {
    scheme = r.scheme;
    authority = r.authority;
    path = removeDotSegments(r.path);
    query = r.query;
  } else {
    if (!b.scheme) return {};
    scheme = b.scheme;
    if (r.authority) {
      authority = r.authority;
      path = removeDotSegments(r.path);
      query = r.query;
    } else {
      authority = b.authority;
      if (r.path.empty()) {
        path = b.path;
        query = r.query ? r.query : b.query;
      } else {
        path = removeDotSegments(r.path.starts_with('/') ? std::string(r.path)
                                                         : mergePaths(b, r.path));
        query = r.query;
      }
    }
  }

  // Section 5.3.
  std::string result;
  result.reserve(decodedBase.size() + decodedRelative.size() + 4);
  result.append(*scheme).append(":");
  if (authority) result.append("//").append(*authority);
  result.append(path);
  if (query) result.append("?").append(*query);
  if (r.fragment) result.append("#").append(*r.fragment);
  return result;
}

std::string canonicalizeAddress(std::string_view address) {
  std::string_view text = untilZero(address);
  if (text.empty()) return {};
  Reference r = splitReference(text);
  if (!r.scheme) return {};
  std::string result;
  result.reserve(text.size() + text.size() / 2);
  result.append(*r.scheme).append(":");
  if (r.authority) {
    result.append("//");
    appendEscaped(result, *r.authority, Component::kAuthority);
  }
  appendEscaped(result, r.path.starts_with('/') ? removeDotSegments(r.path) : std::string(r.path),
                Component::kPath);
  if (r.query) {
    result.append("?");
    appendEscaped(result, *r.query, Component::kQuery);
  }
  if (r.fragment) {
    result.append("#");
    appendEscaped(result, *r.fragment, Component::kFragment);
  }
  return result;
}
