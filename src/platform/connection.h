#pragma once
#include <cstdint>

// InternetAutodial flags.
namespace autodial_flag {
inline constexpr uint32_t kForceOnline = 1;
inline constexpr uint32_t kForceUnattended = 2;
}  // namespace autodial_flag

// The system's view of the Internet connection.
class Connection {
 public:
  virtual ~Connection() = default;
  // Whether the system reports a connection of any type (InternetGetConnectedState).
  virtual bool isConnected() = 0;
  // Dials the default dial-up connection with autodial_flag bits and no parent window
  // (InternetAutodial). Blocks until dialing ends; true when the system reports success.
  virtual bool dial(uint32_t flags) = 0;
};
