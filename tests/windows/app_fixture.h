#pragma once
// The program's process state with its real windows, on fakes of the ports that reach
// beyond the screen: files, registry, network, clock, ids and the shell.
#include <windows.h>
// After windows.h, which the other system headers need first.
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/app.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_connection.h"
#include "fakes/fake_files.h"
#include "fakes/fake_ids.h"
#include "fakes/fake_internet.h"
#include "fakes/fake_registry.h"
#include "fakes/fake_shell.h"
#include "platform/win32/win32_text_rules.h"
#include "windows/clipboard_lock.h"

class AppFixture : public testing::Test {
 protected:
  // First, so that it is held before the windows exist and until they are gone.
  ClipboardLock clipboardLock_;

  static constexpr const char* kDocuments = "C:\\Users\\me\\Documents";
  static constexpr const char* kAppData = "C:\\Users\\me\\Application Data";

  AppFixture() {
    shell_.csidlFolders = {{CSIDL_PERSONAL, kDocuments}, {CSIDL_APPDATA, kAppData}};
    files_.putFolder(kDocuments);
    files_.putFolder(kAppData);
    setNumber("setup", 300);
  }

  ~AppFixture() override {
    app_.reset();
    pump();
  }

  void setNumber(const std::string& name, int32_t value) {
    registry_.putNumber(RegistryRoot::kCurrentUser, "Software\\Haulix", name, value);
  }

  // Start-up in the role, with the windows shown at a known size.
  App& open(ProcessRole role, int width = 800, int height = 600) {
    auto internet = std::make_unique<FakeInternet>();
    internet_ = internet.get();
    Platform platform{files_, ids_,      clock_,      rules_,
                      shell_, registry_, connection_, [&internet] { return std::move(internet); }};
    app_ = std::make_unique<App>(GetModuleHandleA(nullptr), std::move(platform));
    app_->prepare();
    EXPECT_TRUE(app_->openWindows(role, SW_SHOWNORMAL));
    resizeClient(width, height);
    pump();
    return *app_;
  }

  // Makes the main window's client area this size.
  void resizeClient(int width, int height) {
    HWND main = app_->windows().main;
    RECT window = {0, 0, width, height};
    AdjustWindowRectEx(&window, WS_OVERLAPPEDWINDOW, FALSE, 0);
    SetWindowPos(main, nullptr, 0, 0, window.right - window.left, window.bottom - window.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
    pump();
  }

  RECT clientSize() const {
    RECT r = {};
    GetClientRect(app_->windows().main, &r);
    return r;
  }

  // Dispatches whatever is waiting; a quit message from a window going away is dropped.
  static void pump() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) continue;
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }

  // Where a child window sits in the main window's client area.
  Rect childRect(HWND child) const {
    RECT r = {};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, app_->windows().main, reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
  }

  // Adds addresses and lets an idle pass make their rows.
  void addAddresses(const std::string& text) {
    app_->queue().addAddresses(text);
    app_->content()->addNewRows();
  }

  HWND list() const { return app_->windows().list; }
  DownloadItem* rowItem(int row) { return app_->downloadRows().rowRecord(row); }

  void select(int row, bool on = true) {
    LVITEMA item = {};
    item.stateMask = LVIS_SELECTED;
    item.state = on ? LVIS_SELECTED : 0;
    SendMessageA(list(), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
  }

  // The cursor over a point of the main window's client area.
  void cursorAt(int x, int y) {
    POINT at = {x, y};
    ClientToScreen(app_->windows().main, &at);
    SetCursorPos(at.x, at.y);
  }

  // A click on a point of the main window, as the mouse gives it.
  void clickAt(int x, int y) {
    cursorAt(x, y);
    HWND main = app_->windows().main;
    SendMessageA(main, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageA(main, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  }

  void putClipboardText(const std::string& text) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    char* bytes = static_cast<char*>(GlobalLock(memory));
    memcpy(bytes, text.c_str(), text.size() + 1);
    GlobalUnlock(memory);
    SetClipboardData(CF_TEXT, memory);
    CloseClipboard();
  }

  std::vector<std::string> queueAddresses() {
    std::vector<std::string> addresses;
    for (DownloadItem* item = app_->queue().first(); item; item = item->next)
      addresses.push_back(item->address.fullAddress);
    return addresses;
  }

  FakeFiles files_;
  FakeIds ids_;
  FakeClock clock_;
  Win32TextRules rules_;
  FakeShell shell_;
  FakeRegistry registry_;
  FakeConnection connection_;
  FakeInternet* internet_ = nullptr;
  std::unique_ptr<App> app_;
};
