#include "url/byte_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fakes/fake_text_rules.h"

namespace {

class ByteTextTest : public ::testing::Test {
 protected:
  FakeTextRules rules;
  ByteText text{rules};
};

using ByteTextFind = ByteTextTest;

TEST_F(ByteTextFind, FindsTheFirstOrTheLastOccurrence) {
  EXPECT_EQ(text.findText("abcabc", "bc"), 1);
  EXPECT_EQ(text.findText("abcabc", "bc", true), 4);
  EXPECT_EQ(text.findText("abcabc", "abc", true), 3);
  EXPECT_EQ(text.findText("abcabc", "abcabc", true), 0);
  EXPECT_EQ(text.findText("aaaa", "aa", false), 0);
  EXPECT_EQ(text.findText("aaaa", "aa", true), 2);
}

TEST_F(ByteTextFind, AnswersMinusOneForEmptyTextsAndOverlongPatterns) {
  EXPECT_EQ(text.findText("", ""), -1);
  EXPECT_EQ(text.findText("abc", ""), -1);
  EXPECT_EQ(text.findText("", "a"), -1);
  EXPECT_EQ(text.findText("ab", "abc"), -1);
  EXPECT_EQ(text.findText("ab", "abc", true, true), -1);
  EXPECT_EQ(text.findText("abc", "abd"), -1);
  EXPECT_EQ(text.findText("abc", "abd", true), -1);
}

TEST_F(ByteTextFind, IgnoresCaseOnlyWhenAsked) {
  EXPECT_EQ(text.findText("Content-TYPE: x", "type"), -1);
  EXPECT_EQ(text.findText("Content-TYPE: x", "type", false, true), 8);
  EXPECT_EQ(text.findText("aBcAbC", "ABC", true, true), 3);
}

TEST_F(ByteTextFind, MatchesAtTheVeryEndAndNotPastIt) {
  EXPECT_EQ(text.findText("xxxab", "ab"), 3);
  EXPECT_EQ(text.findText("xxxa", "ab"), -1);  // the candidate "a" at the end has no room
  EXPECT_EQ(text.findText("abxxx", "ab", true), 0);
}

TEST_F(ByteTextFind, TreatsZeroAndHighBytesAsOrdinaryBytes) {
  std::string hay(
      "a\0b\xFF\xAD"
      "c",
      6);
  EXPECT_EQ(text.findText(hay, std::string_view("\0b", 2)), 1);
  EXPECT_EQ(text.findText(hay, "\xFF\xAD"), 3);
  EXPECT_EQ(text.findText(hay, "\xFF\xAD", true, true), 3);
}

TEST_F(ByteTextFind, AgreesWithANaiveSearchOnManyTexts) {
  // A small alphabet makes partial matches common, which is where a scanner goes wrong.
  std::vector<std::string> samples;
  std::string word;
  for (int n = 0; n < 600; ++n) {
    word.clear();
    for (int k = n; k > 0; k /= 3) word.push_back("abA"[k % 3]);
    samples.push_back(word);
  }
  for (size_t i = 0; i < samples.size(); i += 7) {
    for (size_t j = 0; j < samples.size(); j += 13) {
      const std::string& hay = samples[i];
      const std::string& needle = samples[j];
      int64_t first = -1, last = -1;
      if (!hay.empty() && !needle.empty() && needle.size() <= hay.size()) {
        size_t f = hay.find(needle), l = hay.rfind(needle);
        first = f == std::string::npos ? -1 : static_cast<int64_t>(f);
        last = l == std::string::npos ? -1 : static_cast<int64_t>(l);
      }
      ASSERT_EQ(text.findText(hay, needle), first) << hay << " / " << needle;
      ASSERT_EQ(text.findText(hay, needle, true), last) << hay << " / " << needle;
    }
  }
}

using ByteTextAffixes = ByteTextTest;

TEST_F(ByteTextAffixes, StartsEndsAndContainsAreFalseForAnEmptyPattern) {
  EXPECT_FALSE(text.startsWithText("abc", ""));
  EXPECT_FALSE(text.endsWithText("abc", ""));
  EXPECT_FALSE(text.containsText("abc", ""));
  EXPECT_FALSE(text.startsWithText("", ""));
}

TEST_F(ByteTextAffixes, StartsAndEndsWithLookAtTheRightEnd) {
  EXPECT_TRUE(text.startsWithText("http://x", "http:"));
  EXPECT_FALSE(text.startsWithText("xhttp://", "http:"));
  EXPECT_TRUE(text.endsWithText("a.htm.htm", ".htm"));
  EXPECT_FALSE(text.endsWithText("a.htmx", ".htm"));
  EXPECT_TRUE(text.endsWithText("A.HTM", ".htm", true));
  EXPECT_FALSE(text.endsWithText("A.HTM", ".htm"));
  EXPECT_FALSE(text.startsWithText("ab", "abc"));
}

TEST_F(ByteTextAffixes, StripRepeatedRemovesEveryRepetitionFromOneEnd) {
  EXPECT_EQ(text.stripRepeated("///a//", "/"), "a//");
  EXPECT_EQ(text.stripRepeated("///a//", "/", true), "///a");
  EXPECT_EQ(text.stripRepeated("...", "."), "");
  EXPECT_EQ(text.stripRepeated("abc", ""), "abc");
  EXPECT_EQ(text.stripRepeated("xXxa", "x", false, true), "a");
  EXPECT_EQ(text.stripRepeated("ababa", "ab"), "a");
}

TEST_F(ByteTextAffixes, EnsureAffixAddsTheTokenOnlyWhenMissing) {
  EXPECT_EQ(text.ensureAffix("C:\\dir", "\\", true), "C:\\dir\\");
  EXPECT_EQ(text.ensureAffix("C:\\dir\\", "\\", true), "C:\\dir\\");
  EXPECT_EQ(text.ensureAffix("www.x", "http://"), "http://www.x");
  EXPECT_EQ(text.ensureAffix("HTTP://www.x", "http://", false, true), "HTTP://www.x");
  EXPECT_EQ(text.ensureAffix("", "\\", true), "\\");
}

using ByteTextSplit = ByteTextTest;

TEST_F(ByteTextSplit, SplitAtCutsAroundTheFirstOrLastSeparator) {
  EXPECT_EQ(text.splitAt("a=b=c", "="), std::make_pair(std::string("a"), std::string("b=c")));
  EXPECT_EQ(text.splitAt("a=b=c", "=", true), std::make_pair(std::string("a=b"), std::string("c")));
  EXPECT_EQ(text.splitAt("abc", "="), std::make_pair(std::string("abc"), std::string()));
  EXPECT_EQ(text.splitAt("abc", ""), std::make_pair(std::string("abc"), std::string()));
  EXPECT_EQ(text.splitAt("xAndy", "and", false, true),
            std::make_pair(std::string("x"), std::string("y")));
}

TEST_F(ByteTextSplit, TextBetweenNeedsTheCloseAfterTheOpen) {
  EXPECT_EQ(text.textBetween("<title>Hi</title>", "<title>", "</title>"), "Hi");
  EXPECT_EQ(text.textBetween("<TITLE>Hi</Title>", "<title>", "</title>", true), "Hi");
  EXPECT_EQ(text.textBetween("</b> <b>x", "<b>", "</b>"), "");  // close only before open
  EXPECT_EQ(text.textBetween("no open here", "<b>", "</b>"), "");
  EXPECT_EQ(text.textBetween("[]", "[", "]"), "");
  EXPECT_EQ(text.textBetween("(a(b)c)", "(", ")"), "a(b");
}

TEST(SplitFields, TakesSiteRecordsApartOneFieldAfterAnother) {
  std::string_view rest = "example.com\ranna\rsecret\rhttp://ref/\rnext.org\rbob\r\r\r";
  std::string host, user, password, referrer;
  ASSERT_TRUE(splitFields(rest, "\r", {&host, &user, &password, &referrer}));
  EXPECT_EQ(host, "example.com");
  EXPECT_EQ(user, "anna");
  EXPECT_EQ(password, "secret");
  EXPECT_EQ(referrer, "http://ref/");
  ASSERT_TRUE(splitFields(rest, "\r", {&host, &user, &password, &referrer}));
  EXPECT_EQ(host, "next.org");
  EXPECT_EQ(user, "bob");
  EXPECT_EQ(password, "");
  EXPECT_EQ(referrer, "");
  EXPECT_EQ(rest, "");
  host = "kept";
  EXPECT_FALSE(splitFields(rest, "\r", {&host}));
  EXPECT_EQ(host, "kept");
}

TEST(SplitFields, GivesTheLastFieldAllThatIsLeftAndEmptiesFieldsPastTheEnd) {
  std::string_view rest = "a,b";
  std::string one, two, three = "old";
  ASSERT_TRUE(splitFields(rest, ",", {&one, nullptr, &three}));
  EXPECT_EQ(one, "a");
  EXPECT_EQ(three, "");
  EXPECT_EQ(rest, "");

  rest = "a,,b,c";
  ASSERT_TRUE(splitFields(rest, ",", {&one, &two}));
  EXPECT_EQ(one, "a");
  EXPECT_EQ(two, "");
  EXPECT_EQ(rest, "b,c");
}

using ByteTextReplace = ByteTextTest;

TEST_F(ByteTextReplace, ReplacesLeftToRightWithoutRescanningWhatItWrote) {
  EXPECT_EQ(text.replaceAll("aaa", "aa", "b"), "ba");
  EXPECT_EQ(text.replaceAll("aaaa", "aa", "a"), "aa");
  EXPECT_EQ(text.replaceAll("%2525", "%25", "%"), "%25");
  EXPECT_EQ(text.replaceAll("abc", "", "x"), "abc");
  EXPECT_EQ(text.replaceAll("", "a", "x"), "");
  EXPECT_EQ(text.replaceAll("a.b.c", ".", ""), "abc");
  EXPECT_EQ(text.replaceAll("x", "x", "xx"), "xx");
  EXPECT_EQ(text.replaceAll("aXbxc", "x", "-", true), "a-b-c");
}

TEST(TrimTokens, RemovesAnyOfTheTokensFromBothEndsUntilNoneIsLeft) {
  EXPECT_EQ(trimTokens("  a b  ", {" "}), "a b");
  EXPECT_EQ(trimTokens(" .-. name .- ", {" ", ".", "-"}), "name");
  EXPECT_EQ(trimTokens("\r\n\r\nx\r\n", {"\r\n"}), "x");
  EXPECT_EQ(trimTokens("   ", {" "}), "");
  EXPECT_EQ(trimTokens("Ab a", {"a"}), "Ab ");  // case counts
  EXPECT_EQ(trimTokens("xx", {"", "x"}), "");   // an empty token is ignored, not looped on
  EXPECT_EQ(trimTokens("abc", {}), "abc");
}

TEST(SubstringOf, ClipsToTheTextAndRejectsStartsOutsideIt) {
  EXPECT_EQ(substringOf("abcdef", 2, 3), "cde");
  EXPECT_EQ(substringOf("abcdef", 4, 100), "ef");
  EXPECT_EQ(substringOf("abcdef", 2, -1), "cdef");
  EXPECT_EQ(substringOf("abcdef", 0, 0), "");
  EXPECT_EQ(substringOf("abcdef", 6, 1), "");
  EXPECT_EQ(substringOf("abcdef", -1, 2), "");
  EXPECT_EQ(substringOf("", 0, -1), "");
  EXPECT_EQ(substringOf("abcdef", 5, INT64_MAX), "f");
}

TEST(FormatNumber, WritesDecimalOrZeroPaddedLowerCaseHexadecimal) {
  EXPECT_EQ(formatNumber(0), "0");
  EXPECT_EQ(formatNumber(-1), "-1");
  EXPECT_EQ(formatNumber(5000000000), "5000000000");
  EXPECT_EQ(formatNumber(255, 4), "00ff");
  EXPECT_EQ(formatNumber(0x1234abcd, 2), "1234abcd");  // never cut to the width
  EXPECT_EQ(formatNumber(0, 1), "0");
  EXPECT_EQ(formatNumber(-1, 8), "ffffffffffffffff");
}

TEST(JoinTexts, ConcatenatesInOrder) {
  EXPECT_EQ(joinTexts({"a", "", "bc", std::string_view("\0d", 2)}), std::string("abc\0d", 5));
  EXPECT_EQ(joinTexts({}), "");
}

using ByteTextCompare = ByteTextTest;

TEST_F(ByteTextCompare, EqualsTextUsesTheLocaleComparison) {
  EXPECT_TRUE(text.equalsText("abc", "abc"));
  EXPECT_FALSE(text.equalsText("abc", "ABC"));
  EXPECT_TRUE(text.equalsText("abc", "ABC", true));
  rules.ignoredBytes.insert(0xAD);
  EXPECT_TRUE(
      text.equalsText("a\xAD"
                      "b",
                      "ab"));  // as the system answers
}

TEST_F(ByteTextCompare, AddressesTheLocaleCallsEqualAreToldApartByTheirBytes) {
  rules.ignoredBytes.insert(0xAD);
  const std::string plain = "http://a/a", hyphened = "http://a/a\xAD";
  ASSERT_EQ(rules.compare(plain, hyphened), 0);
  EXPECT_LT(text.compareAddresses(plain, hyphened), 0);
  EXPECT_GT(text.compareAddresses(hyphened, plain), 0);
  EXPECT_EQ(text.compareAddresses(hyphened, hyphened), 0);
  // Texts that differ only after a zero byte, which the locale comparison never reaches.
  EXPECT_NE(text.compareAddresses(std::string("a\0x", 3), std::string("a\0y", 3)), 0);
}

TEST_F(ByteTextCompare, AddressOrderFollowsTheLocaleWhereItDecides) {
  rules.ignoredBytes.insert(0xAD);
  // Without the soft hyphen "a\xADz" sorts after "ab", though its bytes sort before it.
  EXPECT_GT(text.compareAddresses("a\xAD"
                                  "z",
                                  "ab"),
            0);
  std::vector<std::string> addresses = {"b", "a\xAD", "a", "a\xAD\xAD", "ab"};
  std::sort(addresses.begin(), addresses.end(), [&](const std::string& x, const std::string& y) {
    return text.compareAddresses(x, y) < 0;
  });
  EXPECT_EQ(addresses, (std::vector<std::string>{"a", "a\xAD", "a\xAD\xAD", "ab", "b"}));
}

TEST_F(ByteTextCompare, CaseCopiesAndTheUpperTableFollowTheRules) {
  EXPECT_EQ(text.upperText("Ab1\xE9"), "AB1\xE9");
  EXPECT_EQ(text.lowerText("Ab1\xC9"), "ab1\xC9");
  EXPECT_EQ(text.upper('q'), 'Q');
  EXPECT_EQ(text.upper(0xE9), 0xE9);
}

}  // namespace
