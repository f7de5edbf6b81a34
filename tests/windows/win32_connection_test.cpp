// The connection port answers what wininet answers (it declares the two functions itself).
#include "platform/win32/win32_connection.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

using ConnectedState = BOOL(WINAPI*)(DWORD*, DWORD);
using Autodial = BOOL(WINAPI*)(DWORD, HWND);

class Win32ConnectionTest : public ::testing::Test {
 protected:
  Win32ConnectionTest() : wininet(LoadLibraryA("wininet.dll")) {}
  ~Win32ConnectionTest() override {
    if (wininet) FreeLibrary(wininet);
  }
  template <typename Function>
  Function exported(const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(wininet, name)));
  }

  HMODULE wininet;
  Win32Connection connection;
};

TEST_F(Win32ConnectionTest, ReportsTheSystemsConnectedState) {
  auto connectedState = exported<ConnectedState>("InternetGetConnectedState");
  ASSERT_NE(connectedState, nullptr);
  DWORD kind = 0;
  EXPECT_EQ(connection.isConnected(), connectedState(&kind, 0) != FALSE);
}

TEST_F(Win32ConnectionTest, DialsThroughTheSystemsAutodial) {
  auto autodial = exported<Autodial>("InternetAutodial");
  ASSERT_NE(autodial, nullptr);
  EXPECT_EQ(connection.dial(2), autodial(2, nullptr) != FALSE);
}

}  // namespace
