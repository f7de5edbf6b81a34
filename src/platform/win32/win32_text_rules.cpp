#include "platform/win32/win32_text_rules.h"

#include <mbstring.h>
#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

namespace {

// The characters that first differences in addresses mostly fall on. The hyphen and the
// apostrophe are left out: the locale's word sort passes over them at first.
constexpr std::string_view kDeciding =
    "0123456789abcdefghijklmnopqrstuvwxyz./_:?=&%~+,;!@$()*[]";

// A zero-ended copy of a text for the system's functions, on the stack when it is short: a
// crawl compares addresses hundreds of thousands of times, and two allocations for each
// comparison (taking the heap's lock, which the transfer threads share) cost as much as a
// tenth of its time.
class ZeroEnded {
 public:
  explicit ZeroEnded(std::string_view text) {
    if (text.size() < sizeof shortText_) {
      text.copy(shortText_, text.size());
      shortText_[text.size()] = '\0';
    } else {
      longText_.assign(text);
    }
  }
  const char* get() const { return longText_.empty() ? shortText_ : longText_.c_str(); }

 private:
  char shortText_[512];
  std::string longText_;
};

int systemCompare(std::string_view a, std::string_view b) {
  return lstrcmpA(ZeroEnded(a).get(), ZeroEnded(b).get());
}

// English (in any country) sorts with the default table, which joins no two ASCII
// characters into one and does not reorder them by what follows; other languages may
// (Czech "ch", Danish "aa", Hungarian "cs", Turkish "I"), and then every comparison asks
// the system.
bool sortsAsciiByDefault(LCID locale) {
  return PRIMARYLANGID(LANGIDFROMLCID(locale)) == LANG_ENGLISH &&
         SORTIDFROMLCID(locale) == SORT_DEFAULT;
}

// For each byte that decides a comparison alone, its place in the locale's order, 1 and up
// (a letter's two cases share theirs: a difference of case alone is left to lstrcmpA); 0 for
// the others. All 0 where the locale's rules are not known to allow it.
using Ranks = std::array<uint8_t, 256>;

Ranks learnRanks() {
  Ranks ranks{};
  if (!sortsAsciiByDefault(GetThreadLocale()) || !sortsAsciiByDefault(GetUserDefaultLCID()))
    return ranks;
  std::string order(kDeciding);
  std::sort(order.begin(), order.end(), [](char a, char b) {
    return systemCompare(std::string_view(&a, 1), std::string_view(&b, 1)) < 0;
  });
  // Each character, in either case, must come before the next whatever follows them: a
  // first difference in two neighbours then decides at the first level of the comparison,
  // and so in any two.
  auto before = [](char low, char high) {
    const std::string a(1, low), b(1, high);
    return systemCompare(a, b) < 0 && systemCompare(a + "z", b + "a") < 0 &&
           systemCompare(a + "~", b + "0") < 0;
  };
  auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
  for (size_t i = 0; i + 1 < order.size(); ++i) {
    const char low = order[i], high = order[i + 1];
    if (!before(low, high) || !before(upper(low), high) || !before(low, upper(high)) ||
        !before(upper(low), upper(high)))
      return ranks;
  }
  for (size_t i = 0; i < order.size(); ++i) {
    const auto c = static_cast<unsigned char>(order[i]);
    ranks[c] = static_cast<uint8_t>(i + 1);
    if (c >= 'a' && c <= 'z') ranks[c - 'a' + 'A'] = ranks[c];
  }
  return ranks;
}

}  // namespace

int Win32TextRules::compare(std::string_view a, std::string_view b) const {
  // The system compares up to the first zero byte.
  a = a.substr(0, std::min(a.find('\0'), a.size()));
  b = b.substr(0, std::min(b.find('\0'), b.size()));
  const auto [inA, inB] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
  if (inA == a.end() && inB == b.end()) return 0;
  // After a common start ending in a whole character (an ASCII byte), two different
  // deciding characters: nothing before them differs, nothing after them counts.
  if (inA != a.end() && inB != b.end() &&
      (inA == a.begin() || static_cast<unsigned char>(inA[-1]) < 0x80)) {
    static const Ranks ranks = learnRanks();
    const uint8_t left = ranks[static_cast<unsigned char>(*inA)];
    const uint8_t right = ranks[static_cast<unsigned char>(*inB)];
    if (left != 0 && right != 0 && left != right) return left < right ? -1 : 1;
  }
  return systemCompare(a, b);
}

int Win32TextRules::compareIgnoringCase(std::string_view a, std::string_view b) const {
  return lstrcmpiA(ZeroEnded(a).get(), ZeroEnded(b).get());
}

unsigned char Win32TextRules::upperByte(unsigned char c) const {
  // A pointer whose high word is zero asks CharUpperA for one character.
  auto result = reinterpret_cast<ULONG_PTR>(CharUpperA(reinterpret_cast<LPSTR>(ULONG_PTR{c})));
  return static_cast<unsigned char>(result & 0xFF);
}

namespace {

// The C library's functions stop at a zero byte; each zero-ended run is converted in turn,
// so a copy keeps every byte and is converted throughout.
std::string convertRuns(std::string_view s, unsigned char* (*convert)(unsigned char*)) {
  std::string copy(s);
  for (size_t at = 0; at < copy.size(); at += std::char_traits<char>::length(&copy[at]) + 1)
    convert(reinterpret_cast<unsigned char*>(&copy[at]));
  return copy;
}

}  // namespace

std::string Win32TextRules::upperText(std::string_view s) const {
  return convertRuns(s, _mbsupr);
}

std::string Win32TextRules::lowerText(std::string_view s) const {
  return convertRuns(s, _mbslwr);
}
