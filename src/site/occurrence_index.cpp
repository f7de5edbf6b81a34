#include "site/occurrence_index.h"

#include <algorithm>

int64_t OccurrenceIndex::next(int64_t from, int64_t end) {
  const int64_t lastStart = document_.end - pattern_.size();
  // Search on until an occurrence at or after `from` is held, or nothing is left.
  while ((found_.empty() || found_.back().at < from) && scanned_ <= lastStart) {
    const int64_t at = pattern_.findIn(document_.bytes, scanned_, document_.end, reader_.folding());
    if (at < 0) {
      scanned_ = lastStart + 1;
      break;
    }
    found_.push_back({at, 0});
    scanned_ = at + 1;  // occurrences may overlap
  }
  auto place = std::lower_bound(found_.begin(), found_.end(), from,
                                [](const Occurrence& o, int64_t offset) { return o.at < offset; });
  if (place == found_.end() || place->at + pattern_.size() > end) return -1;
  return dropped_ + (place - found_.begin());
}

void OccurrenceIndex::setFloor(int64_t floor) {
  while (!found_.empty() && found_.front().at < floor) {
    found_.pop_front();
    ++dropped_;
  }
  scanned_ = std::max(scanned_, floor);
}
