// The dialogs reached the way the program reaches them: haulix.exe's hooks filled by
// installDialogs, opened from the menu commands and the idle pass of a real main window.
#include <windows.h>
// After windows.h, which the other system headers need first.
#include <prsht.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "app/menu_ids.h"
#include "app_fixture.h"
#include "dialog_driver.h"
#include "dialogs/dialog_ids.h"
#include "dialogs/install_dialogs.h"

namespace {

class AppDialogHooksTest : public AppFixture {
 protected:
  App& openDownloadWindow() {
    App& app = open(ProcessRole::kDownload);
    installDialogs(app.dialogs());
    return app;
  }
  int32_t number(const std::string& name) {
    return registry_.number(RegistryRoot::kCurrentUser, "Software\\Haulix", name).value_or(-1);
  }
};

TEST_F(AppDialogHooksTest, TheOptionsCommandOpensTheSheetOverTheMainWindowAndOkStores) {
  App& app = openDownloadWindow();
  HWND owner = nullptr;
  int depthInside = 0;
  DialogDriver driver([&](DialogDriver& d) {
    HWND sheet = d.waitFor("Options");
    owner = GetWindow(sheet, GW_OWNER);
    depthInside = app.modal().depth();
    HWND page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    d.type(page, CTL_COUNT, "7");
    PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
  });
  app.runCommand(menu_id::kOptions);
  driver.finish();
  EXPECT_EQ(owner, app.windows().main);
  EXPECT_EQ(depthInside, 1);
  EXPECT_EQ(app.modal().depth(), 0);
  EXPECT_EQ(number("get"), 7);
  EXPECT_EQ(app.currentSettings().filesAtOnce, 7);
}

TEST_F(AppDialogHooksTest, CopyTextFromTheDownloadListPutsTheSelectedAddressesOnTheClipboard) {
  App& app = openDownloadWindow();
  addAddresses("http://h/a.zip\r\nhttp://h/b.zip\r\nhttp://h/c.zip");
  select(0);
  select(2);
  putClipboardText("before");
  DialogDriver driver([&](DialogDriver& d) {
    HWND copy = d.waitFor("Copy");
    EXPECT_TRUE(d.checked(copy, CTL_ADDRESS));
    d.click(copy, IDOK);
  });
  app.runCommand(menu_id::kCopyText);
  driver.finish();
  std::string copied;
  ASSERT_TRUE(readClipboardText(copied));
  EXPECT_EQ(copied, "http://h/a.zip\r\nhttp://h/c.zip\r\n");
}

TEST_F(AppDialogHooksTest, TheItemPropertiesHookShowsTheRowsItem) {
  App& app = openDownloadWindow();
  addAddresses("http://h/files/report.pdf");
  std::string address, status;
  DialogDriver driver([&](DialogDriver& d) {
    HWND properties = d.waitFor("Properties");
    address = d.text(properties, CTL_ADDRESS);
    status = d.text(properties, CTL_STATUS);
    d.click(properties, IDCANCEL);
  });
  app.dialogs().showItemProperties(app, *rowItem(0));
  driver.finish();
  EXPECT_EQ(address, "http://h/files/report.pdf");
  EXPECT_FALSE(status.empty());
}

// A start refused for want of a connection brings the connect dialog at the next idle
// pass, once; when it closes with the line up, a queue paused meanwhile runs again.
TEST_F(AppDialogHooksTest, ARefusedStartOpensTheConnectDialogOnceAndAConnectionResumesTheQueue) {
  setNumber("dialup", static_cast<int32_t>(DialUpMode::kWaitForRedial));
  connection_.connected = false;
  connection_.dialingConnects = true;
  setNumber("get", 2);
  App& app = openDownloadWindow();
  addAddresses("http://h/a.zip\r\nhttp://h/b.zip");
  app.idlePass();  // both starts are refused; one dialog is asked for
  EXPECT_TRUE(app.requests().openConnectDialog);
  EXPECT_TRUE(app.connectionCheck().connectDialogPending());
  EXPECT_EQ(rowItem(0)->job, nullptr);
  // The user pauses the queue before the dialog comes.
  app.settings().setNumberSetting("pause", &Settings::paused, 1);

  std::atomic<int> dialogsSeen{0};
  DialogDriver driver([&](DialogDriver& d) {
    HWND dialog = d.waitFor("Haulix Dial-up Connection - Waiting");
    ++dialogsSeen;
    d.click(dialog, CTL_DIAL);  // the fake line comes up by dialing
    EXPECT_TRUE(d.waitGone(dialog));
  });
  app.idlePass();
  driver.finish();
  EXPECT_EQ(dialogsSeen, 1);
  EXPECT_EQ(connection_.dials.size(), 1u);
  EXPECT_FALSE(app.requests().openConnectDialog);
  EXPECT_FALSE(app.connectionCheck().connectDialogPending());
  EXPECT_EQ(number("pause"), 0);
  EXPECT_EQ(app.modal().depth(), 0);
  app.idlePass();
  EXPECT_NE(rowItem(0)->job, nullptr) << "the queue runs again";
}

}  // namespace
