#pragma once
#include <set>
#include <string>
#include <string_view>

#include "platform/text_rules.h"

// Byte-order comparison with ASCII case rules, as the system's functions behave on the
// ASCII range. Like the locale comparison, it can be told to ignore some bytes entirely
// (the system ignores the soft hyphen 0xAD), so that two different texts compare equal.
class FakeTextRules final : public TextRules {
 public:
  int compare(std::string_view a, std::string_view b) const override;
  int compareIgnoringCase(std::string_view a, std::string_view b) const override;
  unsigned char upperByte(unsigned char c) const override;
  std::string upperText(std::string_view s) const override;
  std::string lowerText(std::string_view s) const override;

  // Bytes that compare as if they were not there.
  std::set<unsigned char> ignoredBytes;

 private:
  int compareBy(std::string_view a, std::string_view b, bool foldCase) const;
};
