#include "store/option_values.h"

#include <algorithm>
#include <limits>

#include "platform/product.h"

namespace options {

int subfolderEntry(int32_t scheme) {
  return scheme >= 0 && scheme < static_cast<int32_t>(kSubfolderEntries.size()) ? scheme : 0;
}

int32_t readCount(std::string_view text) {
  size_t at = 0;
  while (at < text.size() && text[at] == ' ') ++at;
  constexpr int64_t kLargest = std::numeric_limits<int32_t>::max();
  int64_t value = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    value = value * 10 + (text[at] - '0');
    if (value > kLargest) value = kLargest;
  }
  return static_cast<int32_t>(value);
}

std::string_view countLabel(std::string_view numberText) {
  int32_t count = readCount(numberText);
  if (count == 1) return "file at a time";
  if (count >= 2) return "files at once";
  return {};
}

void storeDownloadPage(SettingsStore& store, const DownloadPageValues& values) {
  store.setTextSetting("folder", &Settings::saveFolder, values.folder);
  if (values.subfolderEntry >= 0) {
    store.setNumberSetting("sub", &Settings::subfolderScheme, values.subfolderEntry);
  }
  int32_t count = readCount(values.countText);
  if (count > 0) store.setNumberSetting("get", &Settings::filesAtOnce, count);
  const int32_t connections = readCount(values.connectionsText);
  if (connections > 0) {
    store.setNumberSetting("conn", &Settings::connectionsPerFile,
                           std::min(connections, kMostConnectionsPerFile));
  }
}

DialUpMode dialUpModeOf(bool useDialUp, bool waitForRedial) {
  if (!useDialUp) return DialUpMode::kNone;
  return waitForRedial ? DialUpMode::kWaitForRedial : DialUpMode::kDialAutomatically;
}

void storeConnectionsPage(SettingsStore& store, bool useDialUp, bool waitForRedial) {
  store.setNumberSetting("dialup", &Settings::dialUpMode,
                         static_cast<int32_t>(dialUpModeOf(useDialUp, waitForRedial)));
}

std::string helpAddress(std::string_view page) {
  return std::string(product::kHelpSite) + std::string(page);
}

}  // namespace options
