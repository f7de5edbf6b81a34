#pragma once
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

#include "platform/ids.h"

// Tokens from a counter: "00000000000000000000000000000001", "...02", ... Can be told to
// fail, as CoCreateGuid may.
class FakeIds final : public Ids {
 public:
  std::string newToken() override {
    std::lock_guard<std::mutex> hold(mutex_);
    if (failing_) return {};
    char text[33];
    std::snprintf(text, sizeof text, "%016llx%016llx", 0ull,
                  static_cast<unsigned long long>(++count_));
    return text;
  }
  void setFailing(bool failing) {
    std::lock_guard<std::mutex> hold(mutex_);
    failing_ = failing;
  }
  uint64_t issued() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return count_;
  }

 private:
  mutable std::mutex mutex_;
  uint64_t count_ = 0;
  bool failing_ = false;
};
