// A whole site explored with Expand on, through the scheduler's idle passes, on the fake
// Internet: pages linking to each other, to another host, to images inside links, a
// refresh, an address in UTF-8 and a page that fails.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "site/site_crawl.h"
#include "unit/crawl_world.h"

namespace {

using Texts = std::vector<std::string>;

class SiteCrawlEndToEndTest : public testing::Test {
 protected:
  SiteCrawlEndToEndTest() {
    world.setNumber("get", &Settings::filesAtOnce, 1);
    world.serve("http://site.test/",
                "<html><head><title>Home</title></head><body>\n"
                "<a href=\"a.htm\">A</a> <a href=\"sub/c.htm\">C</a> <a href=\"b.htm\">B</a>\n"
                "<a href=\"big.jpg\"><img src=\"small.jpg\"></a> <img src=\"logo.gif\">\n"
                "<a href=\"http://other.test/x.htm\">elsewhere</a>\n"
                "<a href=\"missing.htm\">gone</a> <a href=\"mailto:me@site.test\">mail</a>\n"
                "</body></html>");
    world.serve("http://site.test/a.htm",
                "<title>Page A</title><a href=b.htm>b</a> <a href=d.htm>d</a>"
                "<a href=\"/\">home</a> <a href=\"sub/\">sub</a>");
    world.serve("http://site.test/sub/c.htm",
                "<TITLE>Sub C</TITLE><a href=\"../a.htm\">a</a><a href=\"f.htm\">f</a>"
                "<embed src=\"clip.avi\">");
    world.serve("http://site.test/b.htm",
                "<title>Page B</title><meta http-equiv=\"Refresh\" content=\"0; URL=e.txt\">"
                "<a href=\"a.htm\">a</a>");
    world.serve("http://site.test/missing.htm", "", 404);
    world.serve("http://site.test/d.htm",
                "<title>Page D</title><body background=\"bg.gif\"><a href=\"g.zip\">zip</a>"
                "<a href=\"caf\xC3\xA9.htm\">caf\xC3\xA9</a>");
    world.serve("http://site.test/sub/", "<a href=f.htm>f</a><a href=../e.txt>e</a>");
    world.serve("http://site.test/sub/f.htm", "<title>Sub F</title><img src=\"../logo.gif\">");
    world.serve("http://site.test/e.txt", "Just text.");
    world.serve("http://site.test/caf%C3%A9.htm",
                "<title>Caf\xC3\xA9</title><a href=\"d.htm\">back</a>");
    world.serve("http://other.test/x.htm",
                "<title>Elsewhere</title><a href=\"y.htm\">y</a>"
                "<a href=\"http://site.test/a.htm\">a</a>");
    world.serve("http://other.test/y.htm", "<title>Why</title>");
  }

  // Idle passes, each adding the Site List's new rows as the window's idle pass does.
  bool runUntilSettled() {
    return world.runUntil([&] {
      world.showNewSiteRows();
      if (!world.explorer.pagesWithJobs().empty()) return false;
      for (const SiteTree::Place& place : world.explorer.tree().crawlOrder()) {
        if (place.page->state == PageState::Unread) return false;
        if (place.page->firstChild && !world.tree.isExpanded(place.page->treeItem)) return false;
      }
      return true;
    });
  }

  // Address -> Kind and On Page cells of the Site List.
  std::map<std::string, Texts> listRows() {
    std::map<std::string, Texts> rows;
    for (const auto& row : world.siteRows.rows) {
      EXPECT_EQ(rows.count(row.texts[4]), 0u) << row.texts[4];
      rows[row.texts[4]] = {row.texts[2], row.texts[3]};
    }
    return rows;
  }

