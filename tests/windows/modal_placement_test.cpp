// Where the modal windows open: dialogs, message boxes and the Options sheet centred on the
// window that owns them, and wholly on the screen when the owner is partly off it.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/modal.h"
#include "dialog_driver.h"
#include "dialogs/options_sheet.h"
#include "fakes/fake_shell.h"
#include "platform/win32/win32_text_rules.h"
#include "test_registry.h"

namespace {

class ModalPlacementTest : public ::testing::Test {
 protected:
  ModalPlacementTest() {
    registry.writeNumber(RegistryRoot::kCurrentUser, "Software\\Haulix", "setup", 300);
  }
  ~ModalPlacementTest() override { DestroyWindow(owner); }

  // The owner, a plain top-level window at this place; the modal windows belong to it.
  void placeOwner(int x, int y, int width, int height) {
    owner = CreateWindowExA(0, "STATIC", "Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y, width,
                            height, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(owner, nullptr);
    modal.setMainWindow(owner);
  }

  // Opens the modal window, and gives its place once it is shown; then closes it.
  RECT placeOf(const std::string& title, const std::function<void()>& open) {
    RECT placed = {};
    DialogDriver driver([&](DialogDriver& d) {
      HWND shown = d.waitFor(title);
      GetWindowRect(shown, &placed);
      PostMessageA(shown, WM_COMMAND, IDCANCEL, 0);
    });
    open();
    driver.finish();
    return placed;
  }

  struct Opening {
    const char* title;
    std::function<void()> open;
  };
  std::vector<Opening> openings() {
    return {
        {"Delete", [this] { modal.showDialog(nullptr, "DIALOG_DELETE", 0); }},
        {"Placed", [this] { modal.showMessage("Placed", "A message box.", MB_OKCANCEL); }},
        {"Options",
         [this] {
           store.loadSettings(text);
           openOptions(modal, store, shell, text);
         }},
    };
  }

  static RECT workArea(HWND window) {
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor);
    return monitor.rcWork;
  }

  TestRegistry registry;
  KnownFolders folders;
  Win32TextRules rules;
  ByteText text{rules};
  SettingsStore store{registry, folders};
  FakeShell shell;
  Modal modal;
  HWND owner = nullptr;
};

TEST_F(ModalPlacementTest, DialogsMessageBoxesAndTheSheetOpenCentredOnTheirOwner) {
  placeOwner(180, 120, 760, 560);
  RECT around = {};
  GetWindowRect(owner, &around);
  for (const Opening& opening : openings()) {
    SCOPED_TRACE(opening.title);
    const RECT placed = placeOf(opening.title, opening.open);
    EXPECT_GT(placed.right - placed.left, 0);
    EXPECT_NEAR((placed.left + placed.right) / 2, (around.left + around.right) / 2, 1);
    EXPECT_NEAR((placed.top + placed.bottom) / 2, (around.top + around.bottom) / 2, 1);
  }
}

TEST_F(ModalPlacementTest, AnOwnerPartlyOffTheScreenStillGetsItsModalWindowsWhollyOnIt) {
  placeOwner(-500, -400, 600, 480);
  const RECT work = workArea(owner);
  for (const Opening& opening : openings()) {
    SCOPED_TRACE(opening.title);
    const RECT placed = placeOf(opening.title, opening.open);
    EXPECT_EQ(placed.left, work.left);
    EXPECT_EQ(placed.top, work.top);
    EXPECT_LE(placed.right, work.right);
    EXPECT_LE(placed.bottom, work.bottom);
  }
}

}  // namespace
