// AddressParser: UrlParts from typed, stored and linked addresses (declared in address.h).
#include "url/address.h"
#include "url/escapes.h"

namespace {

constexpr std::string_view kSchemes[] = {"http", "https", "ftp", "gopher"};

// Texts end at their first zero byte, as everywhere the system takes them; control bytes
// are dropped or escaped, then the spaces are trimmed from what is left.
std::string trimSpaces(std::string_view text) {
  return trimTokens(cleanControlBytes(text.substr(0, text.find('\0'))), {" "});
}

}  // namespace

UrlParts AddressParser::parseAddress(std::string_view address) const {
  CrackedAddress cracked = crackAddress(trimSpaces(address));
  if (cracked.host.empty()) return {};
  // Lower-cased, then compared exactly: whatever the case rules do with other bytes, only
  // these four schemes pass, and they pass in lower case.
  std::string scheme = text_.lowerText(cracked.scheme);
  bool known = false;
  for (std::string_view name : kSchemes) known = known || scheme == name;
  if (!known) return {};

  UrlParts parts;
  parts.scheme = scheme + "://";
  if (!cracked.user.empty()) {
    if (!cracked.password.empty()) {
      parts.user = cracked.user + ":";
      parts.password = cracked.password + "@";
    } else {
      parts.user = cracked.user + "@";
    }
  }
  parts.host = text_.lowerText(cracked.host);
  if (cracked.portText != ":") parts.port = cracked.portText;

  // With a host the path is empty or begins with "/".
  std::string_view path = cracked.path.empty() ? std::string_view("/") : cracked.path;
  size_t slash = path.rfind('/');
  parts.folder = path.substr(0, slash + 1);
  std::string_view segment = path.substr(slash + 1);
  // A segment that ends in "." stays whole: cutting the dot off would change the address,
  // and each reload of the stored address would lose one more.
  size_t dot = segment.rfind('.');
  if (dot != std::string_view::npos && dot + 1 < segment.size()) {
    parts.baseName = segment.substr(0, dot);
    parts.extension = segment.substr(dot);
  } else {
    parts.baseName = segment;
  }
  parts.extra = cracked.extra;
  deriveNames(parts);
  return parts;
}

UrlParts AddressParser::parseTypedAddress(std::string_view typed) const {
  std::string address = trimSpaces(typed);
  if (address.find(':') == std::string::npos) address.insert(0, "http://");
  return parseAddress(address);
}

UrlParts AddressParser::resolveLink(std::string_view link, const UrlParts& page) const {
  std::string base = page.fullAddress;
  // A last segment without a dot is taken for a folder: "b.htm" on "http://h/dir" is
  // "http://h/dir/b.htm".
  if (!page.baseName.empty() && page.extension.empty() && page.extra.empty()) base += "/";
  UrlParts parts = parseAddress(combineAddress(base, trimSpaces(link)));
  // A bare fragment names a place in the page, not another page; fullAddress keeps it, so
  // "a.htm#top" and "a.htm" stay two addresses.
  if (parts.extra.starts_with('#')) parts.extra.clear();
  return parts;
}

void AddressParser::deriveNames(UrlParts& parts) const {
  parts.fullAddress = joinTexts({parts.scheme, parts.user, parts.password, parts.host, parts.port,
                                 parts.folder, parts.baseName, parts.extension, parts.extra});
  std::string display;
  if (!parts.baseName.empty() && !parts.extension.empty())
    display = parts.baseName + text_.lowerText(parts.extension);
  else if (!parts.baseName.empty())
    display = parts.baseName;
  else
    display = "Index";
  parts.displayName = trimSpaces(decodeEscapes(display));
  deriveType(parts);
}

void AddressParser::deriveType(UrlParts& parts) const {
  if (!parts.baseName.empty() && !parts.extension.empty()) {
    FileType type = types_.lookup(parts.extension);
    parts.iconIndex = type.iconIndex;
    parts.typeName = !type.typeName.empty()
                         ? type.typeName
                         : text_.upperText(text_.stripRepeated(parts.extension, ".")) + " File";
  } else if (!parts.baseName.empty()) {
    parts.iconIndex = types_.lookup("").iconIndex;
    parts.typeName = "File";
  } else {
    FileType type = types_.lookup(".htm");
    parts.iconIndex = type.iconIndex;
    // As for any extension the shell has no name for.
    parts.typeName = !type.typeName.empty() ? type.typeName : "HTM File";
  }
}
