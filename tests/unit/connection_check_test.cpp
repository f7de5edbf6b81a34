#include "download/connection_check.h"

#include <gtest/gtest.h>

#include "fakes/fake_connection.h"
#include "fakes/fake_registry.h"
#include "fakes/fake_text_rules.h"

namespace {

constexpr RegistryRoot kUser = RegistryRoot::kCurrentUser;
const std::string kKey = "Software\\Haulix";

class ConnectionCheckTest : public ::testing::Test {
 protected:
  void start(DialUpMode mode, bool connected) {
    registry.putNumber(kUser, kKey, "setup", 300);
    registry.putNumber(kUser, kKey, "dialup", static_cast<int32_t>(mode));
    store.loadSettings(text);
    line.connected = connected;
  }
  // The idle pass's part: take the request and run the dialog, which closes with the line up or
  // down.
  bool runDialogIfRequested(bool connectedWhenItCloses) {
    if (!takeRequest(requests.openConnectDialog)) return false;
    ++dialogs;
    line.connected = connectedWhenItCloses;
    check.connectDialogClosed();
    return true;
  }

  FakeRegistry registry;
  KnownFolders folders;
  FakeTextRules rules;
  ByteText text{rules};
  SettingsStore store{registry, folders};
  FakeConnection line;
  IdleRequests requests;
  ConnectionCheck check{store, line, requests};
  int dialogs = 0;
};

TEST_F(ConnectionCheckTest, WithoutDialUpHandlingNoStartIsEverRefused) {
  start(DialUpMode::kNone, false);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(check.connectionAvailable());
  EXPECT_EQ(line.checks, 0);
  EXPECT_FALSE(requests.openConnectDialog);
  EXPECT_FALSE(check.connectDialogPending());
}

TEST_F(ConnectionCheckTest, WithALineUpEveryStartGoesAhead) {
  start(DialUpMode::kWaitForRedial, true);
  EXPECT_TRUE(check.connectionAvailable());
  EXPECT_EQ(line.checks, 1);
  EXPECT_FALSE(requests.openConnectDialog);
}

TEST_F(ConnectionCheckTest, ManyStartsRefusedInOneOutageAskForOneDialog) {
  start(DialUpMode::kDialAutomatically, false);
  for (int i = 0; i < 4; ++i) EXPECT_FALSE(check.connectionAvailable());
  EXPECT_TRUE(check.connectDialogPending());
  EXPECT_TRUE(takeRequest(requests.openConnectDialog));
  // Idle passes run on inside the open dialog; its starts are refused without a new request.
  for (int i = 0; i < 4; ++i) EXPECT_FALSE(check.connectionAvailable());
  EXPECT_FALSE(requests.openConnectDialog);
  EXPECT_EQ(line.checks, 8);
}

TEST_F(ConnectionCheckTest, StartsGoAheadAsSoonAsTheLineIsUpEvenWithTheDialogOpen) {
  start(DialUpMode::kWaitForRedial, false);
  EXPECT_FALSE(check.connectionAvailable());
  line.connected = true;
  EXPECT_TRUE(check.connectionAvailable());
  EXPECT_TRUE(check.connectDialogPending());
}

TEST_F(ConnectionCheckTest, ADialogClosedWithAConnectionUnpausesTheQueue) {
  start(DialUpMode::kWaitForRedial, false);
  store.setNumberSetting("pause", &Settings::paused, 1);
  EXPECT_FALSE(check.connectionAvailable());
  ASSERT_TRUE(runDialogIfRequested(true));
  EXPECT_FALSE(check.connectDialogPending());
  EXPECT_EQ(store.settings().paused, 0);
  EXPECT_EQ(registry.number(kUser, kKey, "pause"), 0);
}

TEST_F(ConnectionCheckTest, ADialogClosedWithoutAConnectionLetsTheNextOutageAskAgain) {
  start(DialUpMode::kWaitForRedial, false);
  store.setNumberSetting("pause", &Settings::paused, 1);
  EXPECT_FALSE(check.connectionAvailable());
  ASSERT_TRUE(runDialogIfRequested(false));
  EXPECT_EQ(store.settings().paused, 1);
  EXPECT_FALSE(requests.openConnectDialog);
  EXPECT_FALSE(check.connectionAvailable());
  EXPECT_TRUE(runDialogIfRequested(false));
  EXPECT_EQ(dialogs, 2);
}

TEST_F(ConnectionCheckTest, TurningDialUpOffInTheDialogCountsAsConnected) {
  start(DialUpMode::kWaitForRedial, false);
  store.setNumberSetting("pause", &Settings::paused, 1);
  EXPECT_FALSE(check.connectionAvailable());
  ASSERT_TRUE(takeRequest(requests.openConnectDialog));
  // Cancel, then No to "Does this computer use a dial-up connection...".
  store.setNumberSetting("dialup", &Settings::dialUpMode, 0);
  EXPECT_TRUE(check.connectDialogClosed());
  EXPECT_EQ(store.settings().paused, 0);
  EXPECT_TRUE(check.connectionAvailable());
}

TEST_F(ConnectionCheckTest, DialUpTurnedOnInAnotherInstanceTakesEffectAfterReload) {
  start(DialUpMode::kNone, false);
  EXPECT_TRUE(check.connectionAvailable());
  registry.putNumber(kUser, kKey, "dialup", 1);
  store.reloadSettings();
  EXPECT_FALSE(check.connectionAvailable());
  EXPECT_TRUE(requests.openConnectDialog);
}

TEST_F(ConnectionCheckTest, DialingTriesUnattendedFirstThenForcedOnline) {
  start(DialUpMode::kDialAutomatically, false);
  line.dialingConnects = true;
  EXPECT_TRUE(check.dialDefaultConnection());
  EXPECT_EQ(line.dials, (std::vector<uint32_t>{2}));

  line.dials.clear();
  line.connected = false;
  line.dialFailures = 1;
  EXPECT_TRUE(check.dialDefaultConnection());
  EXPECT_EQ(line.dials, (std::vector<uint32_t>{2, 1}));
  EXPECT_TRUE(check.isConnected());

  line.dials.clear();
  line.connected = false;
  line.dialingConnects = false;
  EXPECT_FALSE(check.dialDefaultConnection());
  EXPECT_EQ(line.dials, (std::vector<uint32_t>{2, 1}));
  EXPECT_FALSE(check.isConnected());
}

TEST(IdleRequest, IsTakenOnce) {
  IdleRequests requests;
  EXPECT_FALSE(takeRequest(requests.selectAllInAddressBox));
  requests.selectAllInAddressBox = true;
  EXPECT_TRUE(takeRequest(requests.selectAllInAddressBox));
  EXPECT_FALSE(requests.selectAllInAddressBox);
}

}  // namespace
