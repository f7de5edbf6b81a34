#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "url/byte_text.h"

// How the page scanner compares bytes: a blank (a byte below 0x21 read as signed: the
// controls, the space and every byte from 0x80 up) counts as a space, and then the system's
// upper case is taken. Built once from the ByteText's upper-case table.
class ByteFolding {
 public:
  explicit ByteFolding(const ByteText& text);
  unsigned char operator()(unsigned char c) const { return fold_[c]; }
  static bool isBlank(unsigned char c) { return static_cast<signed char>(c) < 0x21; }

 private:
  std::array<unsigned char, 256> fold_{};
};

// A pattern ready for searching: its folded bytes, and for its first and last byte the set
// of file bytes that fold to them, in a form a vector compare can test.
class SpanPattern {
 public:
  SpanPattern() = default;
  SpanPattern(std::string_view pattern, const ByteFolding& folding);

  int64_t size() const { return static_cast<int64_t>(folded_.size()); }
  bool empty() const { return folded_.empty(); }

  // The first offset in [from, end - size()] where the pattern stands; -1 when none.
  // Reads only bytes in [from, end).
  int64_t findIn(const unsigned char* bytes, int64_t from, int64_t end,
                 const ByteFolding& folding) const;

  // The file bytes one pattern byte matches.
  struct ByteSet {
    enum Kind : uint8_t { kOne, kTwo, kBlank, kAny };
    Kind kind = kAny;
    unsigned char a = 0;
    unsigned char b = 0;
  };

 private:
  bool standsAt(const unsigned char* at, const ByteFolding& folding) const;

  std::string folded_;
  ByteSet first_;
  ByteSet last_;
};
