#pragma once
#include <cstdint>
#include <vector>

#include "site/text_span.h"

// The places of one pattern in a document, found lazily from the front and kept, so that
// searches which go back over the same bytes again and again (the images inside anchors
// that are never closed) read each byte once. Every occurrence gives a number, which stays
// with it, and a few bits of marks for the caller. A floor frees what lies below it.
class OccurrenceIndex {
 public:
  struct Occurrence {
    int64_t at = 0;     // the offset of its first byte
    uint8_t marks = 0;  // the caller's
  };

  OccurrenceIndex(const SpanReader& reader, const TextSpan& document, const SpanPattern& pattern)
      : reader_(reader), document_(document), pattern_(pattern), scanned_(document.start) {}

  // The number of the first occurrence at or after `from` that ends by `end`; -1 when none.
  int64_t next(int64_t from, int64_t end);
  // An occurrence by its number, which must be at or above the floor; the reference holds
  // until the next search or floor.
  Occurrence& operator[](int64_t number) { return found_[static_cast<size_t>(number - dropped_)]; }
  // No search will start below `floor` any more: what lies there is forgotten.
  void setFloor(int64_t floor);
  // Occurrences held now, at or above the floor.
  size_t held() const { return found_.size() - head_; }

 private:
  const SpanReader& reader_;
  TextSpan document_;
  const SpanPattern& pattern_;
  // In order, every occurrence in [floor, scanned_) from head_ on; those before head_ lie
  // below the floor and are erased in batches. found_[i] has the number dropped_ + i.
  std::vector<Occurrence> found_;
  size_t head_ = 0;
  int64_t dropped_ = 0;
  size_t lastAnswer_ = 0;  // where the last search ended
  int64_t scanned_;        // every offset below this has been tried
};
