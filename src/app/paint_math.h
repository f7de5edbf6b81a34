#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

// Colours as the system writes them (0x00BBGGRR).
inline constexpr uint32_t rgb(int red, int green, int blue) {
  return static_cast<uint32_t>(red) | static_cast<uint32_t>(green) << 8 |
         static_cast<uint32_t>(blue) << 16;
}

// Per channel (a * weightA + b * weightB) / (weightA + weightB); black when both weights
// are 0.
uint32_t blend(uint32_t a, uint32_t b, int weightA, int weightB);

// How much of each of `width` pixel columns a job's piece map covers, 0 to 255. The map is
// the total size and then pairs of start and length, in decimal, separated by commas; at
// most 16 pairs are read. All columns are 0 when the total is not a positive number.
std::vector<int> pieceShares(std::string_view pieceMap, int width);
