#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <unordered_map>
#include <utility>

// A hash map that grows a few entries at a time. std::unordered_map moves every entry into
// its new buckets at once when it outgrows them, and in a map of 50,000 addresses that
// stalls one insertion, and the pass that made it, for 5 to 10 ms. This one starts a map
// twice as large instead and moves kMovesPerInsert entries into it with each insertion,
// looking in both meanwhile; the old one is empty before the new one is full.
template <class Key, class Value, class Hash = std::hash<Key>>
class GradualMap {
 public:
  static constexpr size_t kMovesPerInsert = 4;

  // The value of the key; nullptr when there is none.
  Value* find(const Key& key) {
    if (auto found = current_.find(key); found != current_.end()) return &found->second;
    if (auto found = old_.find(key); found != old_.end()) return &found->second;
    return nullptr;
  }
  const Value* find(const Key& key) const { return const_cast<GradualMap*>(this)->find(key); }
  // Adds the key with the value, or gives the key's value when it has one already.
  Value& insert(const Key& key, Value value) {
    if (Value* known = find(key)) return *known;
    growBeforeInsert();
    return current_.emplace(key, std::move(value)).first->second;
  }
  // Adds the key with the value, or gives the key that value.
  void assign(const Key& key, Value value) {
    if (Value* known = find(key))
      *known = std::move(value);
    else
      insert(key, std::move(value));
  }
  void clear() {
    current_.clear();
    old_.clear();
  }
  size_t size() const { return current_.size() + old_.size(); }
  // The entries moved so far as the map grew, for those who watch what an insertion costs.
  uint64_t entriesMoved() const { return entriesMoved_; }

 private:
  void growBeforeInsert() {
    if (old_.empty() &&
        static_cast<double>(current_.size() + 1) >
            static_cast<double>(current_.bucket_count()) * current_.max_load_factor()) {
      old_.swap(current_);
      current_.reserve(2 * old_.size() + 16);
    }
    if (old_.empty()) return;
    for (size_t moves = 0; moves < kMovesPerInsert && !old_.empty(); ++moves) {
      current_.insert(old_.extract(old_.begin()));
      ++entriesMoved_;
    }
    // Its buckets go with its last entry.
    if (old_.empty()) old_ = {};
  }

  std::unordered_map<Key, Value, Hash> current_;
  std::unordered_map<Key, Value, Hash> old_;  // what is left to move into current_
  uint64_t entriesMoved_ = 0;
};
