#include "download/progress_text.h"

#include <gtest/gtest.h>

namespace {

TEST(ProgressText, SizesAreWholeKilobytesRoundedUp) {
  EXPECT_EQ(sizeText(0), "0 KB");
  EXPECT_EQ(sizeText(1), "1 KB");
  EXPECT_EQ(sizeText(1024), "1 KB");
  EXPECT_EQ(sizeText(1025), "2 KB");
  EXPECT_EQ(sizeText(1048575), "1,024 KB");
  EXPECT_EQ(sizeText(1048577), "1,025 KB");
  // Beyond 32 bits the kilobytes go on counting.
  EXPECT_EQ(sizeText(5'000'000'000), "4,882,813 KB");
}

TEST(ProgressText, SpeedsKeepThreeDigitsCutNotRounded) {
  EXPECT_EQ(speedText(0), "");
  EXPECT_EQ(speedText(10), "");  // below a hundredth of a KB/s
  EXPECT_EQ(speedText(52), "0.05 KB/s");
  EXPECT_EQ(speedText(431), "0.42 KB/s");
  EXPECT_EQ(speedText(3503), "3.42 KB/s");
  EXPECT_EQ(speedText(12637), "12.3 KB/s");
  EXPECT_EQ(speedText(12645), "12.3 KB/s");  // 12.348... is cut to 12.3
  EXPECT_EQ(speedText(126413), "123 KB/s");
  EXPECT_EQ(speedText(1264128), "1,234 KB/s");
  // Loopback speeds do not wrap around.
  EXPECT_EQ(speedText(100ull * 1024 * 1024), "102,400 KB/s");
}

TEST(ProgressText, DurationsUseTheLargestUnitsThatFit) {
  EXPECT_EQ(durationText(0, false), "0 sec");
  EXPECT_EQ(durationText(59, false), "59 sec");
  EXPECT_EQ(durationText(61, false), "1 min 1 sec");
  EXPECT_EQ(durationText(125, false), "2 min 5 sec");
  EXPECT_EQ(durationText(599, false), "9 min 59 sec");
  EXPECT_EQ(durationText(600, false), "10 min");
  EXPECT_EQ(durationText(3599, false), "59 min");
  EXPECT_EQ(durationText(3661, false), "1 hr 1 min");
  EXPECT_EQ(durationText(36000, false), "10 hr");
  EXPECT_EQ(durationText(3600u * 1234, false), "1,234 hr");
}

TEST(ProgressText, RoundingToFiveOnlyTouchesLongerThanFiveSeconds) {
  EXPECT_EQ(durationText(17, true), "15 sec");
  EXPECT_EQ(durationText(5, true), "5 sec");
  EXPECT_EQ(durationText(4, true), "4 sec");
  EXPECT_EQ(durationText(64, true), "1 min 0 sec");
}

TEST(ProgressText, CountsNameTheirNounInTheRightNumber) {
  EXPECT_EQ(countText(0, "connection"), "0 connections");
  EXPECT_EQ(countText(1, "connection"), "1 connection");
  EXPECT_EQ(countText(2, "connection"), "2 connections");
  EXPECT_EQ(countText(1000, "saved file"), "1,000 saved files");
}

TEST(ProgressText, ThousandsAreGroupedFromTheRight) {
  EXPECT_EQ(groupThousands(""), "");
  EXPECT_EQ(groupThousands("1"), "1");
  EXPECT_EQ(groupThousands("123"), "123");
  EXPECT_EQ(groupThousands("1234"), "1,234");
  EXPECT_EQ(groupThousands("123456"), "123,456");
  EXPECT_EQ(groupThousands("1234567"), "1,234,567");
}

}  // namespace
