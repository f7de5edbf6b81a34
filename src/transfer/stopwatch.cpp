#include "transfer/stopwatch.h"

void Stopwatch::mark(const Clock& clock) {
  if (started) lastSpan = elapsed(clock);
  started = true;
  tick = clock.tickCount();
}

int64_t Stopwatch::elapsed(const Clock& clock) const {
  if (!started) return -1;
  // Unsigned subtraction counts forward across the wrap every 49.7 days; an absolute
  // difference would turn a few milliseconds there into 49 days.
  return static_cast<uint32_t>(clock.tickCount() - tick);
}

bool Stopwatch::atLeast(const Clock& clock, int64_t ms) const {
  return !started || elapsed(clock) >= ms;
}

uint32_t laterTick(uint32_t a, uint32_t b) {
  const uint32_t forwardToB = b - a;
  const uint32_t forwardToA = a - b;
  return forwardToB < forwardToA ? b : a;
}

void RateMeter::add(const Clock& clock, int64_t n) {
  if (n == 0) return;
  if (!firstData.started) {
    firstData.mark(clock);
  } else {
    counted += n;
  }
  lastData.mark(clock);
}

int64_t RateMeter::speed() const {
  if (!firstData.started || !lastData.started) return 0;
  const uint32_t span = lastData.tick - firstData.tick;
  if (span == 0) return 0;
  return counted * 1000 / static_cast<int64_t>(span);
}
