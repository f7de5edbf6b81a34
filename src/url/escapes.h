#pragma once
#include <string>
#include <string_view>

// A name people can read from a part of an address. "%25" is folded first, repeatedly (so
// "%2520" becomes a space); then every escape is decoded, and every run of escapes that
// spells a whole UTF-8 character ("%C3%A9" is "é"). An escaped control byte stays as it is,
// and so do escapes that make no valid character ("%E9" alone); a byte of the text itself
// that begins no valid character is written as its escape. The result is valid UTF-8.
std::string decodeEscapes(std::string_view text);
// An address as browsers take it from typed or pasted text: tabs, carriage returns and line
// feeds dropped (a line broken by a mail program or a copy is one address again), every
// other control byte (below 0x20, and 0x7F) written as %XX, so none is sent or stored raw.
std::string cleanControlBytes(std::string_view text);
