#pragma once
#include <string>
#include <string_view>

// HTML character references, read as browsers read them: "&amp;", "&lt;", "&gt;", "&quot;",
// "&apos;", "&nbsp;" (a plain space here) and numeric ones ("&#38;", "&#x26;"), the latter
// written as UTF-8. A reference to 0, to a surrogate or above U+10FFFF gives U+FFFD. "amp",
// "lt", "gt", "quot" and "nbsp" also stand without their ";", as do numeric references;
// inside an attribute value such a name followed by a letter, a digit or "=" is left as
// written, so a query such as "?a=1&lt=2" keeps its parameter. Unknown names stay as
// written.
std::string decodeCharacterReferences(std::string_view text, bool inAttribute);

// Whether the text could hold a reference at all; most values hold none and are left alone.
inline bool mayHoldReference(std::string_view text) {
  return text.find('&') != std::string_view::npos;
}
