#include "platform/thread_pool.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

namespace {

using namespace std::chrono_literals;

// Waits, with a generous limit, until the condition holds.
template <typename Condition>
bool eventually(Condition condition) {
  const auto limit = std::chrono::steady_clock::now() + 60s;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > limit) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

// Tasks that count their distinct threads and stay until let go.
struct HeldTasks {
  std::mutex mutex;
  std::condition_variable changed;
  std::set<std::thread::id> threads;
  int started = 0;
  int running = 0;
  bool letGo = false;

  std::function<void()> task() {
    return [this] {
      std::unique_lock lock(mutex);
      threads.insert(std::this_thread::get_id());
      ++started;
      ++running;
      changed.notify_all();
      changed.wait(lock, [this] { return letGo; });
      --running;
    };
  }
  void release() {
    std::lock_guard lock(mutex);
    letGo = true;
    changed.notify_all();
  }
  // Started and ended, and on how many threads (all alive: an ended thread's id may be
  // given to a new one).
  bool doneOn(int tasks, size_t threadCount) {
    std::lock_guard lock(mutex);
    return started == tasks && running == 0 && threads.size() == threadCount;
  }
  bool done(int tasks) {
    std::lock_guard lock(mutex);
    return started == tasks && running == 0;
  }
  int runningNow() {
    std::lock_guard lock(mutex);
    return running;
  }
};

TEST(ThreadPool, AThreadThatFinishedTakesTheNextTask) {
  ThreadPool pool(600s);
  HeldTasks held;
  // Tasks that run at once each get a thread of their own.
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(pool.start(held.task()));
  ASSERT_TRUE(eventually([&] { return held.runningNow() == 3; }));
  held.release();
  ASSERT_TRUE(eventually([&] { return pool.threadsWaiting() == 3; }));
  // Later tasks go to the threads that wait, not to new ones.
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(pool.start(held.task()));
  EXPECT_TRUE(eventually([&] { return held.doneOn(6, 3); }));
  EXPECT_EQ(pool.threadsMade(), 3u);
}

TEST(ThreadPool, AThreadLeftIdleEnds) {
  ThreadPool pool(20ms);
  HeldTasks held;
  held.release();
  ASSERT_TRUE(pool.start(held.task()));
  // Ended, not merely between its task and its wait.
  EXPECT_TRUE(eventually([&] { return held.done(1) && pool.threadsAlive() == 0; }));
  ASSERT_TRUE(pool.start(held.task()));
  EXPECT_TRUE(eventually([&] { return held.done(2); }));
  EXPECT_EQ(pool.threadsMade(), 2u);
}

}  // namespace
