#include "platform/slim_lock.h"

#ifdef _WIN32
#include <windows.h>

static_assert(sizeof(SRWLOCK) == sizeof(void*) && sizeof(CONDITION_VARIABLE) == sizeof(void*));

namespace {

SRWLOCK* srw(void*& lock) {
  return reinterpret_cast<SRWLOCK*>(&lock);
}

CONDITION_VARIABLE* condition(void*& variable) {
  return reinterpret_cast<CONDITION_VARIABLE*>(&variable);
}

}  // namespace

void SlimMutex::lock() {
  AcquireSRWLockExclusive(srw(lock_));
}

bool SlimMutex::try_lock() {
  return TryAcquireSRWLockExclusive(srw(lock_)) != FALSE;
}

void SlimMutex::unlock() {
  ReleaseSRWLockExclusive(srw(lock_));
}

void SlimCondition::sleep(std::unique_lock<SlimMutex>& lock, unsigned long milliseconds) {
  ++waiters_;
  SleepConditionVariableSRW(condition(condition_), srw(lock.mutex()->lock_), milliseconds, 0);
  --waiters_;
}

void SlimCondition::notify_one() {
  if (waiters_.load() > 0) WakeConditionVariable(condition(condition_));
}

void SlimCondition::notify_all() {
  if (waiters_.load() > 0) WakeAllConditionVariable(condition(condition_));
}

#endif
