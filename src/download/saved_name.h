#pragma once
#include <string>
#include <string_view>

#include "url/url_parts.h"

// Where a finished download goes and under which name.
struct SavedTarget {
  std::string folder;     // ends in "\"
  std::string name;       // file name without extension
  std::string extension;  // with its "." or empty
  bool serverNamed = false;  // the name is the server's, not the address's
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
// finished file, in the scheme's subfolder, named from the address, or from the name the
// server gave (`serverName`, from Content-Disposition) when that is not empty and does not
// clean down to nothing. Escapes are decoded into readable names first, then characters
// that names cannot hold are replaced. A name too long for the path is shortened, never its
// subfolder dropped. Names and folders that would be device names get "_" in front.
SavedTarget targetName(const UrlParts& address, const std::string& finishedPath, int scheme,
                       std::string_view serverName = {});
// False when a name the server gave cleans down to nothing ("...", " . "): the address
// names the file then, in the list as on disk.
bool namesAFile(std::string_view serverName);
// "\", "/", ":", "*", "?", "<", ">" and "|" become "-"; the double quote becomes "'".
std::string replaceIllegal(std::string_view text);
// Whether the system would open a device for this file or folder name: CON, PRN, AUX, NUL,
// COM1-COM9 or LPT1-LPT9, in any case, with any extension, with spaces around.
bool isDeviceName(std::string_view name);
// The name with "_" in front when it is a device name, so that a file is made instead.
std::string avoidDeviceName(const std::string& name);
