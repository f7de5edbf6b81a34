#include "url/escapes.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(DecodeEscapes, LeavesATextWithoutPercentAlone) {
  EXPECT_EQ(decodeEscapes("plain name.txt"), "plain name.txt");
  EXPECT_EQ(decodeEscapes(""), "");
}

TEST(DecodeEscapes, DecodesEveryEscapeOfTheTableInEitherCase) {
  EXPECT_EQ(decodeEscapes("%20%21%22%23%24%26%27%28%29%2B%2C%2F%3A%3B%3C%3D%3E%3F%40"
                          "%5B%5C%5D%5E%60%7B%7C%7D%7E"),
            " !\"#$&'()+,/:;<=>?@[\\]^`{|}~");
  EXPECT_EQ(decodeEscapes("%2b%2c%2f%3a%3b%3c%3d%3e%3f%5b%5c%5d%5e%7b%7c%7d%7e"),
            "+,/:;<=>?[\\]^{|}~");
}

TEST(DecodeEscapes, DecodesEveryEscapeThatSpellsACharacter) {
  EXPECT_EQ(decodeEscapes("%41%2D%2E%5F%c3%a9"), "A-._\xC3\xA9");
  EXPECT_EQ(decodeEscapes("%E6%97%A5%E6%9C%AC%20caf%C3%A9.bin"),
            "\xE6\x97\xA5\xE6\x9C\xAC caf\xC3\xA9.bin");
  EXPECT_EQ(decodeEscapes("%F0%9F%98%80"), "\xF0\x9F\x98\x80");
}

TEST(DecodeEscapes, KeepsEscapesOfControlBytesAndOfBytesThatMakeNoCharacter) {
  const char* kept[] = {
      "%00%0D%0A%09%7F",  // controls
      "caf%E9.txt",       // Latin-1
      "%E6%97",           // cut short
      "%C0%AF",           // overlong "/"
      "%ED%A0%80",        // a surrogate
      "%F4%90%80%80",     // above U+10FFFF
      "%A9",              // a continuation alone
  };
  for (const char* text : kept) EXPECT_EQ(decodeEscapes(text), text);
  // What follows a broken character is read on its own.
  EXPECT_EQ(decodeEscapes("%E6%41"), "%E6A");
  EXPECT_EQ(decodeEscapes("%C3%28"), "%C3(");
}

TEST(DecodeEscapes, WritesBytesOfTheTextThatMakeNoCharacterAsEscapes) {
  EXPECT_EQ(decodeEscapes("caf\xE9.txt"), "caf%E9.txt");
  EXPECT_EQ(decodeEscapes("caf\xC3\xA9 \xFF"), "caf\xC3\xA9 %FF");
}

TEST(DecodeEscapes, FoldsEscapedPercentSignsAgainAndAgainFirst) {
  EXPECT_EQ(decodeEscapes("%2541"), "A");
  EXPECT_EQ(decodeEscapes("%252F"), "/");
  EXPECT_EQ(decodeEscapes("%2520"), " ");
  EXPECT_EQ(decodeEscapes("%25252520x"), " x");
  EXPECT_EQ(decodeEscapes("100%25"), "100%");
  EXPECT_EQ(decodeEscapes("%%2525"), "%%");
}

TEST(DecodeEscapes, LeavesBrokenEscapesAsTheyAre) {
  EXPECT_EQ(decodeEscapes("%"), "%");
  EXPECT_EQ(decodeEscapes("%2"), "%2");
  EXPECT_EQ(decodeEscapes("a%2"), "a%2");
  EXPECT_EQ(decodeEscapes("%G0%2G%%20"), "%G0%2G% ");
  EXPECT_EQ(decodeEscapes("%2%3B"), "%2;");
}

TEST(DecodeEscapes, FoldsALongChainOfEscapedPercentSignsQuickly) {
  // One pass per level would take minutes here.
  std::string chain = "%";
  for (int i = 0; i < 200000; ++i) chain += "25";
  chain += "20";
  EXPECT_EQ(decodeEscapes(chain), " ");
}

}  // namespace
