#include "site/text_span.h"

#include <cstring>

#include "site/character_references.h"

namespace {

bool isAsciiLetterOrDigit(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Within a value, bytes from 0x80 up are letters of the code page the program runs in
// (UTF-8), as in href=caf\xC3\xA9.htm; only the control bytes and the space separate.
bool isValueBlank(unsigned char c) {
  return c < 0x21;
}

// Where an unquoted value stops.
bool endsValue(unsigned char c) {
  return isValueBlank(c) || c == '"' || c == '<' || c == '>' || c == ';' || c == '{' || c == '}';
}

}  // namespace

bool SpanReader::findInSpan(TextSpan& span, const SpanPattern& pattern, TextSpan& found) const {
  // Never outside the file, whatever the span says.
  if (span.end > span.length) span.end = span.length;
  if (span.start < 0) span.start = 0;
  const int64_t at = span.empty() ? -1 : pattern.findIn(span.bytes, span.start, span.end, folding_);
  if (at < 0) {
    span.start = span.end;
    found = span.emptyAt(span.end);
    return false;
  }
  found = {span.bytes, span.length, at, at + pattern.size()};
  span.start = found.end;
  return true;
}

bool SpanReader::spanBetween(TextSpan& span, const SpanPattern& open, const SpanPattern& close,
                             TextSpan& inner) const {
  TextSpan found;
  if (!findInSpan(span, open, found)) return false;
  const int64_t from = span.start;
  inner = findInSpan(span, close, found) ? TextSpan{span.bytes, span.length, from, found.start}
                                         : TextSpan{span.bytes, span.length, from, span.end};
  return true;
}

bool SpanReader::attributeValue(TextSpan& tag, const SpanPattern& name, TextSpan& value) const {
  const unsigned char* bytes = tag.bytes;
  TextSpan found;
  for (;;) {
    if (!findInSpan(tag, name, found) || found.end == tag.end) {
      tag.start = tag.end;
      value = tag.emptyAt(tag.end);
      return false;
    }
    // Only a whole word counts: "href" is not in "hreflang" or "xhref". The byte before
    // may lie before the tag, but never before the file.
    const bool wordGoesOn = isAsciiLetterOrDigit(bytes[found.end]) ||
                            (found.start > 0 && isAsciiLetterOrDigit(bytes[found.start - 1]));
    if (!wordGoesOn) break;
  }

  // Whatever stands before the first "=" is passed over; then blanks and further "=".
  int64_t at = tag.start;
  const void* equals = std::memchr(bytes + at, '=', static_cast<size_t>(tag.end - at));
  at = equals ? static_cast<const unsigned char*>(equals) - bytes + 1 : tag.end;
  while (at < tag.end && (isValueBlank(bytes[at]) || bytes[at] == '=')) ++at;
  tag.start = at;
  if (at == tag.end) {
    value = tag.emptyAt(tag.end);
    return false;
  }
  if (bytes[at] == '"') return spanBetween(tag, quote_, quote_, value);

  const int64_t from = at;
  while (at < tag.end && !endsValue(bytes[at])) ++at;
  tag.start = at;
  value = {bytes, tag.length, from, at};
  return at > from;
}

bool SpanReader::tagAttribute(TextSpan& span, const SpanPattern& open, const SpanPattern& name,
                              const SpanPattern& close, TextSpan& value) const {
  TextSpan tag;
  return spanBetween(span, open, close, tag) && attributeValue(tag, name, value);
}

std::string SpanReader::spanText(const TextSpan& span) {
  if (span.empty()) return {};
  std::string text(reinterpret_cast<const char*>(span.bytes + span.start),
                   static_cast<size_t>(span.end - span.start));
  for (char& c : text)
    if (ByteFolding::isBlank(static_cast<unsigned char>(c))) c = ' ';
  return text;
}

std::string SpanReader::valueText(const TextSpan& span, bool readReferences) {
  if (span.empty()) return {};
  std::string_view bytes(reinterpret_cast<const char*>(span.bytes + span.start),
                         static_cast<size_t>(span.end - span.start));
  // References are read after the value's end was found, so "&quot;" never ends one; what
  // they stand for obeys the same rule as a byte written out (a control byte is a blank).
  std::string text = readReferences && mayHoldReference(bytes)
                         ? decodeCharacterReferences(bytes, true)
                         : std::string(bytes);
  for (char& c : text)
    if (isValueBlank(static_cast<unsigned char>(c))) c = ' ';
  return text;
}

std::string SpanReader::titleText(const TextSpan& span) {
  std::string text = spanText(span);
  if (!mayHoldReference(text)) return text;
  // A character named by a reference is kept, in UTF-8; control bytes become blanks.
  text = decodeCharacterReferences(text, false);
  for (char& c : text)
    if (isValueBlank(static_cast<unsigned char>(c))) c = ' ';
  return text;
}
