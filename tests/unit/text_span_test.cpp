#include "site/text_span.h"

#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "fakes/fake_text_rules.h"
#include "url/byte_text.h"

namespace {

class TextSpanTest : public testing::Test {
 protected:
  // The bytes are copied into an allocation of exactly their size, so that the address
  // sanitizer sees any read past the end.
  TextSpan span(const std::string& bytes) {
    buffers_.emplace_back(new unsigned char[bytes.size() + 1]);
    std::memcpy(buffers_.back().get(), bytes.data(), bytes.size());
    return TextSpan::document(buffers_.back().get(), static_cast<int64_t>(bytes.size()));
  }
  std::string textOf(const TextSpan& s) { return SpanReader::spanText(s); }
  std::string bytesOf(const TextSpan& s) {
    return std::string(reinterpret_cast<const char*>(s.bytes + s.start),
                       static_cast<size_t>(s.end - s.start));
  }
  // The value of the attribute in the whole text, or "(none)".
  std::string valueIn(const std::string& tag, const std::string& name) {
    TextSpan t = span(tag), value;
    return reader.attributeValue(t, name, value) ? bytesOf(value) : "(none)";
  }

  FakeTextRules rules;
  ByteText text{rules};
  SpanReader reader{text};
  std::vector<std::unique_ptr<unsigned char[]>> buffers_;
};

TEST_F(TextSpanTest, FindsThePatternIgnoringAsciiCaseAndMovesPastIt) {
  TextSpan s = span("xx<A HREF=1><a href=2>");
  TextSpan found;
  ASSERT_TRUE(reader.findInSpan(s, "<a h", found));
  EXPECT_EQ(found.start, 2);
  EXPECT_EQ(found.end, 6);
  EXPECT_EQ(s.start, 6);
  ASSERT_TRUE(reader.findInSpan(s, "<a h", found));
  EXPECT_EQ(found.start, 12);
  EXPECT_FALSE(reader.findInSpan(s, "<a h", found));
  EXPECT_EQ(s.start, s.end);
  EXPECT_EQ(found.start, s.end);
  EXPECT_TRUE(found.empty());
}

TEST_F(TextSpanTest, ASpaceInThePatternMatchesEveryBlank) {
  for (unsigned char blank : {0x00, 0x09, 0x0A, 0x0D, 0x20, 0x80, 0xA0, 0xFF}) {
    TextSpan s = span(std::string("<a") + static_cast<char>(blank) + "href");
    TextSpan found;
    EXPECT_TRUE(reader.findInSpan(s, "<a ", found)) << int(blank);
  }
  for (char other : {'b', '!', '>', '\x7F'}) {
    TextSpan s = span(std::string("<a") + other + "href");
    TextSpan found;
    EXPECT_FALSE(reader.findInSpan(s, "<a ", found)) << other;
  }
  // And a blank in the file matches a blank in the pattern, not the other way round only.
  TextSpan s = span("a\xC3\xA9z");
  TextSpan found;
  EXPECT_TRUE(reader.findInSpan(s, "a\x01\x90z", found));
}

TEST_F(TextSpanTest, AnEmptyOrShortSpanOrPatternFindsNothingAndIsUsedUp) {
  TextSpan s = span("abc");
  TextSpan found;
  EXPECT_FALSE(reader.findInSpan(s, "", found));
  EXPECT_EQ(s.start, 3);
  s = span("abc");
  EXPECT_FALSE(reader.findInSpan(s, "abcd", found));
  EXPECT_EQ(s.start, 3);
  EXPECT_EQ(found.start, 3);
  s = span("abc");
  s.start = s.end = 1;
  EXPECT_FALSE(reader.findInSpan(s, "b", found));
  EXPECT_EQ(found.start, 1);
  // The pattern must lie wholly inside the window.
  s = span("xxabcxx");
  s.end = 4;
  EXPECT_FALSE(reader.findInSpan(s, "abc", found));
}

// The vector search must find exactly what a byte-by-byte comparison at every offset finds.
TEST_F(TextSpanTest, FindsWhatAComparisonAtEveryOffsetFinds) {
  std::mt19937 random(11);
  const std::string alphabet = "<>aAhHrReEfF=\" \t\x80\xFF\x00/imgIMGsrc";
  const std::vector<std::string> patterns = {"<a ", "href", "</a>", ">",   "<img ", " ",
                                             "\"",  "a",    "src",  "  x", "=\"",   "e f"};
  auto fold = [&](unsigned char c) {
    return text.upper(static_cast<signed char>(c) < 0x21 ? ' ' : c);
  };
  for (int round = 0; round < 400; ++round) {
    std::string bytes(random() % 90, ' ');
    for (char& c : bytes) c = alphabet[random() % alphabet.size()];
    TextSpan document = span(bytes);
    for (const std::string& pattern : patterns) {
      const int64_t from = bytes.empty() ? 0 : random() % (bytes.size() + 1);
      int64_t expected = -1;
      for (int64_t at = from;
           at + static_cast<int64_t>(pattern.size()) <= static_cast<int64_t>(bytes.size()) &&
           expected < 0;
           ++at) {
        bool same = true;
        for (size_t i = 0; i < pattern.size() && same; ++i)
          same = fold(bytes[at + i]) == fold(pattern[i]);
        if (same) expected = at;
      }
      TextSpan s = document;
      s.start = from;
      TextSpan found;
      const bool hit = reader.findInSpan(s, pattern, found);
      ASSERT_EQ(hit, expected >= 0) << round << " " << pattern;
      if (hit) {
        ASSERT_EQ(found.start, expected) << round << " " << pattern;
      }
    }
  }
}

TEST_F(TextSpanTest, SpanBetweenReachesTheEndWhenTheCloseIsMissing) {
  TextSpan s = span("<b>one</b> <b>two");
  TextSpan inner;
  ASSERT_TRUE(reader.spanBetween(s, reader.pattern("<b>"), reader.pattern("</b>"), inner));
  EXPECT_EQ(bytesOf(inner), "one");
  EXPECT_EQ(s.start, 10);
  ASSERT_TRUE(reader.spanBetween(s, reader.pattern("<b>"), reader.pattern("</b>"), inner));
  EXPECT_EQ(bytesOf(inner), "two");
  EXPECT_TRUE(s.empty());
  EXPECT_FALSE(reader.spanBetween(s, reader.pattern("<b>"), reader.pattern("</b>"), inner));
}

TEST_F(TextSpanTest, AttributeValuesAreQuotedOrUnquoted) {
  EXPECT_EQ(valueIn(" href=\"a b.htm\" x", "href"), "a b.htm");
  EXPECT_EQ(valueIn(" href=a.htm x", "href"), "a.htm");
  EXPECT_EQ(valueIn(" HREF = = a.htm", "href"), "a.htm");
  EXPECT_EQ(valueIn(" href='x.htm'", "href"), "'x.htm'");
  for (char stop : {'"', '<', '>', ';', '{', '}', '\t', '\n', '\x01', ' '})
    EXPECT_EQ(valueIn(std::string(" href=ab") + stop + "cd", "href"), "ab") << stop;
  // A quote with no partner takes the rest of the tag; an empty quoted value counts.
  EXPECT_EQ(valueIn(" href=\"a.htm", "href"), "a.htm");
  EXPECT_EQ(valueIn(" href=\"\" src=x", "href"), "");
}

// The program runs in the UTF-8 code page: bytes from 0x80 up are letters of an address,
// not separators, wherever the value starts or stands. Tag names and attribute names still
// match any blank where the pattern has a space.
TEST_F(TextSpanTest, ValuesKeepTheirBytesFromHexEightyUp) {
  EXPECT_EQ(valueIn(" href=caf\xC3\xA9.htm x", "href"), "caf\xC3\xA9.htm");
  EXPECT_EQ(valueIn(" href=\xC3\xA9t\xC3\xA9.htm>", "href"), "\xC3\xA9t\xC3\xA9.htm");
  EXPECT_EQ(valueIn(" href=\"na\xC3\xAFve page.htm\"", "href"), "na\xC3\xAFve page.htm");
  EXPECT_EQ(valueIn(" href=\x85\xFF", "href"), "\x85\xFF");
  TextSpan s = span("a\tb\x01" "c\xC3\xA9\x80\xFF");
  EXPECT_EQ(SpanReader::valueText(s), "a b c\xC3\xA9\x80\xFF");
  EXPECT_EQ(SpanReader::spanText(s), "a b c    ");
  TextSpan tag = span("<a\xA0href=x>"), found;
  EXPECT_TRUE(reader.findInSpan(tag, "<a ", found));
}

TEST_F(TextSpanTest, OnlyWholeWordsAreAttributeNames) {
  EXPECT_EQ(valueIn(" hreflang=en href=p.htm", "href"), "p.htm");
  EXPECT_EQ(valueIn(" xhref=a href=p.htm", "href"), "p.htm");
  EXPECT_EQ(valueIn(" href2=a", "href"), "(none)");
  EXPECT_EQ(valueIn("href=first", "href"), "first");  // no byte before the file
  EXPECT_EQ(valueIn("-href=x", "href"), "x");
}

TEST_F(TextSpanTest, WhatStandsBeforeTheEqualsSignIsPassedOver) {
  EXPECT_EQ(valueIn(" href and then title=t", "href"), "t");
  // No value before the tag ends: false, and no later occurrence is tried.
  EXPECT_EQ(valueIn(" name=top href", "href"), "(none)");
  EXPECT_EQ(valueIn(" href = ", "href"), "(none)");
  EXPECT_EQ(valueIn(" x href", "href"), "(none)");
  // A value that stops at once is no value, but the tag's start stays there.
  TextSpan t = span(" href=>rest"), value;
  EXPECT_FALSE(reader.attributeValue(t, "href", value));
  EXPECT_EQ(t.start, 6);
}

TEST_F(TextSpanTest, TheWordBeforeTheTagCountsForTheWholeWordTest) {
  // The tag starts right after "x"; the byte before the match lies outside the tag.
  TextSpan t = span("xhref=a");
  t.start = 1;
  TextSpan value;
  EXPECT_FALSE(reader.attributeValue(t, "href", value));
}

TEST_F(TextSpanTest, TagAttributeLooksInsideTheNextTagOnly) {
  TextSpan s = span("<embed x=1><embed src=b.avi>");
  TextSpan value;
  EXPECT_FALSE(reader.tagAttribute(s, reader.pattern("<embed "), reader.pattern("src"),
                                   reader.pattern(">"), value));
  EXPECT_TRUE(reader.tagAttribute(s, reader.pattern("<embed "), reader.pattern("src"),
                                  reader.pattern(">"), value));
  EXPECT_EQ(bytesOf(value), "b.avi");
}

TEST_F(TextSpanTest, SpanTextTurnsBlanksIntoSpaces) {
  TextSpan s =
      span(std::string("a\tb\nc\x00"
                       "d\xE9"
                       "e",
                       9));
  EXPECT_EQ(SpanReader::spanText(s), "a b c d e");
  s.start = s.end;
  EXPECT_EQ(SpanReader::spanText(s), "");
}

// Offsets are 64-bit: a window far beyond 2 GiB (and 4 GiB) is searched and read there. The
// bytes are an untouched anonymous mapping, so only the pages written take memory.
TEST_F(TextSpanTest, SpansBeyondTwoAndFourGibibytesKeepTheirOffsets) {
  const int64_t size = (int64_t{5} << 30);
  void* mapped = mmap(nullptr, static_cast<size_t>(size), PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (mapped == MAP_FAILED) GTEST_SKIP() << "no room for a 5 GiB mapping";
  auto* bytes = static_cast<unsigned char*>(mapped);
  for (int64_t at : {(int64_t{1} << 31) + 100, (int64_t{1} << 32) + 7}) {
    const std::string tag = "<a href=\"far.htm\">";
    std::memcpy(bytes + at, tag.data(), tag.size());
    TextSpan s{bytes, size, at - 50, at + 4096};
    TextSpan inner, value;
    ASSERT_TRUE(reader.spanBetween(s, reader.pattern("<a "), reader.pattern(">"), inner));
    EXPECT_EQ(inner.start, at + 3);
    EXPECT_EQ(inner.end, at + static_cast<int64_t>(tag.size()) - 1);
    ASSERT_TRUE(reader.attributeValue(inner, "href", value));
    EXPECT_EQ(value.start, at + 9);
    EXPECT_EQ(SpanReader::spanText(value), "far.htm");
  }
  munmap(mapped, static_cast<size_t>(size));
}

}  // namespace
