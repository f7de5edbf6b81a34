// The Options sheet on its real templates, driven as a user would.
#include "dialogs/options_sheet.h"

#include <windows.h>
// After windows.h, which the other system headers need first.
#include <commctrl.h>
#include <prsht.h>

#include <gtest/gtest.h>

#include "dialog_driver.h"
#include "dialogs/dialog_ids.h"
#include "fakes/fake_shell.h"
#include "platform/win32/win32_text_rules.h"
#include "store/site_credentials.h"
#include "test_registry.h"

namespace {

constexpr RegistryRoot kUser = RegistryRoot::kCurrentUser;
const std::string kKey = "Software\\Haulix";

class OptionsSheetTest : public ::testing::Test {
 protected:
  OptionsSheetTest() {
    folders.myDocuments = "C:\\Docs";
    registry.writeNumber(kUser, kKey, "setup", 300);
  }

  // Loads what the registry holds, as start-up does, and opens the sheet with the script.
  void open(std::function<void(DialogDriver&, HWND sheet)> script) {
    store.loadSettings(text);
    DialogDriver driver([&](DialogDriver& d) { script(d, d.waitFor("Options")); });
    openOptions(modal, store, shell, text);
    driver.finish();
    EXPECT_EQ(modal.depth(), 0);
  }

  static HWND page(HWND sheet) {
    return reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
  }
  static HWND showPage(HWND sheet, int index) {
    SendMessageA(sheet, PSM_SETCURSEL, index, 0);
    return page(sheet);
  }
  // Posted, as a click arrives: the sheet's modal loop looks at its end only after a
  // posted message, not after a sent one.
  static void ok(HWND sheet) { PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0); }
  static void cancel(HWND sheet) { PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0); }
  static int subfolderEntry(HWND page) {
    return static_cast<int>(SendDlgItemMessageA(page, CTL_SUBFOLDERS, CB_GETCURSEL, 0, 0));
  }

  int32_t number(const std::string& name) {
    int32_t value = -99;
    registry.readNumber(kUser, kKey, name, value);
    return value;
  }
  std::string textValue(const std::string& name) {
    std::string value = "(absent)";
    registry.readText(kUser, kKey, name, value);
    return value;
  }

  TestRegistry registry;
  KnownFolders folders;
  Win32TextRules rules;
  ByteText text{rules};
  SettingsStore store{registry, folders};
  FakeShell shell;
  Modal modal;
};

TEST_F(OptionsSheetTest, AStoredSchemeOfSevenShowsTheFirstEntryAndOkStoresNought) {
  registry.writeNumber(kUser, kKey, "sub", 7);
  registry.writeNumber(kUser, kKey, "get", 0);
  registry.writeText(kUser, kKey, "folder", "D:\\Saved");
  open([&](DialogDriver& d, HWND sheet) {
    HWND download = page(sheet);
    EXPECT_EQ(d.title(sheet), "Options");
    EXPECT_EQ(d.text(download, CTL_FOLDER), "D:\\Saved");
    EXPECT_EQ(subfolderEntry(download), 0);
    EXPECT_EQ(SendDlgItemMessageA(download, CTL_SUBFOLDERS, CB_GETCOUNT, 0, 0), 5);
    EXPECT_EQ(d.text(download, CTL_COUNT), "0");
    EXPECT_EQ(d.text(download, CTL_COUNT_LABEL), "");
    HWND apply = GetDlgItem(sheet, 0x3021);
    EXPECT_FALSE(apply && IsWindowVisible(apply)) << "there is no Apply button";
    saveScreenshot(sheet, "options_download");
    ok(sheet);
  });
  EXPECT_EQ(number("sub"), 0);
  EXPECT_EQ(number("get"), 0);
  EXPECT_EQ(textValue("folder"), "D:\\Saved");
}

