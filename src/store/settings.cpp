#include "store/settings.h"

#include "platform/product.h"
#include "store/site_credentials.h"

namespace {

constexpr RegistryRoot kCurrentUser = RegistryRoot::kCurrentUser;

std::string registryWarning() {
  return "Haulix cannot write to the Windows registry, and won't remember any settings the "
         "next time you run it. To fix this, add your Windows user account to the "
         "Administrators group. Contact your system administrator for assistance, or e-mail " +
         std::string(product::kSupportAddress) + ".";
}

}  // namespace

void SettingsStore::loadSettings(const ByteText& text) {
  migrateMachineWideValues();
  readNumber("setup", &Settings::setupLevel);
  // The stored level moves on at once; the field keeps the old one for this run, which is
  // how start-up knows that this is a first run.
  if (settings_.setupLevel < product::kVersionLevel) {
    registry_.writeNumber(kCurrentUser, settings_key::kUser, "setup", product::kVersionLevel);
  }
  readText("site", &Settings::siteTable);
  if (settings_.setupLevel < product::kVersionLevel && settings_.siteTable.empty()) {
    importOldSiteLists(text);
  }
  reloadSettings();
}

void SettingsStore::migrateMachineWideValues() {
  int32_t number = 0;
  if (registry_.readNumber(kCurrentUser, settings_key::kUser, "setup", number)) return;
  const RegistryRoot old = RegistryRoot::kLocalMachine;
  const std::string& from = settings_key::kOldMachineWide;
  // Without full access to the machine-wide key (an ordinary user) this read fails too.
  if (!registry_.readNumber(old, from, "setup", number)) return;
  for (const char* name : {"dialup", "setup", "sub"}) {
    if (registry_.readNumber(old, from, name, number)) {
      registry_.writeNumber(kCurrentUser, settings_key::kUser, name, number);
    }
  }
  std::string text;
  for (const char* name : {"folder", "pass", "ref"}) {
    if (registry_.readText(old, from, name, text)) {
      registry_.writeText(kCurrentUser, settings_key::kUser, name, text);
    }
  }
}

void SettingsStore::importOldSiteLists(const ByteText& text) {
  // The table is empty here, so the merged lists are the whole of it; merging them at once
  // gives the same table as adding each record in turn, with a single write.
  std::vector<SiteCredential> table;
  std::string stored;
  if (registry_.readText(kCurrentUser, settings_key::kUser, "pass", stored)) {
    mergeCredentials(table, parseOldPasswordList(text, stored));
  }
  if (registry_.readText(kCurrentUser, settings_key::kUser, "ref", stored)) {
    mergeCredentials(table, parseOldReferrerList(text, stored));
  }
  setTextSetting("site", &Settings::siteTable, formatSiteTable(table));
}

void SettingsStore::reloadSettings() {
  readNumber("dialup", &Settings::dialUpMode);
  readNumber("sub", &Settings::subfolderScheme);
  readNumber("get", &Settings::filesAtOnce);
  readNumber("pause", &Settings::paused);
  readNumber("copy", &Settings::watchClipboard);
  readNumber("conn", &Settings::connectionsPerFile);
  readText("folder", &Settings::saveFolder);
  readText("site", &Settings::siteTable);
  readText("cert", &Settings::certificateSites);
  if (settings_.saveFolder.empty()) {
    settings_.saveFolder = folders_.myDocuments + "\\My Downloaded Files";
  }
}

void SettingsStore::reloadChangedSettings() {
  if (!watchTried_) {
    watchTried_ = true;
    watch_ = registry_.watchKey(kCurrentUser, settings_key::kUser);
  }
  if (watch_ && !watch_->changed()) return;
  reloadSettings();
}

void SettingsStore::readNumber(const std::string& name, int32_t Settings::*field) {
  int32_t value = 0;
  if (registry_.readNumber(kCurrentUser, settings_key::kUser, name, value))
    settings_.*field = value;
}

void SettingsStore::readText(const std::string& name, std::string Settings::*field) {
  std::string value;
  if (registry_.readText(kCurrentUser, settings_key::kUser, name, value)) {
    settings_.*field = std::move(value);
  }
}

void SettingsStore::setNumberSetting(const std::string& name, int32_t Settings::*field,
                                     int32_t value) {
  if (settings_.*field == value) return;
  settings_.*field = value;
  registry_.writeNumber(kCurrentUser, settings_key::kUser, name, value);
}

void SettingsStore::setTextSetting(const std::string& name, std::string Settings::*field,
                                   std::string_view text) {
  if (settings_.*field == text) return;
  settings_.*field = std::string(text);
  registry_.writeText(kCurrentUser, settings_key::kUser, name, text);
}

bool SettingsStore::checkRegistryWritable(Ids& ids, ModalMessages& messages) {
  std::string token = ids.newToken();
  if (token.size() != 32) token.clear();
  registry_.writeText(kCurrentUser, settings_key::kUser, "try", token);
  std::string readBack;
  bool same =
      registry_.readText(kCurrentUser, settings_key::kUser, "try", readBack) && readBack == token;
  registry_.remove(kCurrentUser, settings_key::kUser, "try");
  if (!same) {
    messages.show(std::string(product::kName), registryWarning(),
                  message_style::kOk | message_style::kIconExclamation);
  }
  return same;
}
