#pragma once
#include <string>

// An address split into its components, with the names the lists show for it. A plain
// value: copied whole, never shared. Components hold what the address text holds, never
// re-escaped; only scheme and host are lower-cased.
struct UrlParts {
  std::string scheme;     // lower case, with "://"; empty when the address is not usable
  std::string user;       // user name + ":" when a password follows, else + "@"; or empty
  std::string password;   // password + "@"; or empty
  std::string host;       // lower case
  std::string port;       // the text between host and path, colon included (":81"), or empty
  std::string folder;     // the path up to and including its last "/"; at least "/"
  std::string baseName;   // last segment up to its last "."; empty when the path ends in "/"
  std::string extension;  // "." + what follows the last "." of the last segment, or empty
  std::string extra;      // query and fragment as written ("?a=1#top"), or empty
  int iconIndex = -1;     // the type's icon in the shared image list; -1 when none
  std::string displayName;
  std::string typeName;
  std::string fullAddress;  // scheme + user + password + host + port + folder + baseName
                            // + extension + extra
  // Filled from the site table only in the copy handed to a transfer job.
  std::string siteUser;
  std::string sitePassword;
  std::string referrer;  // empty: no referrer is sent
  bool acceptCertificateErrors = false;  // the user accepts this site's certificate faults
};

inline bool isUsable(const UrlParts& address) { return !address.scheme.empty(); }
