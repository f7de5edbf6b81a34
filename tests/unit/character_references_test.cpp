#include "site/character_references.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Case {
  const char* written;
  const char* inAttribute;  // what an attribute value reads
  const char* inText;       // what a title reads
};

// Every rule once, as a browser reads it.
const Case kCases[] = {
    {"a&amp;b", "a&b", "a&b"},
    {"&lt;&gt;&quot;&apos;", "<>\"'", "<>\"'"},
    {"x&nbsp;y", "x y", "x y"},
    {"&AMP;&LT;&GT;&QUOT;", "&<>\"", "&<>\""},
    {"&#38;&#x26;&#X26;", "&&&", "&&&"},
    {"&#233;&#x20AC;&#x1F600;", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80",
     "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
    // Nothing valid to stand for: the replacement character.
    {"&#0;&#xD800;&#x110000;&#99999999999999999999;",
     "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD",
     "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
    // Without ";": numbers and the old names end where they end; "apos" needs its ";".
    {"&#38x &amp &lt. &apos x", "&x & <. &apos x", "&x & <. &apos x"},
    // In an attribute a bare name before a letter, digit or "=" is query text.
    {"?a=1&lt=2&ampx&amp=3", "?a=1&lt=2&ampx&amp=3", "?a=1<=2&x&=3"},
    // No reference at all.
    {"&copy; &unknown; & &# &#x; &;", "&copy; &unknown; & &# &#x; &;",
     "&copy; &unknown; & &# &#x; &;"},
    {"&amp;amp;", "&amp;", "&amp;"},
    {"&#10;", "\n", "\n"},
    {"tail&", "tail&", "tail&"},
};

TEST(CharacterReferences, ReadAsBrowsersReadThem) {
  for (const Case& c : kCases) {
    EXPECT_EQ(decodeCharacterReferences(c.written, true), c.inAttribute) << c.written;
    EXPECT_EQ(decodeCharacterReferences(c.written, false), c.inText) << c.written;
  }
}

}  // namespace
