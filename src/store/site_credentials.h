#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "store/settings.h"
#include "url/byte_text.h"
#include "url/url_parts.h"

// One row of the site table: what to send to a site that wants a user name and password,
// or a referring page.
struct SiteCredential {
  std::string site;  // a host name or the end of one, normalised (normalizeSite)
  std::string userName;
  std::string password;
  std::string referrer;  // empty: no referrer is sent

  bool operator==(const SiteCredential&) const = default;
};

// The stored form: every entry as its four fields in order, each field followed by a
// carriage return; no escaping. A trailing entry cut short reads with its missing fields
// empty.
std::vector<SiteCredential> parseSiteTable(std::string_view stored);
// The stored form of the entries. A carriage return or zero byte inside a field would
// shift every later field (or end the stored text), so such bytes are written as spaces.
std::string formatSiteTable(const std::vector<SiteCredential>& table);

// Lower-cased; what follows the first "://" when there is one; what precedes the first "/";
// without spaces; without ".", "*", "/" and ":" at either end. So a pasted address becomes
// its host name and "*.example.com." becomes "example.com".
std::string normalizeSite(const ByteText& text, std::string_view typed);

// The first entry of the table whose site is the host, or the end of it after a dot
// (exact bytes); an entry with an empty site fits nothing. All fields empty when none fits.
SiteCredential findCredential(std::string_view siteTable, std::string_view host);
// The site lookup of every fetch: the host's user name, password and referrer, and whether
// its certificate errors are accepted, put into the copy of the address that goes to the
// transfer job.
void applySiteCredential(const Settings& settings, UrlParts& address);

// Whether the certificate errors of the host are accepted: the entry that fits the host
// (as findCredential finds it) is one of the accepted sites. An accepted site without an
// entry (one an older release deleted) accepts nothing.
bool acceptsCertificateErrors(const Settings& settings, std::string_view host);
// Whether the entry of exactly this site accepts certificate errors.
bool siteAcceptsCertificateErrors(const Settings& settings, std::string_view site);
// Adds the site to the accepted sites ("cert") or takes it off, and stores the list.
void setCertificateErrorsAccepted(SettingsStore& store, std::string_view site, bool accepted);

// Nothing for an empty site. Every entry of that site takes the given user name together
// with the password (when the user name is not empty) and the given referrer (when not
// empty); with no such entry, a new one goes to the end. The table is then stored.
void addOrMergeCredential(SettingsStore& store, std::string_view site, std::string_view userName,
                          std::string_view password, std::string_view referrer);
// Drops every entry of exactly that site, keeps the rest in order, stores the table; the
// site no longer accepts certificate errors.
void removeCredential(SettingsStore& store, std::string_view site);
// The merge of addOrMergeCredential for many entries at once, in time proportional to
// their number: the same table as merging them one by one.
void mergeCredentials(std::vector<SiteCredential>& table, const std::vector<SiteCredential>& added);

// The lists of older releases, fields and records alike ended by a carriage return.
// Passwords: five fields per record (two skipped, then site, user name, password); the
// site comes normalised and the referrer empty.
std::vector<SiteCredential> parseOldPasswordList(const ByteText& text, std::string_view stored);
// Referrers: two fields per record (site, referrer); normalised site, no user name.
std::vector<SiteCredential> parseOldReferrerList(const ByteText& text, std::string_view stored);
