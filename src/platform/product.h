#pragma once
#include <cstdint>
#include <string_view>

// The product's own names, numbers and addresses, in one place for every window and
// message that shows them.
namespace product {

inline constexpr std::string_view kName = "Haulix";
// The setup level of this release: its version number without the point.
inline constexpr int32_t kVersionLevel = 300;
inline constexpr std::string_view kVersionText = "3.00";

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
