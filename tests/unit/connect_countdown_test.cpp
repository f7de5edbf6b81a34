#include "download/connect_countdown.h"

#include <gtest/gtest.h>

namespace {

using Step = ConnectCountdown::Step;

TEST(ConnectCountdownTest, DialingAutomaticallyPausesFiveSecondsThenDialsAtTheFirstTick) {
  ConnectCountdown countdown(static_cast<int32_t>(DialUpMode::kDialAutomatically));
  ConnectCountdown::Texts texts = countdown.texts();
  EXPECT_EQ(texts.caption, "Haulix Dial-up Connection - Pausing");
  EXPECT_EQ(texts.status, "Haulix will connect the default dial-up connection in 5 seconds.");
  EXPECT_FALSE(texts.tryNowEnabled);
  EXPECT_TRUE(texts.dialEnabled);
  EXPECT_TRUE(texts.cancelEnabled);

  EXPECT_EQ(countdown.tick(), Step::kDial);
  texts = countdown.texts();
  EXPECT_EQ(texts.caption, "Haulix Dial-up Connection - Dialing");
  EXPECT_EQ(texts.status, "Haulix is dialing the default dial-up connection.");
  EXPECT_FALSE(texts.tryNowEnabled || texts.dialEnabled || texts.cancelEnabled);
}

TEST(ConnectCountdownTest, WaitingChecksAgainAfterTwelveTicks) {
  ConnectCountdown countdown(static_cast<int32_t>(DialUpMode::kWaitForRedial));
  ConnectCountdown::Texts texts = countdown.texts();
  EXPECT_EQ(texts.caption, "Haulix Dial-up Connection - Waiting");
  EXPECT_EQ(texts.status,
            "Haulix will check for a connection again in 60 seconds. You can connect manually, "
            "and then click Try Now. Click Dial to have Haulix connect the default dial-up "
            "connection.");
  EXPECT_TRUE(texts.tryNowEnabled && texts.dialEnabled && texts.cancelEnabled);
  for (int i = 1; i < 12; ++i) {
    ASSERT_EQ(countdown.tick(), Step::kWait) << i;
    EXPECT_EQ(countdown.seconds(), 60 - 5 * i);
  }
  EXPECT_EQ(countdown.tick(), Step::kCheck);
  countdown.restart();
  EXPECT_EQ(countdown.seconds(), 60);
  EXPECT_FALSE(countdown.dialing());
}

TEST(ConnectCountdownTest, AFailedDialCountsSixtySecondsToTheNextDial) {
  ConnectCountdown countdown(static_cast<int32_t>(DialUpMode::kDialAutomatically));
  ASSERT_EQ(countdown.tick(), Step::kDial);
  countdown.restart();
  EXPECT_EQ(countdown.texts().caption, "Haulix Dial-up Connection - Pausing");
  EXPECT_EQ(countdown.texts().status,
            "Haulix will connect the default dial-up connection in 60 seconds.");
  for (int i = 1; i < 12; ++i) ASSERT_EQ(countdown.tick(), Step::kWait);
  EXPECT_EQ(countdown.tick(), Step::kDial);
}

TEST(ConnectCountdownTest, TheDialButtonSwitchesAWaitingDialogToDialing) {
  ConnectCountdown countdown(static_cast<int32_t>(DialUpMode::kWaitForRedial));
  countdown.dialNow();
  EXPECT_TRUE(countdown.dialing());
  EXPECT_EQ(countdown.texts().caption, "Haulix Dial-up Connection - Dialing");
}

TEST(ConnectCountdownTest, AnyOtherStoredModeWaits) {
  EXPECT_FALSE(ConnectCountdown(7).dialing());
  EXPECT_EQ(ConnectCountdown(7).seconds(), 60);
}

}  // namespace
