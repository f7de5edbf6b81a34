// The connect dialog under a simulated outage: its three forms, the countdown driven by
// its timer, Try Now, Dial and Cancel with its question, and one dialog per outage.
#include "dialogs/connect_dialog.h"

#include <windows.h>

#include <atomic>
#include <functional>

#include <gtest/gtest.h>

#include "dialog_driver.h"
#include "dialogs/dialog_ids.h"
#include "download/idle_requests.h"
#include "platform/win32/win32_text_rules.h"
#include "test_registry.h"

namespace {

constexpr RegistryRoot kUser = RegistryRoot::kCurrentUser;
const std::string kKey = "Software\\Haulix";

// A line that is down until the test (or a dial) brings it up. Dialing runs `whileDialing`
// first, on the thread that dials, so a test can see the dialog as it is meanwhile.
class OutageConnection final : public Connection {
 public:
  bool isConnected() override { return connected; }
  bool dial(uint32_t flags) override {
    dials.push_back(flags);
    if (whileDialing) whileDialing();
    if (dialingConnects) connected = true;
    return dialingConnects;
  }

  std::atomic<bool> connected{false};
  bool dialingConnects = false;
  std::vector<uint32_t> dials;
  std::function<void()> whileDialing;
};

class ConnectDialogTest : public ::testing::Test {
 protected:
  void start(DialUpMode mode) {
    registry.writeNumber(kUser, kKey, "setup", 300);
    registry.writeNumber(kUser, kKey, "dialup", static_cast<int32_t>(mode));
    registry.writeNumber(kUser, kKey, "pause", 1);
    store.loadSettings(text);
  }
  // What the idle pass does with the request.
  int idlePass() {
    if (!takeRequest(requests.openConnectDialog)) return 0;
    if (showConnectDialog(modal, check, store)) fetchesResumed = true;
    return 1;
  }
  static void tick(HWND dialog) { SendMessageA(dialog, WM_TIMER, CONNECT_TIMER, 0); }
  int32_t number(const std::string& name) {
    int32_t value = -99;
    registry.readNumber(kUser, kKey, name, value);
    return value;
  }

