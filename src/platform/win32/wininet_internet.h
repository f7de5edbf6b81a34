#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>

#include "platform/internet.h"
#include "platform/slim_lock.h"
#include "platform/win32/net_handle_table.h"

// The Internet port on WinInet. The constructor opens the process's root handle (the
// system's proxy settings, no agent text) and lifts the library's per-server connection
// limits, so that several transfers from one server run at once; the destructor closes
// every handle still open. When the root cannot be opened, every call fails.
//
// Closing a handle releases a call blocked on it at once (see NetHandleTable for how), an
// address being opened included. connect() cannot be released that way (no handle exists
// while it runs), but it touches no network: connections are made by sendRequest().
class WinInetInternet final : public Internet {
 public:
  WinInetInternet();
  ~WinInetInternet() override;

  // False when the library could not be opened.
  bool isOpen() const { return root_ != 0; }

  NetHandle connect(const std::string& host, uint16_t port, const std::string& userName,
                    const std::string& password) override;
  NetHandle openRequest(NetHandle connection, const std::string& verb,
                        const std::string& objectPath, const std::string& referrer,
                        uint32_t flags) override;
  bool addRequestHeaders(NetHandle request, const std::string& headers) override;
  bool sendRequest(NetHandle request, CertificateFault& fault) override;
  bool acceptCertificateFaults(NetHandle request) override;
  bool queryAddress(NetHandle request, std::string& address) override;
  bool queryHeaderNumber(NetHandle request, uint32_t level, uint32_t& value) override;
  bool queryHeaderText(NetHandle request, uint32_t level, std::string& text) override;
  NetHandle prepareAddress(const std::string& fullAddress, uint32_t flags) override;
  bool openAddress(NetHandle address) override;
  bool queryDataAvailable(NetHandle handle, uint32_t& available) override;
  bool read(NetHandle handle, void* buffer, uint32_t size, uint32_t& got) override;
  void close(NetHandle handle) override;
  bool folderWithoutCookies(const std::string& folderAddress) override;
  void keepReplyCookies(const std::string& address,
                        const std::vector<std::string>& cookies) override;
  void forgetCookieFolders() override;

  // Sets a 32-bit option (InternetSetOption) on a handle, or process-wide for handle 0.
  bool setDwordOption(NetHandle handle, uint32_t option, uint32_t value);
  // Reads a 32-bit option (InternetQueryOption) the same way.
  bool dwordOption(NetHandle handle, uint32_t option, uint32_t& value);

  // Handles given out and not yet closed, the root included.
  size_t openHandleCount() const { return handles_.openCount(); }

 private:
  NetHandleTable handles_;
  NetHandle root_ = 0;
  // What folderWithoutCookies found, by folder address: whether it is without cookies,
  // and when it was asked (tick count).
  struct CookieFolder {
    bool without = false;
    uint32_t askedAt = 0;
  };
  SlimMutex cookieMutex_;
  std::unordered_map<std::string, CookieFolder> cookieFolders_;
};
