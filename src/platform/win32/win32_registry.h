#pragma once
#include "platform/registry.h"

// The registry through advapi32: RegCreateKeyExA for every access (all access, creating the
// key), RegQueryValueExA, RegSetValueExA, RegDeleteValueA, RegDeleteKeyA, RegCloseKey,
// RegNotifyChangeKeyValue.
class Win32Registry final : public Registry {
 public:
  bool readNumber(RegistryRoot root, const std::string& key, const std::string& name,
                  int32_t& value) override;
  bool readText(RegistryRoot root, const std::string& key, const std::string& name,
                std::string& text) override;
  bool writeNumber(RegistryRoot root, const std::string& key, const std::string& name,
                   int32_t value) override;
  bool writeText(RegistryRoot root, const std::string& key, const std::string& name,
                 std::string_view text) override;
  bool remove(RegistryRoot root, const std::string& key, const std::string& name) override;
  // RegNotifyChangeKeyValueA on a key kept open, signalling an event.
  std::unique_ptr<RegistryWatch> watchKey(RegistryRoot root, const std::string& key) override;
};
