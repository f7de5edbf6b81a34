#pragma once
#include "platform/connection.h"

// InternetGetConnectedState and InternetAutodial of wininet.
class Win32Connection final : public Connection {
 public:
  bool isConnected() override;
  bool dial(uint32_t flags) override;
};
