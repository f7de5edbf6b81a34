#include "site/value_memo.h"

#include <algorithm>

namespace {
bool before(int64_t start, int64_t end, int64_t otherStart, int64_t otherEnd) {
  return start < otherStart || (start == otherStart && end < otherEnd);
}
}  // namespace

void ValueMemo::beginPass(bool inOrder) {
  auto byPlace = [](const Placed& a, const Placed& b) {
    return before(a.start, a.end, b.start, b.end);
  };
  if (!std::is_sorted(fresh_.begin(), fresh_.end(), byPlace))
    std::sort(fresh_.begin(), fresh_.end(), byPlace);
  std::vector<Placed> merged;
  merged.reserve(placed_.size() + fresh_.size());
  std::merge(placed_.begin(), placed_.end(), fresh_.begin(), fresh_.end(),
             std::back_inserter(merged), byPlace);
  placed_.swap(merged);
  fresh_.clear();
  cursor_ = 0;
  inOrder_ = inOrder;
}

bool ValueMemo::find(const TextSpan& value, Known& known) {
  if (inOrder_) {
    while (cursor_ < placed_.size() &&
           before(placed_[cursor_].start, placed_[cursor_].end, value.start, value.end))
      ++cursor_;
    if (cursor_ < placed_.size() && placed_[cursor_].start == value.start &&
        placed_[cursor_].end == value.end) {
      known = placed_[cursor_].known;
      return true;
    }
  }
  auto found = byBytes_.find(bytesOf(value));
  if (found == byBytes_.end()) return false;
  known = found->second;
  return true;
}

void ValueMemo::remember(const TextSpan& value, const Known& known) {
  byBytes_.emplace(bytesOf(value), known);
  fresh_.push_back({value.start, value.end, known});
}
