#pragma once
#include "platform/text_rules.h"

// The ANSI text functions of the system: lstrcmpA, lstrcmpiA, CharUpperA, _mbsupr, _mbslwr.
class Win32TextRules final : public TextRules {
 public:
  int compare(std::string_view a, std::string_view b) const override;
  int compareIgnoringCase(std::string_view a, std::string_view b) const override;
  unsigned char upperByte(unsigned char c) const override;
  std::string upperText(std::string_view s) const override;
  std::string lowerText(std::string_view s) const override;
};
