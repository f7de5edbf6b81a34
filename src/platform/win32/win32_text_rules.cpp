#include "platform/win32/win32_text_rules.h"

#include <mbstring.h>
#include <windows.h>

#include <string>

int Win32TextRules::compare(std::string_view a, std::string_view b) const {
  return lstrcmpA(std::string(a).c_str(), std::string(b).c_str());
}

int Win32TextRules::compareIgnoringCase(std::string_view a, std::string_view b) const {
  return lstrcmpiA(std::string(a).c_str(), std::string(b).c_str());
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
