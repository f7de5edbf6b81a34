#pragma once
#include "platform/waiting_messages.h"

// Messages wait while the test says so.
class FakeWaitingMessages final : public WaitingMessages {
 public:
  bool messageWaits() const override { return waiting; }

  bool waiting = false;
};
