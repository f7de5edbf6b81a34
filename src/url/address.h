#pragma once
#include <string>
#include <string_view>

#include "platform/file_types.h"
#include "url/byte_text.h"
#include "url/url_parts.h"

// An address cracked into its seven texts; all empty when it could not be cracked.
struct CrackedAddress {
  std::string scheme;    // as written, without "://"
  std::string user;
  std::string password;
  std::string host;      // as written
  std::string portText;  // what stands between host and path, colon included, as written
  std::string path;      // from the first "/" after the authority, up to the query
  std::string extra;     // query and fragment, "?" or "#" included
};

// Splits an absolute address (scheme "://" authority path extra) into its texts.
CrackedAddress crackAddress(std::string_view address);
// Resolves a reference against a base address (RFC 3986, sections 5.2 to 5.4) with every
// %XX escape decoded and nothing escaped again; empty when the base is not absolute.
std::string combineAddress(std::string_view base, std::string_view relative);
// The address with unsafe characters escaped as %XX, ready to send; empty for an empty or
// unusable text.
std::string canonicalizeAddress(std::string_view address);

// Builds UrlParts from texts, with the names the lists show for them.
class AddressParser {
 public:
  AddressParser(const ByteText& text, FileTypes& types) : text_(text), types_(types) {}

  // An address of the schemes http, https, ftp and gopher; any other text gives an
  // unusable record.
  UrlParts parseAddress(std::string_view address) const;
  // The Address box or a pasted line: a text without any ":" gains "http://" in front.
  UrlParts parseTypedAddress(std::string_view typed) const;
  // A link found on a page, resolved against the page; a bare fragment is dropped from
  // `extra` but kept in `fullAddress`.
  UrlParts resolveLink(std::string_view link, const UrlParts& page) const;
  // Sets fullAddress, displayName, typeName and iconIndex from the nine components.
  void deriveNames(UrlParts& address) const;

 private:
  const ByteText& text_;
  FileTypes& types_;
};
