#include "site/site_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/own_images.h"
#include "unit/site_world.h"

namespace {

class SiteListTest : public testing::Test {
 protected:
  // A root with two pages read below it: b links to a shared picture that the root links to
  // as well, and c, read later, links to b's own picture.
  void SetUp() override {
    world.explorer.openTypedAddress("http://h/");
    world.readPage("http://h/",
                   "<title>Home</title><a href=b.htm>b</a><a href=c.htm>c</a>"
                   "<img src=shared.gif><a href=file.zip>zip</a>");
    world.readPage("http://h/b.htm", "<title>Bee</title><img src=b.gif><a href=shared.gif>s</a>");
    world.readPage("http://h/c.htm", "<img src=b.gif><a href=movie.mpg>m</a>");
    world.tree.userExpand(world.explorer.rootPage()->treeItem);
    world.showNewRows();
  }
  SitePage& page(const std::string& address) { return *world.findPage(address); }
  int rowOf(const std::string& address) { return world.rows.findRow(&page(address)); }
  const std::vector<std::string>& cells(const std::string& address) {
    return world.rows.rows.at(rowOf(address)).texts;
  }

  SiteWorld world;
};

TEST_F(SiteListTest, TheRootListsTheWholeSiteEachAddressOnce) {
  // Default order: the root's own row, then by kind, then by address.
  EXPECT_EQ(
      world.rowAddresses(),
      (std::vector<std::string>{"http://h/", "http://h/b.htm", "http://h/c.htm", "http://h/b.gif",
                                "http://h/shared.gif", "http://h/movie.mpg", "http://h/file.zip"}));
  // Attributed to the first page in crawl order that links there.
  EXPECT_EQ(page("http://h/shared.gif").listedOnPage, &page("http://h/"));
  EXPECT_EQ(page("http://h/b.gif").listedOnPage, &page("http://h/b.htm"));
  EXPECT_EQ(page("http://h/movie.mpg").listedOnPage, &page("http://h/c.htm"));
  for (const auto& row : world.rows.rows) EXPECT_EQ(row.record->listed, 2);
}

TEST_F(SiteListTest, RowsShowTypeKindAndThePageTheLinkIsOn) {
  EXPECT_EQ(cells("http://h/"), (std::vector<std::string>{"Index", "Page", "", "", "http://h/"}));
  EXPECT_EQ(world.rows.rows.at(rowOf("http://h/")).image0, imageIndex(OwnImage::kListPage));
  EXPECT_EQ(cells("http://h/b.htm"),
            (std::vector<std::string>{"b.htm", "Page", "", "Home", "http://h/b.htm"}));
  EXPECT_EQ(world.rows.rows.at(rowOf("http://h/b.htm")).image0, imageIndex(OwnImage::kListPage));
  EXPECT_EQ(cells("http://h/shared.gif"),
            (std::vector<std::string>{"shared.gif", "GIF File", "Image - Inline", "Home",
                                      "http://h/shared.gif"}));
  EXPECT_EQ(world.rows.rows.at(rowOf("http://h/shared.gif")).image0,
            page("http://h/shared.gif").address.iconIndex);
  EXPECT_EQ(cells("http://h/b.gif")[3], "Bee - b.htm");
  EXPECT_EQ(cells("http://h/file.zip"),
            (std::vector<std::string>{"file.zip", "ZIP Archive", "", "Home", "http://h/file.zip"}));
  EXPECT_EQ(cells("http://h/movie.mpg")[2], "Video");
}

TEST_F(SiteListTest, SelectingAPageListsOnlyItsOwnLinks) {
  world.tree.select(page("http://h/b.htm").treeItem);
  world.showNewRows();
  // On b the shared picture is a plain link (Image) and b.gif inline.
  EXPECT_EQ(world.rowAddresses(),
            (std::vector<std::string>{"http://h/b.htm", "http://h/shared.gif", "http://h/b.gif"}));
  EXPECT_EQ(cells("http://h/b.htm"),
            (std::vector<std::string>{"b.htm", "Page", "", "", "http://h/b.htm"}));
  EXPECT_EQ(page("http://h/shared.gif").listedOnPage, &page("http://h/b.htm"));
  EXPECT_EQ(page("http://h/c.htm").listed, 0);
  EXPECT_EQ(page("http://h/c.htm").listedOnPage, nullptr);
}

TEST_F(SiteListTest, NewLinksAreAddedAtTheEndWithoutRemovingRows) {
  world.tree.select(page("http://h/c.htm").treeItem);
  world.showNewRows();
  const int deletes = world.rows.deleteAlls;
  SitePage& c = page("http://h/c.htm");
  world.explorer.registry().addLink(c, world.page("http://h/z.gif"), LinkKind::Image);
  world.explorer.registry().addLink(c, world.page("http://h/a.gif"), LinkKind::Image);
  world.explorer.list().refillList(false);
  world.showNewRows();  // more than one row before: no sorting
  EXPECT_EQ(world.rowAddresses(),
            (std::vector<std::string>{"http://h/c.htm", "http://h/b.gif", "http://h/movie.mpg",
                                      "http://h/a.gif", "http://h/z.gif"}));
  EXPECT_EQ(world.rows.deleteAlls, deletes);
  EXPECT_FALSE(world.explorer.addWaitingRows());  // nothing waits
}

TEST_F(SiteListTest, TheDefaultSortIsAskedForOnlyWhenTheListHeldAtMostOneRow) {
  world.explorer.list().clearMarks();
  world.explorer.list().markListed(page("http://h/b.htm"), page("http://h/"), nullptr);
  EXPECT_TRUE(world.explorer.addWaitingRows());
  world.explorer.list().markListed(page("http://h/c.htm"), page("http://h/"), nullptr);
  EXPECT_TRUE(world.explorer.addWaitingRows());
  world.explorer.list().markListed(page("http://h/b.gif"), page("http://h/"), nullptr);
  EXPECT_FALSE(world.explorer.addWaitingRows());
  EXPECT_EQ(world.rows.rowCount(), 3);
}

TEST_F(SiteListTest, GetHandsOverTheSelectedRowsInRowOrder) {
  world.explorer.sendSelectedToQueue();
  EXPECT_EQ(world.outgoing, "");
  world.rows.select(4);
  world.rows.select(1);
  world.explorer.sendSelectedToQueue();
  EXPECT_EQ(world.outgoing, world.rowAddresses()[1] + "\r\n" + world.rowAddresses()[4] + "\r\n");
}

// New rows come in address order: many are picked from the registry's own order, asking
// the locale nothing; a few among many pages are sorted.
TEST_F(SiteListTest, WaitingPagesGetTheirRowsInAddressOrder) {
  for (int i = 0; i < 200; ++i) world.page("http://h/p" + std::to_string(i));
  SitePage& home = page("http://h/");
  struct Case {
    size_t marked;
    bool sorted;
  };
  for (const Case& c : {Case{3, true}, Case{200, false}}) {
    const size_t marked = c.marked;
    world.explorer.list().clearMarks();
    std::vector<std::string> expected;
    for (size_t i = 0; i < marked; ++i) {
      const std::string address = "http://h/p" + std::to_string(199 - i);
      world.explorer.list().markListed(page(address), home, nullptr);
      expected.push_back(address);
    }
    std::sort(expected.begin(), expected.end());
    const size_t comparisons = world.rules.comparisons;
    world.explorer.addWaitingRows();
    EXPECT_EQ(world.rowAddresses(), expected);
    EXPECT_EQ(world.rules.comparisons > comparisons, c.sorted) << marked;
  }
}

TEST_F(SiteListTest, SortColumnsCompareWhatTheyShow) {
  auto compare = [&](const std::string& a, const std::string& b, int column) {
    return compareSiteRows(page(a), page(b), column, world.text);
  };
  // Name and Address: the texts.
  EXPECT_LT(compare("http://h/b.gif", "http://h/shared.gif", 0), 0);
  EXPECT_LT(compare("http://h/b.gif", "http://h/b.htm", 4), 0);
  EXPECT_EQ(compare("http://h/b.gif", "http://h/b.gif", 4), 0);
  // The selected page's own row comes first by Type, Kind, On Page and by default.
  for (int column : {1, 2, 3, -2}) {
    EXPECT_LT(compare("http://h/", "http://h/b.gif", column), 0);
    EXPECT_GT(compare("http://h/b.gif", "http://h/", column), 0);
  }
  // Type: pages by kind; the rest by type name.
  EXPECT_LT(compare("http://h/c.htm", "http://h/file.zip", 1), 0);
  EXPECT_LT(compare("http://h/shared.gif", "http://h/movie.mpg", 1), 0);  // "GIF" < "MPG"
  // Kind by number; On Page by the label of the page listed on.
  EXPECT_LT(compare("http://h/shared.gif", "http://h/movie.mpg", 2), 0);  // Inline 4 < Video 12
  EXPECT_LT(compare("http://h/b.gif", "http://h/shared.gif", 3), 0);      // "Bee..." < "Home"
  // Default: kind, then address.
  EXPECT_LT(compare("http://h/c.htm", "http://h/b.gif", -2), 0);
  EXPECT_LT(compare("http://h/b.htm", "http://h/c.htm", -2), 0);
  // By name the own row has no precedence.
  world.tree.select(page("http://h/b.htm").treeItem);
  EXPECT_GT(compare("http://h/b.htm", "http://h/b.gif", 0), 0);
  EXPECT_LT(compare("http://h/b.htm", "http://h/b.gif", 2), 0);
}

}  // namespace
