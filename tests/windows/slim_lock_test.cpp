#include "platform/slim_lock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;

TEST(SlimLockTest, AWaitGivesUpAtItsLimitWithThePredicatesValue) {
  SlimMutex mutex;
  SlimCondition changed;
  std::unique_lock lock(mutex);
  EXPECT_FALSE(changed.wait_for(lock, 20ms, [] { return false; }));
  EXPECT_TRUE(changed.wait_for(lock, 20ms, [] { return true; }));
  EXPECT_TRUE(lock.owns_lock());
}

// Two threads take turns, each waiting for the other's change, notified after the lock is
// let go: a notification lost on its way to a waiter would leave both waiting.
TEST(SlimLockTest, NoHandOverIsLostBetweenTwoThreads) {
  constexpr int kTurns = 2000;
  SlimMutex mutex;
  SlimCondition changed;
  int turn = 0;
  auto take = [&](int parity) {
    for (;;) {
      std::unique_lock lock(mutex);
      if (!changed.wait_for(lock, 60s, [&] { return turn >= kTurns || turn % 2 == parity; }))
        return false;
      if (turn >= kTurns) return true;
      ++turn;
      lock.unlock();
      changed.notify_one();
    }
  };
  bool otherEnded = false;
  std::thread other([&] { otherEnded = take(1); });
  const bool ended = take(0);
  other.join();
  EXPECT_TRUE(ended);
  EXPECT_TRUE(otherEnded);
  EXPECT_EQ(turn, kTurns);
}

}  // namespace
