#pragma once
#include <windows.h>

#include "platform/waiting_messages.h"

// The WaitingMessages port on the calling thread's queue. Paint and timer messages do not
// count: the work's own redraws make paint wait after every part of it, and the idle
// timer is the work's own. A worker's wake-up (an empty posted message) counts: the pass
// it cuts short is followed at once by one that takes the worker's result.
class Win32WaitingMessages final : public WaitingMessages {
 public:
  bool messageWaits() const override {
    return HIWORD(GetQueueStatus(QS_INPUT | QS_POSTMESSAGE | QS_SENDMESSAGE)) != 0;
  }
};
