#include "store/site_credentials.h"

#include <gtest/gtest.h>

#include "fakes/fake_registry.h"
#include "fakes/fake_text_rules.h"

namespace {

constexpr RegistryRoot kUser = RegistryRoot::kCurrentUser;
const std::string kKey = "Software\\Haulix";

class SiteNormalizing : public ::testing::Test {
 protected:
  std::string normalized(std::string_view typed) { return normalizeSite(text, typed); }
  FakeTextRules rules;
  ByteText text{rules};
};

TEST_F(SiteNormalizing, ReducesAPastedAddressToItsLowerCaseHost) {
  EXPECT_EQ(normalized("  HTTP://Www.Example.COM/Dir/File.HTML  "), "www.example.com");
  EXPECT_EQ(normalized("ftp://user@Files.Example.com"), "user@files.example.com");
}

TEST_F(SiteNormalizing, StripsWildcardsDotsAndColonsAtBothEnds) {
  EXPECT_EQ(normalized("*.example.com."), "example.com");
  EXPECT_EQ(normalized(":.*.:example.com:.:"), "example.com");
  EXPECT_EQ(normalized("ex ample . com"), "example.com");
  EXPECT_EQ(normalized("*.*"), "");
  EXPECT_EQ(normalized(""), "");
}

TEST_F(SiteNormalizing, KeepsAPortWrittenAfterTheHost) {
  EXPECT_EQ(normalized("http://example.com:8080/"), "example.com:8080");
}

TEST(SiteTable, ReadsAndWritesTheStoredFormUnchanged) {
  const std::string stored = "a.com\rann\rpw\r\rb.org\r\r\rhttp://b.org/\r";
  std::vector<SiteCredential> table = parseSiteTable(stored);
  ASSERT_EQ(table.size(), 2u);
  EXPECT_EQ(table[0], (SiteCredential{"a.com", "ann", "pw", ""}));
  EXPECT_EQ(table[1], (SiteCredential{"b.org", "", "", "http://b.org/"}));
  EXPECT_EQ(formatSiteTable(table), stored);
  EXPECT_TRUE(parseSiteTable("").empty());
  EXPECT_EQ(formatSiteTable({}), "");
}

TEST(SiteTable, ReadsATrailingEntryCutShortWithItsMissingFieldsEmpty) {
  std::vector<SiteCredential> table = parseSiteTable("a.com\rann\rpw\r\rb.org\rbob");
  ASSERT_EQ(table.size(), 2u);
  EXPECT_EQ(table[1], (SiteCredential{"b.org", "bob", "", ""}));
}

TEST(SiteTable, WritesCarriageReturnsAndZeroBytesInsideFieldsAsSpaces) {
  std::string stored =
      formatSiteTable({{"a.com", "an\rn", std::string("p\0w", 3), "r"}, {"b.com", "", "", ""}});
  EXPECT_EQ(stored, "a.com\ran n\rp w\rr\rb.com\r\r\r\r");
  EXPECT_EQ(parseSiteTable(stored).size(), 2u);
}

// The look-up every fetch makes.

TEST(SiteLookup, TheFirstFittingEntryWinsEvenWhenALaterOneNamesTheHost) {
  const std::string table =
      "example.com\rdomain\rd-pw\rhttp://example.com/\r"
      "files.example.com\rhost\rh-pw\rhttp://files.example.com/\r";
  SiteCredential found = findCredential(table, "files.example.com");
  EXPECT_EQ(found.userName, "domain");
  EXPECT_EQ(found.password, "d-pw");
  EXPECT_EQ(found.referrer, "http://example.com/");
}

TEST(SiteLookup, AHostFitsWhenEqualOrEndingWithADotAndTheSite) {
  const std::string table = "example.com\rann\r\r\r";
  EXPECT_EQ(findCredential(table, "example.com").userName, "ann");
  EXPECT_EQ(findCredential(table, "a.b.example.com").userName, "ann");
  EXPECT_EQ(findCredential(table, "badexample.com").userName, "");
  EXPECT_EQ(findCredential(table, "example.com.au").userName, "");
  EXPECT_EQ(findCredential(table, "xample.com").userName, "");
  EXPECT_EQ(findCredential(table, "").userName, "");
}

TEST(SiteLookup, ComparesBytesExactly) {
  EXPECT_EQ(findCredential("Example.com\rann\r\r\r", "example.com").userName, "");
}

TEST(SiteLookup, AnEntryWithAPortOrAnEmptySiteFitsNoHost) {
  EXPECT_EQ(findCredential("example.com:81\rann\r\r\r", "example.com").site, "");
  EXPECT_EQ(findCredential("\rann\r\r\r", "example.com.").site, "");
  EXPECT_EQ(findCredential("\rann\r\r\r", "").site, "");
}

TEST(SiteLookup, AnEntryWithOnlyAReferrerAnswersWithEmptyCredentials) {
  UrlParts address;
  address.host = "www.example.com";
  address.siteUser = "stale";
  address.sitePassword = "stale";
  Settings settings;
  settings.siteTable = "example.com\r\r\rhttp://example.com/\r";
  applySiteCredential(settings, address);
  EXPECT_EQ(address.siteUser, "");
  EXPECT_EQ(address.sitePassword, "");
  EXPECT_EQ(address.referrer, "http://example.com/");

  address.host = "elsewhere.org";
  applySiteCredential(settings, address);
  EXPECT_EQ(address.referrer, "");
}

TEST(SiteLookup, CertificateErrorsAreAcceptedOnlyByTheEntryThatFitsTheHost) {
  Settings settings;
  settings.siteTable = "intranet.example\r\r\r\rexample\r\r\r\r";
  settings.certificateSites = "intranet.example\rgone.example\r";
  struct Case {
    const char* host;
    bool accepted;
  } cases[] = {
      {"intranet.example", true},
      {"files.intranet.example", true},
      {"www.example", false},         // fits the other entry
      {"gone.example", false},        // accepted once, but its entry is gone
      {"xintranet.example", false},   // no dot before the site
  };
  for (const Case& c : cases) {
    UrlParts address;
    address.host = c.host;
    applySiteCredential(settings, address);
    EXPECT_EQ(address.acceptCertificateErrors, c.accepted) << c.host;
    EXPECT_EQ(acceptsCertificateErrors(settings, c.host), c.accepted) << c.host;
  }
}

// Changes, stored at once.

class SiteTableChanges : public ::testing::Test {
 protected:
  SiteTableChanges() { registry.putNumber(kUser, kKey, "setup", 300); }
  void start(std::string_view table) {
    registry.putText(kUser, kKey, "site", table);
    store.loadSettings(text);
  }
  const std::string& table() const { return store.settings().siteTable; }

