#pragma once
#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>

#include "fakes/fake_text_rules.h"

// The fake text rules, counting the comparisons asked of them: on the system each is a call
// into the locale, which costs microseconds.
class CountingTextRules final : public TextRules {
 public:
  int compare(std::string_view a, std::string_view b) const override {
    ++comparisons;
    return rules.compare(a, b);
  }
  int compareIgnoringCase(std::string_view a, std::string_view b) const override {
    ++comparisons;
    return rules.compareIgnoringCase(a, b);
  }
  unsigned char upperByte(unsigned char c) const override { return rules.upperByte(c); }
  std::string upperText(std::string_view s) const override { return rules.upperText(s); }
  std::string lowerText(std::string_view s) const override { return rules.lowerText(s); }

  FakeTextRules rules;
  mutable std::atomic<size_t> comparisons = 0;
};
