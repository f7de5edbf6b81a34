#pragma once
#include <string>
#include <string_view>

// The file name a server gives its reply in a Content-Disposition header (RFC 6266), as a
// name to save under: "filename*=" (RFC 8187: UTF-8 or ISO-8859-1, percent-encoded) wins
// over "filename=" (a token or a quoted string with backslash escapes; bytes that are not
// UTF-8 are read as ISO-8859-1). Only the last part of a name with a path in it is kept,
// control bytes are dropped, spaces trimmed, and at most kLongestServerName bytes kept,
// never cutting a character. Empty when the header gives no name.
std::string dispositionFileName(std::string_view value);

// The same, from the reply's raw header lines (CR LF separated, the status line first): the
// first Content-Disposition header, whatever the case of its name.
std::string contentDispositionName(std::string_view rawHeaders);

inline constexpr size_t kLongestServerName = 255;
