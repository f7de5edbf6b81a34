#pragma once
#include "platform/text_rules.h"

// The ANSI text functions of the system: lstrcmpA, lstrcmpiA, CharUpperA, _mbsupr, _mbslwr.
class Win32TextRules final : public TextRules {
 public:
  // lstrcmpA's answer. Under Wine each call costs microseconds (two conversions to UTF-16
  // and the locale's tables), and a queue of 100,000 addresses makes hundreds of thousands
  // of them; so where the texts first differ in two characters whose order was learnt from
  // lstrcmpA (once per process), after a common start that ends in an ASCII character,
  // that order answers without the call.
  int compare(std::string_view a, std::string_view b) const override;
  int compareIgnoringCase(std::string_view a, std::string_view b) const override;
  unsigned char upperByte(unsigned char c) const override;
  std::string upperText(std::string_view s) const override;
  std::string lowerText(std::string_view s) const override;
};
