#pragma once
#include <string>
#include <string_view>

#include "store/settings.h"
#include "url/byte_text.h"

// The rules of the Passwords page and the site dialog that need no window.

// One "*" per character of the password. Texts are UTF-8 (the program's manifest sets the
// code page), so a character is a byte that does not continue a multibyte sequence.
std::string maskedPassword(std::string_view password);

// The site dialog's OK is enabled exactly when the typed site normalises to something and
// a user name or a referrer, trimmed of spaces, is there, or the site's certificate errors
// are to be accepted.
bool canSaveSiteEntry(const ByteText& text, std::string_view site, std::string_view userName,
                      std::string_view referrer, bool acceptCertificateErrors);

// What the Referrer box is filled with when it gets the focus: "http://" + site + "/"
// while the normalised site is not empty and the trimmed referrer is; else empty (the box
// is left alone).
std::string suggestedReferrer(const ByteText& text, std::string_view site,
                              std::string_view referrer);

// The site dialog's OK: the entry it was opened for (none in add mode) and any entry of the
// new site go, and the typed entry, normalised and trimmed, is added at the end, accepting
// the site's certificate errors or not. Changes nothing and answers false when the entry
// could not be saved (canSaveSiteEntry), so an OK that slips past the disabled button never
// loses the entry being edited.
bool saveSiteEntry(SettingsStore& store, const ByteText& text, std::string_view openedFor,
                   std::string_view site, std::string_view userName, std::string_view password,
                   std::string_view referrer, bool acceptCertificateErrors);

// The Confirm Delete question for a site.
std::string deleteSiteQuestion(std::string_view site);
