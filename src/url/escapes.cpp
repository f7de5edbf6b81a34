#include "url/escapes.h"

#include <array>

namespace {

// The characters whose escapes are decoded, in the order the decoding applies them. "%" is
// folded first and on its own; every other escape (controls, letters, bytes >= 0x80) stays.
constexpr std::array<unsigned char, 28> kDecoded = {
    ' ', '!', '"', '#', '$', '&', '\'', '(', ')', '+', ',', '/', ':', ';',
    '<', '=', '>', '?', '@', '[', '\\', ']', '^', '`', '{', '|', '}', '~'};

constexpr std::array<bool, 256> decodedSet() {
  std::array<bool, 256> set{};
  for (unsigned char c : kDecoded) set[c] = true;
  return set;
}
constexpr std::array<bool, 256> kIsDecoded = decodedSet();

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
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
  if (text.find('%') == std::string_view::npos) return std::string(text);
  std::string folded = foldPercents(text);
  // The escapes of the table never overlap and decode to bytes that cannot start or
  // continue another escape, so one left-to-right pass gives what applying the table
  // escape by escape gives.
  std::string out;
  out.reserve(folded.size());
  for (size_t i = 0; i < folded.size(); ++i) {
    if (folded[i] == '%' && i + 2 < folded.size()) {
      int high = hexValue(folded[i + 1]), low = hexValue(folded[i + 2]);
      if (high >= 0 && low >= 0 && kIsDecoded[static_cast<size_t>(high * 16 + low)]) {
        out.push_back(static_cast<char>(high * 16 + low));
        i += 2;
        continue;
      }
    }
    out.push_back(folded[i]);
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
