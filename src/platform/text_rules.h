#pragma once
#include <string>
#include <string_view>

// The system's rules for byte texts in the ANSI code page: the locale comparison and the
// character upper- and lower-casing that the ANSI functions apply.
class TextRules {
 public:
  virtual ~TextRules() = default;

  // Locale comparison, case-sensitive (lstrcmpA): negative, 0 or positive. Texts are
  // compared up to their first zero byte, as the system does.
  virtual int compare(std::string_view a, std::string_view b) const = 0;
  // Locale comparison ignoring case (lstrcmpiA).
  virtual int compareIgnoringCase(std::string_view a, std::string_view b) const = 0;
  // The system's upper case of one byte (CharUpperA of a single character).
  virtual unsigned char upperByte(unsigned char c) const = 0;
  // Multibyte-aware upper- and lower-case copies (_mbsupr, _mbslwr).
  virtual std::string upperText(std::string_view s) const = 0;
  virtual std::string lowerText(std::string_view s) const = 0;
};
