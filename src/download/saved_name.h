#pragma once
#include <string>
#include <string_view>

#include "url/url_parts.h"

// Where a finished download goes and under which name.
struct SavedTarget {
  std::string folder;     // ends in "\"
  std::string name;       // file name without extension
  std::string extension;  // with its "." or empty
};

// The subfolder schemes of the Options page ("sub"); a stored value above 4 counts as 0.
enum class SubfolderScheme {
  kFile = 0,               // "file"
  kSite = 1,               // "site \ file"
  kSiteFolders = 2,        // "site-folder-folder \ file"
  kSiteThenFolders = 3,    // "site \ folder-folder \ file"
  kSiteEachFolder = 4      // "site \ folder \ folder \ file"
};

// The target folder, name and extension of a finished file: under the folder of the
// finished file, in the scheme's subfolder, named from the address. Names and folders that
// would be device names get "_" in front.
SavedTarget targetName(const UrlParts& address, const std::string& finishedPath, int scheme);
// "\", "/", ":", "*", "?", "<", ">" and "|" become "-"; the double quote becomes "'".
std::string replaceIllegal(std::string_view text);
// Whether the system would open a device for this file or folder name: CON, PRN, AUX, NUL,
// COM1-COM9 or LPT1-LPT9, in any case, with any extension, with spaces around.
bool isDeviceName(std::string_view name);
// The name with "_" in front when it is a device name, so that a file is made instead.
std::string avoidDeviceName(const std::string& name);
