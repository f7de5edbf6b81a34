#pragma once
#include <cstdint>

// The system's millisecond tick counter (GetTickCount): wraps every 49.7 days.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual uint32_t tickCount() const = 0;
};
