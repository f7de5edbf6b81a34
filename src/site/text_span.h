#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "site/span_pattern.h"

// A window [start, end) over the bytes of a page file mapped whole. Spans of one scan share
// the bytes and are copied freely; searches move `start` forward. Offsets are 64-bit, so
// files above 2 GiB are scanned as any other.
struct TextSpan {
  const unsigned char* bytes = nullptr;  // the first byte of the file
  int64_t length = 0;                    // the file's size
  int64_t start = 0;
  int64_t end = 0;

  bool empty() const { return start >= end; }
  // The whole file.
  static TextSpan document(const unsigned char* bytes, int64_t length) {
    return {bytes, length, 0, length};
  }
  // An empty span at `at` of the same file.
  TextSpan emptyAt(int64_t at) const { return {bytes, length, at, at}; }
};

// The scanner's searches over spans. Patterns compare as ByteFolding says: a space in a
// pattern matches any blank and ASCII case is ignored.
class SpanReader {
 public:
  explicit SpanReader(const ByteText& text) : folding_(text) {}

  SpanPattern pattern(std::string_view text) const { return SpanPattern(text, folding_); }
  const ByteFolding& folding() const { return folding_; }

  // True, with `found` on the first match and the span's start moved past it, when the
  // pattern occurs in the span. Otherwise the span is used up and `found` is empty at its
  // end.
  bool findInSpan(TextSpan& span, const SpanPattern& pattern, TextSpan& found) const;
  // True when `open` occurs; `inner` then runs from after it up to `close`, or to the end
  // of the span when `close` does not follow. The span goes on after `close`.
  bool spanBetween(TextSpan& span, const SpanPattern& open, const SpanPattern& close,
                   TextSpan& inner) const;
  // The value of the first whole-word `name` in the tag that has one before the tag ends:
  // quoted (to the next double quote or the tag's end; true even when empty) or unquoted
  // (up to a control byte, a space or one of " < > ; { }; true when not empty). The tag's
  // start moves past what was read.
  bool attributeValue(TextSpan& tag, const SpanPattern& name, TextSpan& value) const;
  // spanBetween of `open` and `close`, then attributeValue of `name` in what lies between.
  bool tagAttribute(TextSpan& span, const SpanPattern& open, const SpanPattern& name,
                    const SpanPattern& close, TextSpan& value) const;
  // The span's bytes as they stand.
  static std::string_view bytesOf(const TextSpan& span) {
    if (span.empty()) return {};
    return {reinterpret_cast<const char*>(span.bytes + span.start),
            static_cast<size_t>(span.end - span.start)};
  }
  // The span's bytes with every blank made a space.
  static std::string spanText(const TextSpan& span);
  // An attribute value's bytes with its character references read and every control byte
  // made a space; bytes from 0x80 up stay, so an address written in UTF-8 keeps its
  // letters. Without readReferences the references are taken to be read already.
  static std::string valueText(const TextSpan& span, bool readReferences = true);
  // spanText with the character references read (a title's text).
  static std::string titleText(const TextSpan& span);

  // With patterns given as texts, for callers that search rarely.
  bool findInSpan(TextSpan& span, std::string_view pattern, TextSpan& found) const {
    return findInSpan(span, this->pattern(pattern), found);
  }
  bool attributeValue(TextSpan& tag, std::string_view name, TextSpan& value) const {
    return attributeValue(tag, pattern(name), value);
  }

 private:
  ByteFolding folding_;
  SpanPattern quote_{"\"", folding_};
};
