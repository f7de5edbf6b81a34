#include "fakes/fake_text_rules.h"

namespace {
unsigned char asciiUpper(unsigned char c) { return c >= 'a' && c <= 'z' ? c - 32 : c; }
unsigned char asciiLower(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; }
std::string_view toZero(std::string_view s) { return s.substr(0, s.find('\0')); }
}  // namespace

int FakeTextRules::compareBy(std::string_view a, std::string_view b, bool foldCase) const {
  a = toZero(a);
  b = toZero(b);
  if (ignoredBytes.empty() && !foldCase) {
    int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
  }
  size_t i = 0, j = 0;
  for (;;) {
    while (i < a.size() && ignoredBytes.count(static_cast<unsigned char>(a[i]))) ++i;
    while (j < b.size() && ignoredBytes.count(static_cast<unsigned char>(b[j]))) ++j;
    if (i == a.size() || j == b.size()) break;
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[j]);
    if (foldCase) x = asciiUpper(x), y = asciiUpper(y);
    if (x != y) return x < y ? -1 : 1;
    ++i, ++j;
  }
  bool aLeft = i < a.size(), bLeft = j < b.size();
  return aLeft == bLeft ? 0 : (aLeft ? 1 : -1);
}

int FakeTextRules::compare(std::string_view a, std::string_view b) const {
  return compareBy(a, b, false);
}

int FakeTextRules::compareIgnoringCase(std::string_view a, std::string_view b) const {
  return compareBy(a, b, true);
}

unsigned char FakeTextRules::upperByte(unsigned char c) const { return asciiUpper(c); }

std::string FakeTextRules::upperText(std::string_view s) const {
  std::string copy(s);
  for (char& c : copy) c = static_cast<char>(asciiUpper(static_cast<unsigned char>(c)));
  return copy;
}

std::string FakeTextRules::lowerText(std::string_view s) const {
  std::string copy(s);
  for (char& c : copy) c = static_cast<char>(asciiLower(static_cast<unsigned char>(c)));
  return copy;
}
