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

TEST(DecodeEscapes, KeepsEscapesOutsideTheTable) {
  EXPECT_EQ(decodeEscapes("%41%2D%2E%5F%00%0D%0A%C3%A9%7F"), "%41%2D%2E%5F%00%0D%0A%C3%A9%7F");
}

TEST(DecodeEscapes, FoldsEscapedPercentSignsAgainAndAgainFirst) {
  EXPECT_EQ(decodeEscapes("%2541"), "%41");
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
