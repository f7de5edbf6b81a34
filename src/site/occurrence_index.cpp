#include "site/occurrence_index.h"

#include <algorithm>

int64_t OccurrenceIndex::next(int64_t from, int64_t end) {
  const int64_t lastStart = document_.end - pattern_.size();
  // Search on until an occurrence at or after `from` is held, or nothing is left.
  while ((held() == 0 || found_.back().at < from) && scanned_ <= lastStart) {
    const int64_t at = pattern_.findIn(document_.bytes, scanned_, document_.end, reader_.folding());
    if (at < 0) {
      scanned_ = lastStart + 1;
      break;
    }
    found_.push_back({at, 0});
    scanned_ = at + 1;  // occurrences may overlap
  }
  // Searches mostly start at the floor or just after the last answer: look there first.
  const auto first = found_.begin() + static_cast<std::ptrdiff_t>(head_);
  auto place = found_.end();
  if (first != found_.end() && first->at >= from) {
    place = first;
  } else {
    auto below = first + static_cast<std::ptrdiff_t>(std::max(lastAnswer_, head_) - head_);
    if (below >= found_.end() || below->at >= from) below = first;
    place = std::lower_bound(below, found_.end(), from,
                             [](const Occurrence& o, int64_t offset) { return o.at < offset; });
  }
  if (place == found_.end() || place->at + pattern_.size() > end) return -1;
  lastAnswer_ = static_cast<size_t>(place - found_.begin());
  return dropped_ + static_cast<int64_t>(lastAnswer_);
}

void OccurrenceIndex::setFloor(int64_t floor) {
  while (head_ < found_.size() && found_[head_].at < floor) ++head_;
  // What lies below the floor is freed once it is half of what is held.
  if (head_ > 0 && head_ * 2 >= found_.size()) {
    found_.erase(found_.begin(), found_.begin() + static_cast<std::ptrdiff_t>(head_));
    dropped_ += static_cast<int64_t>(head_);
    lastAnswer_ = lastAnswer_ > head_ ? lastAnswer_ - head_ : 0;
    head_ = 0;
  }
  scanned_ = std::max(scanned_, floor);
}
