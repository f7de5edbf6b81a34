#pragma once
#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

#include "platform/text_rules.h"

// The byte-text utilities every part of the program uses. Texts are byte strings in the
// ANSI code page. Where a utility ignores case, both sides are upper-cased byte by byte
// with the system's character upper-casing (a table made once from TextRules).
class ByteText {
 public:
  explicit ByteText(const TextRules& rules);

  const TextRules& rules() const { return rules_; }
  unsigned char upper(unsigned char c) const { return upper_[c]; }

  // Index of the first (or, fromEnd, the last) occurrence; -1 when either text is empty
  // or the pattern is longer than the text. Allocates nothing; the exact forward search
  // scans with memchr, so it suits whole pages.
  int64_t findText(std::string_view text, std::string_view pattern, bool fromEnd = false,
                   bool ignoreCase = false) const;
  // False for an empty pattern.
  bool startsWithText(std::string_view text, std::string_view pattern,
                      bool ignoreCase = false) const;
  bool endsWithText(std::string_view text, std::string_view pattern, bool ignoreCase = false) const;
  bool containsText(std::string_view text, std::string_view pattern, bool ignoreCase = false) const;
  // lstrcmpiA or lstrcmpA gives 0.
  bool equalsText(std::string_view a, std::string_view b, bool ignoreCase = false) const;
  // The text before and after the first (or last) occurrence; when absent, the whole text
  // and an empty text.
  std::pair<std::string, std::string> splitAt(std::string_view text, std::string_view separator,
                                              bool fromEnd = false, bool ignoreCase = false) const;
  // Every occurrence replaced, scanning left to right over what is left after each one.
  std::string replaceAll(std::string_view text, std::string_view from, std::string_view to,
                         bool ignoreCase = false) const;
  // Removes the token again and again from the start (or the end) while it is there.
  std::string stripRepeated(std::string_view text, std::string_view token, bool fromEnd = false,
                            bool ignoreCase = false) const;
  // Puts the token in front of (or behind) the text unless it already starts (ends) with it.
  std::string ensureAffix(std::string_view text, std::string_view token, bool atEnd = false,
                          bool ignoreCase = false) const;
  // The text after the first `open` and before the first `close` that follows; empty when
  // `close` does not follow.
  std::string textBetween(std::string_view text, std::string_view open, std::string_view close,
                          bool ignoreCase = false) const;
  // Multibyte-aware case copies.
  std::string upperText(std::string_view text) const { return rules_.upperText(text); }
  std::string lowerText(std::string_view text) const { return rules_.lowerText(text); }
  // Address order: the locale comparison, and where it calls two different texts equal,
  // their bytes (so a queue never takes a different address for a duplicate).
  int compareAddresses(std::string_view a, std::string_view b) const;

 private:
  // Whether the pattern stands in the text at `at` (which leaves room for it).
  bool sameAt(std::string_view text, size_t at, std::string_view pattern, bool ignoreCase) const;

  const TextRules& rules_;
  std::array<unsigned char, 256> upper_{};
};

// Count bytes from start, clipped to the end; a negative count means to the end; empty
// when the text is empty, count is 0 or start is outside the text.
std::string substringOf(std::string_view text, int64_t start, int64_t count);
// Removes any of the non-empty tokens again and again from the start, then from the end.
std::string trimTokens(std::string_view text, std::initializer_list<std::string_view> tokens);
// Splits off the given fields in turn from the front of `rest`, each at the first
// separator (a field without a separator after it takes all that is left); `rest` keeps
// what follows, as a view, so walking a long text field by field stays linear. A null
// field is split off and dropped. Fields past the end of `rest` become empty. False, with
// the fields untouched, when `rest` is empty. The separator is matched exactly.
bool splitFields(std::string_view& rest, std::string_view separator,
                 std::initializer_list<std::string*> fields);
// width 0: decimal digits; above 0: lower-case hexadecimal digits left-padded with "0".
std::string formatNumber(int64_t value, int width = 0);
// Concatenation. (Texts from the string table are loaded by the Win32 shell, which hands
// them over as texts.)
std::string joinTexts(std::initializer_list<std::string_view> texts);
