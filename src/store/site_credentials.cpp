#include "store/site_credentials.h"

#include <algorithm>
#include <unordered_map>

namespace {

// The next carriage-return-ended field off the front of `rest` (all that is left when no
// carriage return follows). Walks a view, so reading a long table stays linear.
std::string_view nextField(std::string_view& rest) {
  size_t at = rest.find('\r');
  std::string_view field = rest.substr(0, at);
  rest = at == std::string_view::npos ? std::string_view() : rest.substr(at + 1);
  return field;
}

// Calls `take` with each record of `count` fields; a record cut short has its missing
// fields empty.
template <size_t count, typename Take>
void forEachRecord(std::string_view stored, Take take) {
  std::string_view fields[count];
  while (!stored.empty()) {
    for (std::string_view& field : fields) field = nextField(stored);
    take(fields);
  }
}

std::string cleanField(std::string_view field) {
  std::string clean(field);
  std::replace(clean.begin(), clean.end(), '\r', ' ');
  std::replace(clean.begin(), clean.end(), '\0', ' ');
  return clean;
}

bool fits(std::string_view host, std::string_view site) {
  if (site.empty()) return false;
  if (host == site) return true;
  return host.size() > site.size() && host.ends_with(site) &&
         host[host.size() - site.size() - 1] == '.';
}

void mergeInto(SiteCredential& entry, const SiteCredential& added) {
  if (!added.userName.empty()) {
    entry.userName = added.userName;
    entry.password = added.password;  // even an empty one: they go together
  }
  if (!added.referrer.empty()) entry.referrer = added.referrer;
}

void storeTable(SettingsStore& store, const std::vector<SiteCredential>& table) {
  store.setTextSetting("site", &Settings::siteTable, formatSiteTable(table));
}

}  // namespace

std::vector<SiteCredential> parseSiteTable(std::string_view stored) {
  std::vector<SiteCredential> table;
  forEachRecord<4>(stored, [&](const std::string_view* f) {
    table.push_back({std::string(f[0]), std::string(f[1]), std::string(f[2]), std::string(f[3])});
  });
  return table;
}

std::string formatSiteTable(const std::vector<SiteCredential>& table) {
  std::string stored;
  for (const SiteCredential& entry : table) {
    for (const std::string* field :
         {&entry.site, &entry.userName, &entry.password, &entry.referrer}) {
      stored += cleanField(*field);
      stored += '\r';
    }
  }
  return stored;
}

std::string normalizeSite(const ByteText& text, std::string_view typed) {
  std::string site = text.lowerText(typed);
  int64_t at = text.findText(site, "://");
  if (at >= 0) site.erase(0, static_cast<size_t>(at) + 3);
  at = text.findText(site, "/");
  if (at >= 0) site.resize(static_cast<size_t>(at));
  std::erase(site, ' ');
  return trimTokens(site, {".", "*", "/", ":"});
}

SiteCredential findCredential(std::string_view siteTable, std::string_view host) {
  while (!siteTable.empty()) {
    std::string_view site = nextField(siteTable), userName = nextField(siteTable),
                     password = nextField(siteTable), referrer = nextField(siteTable);
    if (fits(host, site)) {
      return {std::string(site), std::string(userName), std::string(password),
              std::string(referrer)};
    }
  }
  return {};
}

void applySiteCredential(const Settings& settings, UrlParts& address) {
  SiteCredential found = findCredential(settings.siteTable, address.host);
  address.acceptCertificateErrors =
      !found.site.empty() && siteAcceptsCertificateErrors(settings, found.site);
  address.siteUser = std::move(found.userName);
  address.sitePassword = std::move(found.password);
  address.referrer = std::move(found.referrer);
}

bool acceptsCertificateErrors(const Settings& settings, std::string_view host) {
  const SiteCredential found = findCredential(settings.siteTable, host);
  return !found.site.empty() && siteAcceptsCertificateErrors(settings, found.site);
}

bool siteAcceptsCertificateErrors(const Settings& settings, std::string_view site) {
  if (site.empty()) return false;
  std::string_view rest = settings.certificateSites;
  while (!rest.empty()) {
    if (nextField(rest) == site) return true;
  }
  return false;
}

void setCertificateErrorsAccepted(SettingsStore& store, std::string_view site, bool accepted) {
  const std::string cleaned = cleanField(site);
  std::string stored;
  std::string_view rest = store.settings().certificateSites;
  while (!rest.empty()) {
    std::string_view listed = nextField(rest);
    if (listed.empty() || listed == cleaned) continue;
    stored.append(listed);
    stored += '\r';
  }
  if (accepted && !cleaned.empty()) stored += cleaned + '\r';
  store.setTextSetting("cert", &Settings::certificateSites, stored);
}

void mergeCredentials(std::vector<SiteCredential>& table,
                      const std::vector<SiteCredential>& added) {
  std::unordered_map<std::string, std::vector<size_t>> bySite;
  for (size_t i = 0; i < table.size(); ++i) bySite[table[i].site].push_back(i);
  for (const SiteCredential& raw : added) {
    SiteCredential entry{cleanField(raw.site), cleanField(raw.userName), cleanField(raw.password),
                         cleanField(raw.referrer)};
    if (entry.site.empty()) continue;
    auto same = bySite.find(entry.site);
    if (same == bySite.end()) {
      bySite[entry.site].push_back(table.size());
      table.push_back(std::move(entry));
      continue;
    }
    for (size_t i : same->second) mergeInto(table[i], entry);
  }
}

void addOrMergeCredential(SettingsStore& store, std::string_view site, std::string_view userName,
                          std::string_view password, std::string_view referrer) {
  if (site.empty()) return;
  std::vector<SiteCredential> table = parseSiteTable(store.settings().siteTable);
  mergeCredentials(table, {{std::string(site), std::string(userName), std::string(password),
                            std::string(referrer)}});
  storeTable(store, table);
}

void removeCredential(SettingsStore& store, std::string_view site) {
  std::vector<SiteCredential> table = parseSiteTable(store.settings().siteTable);
  std::string gone = cleanField(site);
  std::erase_if(table, [&](const SiteCredential& entry) { return entry.site == gone; });
  storeTable(store, table);
  setCertificateErrorsAccepted(store, gone, false);
}

std::vector<SiteCredential> parseOldPasswordList(const ByteText& text, std::string_view stored) {
  std::vector<SiteCredential> list;
  forEachRecord<5>(stored, [&](const std::string_view* f) {
    list.push_back({normalizeSite(text, f[2]), std::string(f[3]), std::string(f[4]), {}});
  });
  return list;
}

std::vector<SiteCredential> parseOldReferrerList(const ByteText& text, std::string_view stored) {
  std::vector<SiteCredential> list;
  forEachRecord<2>(stored, [&](const std::string_view* f) {
    list.push_back({normalizeSite(text, f[0]), {}, {}, std::string(f[1])});
  });
  return list;
}
