// Mutated site tables, old lists and registry values through the parsers and the loader:
// nothing crashes, and the invariants of each format hold.
#include <gtest/gtest.h>

#include <random>

#include "fakes/fake_registry.h"
#include "fakes/fake_text_rules.h"
#include "store/settings.h"
#include "store/site_credentials.h"

namespace {

constexpr RegistryRoot kUser = RegistryRoot::kCurrentUser;
const std::string kKey = "Software\\Haulix";

// Bytes that matter to the formats, and some that should not.
std::string randomText(std::mt19937& random, size_t maxLength) {
  static const char kAlphabet[] = {'a',  'b',  '.', '.', '*',    ':',    '/',    ' ', '\r', '\r',
                                   '\n', '\0', 'A', 'Z', '\x7f', '\x80', '\xff', '@', '-',  '%'};
  std::uniform_int_distribution<size_t> length(0, maxLength), pick(0, sizeof kAlphabet - 1);
  std::string text(length(random), ' ');
  for (char& c : text) c = kAlphabet[pick(random)];
  return text;
}

std::string randomSite(std::mt19937& random) {
  static const char* kSites[] = {"a.com", "b.a.com", "com", "a.org", "", "x"};
  return kSites[std::uniform_int_distribution<size_t>(0, 5)(random)];
}

// The plain statement of the look-up, over the parsed table.
SiteCredential referenceLookup(const std::vector<SiteCredential>& table, const std::string& host) {
  for (const SiteCredential& entry : table) {
    const std::string& site = entry.site;
    if (site.empty()) continue;
    if (host == site || (host.size() > site.size() &&
                         host.compare(host.size() - site.size(), site.size(), site) == 0 &&
                         host[host.size() - site.size() - 1] == '.')) {
      return entry;
    }
  }
  return {};
}

TEST(SiteTableRandom, ParsingWritingAndLookingUpHoldTheirInvariants) {
  FakeTextRules rules;
  ByteText text{rules};
  for (uint32_t seed = 1; seed <= 3000; ++seed) {
    std::mt19937 random(seed);
    std::string stored = randomText(random, 80);
    std::vector<SiteCredential> table = parseSiteTable(stored);
    size_t fields = stored.empty() ? 0
                                   : std::count(stored.begin(), stored.end(), '\r') +
                                         (stored.back() == '\r' ? 0 : 1);
    ASSERT_EQ(table.size(), (fields + 3) / 4) << "seed " << seed;

    std::string written = formatSiteTable(table);
    EXPECT_EQ(std::count(written.begin(), written.end(), '\r'), 4 * table.size());
    EXPECT_EQ(written.find('\0'), std::string::npos);
    EXPECT_EQ(formatSiteTable(parseSiteTable(written)), written) << "seed " << seed;

    std::string host = randomText(random, 12);
    for (const std::string& probe : {host, std::string("b.a.com"), std::string("a.com")}) {
      EXPECT_EQ(findCredential(stored, probe), referenceLookup(table, probe)) << "seed " << seed;
    }

    std::string site = normalizeSite(text, randomText(random, 20));
    EXPECT_EQ(normalizeSite(text, site), site) << "seed " << seed;
    EXPECT_EQ(site.find_first_of(" /"), std::string::npos);
    if (!site.empty()) {
      EXPECT_EQ(std::string(".*:").find(site.front()), std::string::npos);
      EXPECT_EQ(std::string(".*:").find(site.back()), std::string::npos);
    }
  }
}

TEST(SiteTableRandom, MergingAtOnceGivesTheTableOfMergingOneByOne) {
  for (uint32_t seed = 1; seed <= 1000; ++seed) {
    std::mt19937 random(seed);
    std::vector<SiteCredential> start, added;
    std::uniform_int_distribution<int> count(0, 6), coin(0, 2);
    for (int i = count(random); i > 0; --i) start.push_back({randomSite(random), "u", "p", "r"});
    for (int i = count(random); i > 0; --i) {
      added.push_back({randomSite(random), coin(random) ? "" : randomText(random, 3),
                       randomText(random, 3), coin(random) ? "" : randomText(random, 3)});
    }
    std::vector<SiteCredential> atOnce = start, oneByOne = start;
    mergeCredentials(atOnce, added);
    for (const SiteCredential& entry : added) mergeCredentials(oneByOne, {entry});
    EXPECT_EQ(atOnce, oneByOne) << "seed " << seed;
    for (const SiteCredential& entry : atOnce) {
      EXPECT_EQ(entry.site.find('\r'), std::string::npos);
      EXPECT_EQ(entry.userName.find('\0'), std::string::npos);
    }
  }
}

TEST(SettingsRandom, MutatedRegistryValuesLoadWithoutHarm) {
  static const char* kNames[] = {"setup",  "dialup", "sub",  "get", "pause", "copy",
                                 "folder", "site",   "pass", "ref", "try"};
  static const uint32_t kTypes[] = {registry_type::kSz, registry_type::kBinary,
                                    registry_type::kDword};
  FakeTextRules rules;
  ByteText text{rules};
  KnownFolders folders;
  folders.myDocuments = "C:\\Docs";
  for (uint32_t seed = 1; seed <= 1500; ++seed) {
    std::mt19937 random(seed);
    FakeRegistry registry;
    for (const char* name : kNames) {
      if (random() % 4 == 0) continue;
      RegistryRoot root = random() % 3 == 0 ? RegistryRoot::kLocalMachine : kUser;
      const std::string& key = root == kUser ? kKey : settings_key::kOldMachineWide;
      registry.putRaw(root, key, name, kTypes[random() % 3], randomText(random, 40));
    }
    SettingsStore store(registry, folders);
    store.loadSettings(text);
    store.reloadSettings();
    const Settings& settings = store.settings();
    EXPECT_FALSE(settings.saveFolder.empty()) << "seed " << seed;
    EXPECT_EQ(settings.saveFolder.find('\0'), std::string::npos);
    EXPECT_EQ(settings.siteTable.find('\0'), std::string::npos);
    // Whatever was stored, the next start reads this release's level.
    EXPECT_GE(registry.number(kUser, kKey, "setup").value_or(0), 300) << "seed " << seed;
    // The table is as its stored form says, and the same when the text is read again.
    EXPECT_EQ(registry.text(kUser, kKey, "site").value_or(""), settings.siteTable);
    for (const SiteCredential& entry : parseSiteTable(settings.siteTable)) {
      (void)findCredential(settings.siteTable, entry.site);
    }
  }
}

TEST(SettingsRandom, ALongOldListImportsInLinearTime) {
  // 200,000 records, many of them for the same sites: a quadratic merge would not end.
  std::string pass, ref;
  for (int i = 0; i < 200000; ++i) {
    std::string site = "host" + std::to_string(i % 50000) + ".example.com";
    pass += "x\ry\r" + site + "\ruser" + std::to_string(i) + "\rpw\r";
    if (i % 2 == 0) ref += site + "\rhttp://" + site + "/\r";
  }
  FakeRegistry registry;
  registry.putText(kUser, kKey, "pass", pass);
  registry.putText(kUser, kKey, "ref", ref);
  FakeTextRules rules;
  ByteText text{rules};
  KnownFolders folders;
  SettingsStore store(registry, folders);
  store.loadSettings(text);
  std::vector<SiteCredential> table = parseSiteTable(store.settings().siteTable);
  ASSERT_EQ(table.size(), 50000u);
  EXPECT_EQ(table[7], (SiteCredential{"host7.example.com", "user150007", "pw", ""}));
  EXPECT_EQ(table[8],
            (SiteCredential{"host8.example.com", "user150008", "pw", "http://host8.example.com/"}));
  EXPECT_EQ(findCredential(store.settings().siteTable, "www.host49999.example.com").userName,
            "user199999");
}

}  // namespace
