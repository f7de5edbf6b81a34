#include "url/byte_text.h"

#include <charconv>
#include <cstring>

ByteText::ByteText(const TextRules& rules) : rules_(rules) {
  for (int c = 0; c < 256; ++c) upper_[c] = rules.upperByte(static_cast<unsigned char>(c));
}

namespace {

const unsigned char* bytes(std::string_view s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

}  // namespace

bool ByteText::sameAt(std::string_view text, size_t at, std::string_view pattern,
                      bool ignoreCase) const {
  if (!ignoreCase) return std::memcmp(text.data() + at, pattern.data(), pattern.size()) == 0;
  const unsigned char* t = bytes(text) + at;
  const unsigned char* p = bytes(pattern);
  for (size_t i = 0; i < pattern.size(); ++i)
    if (upper_[t[i]] != upper_[p[i]]) return false;
  return true;
}

int64_t ByteText::findText(std::string_view text, std::string_view pattern, bool fromEnd,
                           bool ignoreCase) const {
  const size_t n = text.size(), m = pattern.size();
  if (n == 0 || m == 0 || m > n) return -1;
  const size_t lastStart = n - m;
  const unsigned char* t = bytes(text);
  const unsigned char first = bytes(pattern)[0];

  if (!fromEnd && !ignoreCase) {
    // memchr finds the candidates; pages of hundreds of kilobytes are searched this way.
    const unsigned char* at = t;
    const unsigned char* end = t + lastStart + 1;
    while (at < end) {
      const void* hit = std::memchr(at, first, static_cast<size_t>(end - at));
      if (!hit) return -1;
      at = static_cast<const unsigned char*>(hit);
      if (std::memcmp(at + 1, pattern.data() + 1, m - 1) == 0) return at - t;
      ++at;
    }
    return -1;
  }

  const unsigned char want = ignoreCase ? upper_[first] : first;
  auto candidate = [&](size_t i) { return (ignoreCase ? upper_[t[i]] : t[i]) == want; };
  if (!fromEnd) {
    for (size_t i = 0; i <= lastStart; ++i)
      if (candidate(i) && sameAt(text, i, pattern, true)) return static_cast<int64_t>(i);
    return -1;
  }
  for (size_t i = lastStart + 1; i-- > 0;)
    if (candidate(i) && sameAt(text, i, pattern, ignoreCase)) return static_cast<int64_t>(i);
  return -1;
}

bool ByteText::startsWithText(std::string_view text, std::string_view pattern,
                              bool ignoreCase) const {
  // The first occurrence is at 0 exactly when the text begins with the pattern.
  if (pattern.empty() || pattern.size() > text.size()) return false;
  return sameAt(text, 0, pattern, ignoreCase);
}

bool ByteText::endsWithText(std::string_view text, std::string_view pattern,
                            bool ignoreCase) const {
  // The last occurrence ends at the end exactly when the text ends with the pattern.
  if (pattern.empty() || pattern.size() > text.size()) return false;
  return sameAt(text, text.size() - pattern.size(), pattern, ignoreCase);
}

bool ByteText::containsText(std::string_view text, std::string_view pattern,
                            bool ignoreCase) const {
  return findText(text, pattern, false, ignoreCase) >= 0;
}

bool ByteText::equalsText(std::string_view a, std::string_view b, bool ignoreCase) const {
  return (ignoreCase ? rules_.compareIgnoringCase(a, b) : rules_.compare(a, b)) == 0;
}

std::pair<std::string, std::string> ByteText::splitAt(std::string_view text,
                                                      std::string_view separator, bool fromEnd,
                                                      bool ignoreCase) const {
  int64_t at = findText(text, separator, fromEnd, ignoreCase);
  if (at < 0) return {std::string(text), std::string()};
  auto cut = static_cast<size_t>(at);
  return {std::string(text.substr(0, cut)), std::string(text.substr(cut + separator.size()))};
}

std::string ByteText::replaceAll(std::string_view text, std::string_view from, std::string_view to,
                                 bool ignoreCase) const {
  std::string result;
  std::string_view rest = text;
  for (;;) {
    int64_t at = findText(rest, from, false, ignoreCase);
    if (at < 0) break;
    result.append(rest.substr(0, static_cast<size_t>(at)));
    result.append(to);
    rest.remove_prefix(static_cast<size_t>(at) + from.size());
  }
  result.append(rest);
  return result;
}

std::string ByteText::stripRepeated(std::string_view text, std::string_view token, bool fromEnd,
                                    bool ignoreCase) const {
  // An empty token never matches, so this always ends.
  if (fromEnd) {
    while (endsWithText(text, token, ignoreCase)) text.remove_suffix(token.size());
  } else {
    while (startsWithText(text, token, ignoreCase)) text.remove_prefix(token.size());
  }
  return std::string(text);
}

std::string ByteText::ensureAffix(std::string_view text, std::string_view token, bool atEnd,
                                  bool ignoreCase) const {
  if (atEnd) {
    if (endsWithText(text, token, ignoreCase)) return std::string(text);
    return std::string(text) + std::string(token);
  }
  if (startsWithText(text, token, ignoreCase)) return std::string(text);
  return std::string(token) + std::string(text);
}

std::string ByteText::textBetween(std::string_view text, std::string_view open,
                                  std::string_view close, bool ignoreCase) const {
  int64_t start = findText(text, open, false, ignoreCase);
  if (start < 0) return {};
  std::string_view after = text.substr(static_cast<size_t>(start) + open.size());
  int64_t end = findText(after, close, false, ignoreCase);
  if (end < 0) return {};
  return std::string(after.substr(0, static_cast<size_t>(end)));
}

int ByteText::compareAddresses(std::string_view a, std::string_view b) const {
  int order = rules_.compare(a, b);
  if (order != 0) return order;
  // The locale comparison skips some bytes (the soft hyphen) and stops at a zero byte; two
  // texts it calls equal may still differ, and then their bytes decide.
  int bytesOrder = a.compare(b);
  return bytesOrder < 0 ? -1 : (bytesOrder > 0 ? 1 : 0);
}

std::string substringOf(std::string_view text, int64_t start, int64_t count) {
  const auto size = static_cast<int64_t>(text.size());
  if (text.empty() || count == 0 || start < 0 || start >= size) return {};
  int64_t left = size - start;
  int64_t take = count < 0 || count > left ? left : count;
  return std::string(text.substr(static_cast<size_t>(start), static_cast<size_t>(take)));
}

std::string trimTokens(std::string_view text, std::initializer_list<std::string_view> tokens) {
  auto stripOne = [&](bool atEnd) {
    for (std::string_view token : tokens) {
      if (token.empty() || token.size() > text.size()) continue;
      if (atEnd ? text.ends_with(token) : text.starts_with(token)) {
        atEnd ? text.remove_suffix(token.size()) : text.remove_prefix(token.size());
        return true;
      }
    }
    return false;
  };
  while (stripOne(false)) {
  }
  while (stripOne(true)) {
  }
  return std::string(text);
}

bool splitFields(std::string_view& rest, std::string_view separator,
                 std::initializer_list<std::string*> fields) {
  if (rest.empty()) return false;
  std::string_view left = rest;
  for (std::string* field : fields) {
    size_t at = separator.empty() ? std::string_view::npos : left.find(separator);
    std::string_view value = left.substr(0, at);
    if (field) field->assign(value);
    left = at == std::string_view::npos ? std::string_view() : left.substr(at + separator.size());
  }
  rest = left;
  return true;
}

std::string formatNumber(int64_t value, int width) {
  char digits[24];
  if (width <= 0) {
    auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    return std::string(digits, end);
  }
  // A negative value is written as its 64-bit two's complement.
  auto end = std::to_chars(digits, digits + sizeof digits, static_cast<uint64_t>(value), 16).ptr;
  auto length = static_cast<size_t>(end - digits);
  std::string result;
  if (static_cast<size_t>(width) > length) result.assign(static_cast<size_t>(width) - length, '0');
  result.append(digits, length);
  return result;
}

std::string joinTexts(std::initializer_list<std::string_view> texts) {
  // Texts kept in the string table are loaded by the Win32 shell, which passes them here
  // as texts; the model only concatenates.
  size_t total = 0;
  for (std::string_view t : texts) total += t.size();
  std::string result;
  result.reserve(total);
  for (std::string_view t : texts) result.append(t);
  return result;
}
