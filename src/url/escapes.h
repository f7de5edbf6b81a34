#pragma once
#include <string>
#include <string_view>

// Decodes "%25" (repeatedly, so "%2520" becomes a space) and then the 28 escapes of the
// characters that may stand in a file or display name (%20 space ... %7E "~"); every other
// escape stays as it is.
std::string decodeEscapes(std::string_view text);
