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

std::string Win32TextRules::upperText(std::string_view s) const {
  std::string copy(s);
  if (!copy.empty()) _mbsupr(reinterpret_cast<unsigned char*>(copy.data()));
  return copy;
}

std::string Win32TextRules::lowerText(std::string_view s) const {
  std::string copy(s);
  if (!copy.empty()) _mbslwr(reinterpret_cast<unsigned char*>(copy.data()));
  return copy;
}
