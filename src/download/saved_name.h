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
// finished file, in the scheme's subfolder, named from the address.
SavedTarget targetName(const UrlParts& address, const std::string& finishedPath, int scheme);
// "\", "/", ":", "*", "?", "<", ">" and "|" become "-"; the double quote becomes "'".
std::string replaceIllegal(std::string_view text);