  FakeRegistry registry;
  KnownFolders folders;
  FakeTextRules rules;
  ByteText text{rules};
  SettingsStore store{registry, folders};
};

TEST_F(SiteTableChanges, ANewSiteGoesToTheEndAndIsStored) {
  start("a.com\ram\r\r\r");
  addOrMergeCredential(store, "b.com", "bob", "pw", "");
  EXPECT_EQ(table(), "a.com\ram\r\r\rb.com\rbob\rpw\r\r");
  EXPECT_EQ(registry.text(kUser, kKey, "site"), table());
}

TEST_F(SiteTableChanges, AReferrerForAKnownSiteKeepsItsUserNameAndPassword) {
  start("a.com\rann\rpw\rhttp://old/\r");
  addOrMergeCredential(store, "a.com", "", "ignored", "http://a.com/");
  EXPECT_EQ(table(), "a.com\rann\rpw\rhttp://a.com/\r");
}

TEST_F(SiteTableChanges, AUserNameReplacesThePasswordTooEvenAnEmptyOne) {
  start("a.com\rann\rpw\rhttp://a.com/\r");
  addOrMergeCredential(store, "a.com", "bob", "", "");
  EXPECT_EQ(table(), "a.com\rbob\r\rhttp://a.com/\r");
}

TEST_F(SiteTableChanges, EveryEntryOfTheSiteIsMergedInPlace) {
  start("a.com\r\r\r\rb.com\r\r\r\ra.com\rx\r\r\r");
  addOrMergeCredential(store, "a.com", "ann", "pw", "");
  EXPECT_EQ(table(), "a.com\rann\rpw\r\rb.com\r\r\r\ra.com\rann\rpw\r\r");
}

TEST_F(SiteTableChanges, AnEmptySiteChangesNothing) {
  start("a.com\rann\r\r\rb.org");  // cut short: even a rewrite would change it
  int before = registry.writes();
  addOrMergeCredential(store, "", "bob", "pw", "http://x/");
  EXPECT_EQ(registry.writes(), before);
  EXPECT_EQ(table(), "a.com\rann\r\r\rb.org");
}

TEST_F(SiteTableChanges, AChangeThatLeavesTheTableAsItWasWritesNothing) {
  start("a.com\rann\rpw\rhttp://a.com/\r");
  int before = registry.writes();
  addOrMergeCredential(store, "a.com", "ann", "pw", "http://a.com/");
  addOrMergeCredential(store, "a.com", "", "", "");
  removeCredential(store, "c.com");
  EXPECT_EQ(registry.writes(), before);
}

TEST_F(SiteTableChanges, ACarriageReturnTypedIntoAFieldCannotShiftTheOthers) {
  start("");
  addOrMergeCredential(store, "a.com", "ann\rx", "p\rw", "http://a.com/");
  addOrMergeCredential(store, "b\r.com", "bob", "", "");
  addOrMergeCredential(store, "b\r.com", "", "", "http://b/");
  std::vector<SiteCredential> entries = parseSiteTable(table());
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0], (SiteCredential{"a.com", "ann x", "p w", "http://a.com/"}));
  EXPECT_EQ(entries[1], (SiteCredential{"b .com", "bob", "", "http://b/"}));
  removeCredential(store, "b\r.com");
  EXPECT_EQ(parseSiteTable(table()).size(), 1u);
}

