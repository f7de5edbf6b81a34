#pragma once
#include <cstdint>

// How many bytes a worker asks for in one read. The library announces at most 8 KiB as
// available at a time, and a query plus a read per 8 KiB costs several times the transfer
// itself; a read of more than is available blocks until that much has arrived, which is
// cheap when data streams in and slow when it trickles. So the size follows the measured
// time of the reads: it doubles after a read that took at most kFastMs (up to kMaxRead)
// and falls back to what is announced after one that took longer than kSlowMs, so a read
// rarely waits much longer than the 250 ms between flushes and the silence the status
// text reports stays true.
class ReadSizer {
 public:
  static constexpr uint32_t kMaxRead = 1u << 20;
  static constexpr uint32_t kMinStep = 16u << 10;
  static constexpr int64_t kFastMs = 50;
  static constexpr int64_t kSlowMs = 250;

  // The size of the next read when `available` bytes are announced (never less).
  uint32_t next(uint32_t available) const { return available > target_ ? available : target_; }
  // What the last read brought and how long it took.
  void update(uint32_t got, int64_t elapsedMs);

 private:
  uint32_t target_ = 0;
};