  CrawlWorld world;
};

TEST_F(SiteCrawlEndToEndTest, ExpandReadsTheSiteBreadthFirstOncePerPage) {
  world.crawl.toggleExpand();
  world.explorer.openTypedAddress("site.test");
  ASSERT_TRUE(runUntilSettled());

  // Level by level, top to bottom; the failed page is tried once; the other host's page
  // stands in a closed "links" folder and is not read.
  EXPECT_EQ(world.requestedPaths("site.test"),
            (Texts{"/", "/a.htm", "/sub/c.htm", "/b.htm", "/missing.htm", "/d.htm", "/sub/",
                   "/sub/f.htm", "/e.txt", "/caf%C3%A9.htm"}));
  EXPECT_TRUE(world.requestedPaths("other.test").empty());
  EXPECT_EQ(world.tree.outline(),
            "Home + *\n"
            "  Page A - a.htm +\n"
            "    Page D - d.htm +\n"
            "      Caf - caf\xC3\xA9.htm\n"
            "    Index at site.test/sub\n"
            "  Sub C - c.htm +\n"
            "    Sub F - f.htm\n"
            "  Page B - b.htm +\n"
            "    e.txt\n"
            "  missing.htm (Cannot find server)\n"
            "  links +\n"
            "    x.htm\n");
  EXPECT_EQ(world.frame.windowTitle, "Home - Haulix");
  // The address keeps its UTF-8 letters; a title, as ever, keeps only plain bytes.
  EXPECT_EQ(world.page("http://site.test/caf\xC3\xA9.htm").title, "Caf");

  // Opening the folder lets the crawl go on there, and Expand goes on below it.
  world.tree.userExpand(world.page("http://site.test/").linksItem);
  ASSERT_TRUE(runUntilSettled());
  EXPECT_EQ(world.requestedPaths("other.test"), (Texts{"/x.htm", "/y.htm"}));
  EXPECT_EQ(world.requestedPaths("site.test").size(), 10u);
  EXPECT_EQ(world.tree.outline(),
            "Home + *\n"
            "  Page A - a.htm +\n"
            "    Page D - d.htm +\n"
            "      Caf - caf\xC3\xA9.htm\n"
            "    Index at site.test/sub\n"
            "  Sub C - c.htm +\n"
            "    Sub F - f.htm\n"
            "  Page B - b.htm +\n"
            "    e.txt\n"
            "  missing.htm (Cannot find server)\n"
            "  links +\n"
            "    Elsewhere - x.htm +\n"
            "      Why - y.htm\n");

  // The root's list: every address once, with its kind and the first page in crawl order
  // that links to it.
  const std::map<std::string, Texts> expected = {
      {"http://site.test/", {"", ""}},  // the selected page itself
      {"http://site.test/a.htm", {"", "Home"}},
      {"http://site.test/sub/c.htm", {"", "Home"}},
      {"http://site.test/b.htm", {"", "Home"}},
      {"http://site.test/missing.htm", {"", "Home"}},
      {"http://other.test/x.htm", {"", "Home"}},
      {"http://site.test/big.jpg", {"Image - Full Size", "Home"}},
      {"http://site.test/small.jpg", {"Image - Thumbnail", "Home"}},
      {"http://site.test/logo.gif", {"Image - Inline", "Home"}},
      {"http://site.test/d.htm", {"", "Page A - a.htm"}},
      {"http://site.test/sub/", {"", "Page A - a.htm"}},
      {"http://site.test/sub/f.htm", {"", "Sub C - c.htm"}},
      {"http://site.test/sub/clip.avi", {"Video - Inline", "Sub C - c.htm"}},
      {"http://site.test/e.txt", {"", "Page B - b.htm"}},
      {"http://site.test/g.zip", {"", "Page D - d.htm"}},
      {"http://site.test/bg.gif", {"Image - Background", "Page D - d.htm"}},
      {"http://site.test/caf\xC3\xA9.htm", {"", "Page D - d.htm"}},
      {"http://other.test/y.htm", {"", "Elsewhere - x.htm"}},
  };
  EXPECT_EQ(listRows(), expected);
}

}  // namespace
