// The ANSI text functions as the system gives them, and the byte-text utilities over them.
#include "platform/win32/win32_text_rules.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "url/byte_text.h"

namespace {

TEST(Win32TextRules, OrdersTextsTheWayLstrcmpADoes) {
  Win32TextRules rules;
  EXPECT_LT(rules.compare("a", "b"), 0);
  EXPECT_LT(rules.compare("a", "B"), 0);  // the locale puts letters together, unlike bytes
  EXPECT_LT(rules.compare("abc", "abcd"), 0);
  EXPECT_GT(rules.compare("http://b/", "http://a/z"), 0);
  EXPECT_NE(rules.compare("ABC", "abc"), 0);
  EXPECT_EQ(rules.compare("same", "same"), 0);
  EXPECT_EQ(rules.compare(std::string("a\0x", 3), std::string("a\0y", 3)), 0);
}

// Most comparisons are answered without the system's call; every answer must still be its.
TEST(Win32TextRules, GivesLstrcmpAsOrderForTextsDifferingAnywhere) {
  Win32TextRules rules;
  const std::string pieces[] = {"a",  "B",  "z",    "Z",        "0",        "9",    ".",
                                "/",  "_",  "-",    "'",        " ",        "~",    "%",
                                "A",  "b",  "1",    "http://h/", "file10",  "\xAD", "\xE9",
                                "\xC3\xA9", "\xC2\xAD", "e\xCC\x81", std::string(1, '\0'), "?=&"};
  std::mt19937 random(13);
  auto someOf = [&](int least, int most) {
    std::string text;
    for (int n = std::uniform_int_distribution<int>(least, most)(random); n > 0; --n)
      text += pieces[std::uniform_int_distribution<size_t>(0, std::size(pieces) - 1)(random)];
    return text;
  };
  auto sign = [](int n) { return n < 0 ? -1 : n > 0 ? 1 : 0; };
  for (int n = 0; n < 4000; ++n) {
    const std::string start = someOf(0, 3);
    const std::string a = start + someOf(0, 3), b = start + someOf(0, 3);
    ASSERT_EQ(sign(rules.compare(a, b)), sign(lstrcmpA(a.c_str(), b.c_str())))
        << "\"" << a << "\" and \"" << b << "\"";
  }
}

TEST(Win32TextRules, ComparesIgnoringCaseTheWayLstrcmpiADoes) {
  Win32TextRules rules;
  EXPECT_EQ(rules.compareIgnoringCase("Content-Type", "CONTENT-type"), 0);
  EXPECT_LT(rules.compareIgnoringCase("abc", "ABD"), 0);
}

TEST(Win32TextRules, CallsSomeDifferentTextsEqualWhichAddressOrderTellsApart) {
  Win32TextRules rules;
  ByteText text(rules);
  // The soft hyphen as a lone byte and in UTF-8, and two bytes that are no UTF-8 at all.
  const std::pair<std::string, std::string> ties[] = {{"http://a/a", "http://a/a\xAD"},
                                                      {"http://a/a", "http://a/a\xC2\xAD"},
                                                      {"http://a/\xE9", "http://a/\xEA"}};
  EXPECT_EQ(rules.compare(ties[0].first, ties[0].second), 0) << "the tie the queue must break";
  for (const auto& [a, b] : ties) {
    if (rules.compare(a, b) == 0) {
      EXPECT_TRUE(text.equalsText(a, b)) << b;
    }
    int forward = text.compareAddresses(a, b), backward = text.compareAddresses(b, a);
    EXPECT_NE(forward, 0) << b;
    EXPECT_EQ(forward<0, backward> 0) << b;
  }
  EXPECT_LT(text.compareAddresses("http://a/a", "http://a/b"), 0);
  EXPECT_LT(text.compareAddresses("http://a/a", "http://a/B"), 0);  // the locale decides
}

TEST(Win32TextRules, UpperCasesAsciiByteByByte) {
  Win32TextRules rules;
  for (int c = 'a'; c <= 'z'; ++c)
    EXPECT_EQ(rules.upperByte(static_cast<unsigned char>(c)), c - 32);
  for (unsigned char c : {'A', 'Z', '0', '{', '@', '\0'}) EXPECT_EQ(rules.upperByte(c), c);
  ByteText text(rules);
  EXPECT_EQ(text.findText("GET / HTTP/1.1\r\nContent-type: x", "CONTENT-TYPE", false, true), 16);
}

TEST(Win32TextRules, CaseCopiesChangeAsciiAndKeepEveryByte) {
  Win32TextRules rules;
  EXPECT_EQ(rules.upperText("Http://Example.com/a"), "HTTP://EXAMPLE.COM/A");
  EXPECT_EQ(rules.lowerText("Http://Example.COM/A"), "http://example.com/a");
  EXPECT_EQ(rules.lowerText(""), "");
  std::string withZero("Ab\0Cd", 5);
  EXPECT_EQ(rules.lowerText(withZero), std::string("ab\0cd", 5));
  EXPECT_EQ(rules.upperText(withZero), std::string("AB\0CD", 5));
  EXPECT_EQ(rules.lowerText("x\xC3\x89y").size(), 4u);
}

}  // namespace
