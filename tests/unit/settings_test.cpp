#include "store/settings.h"

#include <gtest/gtest.h>

#include "fakes/fake_ids.h"
#include "fakes/fake_modal_messages.h"
#include "fakes/fake_registry.h"
#include "fakes/fake_text_rules.h"

namespace {

constexpr RegistryRoot kUser = RegistryRoot::kCurrentUser;
constexpr RegistryRoot kMachine = RegistryRoot::kLocalMachine;
const std::string kKey = "Software\\Haulix";
const std::string kOldKey = "Software\\Haulix\\Haulix";

class SettingsTest : public ::testing::Test {
 protected:
  SettingsTest() { folders.myDocuments = "C:\\Users\\ann\\Documents"; }

  FakeRegistry registry;
  KnownFolders folders;
  FakeTextRules rules;
  ByteText text{rules};
  SettingsStore store{registry, folders};
  const Settings& settings = store.settings();
};

TEST_F(SettingsTest, FirstStartOnACleanAccountRaisesTheStoredLevelAndDefaultsTheFolder) {
  store.loadSettings(text);
  EXPECT_EQ(registry.number(kUser, kKey, "setup"), 300);
  EXPECT_EQ(settings.setupLevel, 0);
  EXPECT_EQ(settings.saveFolder, "C:\\Users\\ann\\Documents\\My Downloaded Files");
  EXPECT_EQ(settings.filesAtOnce, 0);
  EXPECT_EQ(settings.paused, 0);
  EXPECT_EQ(settings.siteTable, "");
  // The default folder lives in memory only: "setup" is all that was written.
  EXPECT_EQ(registry.find(kUser, kKey, "folder"), nullptr);
  EXPECT_EQ(registry.writes(), 1);
}

TEST_F(SettingsTest, ALaterStartReadsEveryValueAndWritesNothing) {
  registry.putNumber(kUser, kKey, "setup", 300);
  registry.putNumber(kUser, kKey, "dialup", 2);
  registry.putNumber(kUser, kKey, "sub", 4);
  registry.putNumber(kUser, kKey, "get", 3);
  registry.putNumber(kUser, kKey, "pause", 1);
  registry.putNumber(kUser, kKey, "copy", 1);
  registry.putText(kUser, kKey, "folder", "D:\\Downloads");
  registry.putText(kUser, kKey, "site", "example.com\rann\rpw\r\r");
  store.loadSettings(text);
  EXPECT_EQ(settings.setupLevel, 300);
  EXPECT_EQ(settings.dialUpMode, 2);
  EXPECT_EQ(settings.subfolderScheme, 4);
  EXPECT_EQ(settings.filesAtOnce, 3);
  EXPECT_EQ(settings.paused, 1);
  EXPECT_EQ(settings.watchClipboard, 1);
  EXPECT_EQ(settings.saveFolder, "D:\\Downloads");
  EXPECT_EQ(settings.siteTable, "example.com\rann\rpw\r\r");
  EXPECT_EQ(registry.writes(), 0);
}

TEST_F(SettingsTest, SettingAValueItAlreadyHasWritesNothing) {
  registry.putNumber(kUser, kKey, "setup", 300);
  store.loadSettings(text);
  store.setNumberSetting("pause", &Settings::paused, 0);
  store.setTextSetting("folder", &Settings::saveFolder, settings.saveFolder);
  EXPECT_EQ(registry.writes(), 0);

  store.setNumberSetting("pause", &Settings::paused, 1);
  store.setNumberSetting("pause", &Settings::paused, 1);
  EXPECT_EQ(registry.writes(), 1);
  EXPECT_EQ(registry.number(kUser, kKey, "pause"), 1);
  EXPECT_EQ(registry.find(kUser, kKey, "pause")->type, registry_type::kDword);

  // Texts differ by any byte, case included.
  store.setTextSetting("folder", &Settings::saveFolder, "D:\\Files");
  store.setTextSetting("folder", &Settings::saveFolder, "D:\\files");
  EXPECT_EQ(registry.writes(), 3);
  const FakeRegistry::Value* folder = registry.find(kUser, kKey, "folder");
  ASSERT_NE(folder, nullptr);
  EXPECT_EQ(folder->type, registry_type::kSz);
  EXPECT_EQ(folder->bytes, std::string("D:\\files\0", 9));
}

TEST_F(SettingsTest, AValueDeletedWhileRunningLeavesTheValueInMemory) {
  registry.putNumber(kUser, kKey, "setup", 300);
  registry.putNumber(kUser, kKey, "get", 4);
  registry.putText(kUser, kKey, "folder", "D:\\Downloads");
  store.loadSettings(text);
  registry.erase(kUser, kKey, "get");
  registry.erase(kUser, kKey, "folder");
  store.reloadSettings();
  EXPECT_EQ(settings.filesAtOnce, 4);
  EXPECT_EQ(settings.saveFolder, "D:\\Downloads");
}

TEST_F(SettingsTest, AnotherInstancesPauseIsSeenAtTheNextReload) {
  registry.putNumber(kUser, kKey, "setup", 300);
  store.loadSettings(text);
  registry.putNumber(kUser, kKey, "pause", 1);  // written by the other process
  EXPECT_EQ(settings.paused, 0);
  store.reloadSettings();
  EXPECT_EQ(settings.paused, 1);
}

// An idle pass reads the key only after a change, which the watch tells it.
TEST_F(SettingsTest, AChangedReloadReadsTheKeyOnlyAfterItChanged) {
  registry.putNumber(kUser, kKey, "setup", 300);
  store.loadSettings(text);
  store.reloadChangedSettings();
  const int reads = registry.readsOf(kUser, kKey, "get");
  store.reloadChangedSettings();
  store.reloadChangedSettings();
  EXPECT_EQ(registry.readsOf(kUser, kKey, "get"), reads);
  registry.putNumber(kUser, kKey, "pause", 1);  // written by the other process
  store.reloadChangedSettings();
  EXPECT_EQ(settings.paused, 1);
  EXPECT_EQ(registry.readsOf(kUser, kKey, "get"), reads + 1);
}

TEST_F(SettingsTest, AnEmptyStoredFolderGetsTheDefaultInMemoryOnly) {
  registry.putNumber(kUser, kKey, "setup", 300);
  registry.putText(kUser, kKey, "folder", "");
  store.loadSettings(text);
  EXPECT_EQ(settings.saveFolder, "C:\\Users\\ann\\Documents\\My Downloaded Files");
  EXPECT_EQ(registry.text(kUser, kKey, "folder"), "");
}

TEST_F(SettingsTest, AnUnwritableRegistryLeavesTheProgramRunningOnMemory) {
  registry.putNumber(kUser, kKey, "setup", 300);
  registry.refuseWrites = true;
  store.loadSettings(text);
  store.setNumberSetting("get", &Settings::filesAtOnce, 5);
  store.setTextSetting("folder", &Settings::saveFolder, "E:\\Keep");
  store.reloadSettings();
  EXPECT_EQ(settings.filesAtOnce, 5);
  EXPECT_EQ(settings.saveFolder, "E:\\Keep");
  EXPECT_EQ(registry.find(kUser, kKey, "get"), nullptr);
}

// The stored bytes, as another program or an older release may have left them.

TEST_F(SettingsTest, StoredTextsEndAtTheForcedZeroInTheirLastByte) {
  registry.putNumber(kUser, kKey, "setup", 300);
  registry.putRaw(kUser, kKey, "folder", registry_type::kSz, "D:\\Files");
  registry.putRaw(kUser, kKey, "site", registry_type::kSz, std::string("a.com\r\0b.com\r\0", 14));
  store.loadSettings(text);
  EXPECT_EQ(settings.saveFolder, "D:\\File");  // stored without its zero byte
  EXPECT_EQ(settings.siteTable, "a.com\r");

  registry.putRaw(kUser, kKey, "site", registry_type::kSz, "");
  registry.putRaw(kUser, kKey, "folder", registry_type::kBinary, "");
  store.reloadSettings();
  EXPECT_EQ(settings.siteTable, "");
  EXPECT_EQ(settings.saveFolder, "C:\\Users\\ann\\Documents\\My Downloaded Files");
}

TEST_F(SettingsTest, StoredNumbersReadByTheirBytesUpToFour) {
  registry.putNumber(kUser, kKey, "setup", 300);
  registry.putNumber(kUser, kKey, "get", 6);
  registry.putRaw(kUser, kKey, "sub", registry_type::kSz, std::string("4\0", 2));
  registry.putRaw(kUser, kKey, "pause", registry_type::kBinary, "");
  registry.putNumber(kUser, kKey, "copy", -1);
  store.loadSettings(text);
  EXPECT_EQ(settings.filesAtOnce, 6);
  EXPECT_EQ(settings.subfolderScheme, '4');
  EXPECT_EQ(settings.paused, 0);
  EXPECT_EQ(settings.watchClipboard, -1);

  registry.putRaw(kUser, kKey, "get", registry_type::kBinary, std::string("\x09\0\0\0\0", 5));
  registry.putRaw(kUser, kKey, "sub", registry_type::kBinary, "\x02\x01");
  store.reloadSettings();
  EXPECT_EQ(settings.filesAtOnce, 6);  // too long: absent
  EXPECT_EQ(settings.subfolderScheme, 0x0102);
}

// The import of the old password and referrer lists.

TEST_F(SettingsTest, AFirstRunImportsBothOldListsIntoOneTable) {
  registry.putNumber(kUser, kKey, "setup", 250);
  registry.putText(kUser, kKey, "pass",
                   "x\ry\rHTTP://Files.Example.com/dir\rann\rsecret\r"
                   "x\ry\r*.other.org\rbob\r\r");
  registry.putText(kUser, kKey, "ref",
                   "files.example.com\rhttp://files.example.com/\r"
                   "third.net\rhttp://third.net/start\r");
  store.loadSettings(text);
  EXPECT_EQ(settings.siteTable,
            "files.example.com\rann\rsecret\rhttp://files.example.com/\r"
            "other.org\rbob\r\r\r"
            "third.net\r\r\rhttp://third.net/start\r");
  EXPECT_EQ(registry.text(kUser, kKey, "site"), settings.siteTable);
  // The old lists stay as they were: they are only ever read.
  EXPECT_NE(registry.find(kUser, kKey, "pass"), nullptr);
}

TEST_F(SettingsTest, ASiteThatIsPresentButEmptyStillAllowsTheImport) {
  registry.putText(kUser, kKey, "site", "");
  registry.putText(kUser, kKey, "ref", "a.com\rhttp://a.com/\r");
  store.loadSettings(text);
  EXPECT_EQ(settings.siteTable, "a.com\r\r\rhttp://a.com/\r");
}

TEST_F(SettingsTest, AFilledSiteTableIsNotOverwrittenByTheImport) {
  registry.putText(kUser, kKey, "site", "b.com\rme\r\r\r");
  registry.putText(kUser, kKey, "ref", "a.com\rhttp://a.com/\r");
  store.loadSettings(text);
  EXPECT_EQ(settings.siteTable, "b.com\rme\r\r\r");
  EXPECT_EQ(registry.readsOf(kUser, kKey, "ref"), 0);
}

TEST_F(SettingsTest, WithSetupAtThisLevelTheOldListsAreNeverRead) {
  registry.putNumber(kUser, kKey, "setup", 300);
  registry.putText(kUser, kKey, "pass", "x\ry\ra.com\rann\rpw\r");
  registry.putText(kUser, kKey, "ref", "a.com\rhttp://a.com/\r");
  store.loadSettings(text);
  store.reloadSettings();
  EXPECT_EQ(registry.readsOf(kUser, kKey, "pass"), 0);
  EXPECT_EQ(registry.readsOf(kUser, kKey, "ref"), 0);
  EXPECT_EQ(settings.siteTable, "");
}

// The migration from the machine-wide key of older releases.

TEST_F(SettingsTest, TheMigrationCopiesOnlyTheMachineWideValuesThatCanBeRead) {
  registry.putNumber(kMachine, kOldKey, "setup", 200);
  registry.putNumber(kMachine, kOldKey, "dialup", 1);
  registry.putRaw(kMachine, kOldKey, "sub", registry_type::kBinary, std::string(6, '\1'));
  registry.putText(kMachine, kOldKey, "folder", "D:\\Old");
  registry.putText(kMachine, kOldKey, "pass", "x\ry\rold.example.com\rann\rpw\r");
  registry.putNumber(kMachine, kOldKey, "get", 7);  // never part of the migration
  store.loadSettings(text);

  EXPECT_EQ(registry.number(kUser, kKey, "dialup"), 1);
  EXPECT_EQ(registry.number(kUser, kKey, "setup"), 300);
  EXPECT_EQ(registry.find(kUser, kKey, "sub"), nullptr);
  EXPECT_EQ(registry.text(kUser, kKey, "folder"), "D:\\Old");
  EXPECT_EQ(registry.find(kUser, kKey, "ref"), nullptr);
  EXPECT_EQ(registry.find(kUser, kKey, "get"), nullptr);
  EXPECT_EQ(settings.setupLevel, 200);
  EXPECT_EQ(settings.dialUpMode, 1);
  EXPECT_EQ(settings.saveFolder, "D:\\Old");
  EXPECT_EQ(settings.siteTable, "old.example.com\rann\rpw\r\r");
  // The machine-wide key is left as it was.
  EXPECT_EQ(registry.number(kMachine, kOldKey, "setup"), 200);
}

TEST_F(SettingsTest, TheMigrationNeedsAMachineWideSetupAndNoUserSetup) {
  registry.putNumber(kMachine, kOldKey, "dialup", 1);
  store.loadSettings(text);
  EXPECT_EQ(registry.find(kUser, kKey, "dialup"), nullptr);

  FakeRegistry second;
  second.putNumber(kUser, kKey, "setup", 100);
  second.putNumber(kMachine, kOldKey, "setup", 200);
  second.putNumber(kMachine, kOldKey, "dialup", 1);
  SettingsStore other(second, folders);
  other.loadSettings(text);
  EXPECT_EQ(second.find(kUser, kKey, "dialup"), nullptr);
  EXPECT_EQ(other.settings().setupLevel, 100);
}

TEST_F(SettingsTest, WithoutAccessToTheMachineWideKeyTheMigrationSilentlyDoesNothing) {
  registry.putNumber(kMachine, kOldKey, "setup", 200);
  registry.putNumber(kMachine, kOldKey, "dialup", 1);
  registry.deniedRoots.insert(kMachine);
  store.loadSettings(text);
  EXPECT_EQ(registry.find(kUser, kKey, "dialup"), nullptr);
  EXPECT_EQ(settings.setupLevel, 0);
  EXPECT_EQ(registry.number(kUser, kKey, "setup"), 300);
}

// The registry write test.

class RegistryWarningTest : public SettingsTest {
 protected:
  FakeIds ids;
  FakeModalMessages messages;
};

TEST_F(RegistryWarningTest, AWritableRegistryShowsNothingAndLeavesNoTrace) {
  EXPECT_TRUE(store.checkRegistryWritable(ids, messages));
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(registry.find(kUser, kKey, "try"), nullptr);
  EXPECT_EQ(registry.readsOf(kUser, kKey, "try"), 1);
  EXPECT_EQ(ids.issued(), 1u);
}

TEST_F(RegistryWarningTest, RefusedWritesBringUpTheWarningOnceWithItsExactText) {
  registry.refuseWrites = true;
  EXPECT_FALSE(store.checkRegistryWritable(ids, messages));
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].title, "Haulix");
  EXPECT_EQ(messages.shown[0].style, message_style::kOk | message_style::kIconExclamation);
  EXPECT_EQ(messages.shown[0].text,
            "Haulix cannot write to the Windows registry, and won't remember any settings the "
            "next time you run it. To fix this, add your Windows user account to the "
            "Administrators group. Contact your system administrator for assistance, or "
            "e-mail support@haulix.net.");
}

TEST_F(RegistryWarningTest, AStaleValueThatCannotBeReplacedCountsAsUnwritable) {
  registry.putText(kUser, kKey, "try", "00000000000000000000000000000001");
  registry.refuseWrites = true;
  ids.newToken();  // the stale value is not the next token
  EXPECT_FALSE(store.checkRegistryWritable(ids, messages));
  EXPECT_EQ(messages.shown.size(), 1u);
}

TEST_F(RegistryWarningTest, AnUnopenableKeyCountsAsUnwritable) {
  registry.deniedRoots.insert(kUser);
  EXPECT_FALSE(store.checkRegistryWritable(ids, messages));
  EXPECT_EQ(messages.shown.size(), 1u);
}

TEST_F(RegistryWarningTest, WithoutAGuidAnEmptyTokenIsWrittenAndReadBack) {
  ids.setFailing(true);
  EXPECT_TRUE(store.checkRegistryWritable(ids, messages));
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(registry.find(kUser, kKey, "try"), nullptr);
}

}  // namespace
