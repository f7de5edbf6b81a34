#include "url/escapes.h"

namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The byte an escape at `at` stands for; -1 when no escape stands there.
int escapeAt(std::string_view text, size_t at) {
  if (at + 2 >= text.size() || text[at] != '%') return -1;
  const int high = hexValue(text[at + 1]), low = hexValue(text[at + 2]);
  return high < 0 || low < 0 ? -1 : high * 16 + low;
}

bool isControl(int byte) {
  return byte < 0x20 || byte == 0x7F;
}

// How many bytes the UTF-8 sequence that `lead` begins holds; 0 for a byte that begins none.
size_t sequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

// Whether `next` may follow `lead` as the second byte of its sequence: never an overlong
// form, a surrogate or a code point above U+10FFFF.
bool fitsSecond(unsigned char lead, unsigned char next) {
  switch (lead) {
    case 0xE0:
      return next >= 0xA0 && next <= 0xBF;
    case 0xED:
      return next >= 0x80 && next <= 0x9F;
    case 0xF0:
      return next >= 0x90 && next <= 0xBF;
    case 0xF4:
      return next >= 0x80 && next <= 0x8F;
    default:
      return next >= 0x80 && next <= 0xBF;
  }
}

// The bytes of one character, each read by `byteAt` (which answers -1 where there is none):
// its length when they make a valid UTF-8 sequence, else 0.
template <class ByteAt>
size_t validSequence(ByteAt byteAt) {
  const int lead = byteAt(0);
  if (lead < 0) return 0;
  const size_t length = sequenceLength(static_cast<unsigned char>(lead));
  for (size_t i = 1; i < length; ++i) {
    const int next = byteAt(i);
    if (next < 0) return 0;
    const auto byte = static_cast<unsigned char>(next);
    if (i == 1 ? !fitsSecond(static_cast<unsigned char>(lead), byte) : (byte & 0xC0) != 0x80) {
      return 0;
    }
  }
  return length;
}

void appendEscape(std::string& out, unsigned char byte) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out.push_back('%');
  out.push_back(kHex[byte >> 4]);
  out.push_back(kHex[byte & 0xF]);
}

// "%25" replaced by "%" until none is left. Replacing "%25" cannot overlap with itself, so
// the result does not depend on the order of the replacements; folding at the end of the
// output as it grows gives it in one pass (a chain such as "%252525..." would otherwise
// take one pass over the whole text per link).
std::string foldPercents(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    out.push_back(c);
    size_t n = out.size();
    if (c == '5' && n >= 3 && out[n - 2] == '2' && out[n - 3] == '%') out.resize(n - 2);
  }
  return out;
}

}  // namespace

std::string decodeEscapes(std::string_view text) {
  const std::string folded =
      text.find('%') == std::string_view::npos ? std::string(text) : foldPercents(text);
  const std::string_view in = folded;
  std::string out;
  out.reserve(in.size());
  size_t i = 0;
  while (i < in.size()) {
    const int escaped = escapeAt(in, i);
    if (escaped >= 0) {
      // A run of escapes that spells one whole character is decoded; an escaped control
      // byte, or bytes that make no character, stay escaped.
      const size_t length = validSequence([&](size_t k) { return escapeAt(in, i + 3 * k); });
      if (length > 0 && !isControl(escaped)) {
        for (size_t k = 0; k < length; ++k) {
          out.push_back(static_cast<char>(escapeAt(in, i + 3 * k)));
        }
        i += 3 * length;
      } else {
        out.append(in.substr(i, 3));
        i += 3;
      }
      continue;
    }
    // Bytes as they stand: a byte that begins no valid character is written as its escape,
    // so that the result is always valid UTF-8.
    const size_t length = validSequence([&](size_t k) {
      return i + k < in.size() ? static_cast<unsigned char>(in[i + k]) : -1;
    });
    if (length == 0) {
      appendEscape(out, static_cast<unsigned char>(in[i]));
      ++i;
    } else {
      out.append(in.substr(i, length));
      i += length;
    }
  }
  return out;
}

std::string cleanControlBytes(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == '\t' || byte == '\r' || byte == '\n') continue;
    if (byte < 0x20 || byte == 0x7F) {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
      continue;
    }
    out.push_back(c);
  }
  return out;
}
