#pragma once
#include <cstdint>
#include <string_view>

// When a download tries a connection again. A connection that breaks, or ends without a
// byte while the file still has gaps, is started again after a wait: 2 s at first, doubled
// after every attempt that brought nothing, up to a minute, each wait spread a little at
// random so that many clients cut off together do not all come back in the same second. A
// connection that wrote bytes is started again at once, and the waits begin at 2 s again.
// A job gives up only after kGiveUpAfterMs in which no attempt wrote a byte.

inline constexpr int64_t kFirstRetryDelayMs = 2000;
inline constexpr int64_t kLongestRetryDelayMs = 60000;
inline constexpr int64_t kGiveUpAfterMs = 10 * 60 * 1000;
// A wait is the delay plus or minus up to this share of it (in percent).
inline constexpr int64_t kRetrySpreadPercent = 10;

// The delay after `delayMs`: kFirstRetryDelayMs after 0 (no wait yet), then twice the
// last, never above kLongestRetryDelayMs.
int64_t nextRetryDelay(int64_t delayMs);

// The delay with its spread, drawn from the last 8 hexadecimal digits of a fresh token
// (the random part of a GUID); the delay itself when the token has no such digits.
int64_t spreadRetryDelay(int64_t delayMs, std::string_view token);

// Whole seconds left of a wait, rounded up, never below 1: what "Retrying in" shows.
int64_t retrySecondsLeft(int64_t waitMs, int64_t elapsedMs);
