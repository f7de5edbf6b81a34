#include "store/site_entry_edit.h"

#include <gtest/gtest.h>

#include "fakes/fake_registry.h"
#include "fakes/fake_text_rules.h"
#include "store/site_credentials.h"

namespace {

class SiteEntryEditTest : public ::testing::Test {
 protected:
  SiteEntryEditTest() { store.loadSettings(text); }
  std::vector<SiteCredential> table() const { return parseSiteTable(store.settings().siteTable); }

  FakeRegistry registry;
  KnownFolders folders;
  FakeTextRules rules;
  ByteText text{rules};
  SettingsStore store{registry, folders};
};

TEST(MaskedPasswordTest, ShowsOneMaskPerCharacter) {
  EXPECT_EQ(maskedPassword(""), "");
  EXPECT_EQ(maskedPassword("secret"), "******");
  // Two characters of two bytes each, then one of three.
  EXPECT_EQ(maskedPassword("\xC3\xA9\xC3\xA8\xE2\x82\xAC"), "***");
}

TEST_F(SiteEntryEditTest, OkNeedsASiteAndAUserNameAReferrerOrAcceptedCertificates) {
  EXPECT_FALSE(canSaveSiteEntry(text, "", "ann", "", false));
  EXPECT_FALSE(canSaveSiteEntry(text, "*.", "ann", "", true));
  EXPECT_FALSE(canSaveSiteEntry(text, "example.com", "  ", "   ", false));
  EXPECT_TRUE(canSaveSiteEntry(text, "example.com", " ann ", "", false));
  EXPECT_TRUE(canSaveSiteEntry(text, "example.com", "", "http://example.com/", false));
  EXPECT_TRUE(canSaveSiteEntry(text, "example.com", "", "", true));
}

TEST_F(SiteEntryEditTest, TheReferrerIsSuggestedOnlyForASiteWithoutOne) {
  EXPECT_EQ(suggestedReferrer(text, "HTTP://Files.Example.com/x", ""), "http://files.example.com/");
  EXPECT_EQ(suggestedReferrer(text, "example.com", "  "), "http://example.com/");
  EXPECT_EQ(suggestedReferrer(text, "example.com", "http://a/"), "");
  EXPECT_EQ(suggestedReferrer(text, " ", ""), "");
}

TEST_F(SiteEntryEditTest, AddingStoresTheNormalisedTrimmedEntryAtTheEnd) {
  addOrMergeCredential(store, "first.com", "u", "p", "");
  ASSERT_TRUE(saveSiteEntry(store, text, "", " HTTP://WWW.Example.com/path ", " ann ", " pw ",
                            " http://ref/ ", false));
  ASSERT_EQ(table().size(), 2u);
  EXPECT_EQ(table()[1], (SiteCredential{"www.example.com", "ann", "pw", "http://ref/"}));
  EXPECT_EQ(registry.text(RegistryRoot::kCurrentUser, "Software\\Haulix", "site"),
            store.settings().siteTable);
}

TEST_F(SiteEntryEditTest, EditingMovesTheEntryToTheEnd) {
  addOrMergeCredential(store, "a.com", "u", "p", "");
  addOrMergeCredential(store, "b.com", "v", "q", "");
  ASSERT_TRUE(saveSiteEntry(store, text, "a.com", "a.com", "u2", "p2", "", false));
  ASSERT_EQ(table().size(), 2u);
  EXPECT_EQ(table()[0].site, "b.com");
  EXPECT_EQ(table()[1], (SiteCredential{"a.com", "u2", "p2", ""}));
}

TEST_F(SiteEntryEditTest, EditingToAnotherSiteDropsTheOldEntryAndReplacesTheOther) {
  addOrMergeCredential(store, "old.com", "u", "p", "");
  addOrMergeCredential(store, "new.com", "someone", "else", "http://x/");
  addOrMergeCredential(store, "keep.com", "k", "k", "");
  ASSERT_TRUE(saveSiteEntry(store, text, "old.com", "new.com", "u", "p", "", false));
  ASSERT_EQ(table().size(), 2u);
  EXPECT_EQ(table()[0].site, "keep.com");
  EXPECT_EQ(table()[1], (SiteCredential{"new.com", "u", "p", ""}));
}

TEST_F(SiteEntryEditTest, AnEntryThatCannotBeSavedLeavesTheEditedOneAlone) {
  addOrMergeCredential(store, "a.com", "u", "p", "");
  std::string before = store.settings().siteTable;
  EXPECT_FALSE(saveSiteEntry(store, text, "a.com", "", "u", "p", "", false));
  EXPECT_FALSE(saveSiteEntry(store, text, "a.com", "a.com", " ", "p", "", false));
  EXPECT_EQ(store.settings().siteTable, before);
}

TEST_F(SiteEntryEditTest, AcceptedCertificatesAreStoredApartAndFollowTheEntry) {
  addOrMergeCredential(store, "a.com", "u", "p", "");
  const std::string siteValue = store.settings().siteTable;
  ASSERT_TRUE(saveSiteEntry(store, text, "a.com", "a.com", "u", "p", "", true));
  // The "site" value keeps the form older releases read: the same entry, unchanged.
  EXPECT_EQ(store.settings().siteTable, siteValue);
  EXPECT_EQ(registry.text(RegistryRoot::kCurrentUser, "Software\\Haulix", "cert"), "a.com\r");
  EXPECT_TRUE(siteAcceptsCertificateErrors(store.settings(), "a.com"));

  // Renamed: the acceptance goes with the entry; unticked, it goes.
  ASSERT_TRUE(saveSiteEntry(store, text, "a.com", "b.com", "u", "p", "", true));
  EXPECT_EQ(store.settings().certificateSites, "b.com\r");
  ASSERT_TRUE(saveSiteEntry(store, text, "b.com", "b.com", "u", "p", "", false));
  EXPECT_EQ(store.settings().certificateSites, "");

  // An entry that only accepts certificate errors is an entry of the table all the same.
  ASSERT_TRUE(saveSiteEntry(store, text, "", "intranet.example", "", "", "", true));
  EXPECT_EQ(table().back(), (SiteCredential{"intranet.example", "", "", ""}));
  removeCredential(store, "intranet.example");
  EXPECT_EQ(store.settings().certificateSites, "");
}

TEST(DeleteSiteQuestionTest, NamesTheSite) {
  EXPECT_EQ(deleteSiteQuestion("example.com"),
            "Are you sure you want to delete the site information for 'example.com'?");
}

}  // namespace
