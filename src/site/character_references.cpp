#include "site/character_references.h"

#include <cstdint>

namespace {

struct NamedReference {
  std::string_view name;
  std::string_view text;
  bool semicolonOptional;  // browsers take it without its ";" too
};

// No name here is the start of another, so the first that matches is the reference.
constexpr NamedReference kNamed[] = {
    {"amp", "&", true},   {"lt", "<", true},    {"gt", ">", true},  {"quot", "\"", true},
    {"apos", "'", false}, {"nbsp", " ", true},  {"AMP", "&", true}, {"LT", "<", true},
    {"GT", ">", true},    {"QUOT", "\"", true},
};

constexpr uint32_t kReplacement = 0xFFFD;
// Digits past this cannot change the outcome (the value is too large already).
constexpr uint32_t kBeyondUnicode = 0x110000;

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}
bool isAsciiAlnum(char c) {
  return isDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
int hexDigit(char c) {
  if (isDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void appendUtf8(std::string& out, uint32_t code) {
  if (code == 0 || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) code = kReplacement;
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

// A numeric reference at text[at] == '&' followed by '#': the bytes it takes, 0 when it is
// none (no digit follows).
size_t readNumeric(std::string_view text, size_t at, std::string& out) {
  size_t i = at + 2;
  const bool hex = i < text.size() && (text[i] == 'x' || text[i] == 'X');
  if (hex) ++i;
  const size_t digitsStart = i;
  uint32_t code = 0;
  for (; i < text.size(); ++i) {
    const int digit = hex ? hexDigit(text[i]) : (isDigit(text[i]) ? text[i] - '0' : -1);
    if (digit < 0) break;
    if (code < kBeyondUnicode) code = code * (hex ? 16 : 10) + static_cast<uint32_t>(digit);
  }
  if (i == digitsStart) return 0;
  if (i < text.size() && text[i] == ';') ++i;
  appendUtf8(out, code);
  return i - at;
}

// A named reference at text[at] == '&': the bytes it takes, 0 when it is none.
size_t readNamed(std::string_view text, size_t at, bool inAttribute, std::string& out) {
  const std::string_view rest = text.substr(at + 1);
  for (const NamedReference& named : kNamed) {
    if (!rest.starts_with(named.name)) continue;
    const size_t after = named.name.size();
    if (after < rest.size() && rest[after] == ';') {
      out.append(named.text);
      return after + 2;
    }
    if (!named.semicolonOptional) return 0;
    // In an attribute, "&lt=" or "&ampx" is text: old query strings are written so.
    if (inAttribute && after < rest.size() && (isAsciiAlnum(rest[after]) || rest[after] == '='))
      return 0;
    out.append(named.text);
    return after + 1;
  }
  return 0;
}

}  // namespace

std::string decodeCharacterReferences(std::string_view text, bool inAttribute) {
  std::string out;
  out.reserve(text.size());
  size_t from = 0;
  for (size_t at = text.find('&'); at != std::string_view::npos; at = text.find('&', from)) {
    out.append(text.substr(from, at - from));
    const bool numeric = at + 1 < text.size() && text[at + 1] == '#';
    const size_t taken =
        numeric ? readNumeric(text, at, out) : readNamed(text, at, inAttribute, out);
    if (taken == 0) {
      out.push_back('&');
      from = at + 1;
    } else {
      from = at + taken;
    }
  }
  out.append(text.substr(from));
  return out;
}