TEST_F(OptionsSheetTest, TheCountLabelFollowsTheTypedNumberAndOkStoresIt) {
  registry.writeNumber(kUser, kKey, "get", 3);
  shell.chosenFolder = "E:\\Chosen";
  open([&](DialogDriver& d, HWND sheet) {
    HWND download = page(sheet);
    EXPECT_EQ(d.text(download, CTL_COUNT_LABEL), "files at once");
    d.type(download, CTL_COUNT, "1");
    EXPECT_EQ(d.text(download, CTL_COUNT_LABEL), "file at a time");
    d.type(download, CTL_COUNT, "12");
    EXPECT_EQ(d.text(download, CTL_COUNT_LABEL), "files at once");
    d.type(download, CTL_COUNT, "");
    EXPECT_EQ(d.text(download, CTL_COUNT_LABEL), "");
    d.type(download, CTL_COUNT, "12");
    d.click(download, CTL_BROWSE);
    EXPECT_EQ(d.text(download, CTL_FOLDER), "E:\\Chosen");
    SendDlgItemMessageA(download, CTL_SUBFOLDERS, CB_SETCURSEL, 3, 0);
    ok(sheet);
  });
  EXPECT_EQ(number("get"), 12);
  EXPECT_EQ(number("sub"), 3);
  EXPECT_EQ(textValue("folder"), "E:\\Chosen");
  ASSERT_EQ(shell.folderTitles.size(), 1u);
  EXPECT_EQ(shell.folderTitles[0], "Choose where Haulix should save files.");
}

TEST_F(OptionsSheetTest, ConnectionsPerFileShowsOneWhenNothingIsStoredAndOkStoresTheTypedCount) {
  open([&](DialogDriver& d, HWND sheet) {
    HWND download = page(sheet);
    EXPECT_EQ(d.text(download, CTL_CONNECTIONS), "1");
    int low = 0, high = 0;
    SendDlgItemMessageA(download, CTL_CONNECTIONS_ARROWS, UDM_GETRANGE32,
                        reinterpret_cast<WPARAM>(&low), reinterpret_cast<LPARAM>(&high));
    EXPECT_EQ(low, 1);
    EXPECT_EQ(high, 8);
    d.type(download, CTL_CONNECTIONS, "4");
    ok(sheet);
  });
  EXPECT_EQ(number("conn"), 4);
}

TEST_F(OptionsSheetTest, ACancelledFolderChooserLeavesTheBox) {
  shell.chosenFolder = "";
  registry.writeText(kUser, kKey, "folder", "D:\\Kept");
  open([&](DialogDriver& d, HWND sheet) {
    d.click(page(sheet), CTL_BROWSE);
    EXPECT_EQ(d.text(page(sheet), CTL_FOLDER), "D:\\Kept");
    cancel(sheet);
  });
}

// A folder chooser that notes whether the sheet over which it opens still takes input.
class WatchingShell final : public Shell {
 public:
  void open(const std::string&, const std::string&) override {}
  std::string chooseFolder(const std::string&) override {
    // The sheet of this test, which opens the chooser on its own thread.
    HWND sheet = DialogDriver::dialogOf(GetCurrentThreadId(), "Options");
    sheetEnabled = sheet && IsWindowEnabled(sheet);
    return "F:\\Picked";
  }
  std::string specialFolderPath(int, int) override { return {}; }
  bool sheetEnabled = true;
};

TEST_F(OptionsSheetTest, TheSheetTakesNoInputWhileTheFolderChooserIsOpen) {
  store.loadSettings(text);
  WatchingShell watching;
  bool enabledAfter = false;
  DialogDriver driver([&](DialogDriver& d) {
    HWND sheet = d.waitFor("Options");
    d.click(page(sheet), CTL_BROWSE);
    EXPECT_EQ(d.text(page(sheet), CTL_FOLDER), "F:\\Picked");
    enabledAfter = IsWindowEnabled(sheet);
    cancel(sheet);
  });
  openOptions(modal, store, watching, text);
  driver.finish();
  EXPECT_FALSE(watching.sheetEnabled);
  EXPECT_TRUE(enabledAfter);
}

TEST_F(OptionsSheetTest, CancelStoresNothing) {
  registry.writeText(kUser, kKey, "folder", "D:\\Before");
  registry.writeNumber(kUser, kKey, "dialup", 1);
  open([&](DialogDriver& d, HWND sheet) {
    d.type(page(sheet), CTL_FOLDER, "D:\\After");
    d.type(page(sheet), CTL_COUNT, "40");
    HWND connections = showPage(sheet, 2);
    d.click(connections, CTL_USE_DIALUP);
    cancel(sheet);
  });
  EXPECT_EQ(textValue("folder"), "D:\\Before");
  EXPECT_EQ(number("get"), -99);
  EXPECT_EQ(number("dialup"), 1);
}

