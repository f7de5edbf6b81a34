#include "platform/thread_pool.h"

#include <deque>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/slim_lock.h"

struct ThreadPool::State {
  std::chrono::milliseconds idleLimit{0};
  mutable SlimMutex mutex;
  SlimCondition handed;
  // Tasks handed over and not taken yet: never more than the threads waiting, so each has
  // a thread that will take it.
  std::deque<std::function<void()>> tasks;
  size_t waiting = 0;
  size_t made = 0;
  size_t alive = 0;
};

ThreadPool::ThreadPool(std::chrono::milliseconds idleLimit) : state_(std::make_shared<State>()) {
  state_->idleLimit = idleLimit;
}

ThreadPool::~ThreadPool() = default;

ThreadPool& ThreadPool::shared() {
  // Never destroyed: detached threads may still wait on it while the process ends.
  static ThreadPool* pool = new ThreadPool(std::chrono::seconds(10));
  return *pool;
}

bool ThreadPool::start(std::function<void()> task) {
  {
    std::lock_guard lock(state_->mutex);
    if (state_->tasks.size() < state_->waiting) {
      state_->tasks.push_back(std::move(task));
      state_->handed.notify_one();
      return true;
    }
    ++state_->made;
    ++state_->alive;
  }
  try {
    std::thread(&ThreadPool::run, state_, std::move(task)).detach();
    return true;
  } catch (const std::system_error&) {
    std::lock_guard lock(state_->mutex);
    --state_->made;
    --state_->alive;
    return false;
  }
}

void ThreadPool::run(const std::shared_ptr<State>& state, std::function<void()> task) {
  for (;;) {
    task();
    // What the task held goes before the wait, not when the next task replaces it.
    task = nullptr;
    std::unique_lock lock(state->mutex);
    ++state->waiting;
    const bool got = state->handed.wait_for(lock, state->idleLimit,
                                            [&] { return !state->tasks.empty(); });
    --state->waiting;
    if (!got) {
      --state->alive;
      return;
    }
    task = std::move(state->tasks.front());
    state->tasks.pop_front();
  }
}

size_t ThreadPool::threadsMade() const {
  std::lock_guard lock(state_->mutex);
  return state_->made;
}

size_t ThreadPool::threadsAlive() const {
  std::lock_guard lock(state_->mutex);
  return state_->alive;
}

size_t ThreadPool::threadsWaiting() const {
  std::lock_guard lock(state_->mutex);
  return state_->waiting;
}
