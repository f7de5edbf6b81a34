#include "site/span_pattern.h"

#include <bit>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

ByteFolding::ByteFolding(const ByteText& text) {
  for (int c = 0; c < 256; ++c) {
    const auto byte = static_cast<unsigned char>(c);
    fold_[byte] = text.upper(isBlank(byte) ? ' ' : byte);
  }
}

namespace {

// Every file byte that folds to `folded`, in the cheapest form that tests exactly them.
SpanPattern::ByteSet byteSetOf(unsigned char folded, const ByteFolding& folding) {
  std::vector<unsigned char> members;
  bool blanksOnly = true;
  for (int c = 0; c < 256; ++c) {
    const auto byte = static_cast<unsigned char>(c);
    const bool member = folding(byte) == folded;
    if (member) members.push_back(byte);
    if (member != ByteFolding::isBlank(byte)) blanksOnly = false;
  }
  SpanPattern::ByteSet set;
  if (blanksOnly)
    set.kind = SpanPattern::ByteSet::kBlank;
  else if (members.size() == 1)
    set = {SpanPattern::ByteSet::kOne, members[0], members[0]};
  else if (members.size() == 2)
    set = {SpanPattern::ByteSet::kTwo, members[0], members[1]};
  return set;  // otherwise kAny: the full comparison decides
}

#if defined(__SSE2__)
// Tests of sixteen bytes at once against a byte set: 0xFF in each lane whose byte is in it.
struct PairLanes {  // one byte, or two (a letter in either case)
  __m128i a, b;
  explicit PairLanes(const SpanPattern::ByteSet& set)
      : a(_mm_set1_epi8(static_cast<char>(set.a))), b(_mm_set1_epi8(static_cast<char>(set.b))) {}
  __m128i operator()(__m128i bytes) const {
    return _mm_or_si128(_mm_cmpeq_epi8(bytes, a), _mm_cmpeq_epi8(bytes, b));
  }
};
struct BlankLanes {
  // Signed compare: 0x80 to 0xFF are negative, so below 0x21 with the controls.
  __m128i limit = _mm_set1_epi8(0x21);
  explicit BlankLanes(const SpanPattern::ByteSet&) {}
  __m128i operator()(__m128i bytes) const { return _mm_cmplt_epi8(bytes, limit); }
};
struct AnyLanes {
  explicit AnyLanes(const SpanPattern::ByteSet&) {}
  __m128i operator()(__m128i) const { return _mm_set1_epi8(-1); }
};

// Offsets from `at` on, sixteen at a time, whose first and last bytes both fit; each such
// candidate goes to `standsAt`. Gives the match, or -1 with `at` on the first offset left
// for the caller (fewer than sixteen). Both loads stay inside the searched bytes.
template <class Head, class Tail, class Check>
int64_t scanBlocks(const unsigned char* bytes, int64_t& at, int64_t lastStart, int64_t m, Head head,
                   Tail tail, Check standsAt) {
  for (; at + 15 <= lastStart; at += 16) {
    const __m128i heads = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + at));
    const __m128i tails = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + at + m - 1));
    auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(head(heads), tail(tails))));
    while (mask) {
      const int64_t candidate = at + std::countr_zero(mask);
      if (standsAt(candidate)) return candidate;
      mask &= mask - 1;
    }
  }
  return -1;
}

template <class Head, class Check>
int64_t scanWithHead(const unsigned char* bytes, int64_t& at, int64_t lastStart, int64_t m,
                     Head head, const SpanPattern::ByteSet& last, Check standsAt) {
  switch (last.kind) {
    case SpanPattern::ByteSet::kBlank:
      return scanBlocks(bytes, at, lastStart, m, head, BlankLanes(last), standsAt);
    case SpanPattern::ByteSet::kAny:
      return scanBlocks(bytes, at, lastStart, m, head, AnyLanes(last), standsAt);
    default:
      return scanBlocks(bytes, at, lastStart, m, head, PairLanes(last), standsAt);
  }
}
#endif

}  // namespace

SpanPattern::SpanPattern(std::string_view pattern, const ByteFolding& folding) {
  folded_.reserve(pattern.size());
  for (char c : pattern)
    folded_.push_back(static_cast<char>(folding(static_cast<unsigned char>(c))));
  if (folded_.empty()) return;
  first_ = byteSetOf(static_cast<unsigned char>(folded_.front()), folding);
  last_ = byteSetOf(static_cast<unsigned char>(folded_.back()), folding);
}

bool SpanPattern::standsAt(const unsigned char* at, const ByteFolding& folding) const {
  for (size_t i = 0; i < folded_.size(); ++i)
    if (folding(at[i]) != static_cast<unsigned char>(folded_[i])) return false;
  return true;
}

int64_t SpanPattern::findIn(const unsigned char* bytes, int64_t from, int64_t end,
                            const ByteFolding& folding) const {
  const int64_t m = size();
  if (m == 0 || from < 0 || end - from < m) return -1;
  const int64_t lastStart = end - m;
  int64_t at = from;

  if (m == 1 && first_.kind == ByteSet::kOne) {
    const void* hit = std::memchr(bytes + from, first_.a, static_cast<size_t>(end - from));
    return hit ? static_cast<const unsigned char*>(hit) - bytes : -1;
  }

#if defined(__SSE2__)
  // Sixteen offsets at a time, with the loop made for the kinds of the two byte sets.
  auto check = [&](int64_t candidate) { return standsAt(bytes + candidate, folding); };
  int64_t hit = -1;
  switch (first_.kind) {
    case ByteSet::kBlank:
      hit = scanWithHead(bytes, at, lastStart, m, BlankLanes(first_), last_, check);
      break;
    case ByteSet::kAny:
      if (last_.kind != ByteSet::kAny)
        hit = scanWithHead(bytes, at, lastStart, m, AnyLanes(first_), last_, check);
      break;
    default:
      hit = scanWithHead(bytes, at, lastStart, m, PairLanes(first_), last_, check);
  }
  if (hit >= 0) return hit;
#endif

  const auto head = static_cast<unsigned char>(folded_.front());
  const auto tail = static_cast<unsigned char>(folded_.back());
  for (; at <= lastStart; ++at)
    if (folding(bytes[at]) == head && folding(bytes[at + m - 1]) == tail &&
        standsAt(bytes + at, folding))
      return at;
  return -1;
}
