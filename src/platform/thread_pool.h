#pragma once
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>

// Detached threads that, once their task is done, wait a while for another instead of
// ending. A transfer starts several threads (its worker, the open of its address, the
// read-ahead of its body, the closes), and starting a thread costs far more than handing
// a task to one that waits: under Wine every new thread has a megabyte of stack cleared
// and a round of the Wine server, which made thread starts most of the cost of fetching
// many small pages. A task never waits for another: without a waiting thread it gets a
// new one.
class ThreadPool {
 public:
  explicit ThreadPool(std::chrono::milliseconds idleLimit);
  // The waiting threads end on their own once idle; the pool's state lives until then.
  ~ThreadPool();
  ThreadPool(const ThreadPool&) = delete;
  ThreadPool& operator=(const ThreadPool&) = delete;

  // Runs the task on a waiting thread, or else on a new one; false when the system gives
  // no thread (the task is then dropped, unrun).
  bool start(std::function<void()> task);

  // Threads made so far, threads not ended yet, and threads waiting for a task now.
  size_t threadsMade() const;
  size_t threadsAlive() const;
  size_t threadsWaiting() const;

  // The process's pool, whose threads wait ten seconds for a next task.
  static ThreadPool& shared();

 private:
  struct State;
  static void run(const std::shared_ptr<State>& state, std::function<void()> task);

  std::shared_ptr<State> state_;
};
