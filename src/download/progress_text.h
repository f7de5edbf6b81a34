#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// The number formats of the progress texts: sizes in whole KB, speeds in KB/s, durations in
// hr, min and sec, counted nouns. Sizes are 64-bit; -1 and other negatives never reach them.

// "12,345": a "," every three digits from the right.
std::string groupThousands(std::string_view digits);
// "0 KB", else whole kilobytes rounded up: 1 byte and 1024 bytes are "1 KB".
std::string sizeText(int64_t bytes);
// Three significant digits, cut not rounded: "0.05 KB/s", "3.42 KB/s", "12.3 KB/s",
// "1,234 KB/s"; empty below 0.01 KB/s.
std::string speedText(uint64_t bytesPerSecond);
// "59 sec", "1 min 1 sec", "10 min", "1 hr 1 min", "10 hr"; with roundToFive a duration
// above 5 s is first rounded down to a multiple of 5.
std::string durationText(uint64_t seconds, bool roundToFive);
// "0 files", "1 file", "1,000 files".
std::string countText(int64_t count, std::string_view noun);
