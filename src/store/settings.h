#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/ids.h"
#include "platform/known_folders.h"
#include "platform/modal_messages.h"
#include "platform/registry.h"
#include "url/byte_text.h"

// Where the settings live: the current user's key, and the machine-wide key of older
// releases that is read once to migrate them.
namespace settings_key {
inline const std::string kUser = "Software\\Haulix";
inline const std::string kOldMachineWide = "Software\\Haulix\\Haulix";
}  // namespace settings_key

enum class DialUpMode : int32_t { kNone = 0, kWaitForRedial = 1, kDialAutomatically = 2 };

// Every option of the program, as last read from the registry. A field keeps its value
// when its registry value is absent.
struct Settings {
  int32_t setupLevel = 0;          // "setup": as read at start-up, kept for the whole run
  int32_t dialUpMode = 0;          // "dialup": a DialUpMode, or whatever number is stored
  int32_t subfolderScheme = 0;     // "sub": 0 to 4; other numbers mean 0
  int32_t filesAtOnce = 0;         // "get": 0 (nothing stored yet) starts nothing by itself
  int32_t paused = 0;              // "pause": 1 while the queue starts nothing
  int32_t watchClipboard = 0;      // "copy": 1 while copied addresses are added
  int32_t connectionsPerFile = 1;  // "conn": connections Get opens at once for one file
  std::string saveFolder;          // "folder": never empty after a load
  std::string siteTable;           // "site": the site credential table, stored form
  // "cert": the sites of the table whose certificate errors are accepted, each followed by
  // a carriage return. Kept apart from "site" so that its form stays as older releases
  // read and write it.
  std::string certificateSites;
};

// Connections Get opens at once for one file: the stored number kept within 1 to 8
// (a registry of an earlier release has none, which means 1).
inline constexpr int32_t kMostConnectionsPerFile = 8;
inline int32_t connectionsPerFile(const Settings& settings) {
  const int32_t stored = settings.connectionsPerFile;
  return stored < 1 ? 1 : stored > kMostConnectionsPerFile ? kMostConnectionsPerFile : stored;
}

// The Settings record and the only code that reads and writes it. Each change is written
// to the registry at once, and only when the value differs; the whole record is read again
// at an idle pass after the key changed, which is how another instance's change arrives.
class SettingsStore {
 public:
  SettingsStore(Registry& registry, const KnownFolders& folders)
      : registry_(registry), folders_(folders) {}
  SettingsStore(const SettingsStore&) = delete;
  SettingsStore& operator=(const SettingsStore&) = delete;

  const Settings& settings() const { return settings_; }

  // Once at start-up, before any window: migrates the values of an older release's
  // machine-wide key, reads the setup level and raises the stored one to this release's
  // (the field keeps the old number), imports the old password and referrer lists into an
  // empty site table on a first run, then reloads everything.
  void loadSettings(const ByteText& text);
  // Reads every stored value in turn and assigns what could be read; then an empty save
  // folder becomes My Documents + "\My Downloaded Files" (in memory only).
  void reloadSettings();
  // reloadSettings when the key may have changed since the last reload through here (at
  // every call when the key cannot be watched). Nine reads cost an idle pass about a
  // millisecond under Wine, and a crawl asks for passes back to back.
  void reloadChangedSettings();
  // Stores the value and writes it under `name`, unless the field already holds it.
  void setNumberSetting(const std::string& name, int32_t Settings::*field, int32_t value);
  // The same for texts, compared byte for byte.
  void setTextSetting(const std::string& name, std::string Settings::*field, std::string_view text);
  // Once per start: writes a fresh token as "try", reads it back and deletes it. When what
  // came back differs, warns that no setting will be remembered. True when it matched.
  bool checkRegistryWritable(Ids& ids, ModalMessages& messages);

 private:
  void migrateMachineWideValues();
  void importOldSiteLists(const ByteText& text);
  void readNumber(const std::string& name, int32_t Settings::*field);
  void readText(const std::string& name, std::string Settings::*field);

  Registry& registry_;
  const KnownFolders& folders_;
  Settings settings_;
  std::unique_ptr<RegistryWatch> watch_;  // made at the first reloadChangedSettings
  bool watchTried_ = false;
};
