#pragma once
#include <atomic>
#include <cstdint>

#include "platform/clock.h"

// A tick counter that moves only when the test advances it (and wraps as the real one).
class FakeClock final : public Clock {
 public:
  explicit FakeClock(uint32_t start = 1000) : now_(start) {}
  uint32_t tickCount() const override { return now_.load(); }
  void advance(uint32_t ms) { now_ += ms; }
  void set(uint32_t tick) { now_ = tick; }

 private:
  std::atomic<uint32_t> now_;
};
