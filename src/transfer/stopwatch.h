#pragma once
#include <cstdint>

#include "platform/clock.h"

// A mark on the 32-bit millisecond tick counter, and how long ago it was set.
struct Stopwatch {
  bool started = false;
  uint32_t tick = 0;      // tick count at the last mark
  int64_t lastSpan = -1;  // elapsed time at the mark before the last one; -1 until then

  // Remembers the elapsed time (when started) and sets the mark to now.
  void mark(const Clock& clock);
  // Milliseconds since the mark, counted forward across a wrap of the counter; -1 when
  // not started.
  int64_t elapsed(const Clock& clock) const;
  // True when not started, or when at least `ms` have passed since the mark.
  bool atLeast(const Clock& clock, int64_t ms) const;
  // Back to never marked.
  void clear() { *this = Stopwatch{}; }
};

// The later of two ticks: the one reached from the other by the shorter forward distance,
// so that a wrap of the counter between them is read as a small step.
uint32_t laterTick(uint32_t a, uint32_t b);

// The receiving speed of one piece, from the ticks of its first and latest data.
struct RateMeter {
  Stopwatch firstData;
  Stopwatch lastData;
  int64_t counted = 0;  // bytes after the first chunk

  // Counts a chunk of n bytes that reached the piece. The first chunk only sets the start
  // of the measurement: its bytes arrived before the first mark, so they are not counted.
  void add(const Clock& clock, int64_t n);
  // Bytes per second between the first and the latest chunk; 0 while unmeasurable.
  int64_t speed() const;
};