TEST_F(SiteTableChanges, RemovingDropsEveryEntryOfExactlyThatSite) {
  start("a.com\r1\r\r\rwww.a.com\r2\r\r\ra.com\r3\r\r\rb.com\r4\r\r\r");
  removeCredential(store, "a.com");
  EXPECT_EQ(table(), "www.a.com\r2\r\r\rb.com\r4\r\r\r");
  EXPECT_EQ(registry.text(kUser, kKey, "site"), table());
}

TEST_F(SiteTableChanges, EditingASiteIntoAnotherReplacesBothOldEntries) {
  // What the site dialog does on OK after its site was changed from a.com to b.com.
  start("a.com\rann\r\r\rb.com\rbob\r\r\rc.com\rcy\r\r\r");
  removeCredential(store, "a.com");
  removeCredential(store, "b.com");
  addOrMergeCredential(store, "b.com", "ann", "pw", "");
  EXPECT_EQ(table(), "c.com\rcy\r\r\rb.com\rann\rpw\r\r");
}

TEST_F(SiteTableChanges, ATableChangedByAnotherInstanceIsTheOneChanged) {
  start("a.com\rann\r\r\r");
  registry.putText(kUser, kKey, "site", "z.com\rzed\r\r\r");
  store.reloadSettings();
  addOrMergeCredential(store, "b.com", "bob", "", "");
  EXPECT_EQ(table(), "z.com\rzed\r\r\rb.com\rbob\r\r\r");
}

TEST(OldSiteLists, ReadTheirRecordsWithNormalisedSites) {
  FakeTextRules rules;
  ByteText text{rules};
  std::vector<SiteCredential> passwords =
      parseOldPasswordList(text, "1\r2\rHTTP://A.com/x\rann\rpw\r3\r4\r*.b.com\rbob");
  ASSERT_EQ(passwords.size(), 2u);
  EXPECT_EQ(passwords[0], (SiteCredential{"a.com", "ann", "pw", ""}));
  EXPECT_EQ(passwords[1], (SiteCredential{"b.com", "bob", "", ""}));
  std::vector<SiteCredential> referrers = parseOldReferrerList(text, "A.com\rhttp://a/\rc.com");
  ASSERT_EQ(referrers.size(), 2u);
  EXPECT_EQ(referrers[0], (SiteCredential{"a.com", "", "", "http://a/"}));
  EXPECT_EQ(referrers[1], (SiteCredential{"c.com", "", "", ""}));
}

TEST(OldSiteLists, MergeIntoOneEntryPerSiteInFirstSeenOrder) {
  std::vector<SiteCredential> table;
  mergeCredentials(table, {{"a.com", "ann", "pw", ""},
                           {"", "lost", "", ""},
                           {"b.com", "", "", "http://b/"},
                           {"a.com", "", "", "http://a/"},
                           {"a.com", "amy", "", ""}});
  ASSERT_EQ(table.size(), 2u);
  EXPECT_EQ(table[0], (SiteCredential{"a.com", "amy", "", "http://a/"}));
  EXPECT_EQ(table[1], (SiteCredential{"b.com", "", "", "http://b/"}));
}

}  // namespace
