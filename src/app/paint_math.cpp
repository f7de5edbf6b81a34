#include "app/paint_math.h"

#include <algorithm>

namespace {

int channel(uint32_t colour, int shift) {
  return static_cast<int>((colour >> shift) & 0xFF);
}

// The next decimal field of the map; false at the end. A field that is no number reads as
// 0, as the map is the program's own text and only damage makes one.
bool nextNumber(std::string_view& rest, int64_t& value) {
  if (rest.empty()) return false;
  size_t comma = rest.find(',');
  std::string_view field = rest.substr(0, comma);
  rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
  value = 0;
  for (char c : field) {
    if (c < '0' || c > '9') {
      value = 0;
      break;
    }
    // Stops growing well before overflow: no file is that large.
    if (value < (int64_t{1} << 56)) value = value * 10 + (c - '0');
  }
  return true;
}

}  // namespace

uint32_t blend(uint32_t a, uint32_t b, int weightA, int weightB) {
  const int sum = weightA + weightB;
  if (sum == 0) return 0;
  uint32_t result = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    int value = (channel(a, shift) * weightA + channel(b, shift) * weightB) / sum;
    result |= static_cast<uint32_t>(value & 0xFF) << shift;
  }
  return result;
}

std::vector<int> pieceShares(std::string_view pieceMap, int width) {
  std::vector<int> shares(std::max(0, width), 0);
  int64_t total = 0;
  if (width <= 0 || !nextNumber(pieceMap, total) || total <= 0) return shares;
  // In units of byte-columns: the pair covers [start * w, (start + length) * w) and column i
  // spans [i * total, (i + 1) * total). 128 bits, as sizes times widths may pass 63 bits.
  using Wide = __int128;
  std::vector<Wide> covered(width, 0);
  int64_t start = 0, length = 0;
  for (int pair = 0; pair < 16; ++pair) {
    if (!nextNumber(pieceMap, start) || !nextNumber(pieceMap, length)) break;
    const Wide from = Wide(start) * width;
    const Wide to = Wide(start + length) * width;
    if (to <= from) continue;
    const int first = static_cast<int>(std::max<Wide>(0, from / total));
    const int last = static_cast<int>(std::min<Wide>(width - 1, (to - 1) / total));
    for (int i = first; i <= last; ++i) {
      const Wide columnFrom = Wide(i) * total, columnTo = Wide(i + 1) * total;
      const Wide overlap = std::min(to, columnTo) - std::max(from, columnFrom);
      if (overlap > 0) covered[i] += overlap;
    }
  }
  for (int i = 0; i < width; ++i)
    shares[i] = static_cast<int>(std::min<Wide>(255, covered[i] * 255 / total));
  return shares;
}
