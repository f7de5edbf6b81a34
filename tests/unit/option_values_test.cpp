#include "store/option_values.h"

#include <gtest/gtest.h>

#include "fakes/fake_registry.h"
#include "fakes/fake_text_rules.h"

namespace {

constexpr RegistryRoot kUser = RegistryRoot::kCurrentUser;
const std::string kKey = "Software\\Haulix";

class OptionValuesTest : public ::testing::Test {
 protected:
  OptionValuesTest() {
    folders.myDocuments = "C:\\Docs";
    registry.putNumber(kUser, kKey, "setup", 300);
    store.loadSettings(text);
  }

  FakeRegistry registry;
  KnownFolders folders;
  FakeTextRules rules;
  ByteText text{rules};
  SettingsStore store{registry, folders};
};

TEST(OptionCountTest, ReadsTheLeadingDigitsAsAnUnsignedNumber) {
  EXPECT_EQ(options::readCount("12"), 12);
  EXPECT_EQ(options::readCount("  7"), 7);
  EXPECT_EQ(options::readCount("3x4"), 3);
  EXPECT_EQ(options::readCount(""), 0);
  EXPECT_EQ(options::readCount("-5"), 0);
  EXPECT_EQ(options::readCount("abc"), 0);
}

TEST(OptionCountTest, AHugeNumberStaysAtTheLargestCountInsteadOfWrapping) {
  EXPECT_EQ(options::readCount("2147483647"), 2147483647);
  EXPECT_EQ(options::readCount("4294967296"), 2147483647);
  EXPECT_EQ(options::readCount("99999999999999999999999"), 2147483647);
}

TEST(OptionCountTest, LabelsOneFileTwoOrMoreFilesAndNothingOtherwise) {
  EXPECT_EQ(options::countLabel("1"), "file at a time");
  EXPECT_EQ(options::countLabel("12"), "files at once");
  EXPECT_EQ(options::countLabel("2"), "files at once");
  EXPECT_EQ(options::countLabel("0"), "");
  EXPECT_EQ(options::countLabel(""), "");
  EXPECT_EQ(options::countLabel("4294967296"), "files at once");
}

TEST(OptionSubfolderTest, AStoredSchemeTheListDoesNotHaveShowsTheFirstEntry) {
  EXPECT_EQ(options::subfolderEntry(0), 0);
  EXPECT_EQ(options::subfolderEntry(4), 4);
  EXPECT_EQ(options::subfolderEntry(5), 0);
  EXPECT_EQ(options::subfolderEntry(7), 0);
  EXPECT_EQ(options::subfolderEntry(-1), 0);
  EXPECT_EQ(options::kSubfolderEntries[3], "site \\ folder-folder \\ file");
}

TEST_F(OptionValuesTest, OkWritesOnlyWhatChanged) {
  registry.putNumber(kUser, kKey, "sub", 2);
  registry.putNumber(kUser, kKey, "get", 4);
  registry.putText(kUser, kKey, "folder", "D:\\Files");
  store.reloadSettings();
  int before = registry.writes();
  options::storeDownloadPage(store, {"D:\\Files", 2, "4"});
  EXPECT_EQ(registry.writes(), before);

  options::storeDownloadPage(store, {"D:\\Other", 2, "9"});
  EXPECT_EQ(registry.writes(), before + 2);
  EXPECT_EQ(registry.text(kUser, kKey, "folder"), "D:\\Other");
  EXPECT_EQ(registry.number(kUser, kKey, "get"), 9);
}

TEST_F(OptionValuesTest, AStrangeSchemeIsStoredAsTheFirstEntryOnOk) {
  registry.putNumber(kUser, kKey, "sub", 7);
  store.reloadSettings();
  options::storeDownloadPage(store,
                             {store.settings().saveFolder,
                              options::subfolderEntry(store.settings().subfolderScheme), "3"});
  EXPECT_EQ(registry.number(kUser, kKey, "sub"), 0);
}

TEST_F(OptionValuesTest, ANoughtOrEmptyCountAndNoSubfolderSelectionLeaveThoseValues) {
  registry.putNumber(kUser, kKey, "get", 0);
  registry.putNumber(kUser, kKey, "sub", 3);
  store.reloadSettings();
  int before = registry.writes();
  options::storeDownloadPage(store, {store.settings().saveFolder, -1, "0"});
  options::storeDownloadPage(store, {store.settings().saveFolder, -1, ""});
  EXPECT_EQ(registry.writes(), before);
  EXPECT_EQ(registry.number(kUser, kKey, "get"), 0);
  EXPECT_EQ(registry.number(kUser, kKey, "sub"), 3);
}

TEST_F(OptionValuesTest, ConnectionsPerFileIsStoredWithinOneToEightAndReadsAsOneWhenAbsent) {
  // An earlier release's registry has no "conn": one connection, as then.
  EXPECT_EQ(connectionsPerFile(store.settings()), 1);
  const struct {
    std::string typed;
    int32_t stored;
  } cases[] = {{"4", 4}, {"12", 8}, {"0", 8}, {"", 8}, {"1", 1}};
  for (const auto& c : cases) {
    options::storeDownloadPage(store, {store.settings().saveFolder, -1, "", c.typed});
    EXPECT_EQ(registry.number(kUser, kKey, "conn"), c.stored) << c.typed;
  }
  // Whatever another program stored, Get opens 1 to 8.
  for (const auto& [stored, used] : {std::pair{0, 1}, {-3, 1}, {99, 8}, {5, 5}}) {
    registry.putNumber(kUser, kKey, "conn", stored);
    store.reloadSettings();
    EXPECT_EQ(connectionsPerFile(store.settings()), used) << stored;
  }
}

TEST_F(OptionValuesTest, AnEmptyFolderIsStoredEmptyAndReadsBackAsTheDefault) {
  options::storeDownloadPage(store, {"", 0, "1"});
  EXPECT_EQ(registry.text(kUser, kKey, "folder"), "");
  store.reloadSettings();
  EXPECT_EQ(store.settings().saveFolder, "C:\\Docs\\My Downloaded Files");
}

TEST_F(OptionValuesTest, TheDialUpBoxAndRadioButtonsGiveTheMode) {
  options::storeConnectionsPage(store, true, true);
  EXPECT_EQ(registry.number(kUser, kKey, "dialup"), 1);
  options::storeConnectionsPage(store, true, false);
  EXPECT_EQ(registry.number(kUser, kKey, "dialup"), 2);
  options::storeConnectionsPage(store, false, true);
  EXPECT_EQ(registry.number(kUser, kKey, "dialup"), 0);
}

TEST(OptionHelpTest, HelpPagesLiveUnderTheHelpSite) {
  std::string address = options::helpAddress("help/option.asp#get");
  EXPECT_TRUE(address.ends_with("/help/option.asp#get")) << address;
  EXPECT_TRUE(address.starts_with("https://")) << address;
}

}  // namespace
