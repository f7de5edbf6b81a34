#pragma once
#include <cstdint>
#include <string_view>

// The product's own names, numbers and addresses, in one place for every window and
// message that shows them.
namespace product {

inline constexpr std::string_view kName = "Haulix";
// This release's version, as the About box, the welcome and the package's name
// (dist/haulix-VERSION-win64.zip, read from here by the build) give it.
inline constexpr std::string_view kVersionText = "3.00";
// The setup level of this release, kept in the settings: its version number without the point.
inline constexpr int32_t kVersionLevel = 300;

// The version's digits without its point, as a number: the two must name one release.
constexpr int32_t levelOf(std::string_view version) {
  int32_t level = 0;
  for (char c : version)
    if (c >= '0' && c <= '9') level = level * 10 + (c - '0');
  return level;
}
static_assert(levelOf(kVersionText) == kVersionLevel, "kVersionText and kVersionLevel differ");

// The help pages ("help/option.asp", ...) live under this address.
inline constexpr std::string_view kHelpSite = "https://www.haulix.net/";
inline constexpr std::string_view kSupportAddress = "support@haulix.net";

// The licence notice of the welcome dialog, and where the agreement can be read.
inline constexpr std::string_view kLicenceNotice =
    "By installing Haulix you accept its end-user licence agreement, which you can read on "
    "the Haulix Web site.";
inline constexpr std::string_view kLicenceAddress = "https://www.haulix.net/licence";

// The two example host names of the site dialog's hint: a site typed in full, or by its end.
inline constexpr std::string_view kExampleHost = "files.example.com";
inline constexpr std::string_view kExampleDomain = "example.com";

}  // namespace product
