#pragma once
#include <cstdint>
#include <vector>

#include "platform/connection.h"

// A line that is up or down as the test says. Dialing brings it up when `dialingConnects`
// (and then answers success); every dial's flags are recorded.
class FakeConnection final : public Connection {
 public:
  bool isConnected() override {
    ++checks;
    return connected;
  }
  bool dial(uint32_t flags) override {
    dials.push_back(flags);
    if (dialFailures > 0) {
      --dialFailures;
      return false;
    }
    if (dialingConnects) connected = true;
    return dialingConnects;
  }

  bool connected = true;
  bool dialingConnects = false;
  int dialFailures = 0;  // so many dials fail first, whatever `dialingConnects` says
  int checks = 0;
  std::vector<uint32_t> dials;
};
