#include "site/page_registry.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "fakes/fake_file_types.h"
#include "fakes/counting_text_rules.h"
#include "url/address.h"

namespace {

class PageRegistryTest : public testing::Test {
 protected:
  SitePage* add(const std::string& address) {
    return registry.findOrAddPage(parser.parseAddress(address));
  }
  std::vector<std::string> addresses() const {
    std::vector<std::string> all;
    const SitePage* previous = nullptr;
    for (const SitePage* page = registry.first(); page; page = page->nextPage) {
      EXPECT_EQ(page->prevPage, previous);
      previous = page;
      all.push_back(page->address.fullAddress);
    }
    EXPECT_EQ(all.size(), registry.size());
    return all;
  }
  static std::vector<std::string> linksOf(const SitePage& page) {
    std::vector<std::string> all;
    for (const SiteLink* link = page.links; link; link = link->next)
      all.push_back(link->target->address.fullAddress);
    return all;
  }

  CountingTextRules rules;
  ByteText text{rules};
  FakeFileTypes types;
  AddressParser parser{text, types};
  PageRegistry registry{text};
};

TEST_F(PageRegistryTest, GivesOnePagePerAddressInAddressOrder) {
  SitePage* m = add("http://h/m.htm");
  EXPECT_EQ(registry.cursor(), m);
  add("http://h/c.htm");
  add("http://h/x.htm");
  EXPECT_EQ(add("http://h/m.htm"), m);
  EXPECT_EQ(add("HTTP://H/m.htm"), m);  // scheme and host are lower-cased when parsed
  EXPECT_NE(add("http://h/M.htm"), m);
  EXPECT_EQ(addresses(), (std::vector<std::string>{"http://h/M.htm", "http://h/c.htm",
                                                   "http://h/m.htm", "http://h/x.htm"}));
  EXPECT_EQ(m->state, PageState::Unread);
  EXPECT_EQ(m->treeItem, kNoTreeItem);
  EXPECT_EQ(m->links, nullptr);
  EXPECT_EQ(m->address.displayName, "m.htm");
}

TEST_F(PageRegistryTest, TheCursorRestsWhereTheLastSearchStopped) {
  add("http://h/b");
  add("http://h/d");
  add("http://h/f");
  add("http://h/e");
  EXPECT_EQ(registry.cursor()->address.fullAddress, "http://h/f");
  add("http://h/a");
  EXPECT_EQ(registry.cursor()->address.fullAddress, "http://h/b");
  SitePage* d = add("http://h/d");
  EXPECT_EQ(registry.cursor(), d);
}

// Far searches finish through the index, which must stop exactly where the walk would.
TEST_F(PageRegistryTest, ScatteredAddressesKeepTheOrderAndFindTheirPages) {
  std::mt19937 random(3);
  std::set<std::string> expected;
  std::vector<std::string> inserted;
  for (int i = 0; i < 20000; ++i) {
    std::string address = "http://h" + std::to_string(random() % 30) + ".example/" +
                          std::to_string(random() % 5000) + ".htm";
    inserted.push_back(address);
    expected.insert(address);
    add(address);
  }
  EXPECT_EQ(addresses(), std::vector<std::string>(expected.begin(), expected.end()));
  for (int i = 0; i < 2000; ++i) {
    const std::string& address = inserted[random() % inserted.size()];
    SitePage* page = add(address);
    ASSERT_EQ(page->address.fullAddress, address);
    ASSERT_EQ(registry.cursor(), page);
  }
  EXPECT_EQ(registry.size(), expected.size());
}

// The locale comparison ignores the soft hyphen; two addresses that differ by one are still
// two pages.
// The locale's comparison costs a call into the system each: a known address is found by
// its bytes, and the cursor rests on it as after a walk.
TEST_F(PageRegistryTest, KnownAddressesAreFoundWithoutAskingTheLocale) {
  std::vector<UrlParts> parts;
  for (int i = 0; i < 500; ++i)
    parts.push_back(parser.parseAddress("http://h/" + std::to_string(i * 7919 % 500)));
  std::vector<SitePage*> pages;
  for (const UrlParts& address : parts) pages.push_back(registry.findOrAddPage(address));
  const size_t comparisons = rules.comparisons;
  for (size_t i = parts.size(); i-- > 0;) {
    EXPECT_EQ(registry.findOrAddPage(parts[i]), pages[i]);
    EXPECT_EQ(registry.cursor(), pages[i]);
  }
  EXPECT_EQ(rules.comparisons, comparisons);
  // The cursor's place in the index is right: a new address beside it is put in order
  // with a few comparisons (the walk's two, the index's check of its hint), not a search.
  const UrlParts near = parser.parseAddress("http://h/499");
  const UrlParts beside = parser.parseAddress("http://h/499a");
  registry.findOrAddPage(near);
  const size_t before = rules.comparisons;
  SitePage* added = registry.findOrAddPage(beside);
  EXPECT_LE(rules.comparisons - before, 6u);
  EXPECT_EQ(added->prevPage->address.fullAddress, "http://h/499");
  EXPECT_EQ(addresses().size(), 501u);
}

TEST_F(PageRegistryTest, AddressesTheLocaleCallsEqualStayApart) {
  rules.rules.ignoredBytes = {0xAD};
  SitePage* plain = add("http://h/a");
  SitePage* hyphen = add("http://h/a\xAD");
  EXPECT_NE(plain, hyphen);
  EXPECT_EQ(add("http://h/a\xAD"), hyphen);
  EXPECT_EQ(registry.size(), 2u);
}

TEST_F(PageRegistryTest, LinksGoFirstAndEachAddressOnlyOnce) {
  SitePage& page = *add("http://h/p.htm");
  SitePage& other = *add("http://h/o.htm");
  SitePage& a = *add("http://h/a.gif");
  SitePage& b = *add("http://h/b.gif");
  EXPECT_TRUE(registry.addLink(page, a, LinkKind::ImageInline));
  EXPECT_TRUE(registry.addLink(page, b, LinkKind::Image));
  EXPECT_FALSE(registry.addLink(page, a, LinkKind::Image));
  // Links to another page in between, then back: what the first page holds still counts.
  EXPECT_TRUE(registry.addLink(other, a, LinkKind::Image));
  EXPECT_FALSE(registry.addLink(other, a, LinkKind::Image));
  EXPECT_FALSE(registry.addLink(page, b, LinkKind::Image));
  EXPECT_TRUE(registry.addLink(page, parser.parseAddress("http://h/c.gif"), LinkKind::Image));
  EXPECT_EQ(linksOf(page),
            (std::vector<std::string>{"http://h/c.gif", "http://h/b.gif", "http://h/a.gif"}));
  EXPECT_EQ(page.links->next->next->kind, LinkKind::ImageInline);
  EXPECT_EQ(page.linkCount, 3u);
  EXPECT_EQ(linksOf(other), (std::vector<std::string>{"http://h/a.gif"}));
}

TEST_F(PageRegistryTest, ClearingFreesEveryPageAndStartsAfresh) {
  SitePage& page = *add("http://h/p.htm");
  registry.addLink(page, *add("http://h/a.gif"), LinkKind::Image);
  registry.clear();
  EXPECT_EQ(registry.size(), 0u);
  EXPECT_EQ(registry.first(), nullptr);
  EXPECT_EQ(registry.cursor(), nullptr);
  SitePage& again = *add("http://h/p.htm");
  EXPECT_EQ(again.links, nullptr);
  EXPECT_TRUE(registry.addLink(again, *add("http://h/a.gif"), LinkKind::Image));
  EXPECT_EQ(registry.size(), 2u);
}

TEST_F(PageRegistryTest, APageOfAMillionLinksIsFreedWithoutRecursion) {
  SitePage& page = *add("http://h/p.htm");
  SitePage& target = *add("http://h/t.htm");
  // Links to one target, forced past the check, as a long chain to free.
  for (int i = 0; i < 1000000; ++i) page.links = new SiteLink{page.links, &target, LinkKind::Page};
  registry.clear();
  EXPECT_EQ(registry.size(), 0u);
}

}  // namespace
