// When the queue is saved in the background, on the fake clock.
#include "download/save_schedule.h"

#include <gtest/gtest.h>

#include "fakes/fake_clock.h"

namespace {

class SaveScheduleTest : public testing::Test {
 protected:
  // The queue as loaded is saved; nothing runs.
  SaveScheduleTest() { schedule.taken(0, clock); }

  bool dueAfter(uint32_t ms, uint64_t changes, bool running = false) {
    clock.advance(ms);
    return schedule.due(changes, running, clock);
  }

  FakeClock clock{0xFFFFF000u};  // the tick counter wraps during every test
  SaveSchedule schedule;
};

TEST_F(SaveScheduleTest, NothingChangedAndNothingRunningIsNeverDue) {
  EXPECT_FALSE(dueAfter(0, 0));
  EXPECT_FALSE(dueAfter(3600000, 0));
}

TEST_F(SaveScheduleTest, AChangeIsDueOneSecondAfterItWasSeenHoweverManyFollow) {
  EXPECT_FALSE(dueAfter(10000, 1));
  EXPECT_FALSE(dueAfter(600, 7));
  EXPECT_FALSE(dueAfter(399, 9));
  EXPECT_TRUE(dueAfter(1, 9));
  schedule.taken(9, clock);
  EXPECT_FALSE(dueAfter(5000, 9));
}

TEST_F(SaveScheduleTest, AChangeMadeWhileASaveIsWrittenIsTimedFromWhenItWasSeen) {
  ASSERT_FALSE(dueAfter(0, 1));
  ASSERT_TRUE(dueAfter(1000, 1));
  schedule.taken(1, clock);
  EXPECT_FALSE(dueAfter(200, 2));  // seen while the save is written
  EXPECT_FALSE(dueAfter(999, 2));
  schedule.ended(true, clock);
  EXPECT_TRUE(dueAfter(1, 2));
}

TEST_F(SaveScheduleTest, WhileTransfersRunASaveIsDueEvery25Seconds) {
  EXPECT_FALSE(dueAfter(24999, 0, true));
  EXPECT_TRUE(dueAfter(1, 0, true));
  schedule.taken(0, clock);
  schedule.ended(true, clock);
  EXPECT_FALSE(dueAfter(24999, 0, true));
  EXPECT_FALSE(dueAfter(100000, 0, false));
  EXPECT_TRUE(dueAfter(0, 0, true));
}

TEST_F(SaveScheduleTest, AFailedSaveIsTriedAgainAfter5SecondsWithoutAnotherChange) {
  ASSERT_FALSE(dueAfter(0, 1));
  ASSERT_TRUE(dueAfter(1000, 1));
  schedule.taken(1, clock);
  schedule.ended(false, clock);
  EXPECT_FALSE(dueAfter(4999, 1, true));
  EXPECT_TRUE(dueAfter(1, 1));
  schedule.taken(1, clock);
  schedule.ended(true, clock);
  EXPECT_FALSE(dueAfter(60000, 1));
}

}  // namespace
