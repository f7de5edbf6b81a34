#pragma once
#include <windows.h>

#include <string>

#include "platform/win32/win32_registry.h"

// The real registry, with every key moved under a key of this test process's own, so that
// tests running at the same time in the same Wine prefix never see each other's settings.
// The whole subtree goes when this does.
class TestRegistry final : public Registry {
 public:
  TestRegistry() : base_("Software\\Haulix Tests\\" + std::to_string(GetCurrentProcessId())) {
    clear();
  }
  ~TestRegistry() override { clear(); }

  bool readNumber(RegistryRoot root, const std::string& key, const std::string& name,
                  int32_t& value) override {
    return real_.readNumber(root, moved(key), name, value);
  }
  bool readText(RegistryRoot root, const std::string& key, const std::string& name,
                std::string& text) override {
    return real_.readText(root, moved(key), name, text);
  }
  bool writeNumber(RegistryRoot root, const std::string& key, const std::string& name,
                   int32_t value) override {
    return real_.writeNumber(root, moved(key), name, value);
  }
  bool writeText(RegistryRoot root, const std::string& key, const std::string& name,
                 std::string_view text) override {
    return real_.writeText(root, moved(key), name, text);
  }
  bool remove(RegistryRoot root, const std::string& key, const std::string& name) override {
    return real_.remove(root, moved(key), name);
  }
  std::unique_ptr<RegistryWatch> watchKey(RegistryRoot root, const std::string& key) override {
    return real_.watchKey(root, moved(key));
  }

  // Whether the key exists, asked without creating it.
  bool hasKey(RegistryRoot root, const std::string& key) const {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(rootKey(root), moved(key).c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
      return false;
    RegCloseKey(opened);
    return true;
  }
  std::string moved(const std::string& key) const { return base_ + "\\" + key; }

 private:
  static HKEY rootKey(RegistryRoot root) {
    return root == RegistryRoot::kLocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
  }
  void clear() {
    RegDeleteTreeA(HKEY_CURRENT_USER, base_.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, base_.c_str());
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, base_.c_str());
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, base_.c_str());
  }

  std::string base_;
  Win32Registry real_;
};