  TestRegistry registry;
  KnownFolders folders;
  Win32TextRules rules;
  ByteText text{rules};
  SettingsStore store{registry, folders};
  OutageConnection connection;
  IdleRequests requests;
  ConnectionCheck check{store, connection, requests};
  Modal modal;
  bool fetchesResumed = false;
};

TEST_F(ConnectDialogTest, SeveralRefusedStartsGiveOneDialogThatDialsAutomatically) {
  start(DialUpMode::kDialAutomatically);
  for (int i = 0; i < 5; ++i) EXPECT_FALSE(check.connectionAvailable());

  std::string dialingCaption, dialingStatus;
  bool anyButtonEnabled = true;
  DialogDriver driver([&](DialogDriver& d) {
    HWND dialog = d.waitFor("Haulix Dial-up Connection - Pausing");
    EXPECT_EQ(d.text(dialog, CTL_CONNECT_STATUS),
              "Haulix will connect the default dial-up connection in 5 seconds.");
    EXPECT_FALSE(d.enabled(dialog, CTL_TRY_NOW));
    EXPECT_TRUE(d.enabled(dialog, CTL_DIAL));
    EXPECT_TRUE(d.enabled(dialog, IDCANCEL));
    saveScreenshot(dialog, "connect_pausing");
    // While the dialog is open the scheduler goes on asking: no second request.
    connection.whileDialing = [&] {
      dialingCaption = DialogDriver::title(dialog);
      dialingStatus = DialogDriver::text(dialog, CTL_CONNECT_STATUS);
      anyButtonEnabled = DialogDriver::enabled(dialog, CTL_TRY_NOW) ||
                         DialogDriver::enabled(dialog, CTL_DIAL) ||
                         DialogDriver::enabled(dialog, IDCANCEL);
      saveScreenshot(dialog, "connect_dialing");
    };
    tick(dialog);  // the first tick dials; the line stays down
    EXPECT_EQ(d.title(dialog), "Haulix Dial-up Connection - Pausing");
    EXPECT_EQ(d.text(dialog, CTL_CONNECT_STATUS),
              "Haulix will connect the default dial-up connection in 60 seconds.");
    connection.dialingConnects = true;
    d.click(dialog, CTL_DIAL);
    EXPECT_TRUE(d.waitGone(dialog));
  });
  EXPECT_EQ(idlePass(), 1);
  driver.finish();
  EXPECT_EQ(idlePass(), 0);

  EXPECT_EQ(dialingCaption, "Haulix Dial-up Connection - Dialing");
  EXPECT_EQ(dialingStatus, "Haulix is dialing the default dial-up connection.");
  EXPECT_FALSE(anyButtonEnabled);
  // Unattended first, then forced online, for each of the two dials.
  EXPECT_EQ(connection.dials, (std::vector<uint32_t>{2, 1, 2}));
  EXPECT_FALSE(check.connectDialogPending());
  EXPECT_EQ(number("pause"), 0);
  EXPECT_TRUE(fetchesResumed);
}

TEST_F(ConnectDialogTest, WaitingFindsAConnectionMadeByHandWithTryNow) {
  start(DialUpMode::kWaitForRedial);
  EXPECT_FALSE(check.connectionAvailable());
  DialogDriver driver([&](DialogDriver& d) {
    HWND dialog = d.waitFor("Haulix Dial-up Connection - Waiting");
    EXPECT_EQ(d.text(dialog, CTL_CONNECT_STATUS),
              "Haulix will check for a connection again in 60 seconds. You can connect "
              "manually, and then click Try Now. Click Dial to have Haulix connect the default "
              "dial-up connection.");
    EXPECT_TRUE(d.enabled(dialog, CTL_TRY_NOW));
    EXPECT_TRUE(d.enabled(dialog, CTL_DIAL));
    saveScreenshot(dialog, "connect_waiting");
    tick(dialog);
    EXPECT_NE(d.text(dialog, CTL_CONNECT_STATUS).find(" 55 seconds."), std::string::npos);
    d.click(dialog, CTL_TRY_NOW);  // still down: counts from 60 again
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_NE(d.text(dialog, CTL_CONNECT_STATUS).find(" 60 seconds."), std::string::npos);
    connection.connected = true;
    d.click(dialog, CTL_TRY_NOW);
    EXPECT_TRUE(d.waitGone(dialog));
  });
  EXPECT_EQ(idlePass(), 1);
  driver.finish();
  EXPECT_TRUE(connection.dials.empty());
  EXPECT_EQ(number("pause"), 0);
  EXPECT_EQ(number("dialup"), 1);
}

TEST_F(ConnectDialogTest, TheCheckAfterTheCountdownFindsTheConnection) {
  start(DialUpMode::kWaitForRedial);
  EXPECT_FALSE(check.connectionAvailable());
  DialogDriver driver([&](DialogDriver& d) {
    HWND dialog = d.waitFor("Haulix Dial-up Connection - Waiting");
    for (int i = 0; i < 11; ++i) tick(dialog);
    EXPECT_TRUE(IsWindowVisible(dialog));
    connection.connected = true;
    tick(dialog);
    EXPECT_TRUE(d.waitGone(dialog));
  });
  idlePass();
  driver.finish();
  EXPECT_EQ(number("pause"), 0);
}

TEST_F(ConnectDialogTest, CancelAnsweredNoTurnsDialUpOff) {
  start(DialUpMode::kWaitForRedial);
  EXPECT_FALSE(check.connectionAvailable());
  DialogDriver driver([&](DialogDriver& d) {
    HWND dialog = d.waitFor("Haulix Dial-up Connection - Waiting");
    d.click(dialog, IDCANCEL);
    HWND question = d.waitFor("Haulix Dial-up Connection");
    EXPECT_EQ(d.text(question, 0xFFFF),
              "Does this computer use a dial-up connection to the Internet?\n"
              "If a LAN, cable modem, or DSL provides access, click No.");
    saveScreenshot(question, "connect_question");
    SendMessageA(question, WM_COMMAND, IDNO, 0);
  });
  idlePass();
  driver.finish();
  EXPECT_EQ(number("dialup"), 0);
  EXPECT_EQ(number("pause"), 0);
  EXPECT_TRUE(check.connectionAvailable());
}

TEST_F(ConnectDialogTest, CancelAnsweredYesKeepsDialUpAndTheNextRefusalAsksAgain) {
  start(DialUpMode::kDialAutomatically);
  EXPECT_FALSE(check.connectionAvailable());
  DialogDriver driver([&](DialogDriver& d) {
    HWND dialog = d.waitFor("Haulix Dial-up Connection - Pausing");
    // Escape is Cancel.
    SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    SendMessageA(d.waitFor("Haulix Dial-up Connection"), WM_COMMAND, IDYES, 0);
  });
  idlePass();
  driver.finish();
  EXPECT_EQ(number("dialup"), 2);
  EXPECT_EQ(number("pause"), 1);
  EXPECT_FALSE(check.connectDialogPending());
  EXPECT_FALSE(check.connectionAvailable());
  EXPECT_TRUE(requests.openConnectDialog);
}

TEST_F(ConnectDialogTest, WithDialUpOffNoStartIsRefused) {
  start(DialUpMode::kNone);
  EXPECT_TRUE(check.connectionAvailable());
  EXPECT_EQ(idlePass(), 0);
}

}  // namespace
