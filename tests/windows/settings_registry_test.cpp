// The settings against the real registry of the test's own Wine prefix: the migration from
// an older release's machine-wide key, and the start-up write test.
#include <windows.h>

#include <gtest/gtest.h>

#include "fakes/fake_modal_messages.h"
#include "platform/win32/win32_ids.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_text_rules.h"
#include "store/settings.h"

namespace {

constexpr RegistryRoot kUser = RegistryRoot::kCurrentUser;
constexpr RegistryRoot kMachine = RegistryRoot::kLocalMachine;

// The prefix is private to the build folder: its own settings of the program, if any, are
// throwaway. Each test starts and ends without them.
class SettingsRegistryTest : public ::testing::Test {
 protected:
  SettingsRegistryTest() { clear(); }
  ~SettingsRegistryTest() override { clear(); }
  static void clear() {
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Haulix");
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Haulix");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Haulix");
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Haulix");
  }

  Win32Registry registry;
  Win32TextRules rules;
  ByteText text{rules};
  KnownFolders folders;
  SettingsStore store{registry, folders};
};

TEST_F(SettingsRegistryTest, AnOlderReleasesMachineWideValuesMoveToTheUser) {
  const std::string old = "Software\\Haulix\\Haulix";
  ASSERT_TRUE(registry.writeNumber(kMachine, old, "setup", 200));
  ASSERT_TRUE(registry.writeNumber(kMachine, old, "dialup", 2));
  ASSERT_TRUE(registry.writeText(kMachine, old, "folder", "D:\\Old Files"));
  ASSERT_TRUE(registry.writeText(kMachine, old, "pass", "x\ry\rOld.Example.com\rann\rpw\r"));
  // Too long to read as a number: not copied.
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, old.c_str(), 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  const BYTE eight[8] = {3};
  ASSERT_EQ(RegSetValueExA(key, "sub", 0, REG_BINARY, eight, sizeof eight), ERROR_SUCCESS);
  RegCloseKey(key);

  store.loadSettings(text);

  const std::string user = "Software\\Haulix";
  int32_t number = 0;
  std::string value;
  ASSERT_TRUE(registry.readNumber(kUser, user, "setup", number));
  EXPECT_EQ(number, 300);
  ASSERT_TRUE(registry.readNumber(kUser, user, "dialup", number));
  EXPECT_EQ(number, 2);
  EXPECT_FALSE(registry.readNumber(kUser, user, "sub", number));
  ASSERT_TRUE(registry.readText(kUser, user, "folder", value));
  EXPECT_EQ(value, "D:\\Old Files");
  EXPECT_FALSE(registry.readText(kUser, user, "ref", value));
  ASSERT_TRUE(registry.readText(kUser, user, "site", value));
  EXPECT_EQ(value, "old.example.com\rann\rpw\r\r");

  const Settings& settings = store.settings();
  EXPECT_EQ(settings.setupLevel, 200);
  EXPECT_EQ(settings.dialUpMode, 2);
  EXPECT_EQ(settings.subfolderScheme, 0);
  EXPECT_EQ(settings.saveFolder, "D:\\Old Files");
  EXPECT_EQ(settings.siteTable, "old.example.com\rann\rpw\r\r");
}

TEST_F(SettingsRegistryTest, TheWriteTestPassesAndLeavesNoTrace) {
  Win32Ids ids;
  FakeModalMessages messages;
  EXPECT_TRUE(store.checkRegistryWritable(ids, messages));
  EXPECT_TRUE(messages.shown.empty());
  std::string value;
  EXPECT_FALSE(registry.readText(kUser, "Software\\Haulix", "try", value));
}

}  // namespace
