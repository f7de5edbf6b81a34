#pragma once
#include "platform/clock.h"

class Win32Clock final : public Clock {
 public:
  uint32_t tickCount() const override;
};
