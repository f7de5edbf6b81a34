#pragma once
#include <string>
#include <string_view>

// Decodes "%25" (repeatedly, so "%2520" becomes a space) and then the 28 escapes of the
// characters that may stand in a file or display name (%20 space ... %7E "~"); every other
// escape stays as it is.
std::string decodeEscapes(std::string_view text);
// An address as browsers take it from typed or pasted text: tabs, carriage returns and line
// feeds dropped (a line broken by a mail program or a copy is one address again), every
// other control byte (below 0x20, and 0x7F) written as %XX, so none is sent or stored raw.
std::string cleanControlBytes(std::string_view text);
