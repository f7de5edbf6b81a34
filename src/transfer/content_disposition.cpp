#include "transfer/content_disposition.h"

#include <optional>

namespace {

char lowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
  }
  return true;
}

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view trimBlanks(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The length of the valid UTF-8 character at the start of `text`, 0 when none begins there.
size_t characterLength(std::string_view text) {
  const auto lead = static_cast<unsigned char>(text[0]);
  size_t length = lead < 0x80                    ? 1
                  : lead >= 0xC2 && lead <= 0xDF ? 2
                  : lead >= 0xE0 && lead <= 0xEF ? 3
                  : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                 : 0;
  if (length == 0 || length > text.size()) return 0;
  for (size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[i]);
    if ((next & 0xC0) != 0x80) return 0;
    if (i == 1 && ((lead == 0xE0 && next < 0xA0) || (lead == 0xED && next > 0x9F) ||
                   (lead == 0xF0 && next < 0x90) || (lead == 0xF4 && next > 0x8F))) {
      return 0;
    }
  }
  return length;
}

bool isValidUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const size_t length = characterLength(text.substr(i));
    if (length == 0) return false;
    i += length;
  }
  return true;
}

std::string latin1ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      out.push_back(c);
    } else {
      out.push_back(static_cast<char>(0xC0 | (byte >> 6)));
      out.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
    }
  }
  return out;
}

// RFC 8187's ext-value: charset "'" [language] "'" percent-encoded bytes. Nothing for a
// charset other than UTF-8 and ISO-8859-1, a broken escape, or bytes that are not UTF-8.
std::optional<std::string> extendedValue(std::string_view value) {
  const size_t first = value.find('\'');
  if (first == std::string_view::npos) return std::nullopt;
  const size_t second = value.find('\'', first + 1);
  if (second == std::string_view::npos) return std::nullopt;
  const std::string_view charset = trimBlanks(value.substr(0, first));
  const bool utf8 = equalsIgnoringCase(charset, "utf-8");
  if (!utf8 && !equalsIgnoringCase(charset, "iso-8859-1")) return std::nullopt;
  std::string bytes;
  const std::string_view encoded = value.substr(second + 1);
  for (size_t i = 0; i < encoded.size(); ++i) {
    if (encoded[i] != '%') {
      bytes.push_back(encoded[i]);
      continue;
    }
    if (i + 2 >= encoded.size()) return std::nullopt;
    const int high = hexValue(encoded[i + 1]), low = hexValue(encoded[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes.push_back(static_cast<char>(high * 16 + low));
    i += 2;
  }
  if (!utf8) return latin1ToUtf8(bytes);
  if (!isValidUtf8(bytes)) return std::nullopt;
  return bytes;
}

// One parameter's value from `at` on: a quoted string (backslash escapes the next byte; an
// unclosed quote runs to the end) or a token up to the next ";". `at` ends after it.
std::string parameterValue(std::string_view text, size_t& at) {
  while (at < text.size() && isBlank(text[at])) ++at;
  std::string value;
  if (at < text.size() && text[at] == '"') {
    for (++at; at < text.size() && text[at] != '"'; ++at) {
      if (text[at] == '\\' && at + 1 < text.size()) ++at;
      value.push_back(text[at]);
    }
    if (at < text.size()) ++at;  // the closing quote
    while (at < text.size() && text[at] != ';') ++at;
    return value;
  }
  const size_t end = text.find(';', at);
  value = trimBlanks(text.substr(at, end == std::string_view::npos ? end : end - at));
  at = end == std::string_view::npos ? text.size() : end;
  return value;
}

// What is left to save under: the last part of a path, without control bytes, trimmed of
// spaces, and short enough for a file name.
std::string cleanedName(std::string_view name) {
  const size_t slash = name.find_last_of("/\\");
  if (slash != std::string_view::npos) name.remove_prefix(slash + 1);
  std::string clean;
  for (char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) clean.push_back(c);
  }
  clean = std::string(trimBlanks(clean));
  if (clean.size() > kLongestServerName) {
    size_t cut = kLongestServerName;
    while (cut > 0 && (static_cast<unsigned char>(clean[cut]) & 0xC0) == 0x80) --cut;
    clean.resize(cut);
    clean = std::string(trimBlanks(clean));
  }
  return clean;
}

}  // namespace

std::string dispositionFileName(std::string_view value) {
  // The disposition type, then parameters, each after a ";". Some servers leave the type
  // out ("filename=a.pdf"): what stands first is then a parameter too.
  const std::string_view type = value.substr(0, value.find(';'));
  const std::string text =
      type.find('=') == std::string_view::npos ? std::string(value) : ";" + std::string(value);
  const std::string_view headerValue = text;
  std::optional<std::string> plain, extended;
  size_t at = headerValue.find(';');
  while (at != std::string_view::npos && at < headerValue.size()) {
    ++at;  // the ";"
    const size_t equals = headerValue.find_first_of("=;", at);
    if (equals == std::string_view::npos) break;
    const std::string_view name = trimBlanks(headerValue.substr(at, equals - at));
    at = equals;
    if (headerValue[at] == ';') continue;  // a parameter without value
    ++at;
    std::string value = parameterValue(headerValue, at);
    if (equalsIgnoringCase(name, "filename*")) {
      if (!extended) extended = extendedValue(value);
    } else if (equalsIgnoringCase(name, "filename")) {
      if (!plain) plain = isValidUtf8(value) ? value : latin1ToUtf8(value);
    }
  }
  if (extended) {
    std::string name = cleanedName(*extended);
    if (!name.empty()) return name;
  }
  return plain ? cleanedName(*plain) : std::string();
}

std::string contentDispositionName(std::string_view rawHeaders) {
  constexpr std::string_view kHeader = "content-disposition";
  size_t start = 0;
  while (start < rawHeaders.size()) {
    size_t end = rawHeaders.find('\n', start);
    if (end == std::string_view::npos) end = rawHeaders.size();
    std::string_view line = rawHeaders.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    start = end + 1;
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    if (equalsIgnoringCase(trimBlanks(line.substr(0, colon)), kHeader)) {
      return dispositionFileName(line.substr(colon + 1));
    }
  }
  return {};
}
