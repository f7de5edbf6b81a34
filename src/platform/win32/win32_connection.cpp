#include "platform/win32/win32_connection.h"

#include <windows.h>

// Declared here rather than by including the wininet header, which only one file of the
// program includes. Both are exported by wininet.dll with exactly these signatures.
extern "C" {
__declspec(dllimport) BOOL WINAPI InternetGetConnectedState(LPDWORD lpdwFlags, DWORD dwReserved);
__declspec(dllimport) BOOL WINAPI InternetAutodial(DWORD dwFlags, HWND hwndParent);
}

bool Win32Connection::isConnected() {
  DWORD kind = 0;  // modem, LAN, proxy, ...: any kind counts
  return InternetGetConnectedState(&kind, 0) != FALSE;
}

bool Win32Connection::dial(uint32_t flags) {
  return InternetAutodial(flags, nullptr) != FALSE;
}
