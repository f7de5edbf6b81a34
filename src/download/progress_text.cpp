#include "download/progress_text.h"

#include <string>

std::string groupThousands(std::string_view digits) {
  std::string result;
  while (digits.size() > 3) {
    result.insert(0, digits.substr(digits.size() - 3));
    result.insert(0, ",");
    digits.remove_suffix(3);
  }
  result.insert(0, digits);
  return result;
}

std::string sizeText(int64_t bytes) {
  if (bytes == 0) return "0 KB";
  uint64_t kilobytes = (static_cast<uint64_t>(bytes) - 1) / 1024 + 1;
  return groupThousands(std::to_string(kilobytes)) + " KB";
}

std::string speedText(uint64_t bytesPerSecond) {
  // Hundredths of a kilobyte per second, truncated.
  uint64_t d = bytesPerSecond / 1024 * 100 + bytesPerSecond % 1024 * 100 / 1024;
  std::string digits = std::to_string(d);
  std::string number;
  if (d == 0) return {};
  if (d < 10) number = "0.0" + digits;
  else if (d < 100) number = "0." + digits;
  else if (d < 1000) number = digits.substr(0, 1) + "." + digits.substr(1, 2);
  else if (d < 10000) number = digits.substr(0, 2) + "." + digits.substr(2, 1);
  else number = groupThousands(digits.substr(0, digits.size() - 2));
  return number + " KB/s";
}

std::string durationText(uint64_t s, bool roundToFive) {
  if (roundToFive && s > 5) s -= s % 5;
  auto n = [](uint64_t v) { return std::to_string(v); };
  if (s < 60) return n(s) + " sec";
  if (s < 600) return n(s / 60) + " min " + n(s % 60) + " sec";
  if (s < 3600) return n(s / 60) + " min";
  if (s < 36000) return n(s / 3600) + " hr " + n(s / 60 % 60) + " min";
  return groupThousands(n(s / 3600)) + " hr";
}

std::string countText(int64_t count, std::string_view noun) {
  std::string text = groupThousands(std::to_string(count)) + " " + std::string(noun);
  if (count != 1) text += "s";
  return text;
}
