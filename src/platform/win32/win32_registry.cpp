#include "platform/win32/win32_registry.h"

#include <windows.h>

#include <limits>

namespace {

HKEY rootKey(RegistryRoot root) {
  return root == RegistryRoot::kLocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

// A key opened for all access, created when missing, and closed when this goes. Opening
// the machine-wide root this way fails for an ordinary user: that is the "absent" answer.
class OpenKey {
 public:
  OpenKey(RegistryRoot root, const std::string& path) {
    if (RegCreateKeyExA(rootKey(root), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key_, nullptr) != ERROR_SUCCESS) {
      key_ = nullptr;
    }
  }
  ~OpenKey() {
    if (key_) RegCloseKey(key_);
  }
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;

  explicit operator bool() const { return key_ != nullptr; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

// The notification is asked for again before the caller reads, so that a change made while
// it reads signals the next time. Without a notification (a deleted key, an error) every
// look answers true, which reads as often as before there were watches.
class Win32RegistryWatch final : public RegistryWatch {
 public:
  Win32RegistryWatch(HKEY key, HANDLE event) : key_(key), event_(event) {}
  ~Win32RegistryWatch() override {
    RegCloseKey(key_);
    CloseHandle(event_);
  }
  Win32RegistryWatch(const Win32RegistryWatch&) = delete;
  Win32RegistryWatch& operator=(const Win32RegistryWatch&) = delete;

  bool changed() override {
    if (armed_ && WaitForSingleObject(event_, 0) != WAIT_OBJECT_0) return false;
    armed_ = RegNotifyChangeKeyValue(key_, FALSE, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET,
                                     event_, TRUE) == ERROR_SUCCESS;
    return true;
  }

 private:
  HKEY key_;
  HANDLE event_;  // resets itself when waited for
  bool armed_ = false;
};

}  // namespace

bool Win32Registry::readNumber(RegistryRoot root, const std::string& key, const std::string& name,
                               int32_t& value) {
  OpenKey open(root, key);
  if (!open) return false;
  // A 4-byte buffer: a longer value answers ERROR_MORE_DATA and counts as absent.
  unsigned char bytes[4] = {};
  DWORD size = sizeof bytes;
  if (RegQueryValueExA(open.get(), name.c_str(), nullptr, nullptr, bytes, &size) != ERROR_SUCCESS) {
    return false;
  }
  return numberFromStoredBytes(
      std::string_view(reinterpret_cast<const char*>(bytes), size > 4 ? 4 : size), value);
}

bool Win32Registry::readText(RegistryRoot root, const std::string& key, const std::string& name,
                             std::string& text) {
  OpenKey open(root, key);
  if (!open) return false;
  DWORD size = 0;
  if (RegQueryValueExA(open.get(), name.c_str(), nullptr, nullptr, nullptr, &size) !=
      ERROR_SUCCESS) {
    return false;
  }
  std::string bytes(size, '\0');
  if (size > 0) {
    // A value that grew since the size was asked answers ERROR_MORE_DATA: absent this time.
    if (RegQueryValueExA(open.get(), name.c_str(), nullptr, nullptr,
                         reinterpret_cast<BYTE*>(bytes.data()), &size) != ERROR_SUCCESS) {
      return false;
    }
    if (size < bytes.size()) bytes.resize(size);
  }
  text = textFromStoredBytes(bytes);
  return true;
}

bool Win32Registry::writeNumber(RegistryRoot root, const std::string& key, const std::string& name,
                                int32_t value) {
  OpenKey open(root, key);
  if (!open) return false;
  DWORD number = static_cast<DWORD>(value);
  return RegSetValueExA(open.get(), name.c_str(), 0, REG_DWORD,
                        reinterpret_cast<const BYTE*>(&number), sizeof number) == ERROR_SUCCESS;
}

bool Win32Registry::writeText(RegistryRoot root, const std::string& key, const std::string& name,
                              std::string_view text) {
  if (text.size() >= std::numeric_limits<DWORD>::max()) return false;
  OpenKey open(root, key);
  if (!open) return false;
  std::string stored(text);  // the terminating zero comes with c_str()
  return RegSetValueExA(open.get(), name.c_str(), 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(stored.c_str()),
                        static_cast<DWORD>(stored.size() + 1)) == ERROR_SUCCESS;
}

bool Win32Registry::remove(RegistryRoot root, const std::string& key, const std::string& name) {
  // Deleting the key itself goes through its parent: an open handle to the key would have
  // to be the key being deleted.
  if (name.empty()) return RegDeleteKeyA(rootKey(root), key.c_str()) == ERROR_SUCCESS;
  OpenKey open(root, key);
  if (!open) return false;
  return RegDeleteValueA(open.get(), name.c_str()) == ERROR_SUCCESS;
}

std::unique_ptr<RegistryWatch> Win32Registry::watchKey(RegistryRoot root, const std::string& key) {
  HKEY opened = nullptr;
  if (RegCreateKeyExA(rootKey(root), key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_NOTIFY,
                      nullptr, &opened, nullptr) != ERROR_SUCCESS)
    return nullptr;
  HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (!event) {
    RegCloseKey(opened);
    return nullptr;
  }
  return std::make_unique<Win32RegistryWatch>(opened, event);
}
