#include "transfer/read_size.h"

#include <algorithm>

void ReadSizer::update(uint32_t got, int64_t elapsedMs) {
  if (elapsedMs > kSlowMs) {
    target_ = 0;
  } else if (elapsedMs <= kFastMs && got >= target_) {
    const uint64_t doubled = std::max<uint64_t>(uint64_t{got} * 2, kMinStep);
    target_ = static_cast<uint32_t>(std::min<uint64_t>(doubled, kMaxRead));
  }
}
