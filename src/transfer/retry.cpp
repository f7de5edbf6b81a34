#include "transfer/retry.h"

#include <algorithm>

int64_t nextRetryDelay(int64_t delayMs) {
  if (delayMs <= 0) return kFirstRetryDelayMs;
  return std::min(delayMs * 2, kLongestRetryDelayMs);
}

int64_t spreadRetryDelay(int64_t delayMs, std::string_view token) {
  if (token.size() < 8) return delayMs;
  uint32_t random = 0;
  for (char c : token.substr(token.size() - 8)) {
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return delayMs;
    }
    random = random << 4 | static_cast<uint32_t>(digit);
  }
  // A share of the spread in [-1, 1), in steps of 1/1000.
  const int64_t thousandths = static_cast<int64_t>(random % 2001) - 1000;
  return delayMs + delayMs * kRetrySpreadPercent * thousandths / 100000;
}

int64_t retrySecondsLeft(int64_t waitMs, int64_t elapsedMs) {
  const int64_t left = waitMs - std::max<int64_t>(elapsedMs, 0);
  return std::max<int64_t>((left + 999) / 1000, 1);
}
