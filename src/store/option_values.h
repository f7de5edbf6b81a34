#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "store/settings.h"

// What the Options sheet shows for the settings and what it stores from its boxes, apart
// from the windows that show them.
namespace options {

// The subfolder list's entries; the index is the subfolder scheme.
inline constexpr std::array<std::string_view, 5> kSubfolderEntries = {
    "file", "site \\ file", "site-folder-folder \\ file", "site \\ folder-folder \\ file",
    "site \\ folder \\ folder \\ file"};

// The entry shown for a stored scheme: the scheme itself, or the first entry for a number
// the list does not have.
int subfolderEntry(int32_t scheme);

// The number box read as an unsigned decimal: leading spaces skipped, then the digits up
// to the first other byte; 0 when there are none. A number too big for a setting stays at
// the largest one (2147483647) rather than wrapping round to a negative or small count.
int32_t readCount(std::string_view text);
// "file at a time" for 1, "files at once" for 2 or more, empty for 0 or no number.
std::string_view countLabel(std::string_view numberText);

// The Download page on OK. subfolderEntry is -1 when the list has no selection; a count
// of 0 leaves "get" as it is, and so does a connection count of 0 for "conn" (a larger
// one than 8 stores 8).
struct DownloadPageValues {
  std::string folder;
  int subfolderEntry = -1;
  std::string countText;
  std::string connectionsText;
};
void storeDownloadPage(SettingsStore& store, const DownloadPageValues& values);

// The Connections page on OK: no dial-up handling unless the box is ticked, then waiting
// for Windows to redial or dialing automatically by the radio buttons.
DialUpMode dialUpModeOf(bool useDialUp, bool waitForRedial);
void storeConnectionsPage(SettingsStore& store, bool useDialUp, bool waitForRedial);

// The help site's page for a path such as "help/option.asp#folder".
std::string helpAddress(std::string_view page);

}  // namespace options
