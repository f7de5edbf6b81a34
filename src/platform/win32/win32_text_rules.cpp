#include "platform/win32/win32_text_rules.h"

#include <mbstring.h>
#include <windows.h>

#include <string>

namespace {

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

}  // namespace

int Win32TextRules::compare(std::string_view a, std::string_view b) const {
  return lstrcmpA(ZeroEnded(a).get(), ZeroEnded(b).get());
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