TEST_F(OptionsSheetTest, TheDialUpBoxEnablesTheModesAndOkStoresTheChoice) {
  registry.writeNumber(kUser, kKey, "dialup", 1);
  open([&](DialogDriver& d, HWND sheet) {
    HWND connections = showPage(sheet, 2);
    EXPECT_TRUE(d.checked(connections, CTL_USE_DIALUP));
    EXPECT_TRUE(d.checked(connections, CTL_WAIT_FOR_REDIAL));
    EXPECT_FALSE(d.checked(connections, CTL_DIAL_AUTOMATICALLY));
    EXPECT_TRUE(d.enabled(connections, CTL_WAIT_FOR_REDIAL));
    saveScreenshot(sheet, "options_connections");
    d.click(connections, CTL_USE_DIALUP);
    EXPECT_FALSE(d.checked(connections, CTL_USE_DIALUP));
    EXPECT_FALSE(d.enabled(connections, CTL_DIAL_AUTOMATICALLY));
    EXPECT_FALSE(d.enabled(connections, CTL_WAIT_FOR_REDIAL));
    EXPECT_FALSE(d.checked(connections, CTL_WAIT_FOR_REDIAL));
    ok(sheet);
  });
  EXPECT_EQ(number("dialup"), 0);
  open([&](DialogDriver& d, HWND sheet) {
    HWND connections = showPage(sheet, 2);
    EXPECT_FALSE(d.checked(connections, CTL_USE_DIALUP));
    EXPECT_FALSE(d.enabled(connections, CTL_DIAL_AUTOMATICALLY));
    d.click(connections, CTL_USE_DIALUP);
    EXPECT_TRUE(d.enabled(connections, CTL_DIAL_AUTOMATICALLY));
    EXPECT_TRUE(d.checked(connections, CTL_DIAL_AUTOMATICALLY));
    ok(sheet);
  });
  EXPECT_EQ(number("dialup"), 2);
}

TEST_F(OptionsSheetTest, HelpAndInternetOptionsGoToTheShell) {
  open([&](DialogDriver& d, HWND sheet) {
    HWND download = page(sheet);
    auto help = [&](HWND target, int control) {
      HELPINFO info = {};
      info.cbSize = sizeof info;
      info.iContextType = HELPINFO_WINDOW;
      info.iCtrlId = control;
      info.hItemHandle = GetDlgItem(target, control);
      SendMessageA(target, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
    };
    help(download, CTL_FOLDER);
    help(download, CTL_BROWSE);
    help(download, CTL_SUBFOLDERS);
    help(download, CTL_COUNT);
    help(download, -1);
    HWND passwords = showPage(sheet, 1);
    help(passwords, CTL_SITE_LIST);
    HWND connections = showPage(sheet, 2);
    help(connections, CTL_USE_DIALUP);
    d.click(connections, CTL_INTERNET_OPTIONS);
    cancel(sheet);
  });
  std::vector<std::string> opened;
  for (const auto& [target, parameters] : shell.opened) opened.push_back(target + " " + parameters);
  ASSERT_EQ(opened.size(), 8u);
  EXPECT_TRUE(opened[0].ends_with("help/option.asp#folder ")) << opened[0];
  EXPECT_TRUE(opened[1].ends_with("help/option.asp#folder ")) << opened[1];
  EXPECT_TRUE(opened[2].ends_with("help/option.asp#subfolder ")) << opened[2];
  EXPECT_TRUE(opened[3].ends_with("help/option.asp#get ")) << opened[3];
  EXPECT_TRUE(opened[4].ends_with("help/option.asp ")) << opened[4];
  EXPECT_TRUE(opened[5].ends_with("help/password.asp ")) << opened[5];
  EXPECT_TRUE(opened[6].ends_with("help/connect.asp ")) << opened[6];
  EXPECT_EQ(opened[7], "control.exe inetcpl.cpl");
}

}  // namespace
