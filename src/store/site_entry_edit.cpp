#include "store/site_entry_edit.h"

#include "store/site_credentials.h"

namespace {

std::string trimSpaces(std::string_view text) {
  return trimTokens(text, {" "});
}

}  // namespace

std::string maskedPassword(std::string_view password) {
  std::string masks;
  for (unsigned char c : password) {
    if ((c & 0xC0) != 0x80) masks += '*';
  }
  return masks;
}

bool canSaveSiteEntry(const ByteText& text, std::string_view site, std::string_view userName,
                      std::string_view referrer, bool acceptCertificateErrors) {
  if (normalizeSite(text, site).empty()) return false;
  return !trimSpaces(userName).empty() || !trimSpaces(referrer).empty() ||
         acceptCertificateErrors;
}

std::string suggestedReferrer(const ByteText& text, std::string_view site,
                              std::string_view referrer) {
  std::string normal = normalizeSite(text, site);
  if (normal.empty() || !trimSpaces(referrer).empty()) return {};
  return "http://" + normal + "/";
}

bool saveSiteEntry(SettingsStore& store, const ByteText& text, std::string_view openedFor,
                   std::string_view site, std::string_view userName, std::string_view password,
                   std::string_view referrer, bool acceptCertificateErrors) {
  if (!canSaveSiteEntry(text, site, userName, referrer, acceptCertificateErrors)) return false;
  std::string normal = normalizeSite(text, site);
  if (!openedFor.empty()) removeCredential(store, openedFor);
  removeCredential(store, normal);
  addOrMergeCredential(store, normal, trimSpaces(userName), trimSpaces(password),
                       trimSpaces(referrer));
  setCertificateErrorsAccepted(store, normal, acceptCertificateErrors);
  return true;
}

std::string deleteSiteQuestion(std::string_view site) {
  return "Are you sure you want to delete the site information for '" + std::string(site) + "'?";
}
