#pragma once
#include <atomic>
#include <chrono>
#include <mutex>

#ifndef _WIN32
#include <condition_variable>
#endif

// The lock and condition variable of the hand-overs made on every transfer step: the
// engine's lock, the thread pool's, the page scans'. Under Wine the C++ library's own
// (winpthreads, built on events and semaphores) make a round of the Wine server, which
// every thread of every Wine program waits on, for each contended lock and each hand-over:
// about twenty a fetched page in a crawl. The system's slim lock and condition variable wait on a
// futex instead. Elsewhere they are the standard ones.
#ifdef _WIN32

class SlimMutex {
 public:
  SlimMutex() = default;
  SlimMutex(const SlimMutex&) = delete;
  SlimMutex& operator=(const SlimMutex&) = delete;

  void lock();
  bool try_lock();
  void unlock();

 private:
  friend class SlimCondition;
  void* lock_ = nullptr;  // an SRWLOCK: one pointer, clear while free
};

class SlimCondition {
 public:
  SlimCondition() = default;
  SlimCondition(const SlimCondition&) = delete;
  SlimCondition& operator=(const SlimCondition&) = delete;

  template <typename Predicate>
  void wait(std::unique_lock<SlimMutex>& lock, Predicate done) {
    while (!done()) sleep(lock, kForever);
  }
  // As wait, but gives up after `limit`; the predicate's value at the end.
  template <typename Predicate>
  bool wait_for(std::unique_lock<SlimMutex>& lock, std::chrono::milliseconds limit,
                Predicate done) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return done();
      sleep(lock, static_cast<unsigned long>(left.count()));
    }
    return true;
  }
  // A notification nobody waits for costs nothing: the count of waiters is kept by the
  // waiters under the lock, and the state they wait on changes under it too.
  void notify_one();
  void notify_all();

 private:
  static constexpr unsigned long kForever = 0xFFFFFFFF;
  void sleep(std::unique_lock<SlimMutex>& lock, unsigned long milliseconds);

  void* condition_ = nullptr;  // a CONDITION_VARIABLE: one pointer, clear at first
  std::atomic<int> waiters_{0};
};

#else

using SlimMutex = std::mutex;
using SlimCondition = std::condition_variable;

#endif
