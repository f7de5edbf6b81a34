#include "transfer/stopwatch.h"

#include <gtest/gtest.h>

#include "fakes/fake_clock.h"

namespace {

TEST(Stopwatch, IsUnstartedUntilMarked) {
  FakeClock clock;
  Stopwatch watch;
  EXPECT_EQ(watch.elapsed(clock), -1);
  EXPECT_TRUE(watch.atLeast(clock, 250));
  EXPECT_EQ(watch.lastSpan, -1);
}

TEST(Stopwatch, MeasuresFromTheLatestMarkAndKeepsTheSpanBefore) {
  FakeClock clock;
  Stopwatch watch;
  watch.mark(clock);
  clock.advance(249);
  EXPECT_EQ(watch.elapsed(clock), 249);
  EXPECT_FALSE(watch.atLeast(clock, 250));
  clock.advance(1);
  EXPECT_TRUE(watch.atLeast(clock, 250));
  watch.mark(clock);
  EXPECT_EQ(watch.lastSpan, 250);
  EXPECT_EQ(watch.elapsed(clock), 0);
}

TEST(Stopwatch, CountsForwardAcrossTheWrapOfTheTickCounter) {
  FakeClock clock(0xFFFFFF00u);
  Stopwatch watch;
  watch.mark(clock);
  clock.advance(0x200);  // wraps to 0x100
  EXPECT_EQ(watch.elapsed(clock), 0x200);
}

TEST(Stopwatch, TheLaterTickIsTheOneAShortForwardStepAway) {
  EXPECT_EQ(laterTick(100, 200), 200u);
  EXPECT_EQ(laterTick(200, 100), 200u);
  EXPECT_EQ(laterTick(0xFFFFFFF0u, 0x10), 0x10u);
  EXPECT_EQ(laterTick(0x10, 0xFFFFFFF0u), 0x10u);
}

TEST(RateMeter, DoesNotCountTheFirstChunk) {
  FakeClock clock;
  RateMeter rate;
  rate.add(clock, 5000);
  EXPECT_EQ(rate.counted, 0);
  EXPECT_EQ(rate.speed(), 0);  // no time has passed between first and last data
  clock.advance(2000);
  rate.add(clock, 3000);
  clock.advance(0);
  rate.add(clock, 1000);
  EXPECT_EQ(rate.counted, 4000);
  EXPECT_EQ(rate.speed(), 2000);
}

TEST(RateMeter, IgnoresEmptyChunks) {
  FakeClock clock;
  RateMeter rate;
  rate.add(clock, 0);
  EXPECT_FALSE(rate.firstData.started);
  EXPECT_FALSE(rate.lastData.started);
}

TEST(RateMeter, MeasuresAcrossTheWrapOfTheTickCounter) {
  FakeClock clock(0xFFFFFC18u);  // 1000 ms before the wrap
  RateMeter rate;
  rate.add(clock, 1);
  clock.advance(2000);
  rate.add(clock, 10000);
  EXPECT_EQ(rate.speed(), 5000);
}

}  // namespace
