#pragma once
#include <string>
#include <string_view>

#include "platform/file_types.h"
#include "url/byte_text.h"
#include "url/url_parts.h"

// An address cracked into its seven texts; all empty when it could not be cracked.
struct CrackedAddress {
  std::string scheme;  // as written, without "://"
  std::string user;
  std::string password;
  std::string host;      // as written
  std::string portText;  // what stands between host and path, colon included, as written
  std::string path;      // from the first "/" after the authority, up to the query
  std::string extra;     // query and fragment, "?" or "#" included
};

// Texts end at their first zero byte, as they do for the system's ANSI functions.
//
// Splits an absolute address (scheme ":" ["//" authority] path extra) into its texts, as
// written. The user information ends at the last "@" of the authority and is split at its
// first ":"; a host in "[...]" keeps its brackets. Without "//" the host is empty. All texts
// are empty when there is no scheme, a "[" host is not closed, or the port text is other
// than ":" with the digits of a number up to 65535 (or none).
CrackedAddress crackAddress(std::string_view address);
// Resolves a reference against a base address (RFC 3986, sections 5.2 to 5.4, strict) with
// the %XX escapes decoded first and nothing escaped again. The escapes of control bytes
// (below 0x20, and 0x7F), "%", "#" and "?" stay: decoded, they would end or split the
// address or make it name another resource. Empty when the reference has no scheme and the
// base is not absolute.
std::string combineAddress(std::string_view base, std::string_view relative);
// The address ready to send: dot segments of its path removed, and every byte that may not
// stand in a request line (controls, space, bytes >= 0x7F, " < > \ ^ ` { | }, a "%" that
// starts no escape, brackets outside the host, a "#" inside the fragment) written as %XX;
// existing escapes stay. Empty for an empty text or one without a scheme.
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
  // Sets typeName and iconIndex alone, from the file types: for an address whose names
  // were derived where the file types could not be asked.
  void deriveType(UrlParts& address) const;

 private:
  const ByteText& text_;
  FileTypes& types_;
};
