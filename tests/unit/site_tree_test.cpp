#include "site/site_tree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/own_images.h"
#include "site/page_label.h"
#include "site/page_properties.h"
#include "unit/site_world.h"

namespace {

class SiteTreeTest : public testing::Test {
 protected:
  SitePage& open(const std::string& address) {
    world.explorer.openTypedAddress(address);
    return *world.explorer.rootPage();
  }
  std::vector<std::string> childTexts(const SitePage& page) {
    return world.tree.childTexts(page.treeItem);
  }
  std::vector<std::string> order() {
    std::vector<std::string> names;
    for (const SiteTree::Place& place : world.explorer.tree().crawlOrder())
      names.push_back(place.page->address.displayName);
    return names;
  }
  std::string label(const std::string& address, const std::string& title = "",
                    PageState state = PageState::Unread) {
    SitePage& page = world.page(address);
    page.title = title;
    page.state = state;
    return pageLabel(page, world.text);
  }

  SiteWorld world;
};

TEST_F(SiteTreeTest, TheRootStandsAtTheTopAndNamesTheWindow) {
  SitePage& root = open("http://h/a/Index.HTM");
  ASSERT_EQ(world.tree.topLevel().size(), 1u);
  EXPECT_EQ(world.tree.topLevel()[0], root.treeItem);
  EXPECT_EQ(world.tree.textOf(root.treeItem), "Index.htm");
  EXPECT_EQ(world.tree.imageOf(root.treeItem), imageIndex(OwnImage::kTreeHole));
  EXPECT_EQ(world.frame.windowTitle, "Index.htm - Haulix");
  world.readPage("http://h/a/Index.HTM", "<title>Welcome</title>");
  EXPECT_EQ(world.tree.textOf(root.treeItem), "Welcome - Index.htm");
  EXPECT_EQ(world.tree.imageOf(root.treeItem), imageIndex(OwnImage::kTreeWorld));
  EXPECT_EQ(world.frame.windowTitle, "Welcome - Index.htm - Haulix");
  const int writes = world.frame.titleWrites;
  world.explorer.tree().refreshTreeItem(root);
  EXPECT_EQ(world.frame.titleWrites, writes);
}

TEST_F(SiteTreeTest, ChildrenFollowTheOrderOfTheLinksWithTheLinksFolderLast) {
  SitePage& root = open("http://h/a/");
  world.readPage("http://h/a/",
                 "<a href=b.htm>b</a><a href=http://other/x.htm>x</a><a href=c.htm>c</a>"
                 "<a href=/z/d.htm>d</a><a href=pic.jpg>image</a><a href=sub/>s</a>");
  EXPECT_EQ(childTexts(root),
            (std::vector<std::string>{"b.htm", "c.htm", "Index at h/a/sub", "links"}));
  ASSERT_NE(root.linksItem, kNoTreeItem);
  EXPECT_EQ(world.tree.childTexts(root.linksItem), (std::vector<std::string>{"x.htm", "d.htm"}));
  EXPECT_EQ(world.tree.imageOf(root.linksItem), imageIndex(OwnImage::kTreeDot));
  EXPECT_TRUE(world.tree.find(root.linksItem)->hasChildren);
  EXPECT_EQ(world.tree.recordOf(root.linksItem), &root);
  EXPECT_TRUE(world.tree.find(root.treeItem)->hasChildren);
  // Only pages get items; the image is a link of another kind.
  EXPECT_EQ(world.findPage("http://h/a/pic.jpg")->treeItem, kNoTreeItem);
}

TEST_F(SiteTreeTest, APageInALinksFolderIsTheSiteRootOfWhatLiesBelowIt) {
  SitePage& root = open("http://h/a/");
  world.readPage("http://h/a/", "<a href=b.htm>b</a><a href=http://other/x/x.htm>x</a>");
  SitePage& b = *world.findPage("http://h/a/b.htm");
  SitePage& x = *world.findPage("http://other/x/x.htm");
  world.readPage("http://h/a/b.htm", "<a href=sub/g.htm>g</a><a href=/q.htm>q</a>");
  world.readPage("http://other/x/x.htm",
                 "<a href=deeper/y.htm>y</a><a href=/top.htm>t</a><a href=http://h/a/f.htm>f</a>");
  EXPECT_EQ(childTexts(b), (std::vector<std::string>{"g.htm", "links"}));
  EXPECT_EQ(world.tree.childTexts(b.linksItem), (std::vector<std::string>{"q.htm"}));
  EXPECT_EQ(childTexts(x), (std::vector<std::string>{"y.htm", "links"}));
  EXPECT_EQ(world.tree.childTexts(x.linksItem), (std::vector<std::string>{"top.htm", "f.htm"}));
  EXPECT_EQ(world.findPage("http://other/x/deeper/y.htm")->parent, &x);
  EXPECT_EQ(x.parent, &root);
}

TEST_F(SiteTreeTest, APageStandsOnceUnderTheFirstPageReadThatLinksToIt) {
  SitePage& root = open("http://h/");
  world.readPage("http://h/", "<a href=b.htm>b</a><a href=c.htm>c</a><a href=index.htm>i</a>");
  world.readPage("http://h/b.htm", "<a href=shared.htm>s</a><a href=c.htm>c</a><a href=/>r</a>");
  world.readPage("http://h/c.htm", "<a href=shared.htm>s</a>");
  SitePage& b = *world.findPage("http://h/b.htm");
  SitePage& c = *world.findPage("http://h/c.htm");
  EXPECT_EQ(childTexts(b), (std::vector<std::string>{"shared.htm"}));
  EXPECT_TRUE(childTexts(c).empty());
  EXPECT_FALSE(world.tree.find(c.treeItem)->hasChildren);
  EXPECT_EQ(world.findPage("http://h/shared.htm")->parent, &b);
  EXPECT_EQ(childTexts(root), (std::vector<std::string>{"b.htm", "c.htm", "index.htm"}));
  EXPECT_EQ(world.tree.itemCount(), 5u);
}

TEST_F(SiteTreeTest, LabelsComeFromTheTitleAndTheName) {
  EXPECT_EQ(label("http://h/a/Index.HTM", "Welcome"), "Welcome - Index.htm");
  EXPECT_EQ(label("http://h/a/Index.HTM"), "Index.htm");
  EXPECT_EQ(label("http://h/a/", "Folder"), "Folder");
  EXPECT_EQ(label("http://h/a/"), "Index at h/a");
  EXPECT_EQ(label("http://h//"), "Index at h");
  EXPECT_EQ(label("http://h/a/x.htm", "", PageState::CannotFindServer),
            "x.htm (Cannot find server)");
  const std::string longTitle(150, 't');
  EXPECT_EQ(label("http://h/", longTitle), std::string(100, 't') + "...");
  EXPECT_EQ(label("http://h/", longTitle, PageState::CannotFindServer),
            std::string(100, 't') + "... (Cannot find server)");
}

TEST_F(SiteTreeTest, LabelsReadEscapedCharactersAndSayWhyAFetchFailed) {
  EXPECT_EQ(label("http://h/%E6%97%A5%E6%9C%AC%20caf%C3%A9.htm"),
            "\xE6\x97\xA5\xE6\x9C\xAC caf\xC3\xA9.htm");
  EXPECT_EQ(label("http://h/caf%C3%A9/"), "Index at h/caf\xC3\xA9");
  // A long label is cut between characters, never inside one.
  std::string japanese;
  for (int i = 0; i < 40; ++i) japanese += "\xE6\x97\xA5";
  EXPECT_EQ(label("http://h/", japanese), japanese.substr(0, 99) + "...");
  SitePage& refused = world.page("http://h/secure.htm");
  refused.state = PageState::CannotFindServer;
  refused.failureText = "Certificate Not Trusted";
  EXPECT_EQ(pageLabel(refused, world.text), "secure.htm (Certificate Not Trusted)");
  EXPECT_EQ(pageProperties(refused).status, "Certificate Not Trusted");
}

TEST_F(SiteTreeTest, AnItemIsUpdatedOnlyWhereItChanged) {
  SitePage& root = open("http://h/a.htm");
  SiteTree& tree = world.explorer.tree();
  tree.refreshTreeItem(root);
  EXPECT_EQ(world.tree.imageWrites + world.tree.textWrites + world.tree.childrenWrites, 0);
  root.state = PageState::CannotFindServer;
  tree.refreshTreeItem(root);
  EXPECT_EQ(world.tree.imageWrites, 1);
  EXPECT_EQ(world.tree.textWrites, 1);
  EXPECT_EQ(world.tree.childrenWrites, 0);
  EXPECT_EQ(world.tree.imageOf(root.treeItem), imageIndex(OwnImage::kTreeRed));
  EXPECT_EQ(world.frame.windowTitle, "a.htm (Cannot find server) - Haulix");
  root.state = PageState::Read;
  root.title = "";
  tree.refreshTreeItem(root);
  EXPECT_EQ(world.tree.imageWrites, 2);
  EXPECT_EQ(world.tree.textWrites, 2);
}

TEST_F(SiteTreeTest, APageWithARunningFetchShowsTheArrow) {
  SitePage& root = open("http://h/a.htm");
  world.explorer.attachJob(root, world.engine.createJob(root.address, "", ""));
  EXPECT_EQ(pageImage(root), imageIndex(OwnImage::kTreeHole));  // nothing wanted yet
  root.job->wanted = 1;
  EXPECT_EQ(pageImage(root), imageIndex(OwnImage::kTreeArrow));
  root.job->result = kJobFailed;
  EXPECT_EQ(pageImage(root), imageIndex(OwnImage::kTreeHole));
  world.explorer.cancelPageFetches();
  EXPECT_EQ(root.job, nullptr);
  EXPECT_TRUE(world.engine.jobs().empty());
}

class CrawlOrderTest : public SiteTreeTest {
 protected:
  void SetUp() override {
    open("http://h/");
    world.readPage("http://h/",
                   "<a href=b.htm>b</a><a href=c.htm>c</a><a href=http://o/x.htm>x</a>");
    world.readPage("http://h/b.htm", "<a href=d.htm>d</a><a href=e.htm>e</a>");
    world.readPage("http://h/c.htm", "<a href=f.htm>f</a>");
    world.readPage("http://o/x.htm", "<a href=y.htm>y</a>");
  }
  SitePage& page(const std::string& address) { return *world.findPage(address); }
  void userExpand(const std::string& address) {
    ASSERT_TRUE(world.tree.userExpand(page(address).treeItem)) << address;
  }
};

TEST_F(CrawlOrderTest, GoesLevelByLevelTopToBottomThroughWhatIsShown) {
  EXPECT_EQ(order(), (std::vector<std::string>{"Index"}));
  userExpand("http://h/");
  EXPECT_EQ(order(), (std::vector<std::string>{"Index", "b.htm", "c.htm"}));
  world.tree.userExpand(page("http://h/").linksItem);
  userExpand("http://h/b.htm");
  userExpand("http://h/c.htm");
  EXPECT_EQ(order(), (std::vector<std::string>{"Index", "b.htm", "c.htm", "x.htm", "d.htm", "e.htm",
                                               "f.htm"}));
  // A "links" folder adds no depth.
  EXPECT_EQ(SiteTree::pageDepth(page("http://o/x.htm")), 1);
  EXPECT_EQ(SiteTree::pageDepth(page("http://h/e.htm")), 2);
  EXPECT_EQ(SiteTree::pageDepth(page("http://o/y.htm")), 2);
  EXPECT_EQ(world.explorer.tree().itemTop(page("http://o/y.htm")), std::nullopt);  // x is closed
  EXPECT_EQ(SiteTree::pageDepth(*world.findPage("http://h/e.htm")), 2);
}

TEST_F(CrawlOrderTest, ClosingABranchTakesItsPagesOutOfTheOrder) {
  userExpand("http://h/");
  userExpand("http://h/b.htm");
  world.tree.userCollapse(page("http://h/").treeItem);
  EXPECT_EQ(order(), (std::vector<std::string>{"Index"}));
  userExpand("http://h/");
  EXPECT_EQ(order(), (std::vector<std::string>{"Index", "b.htm", "c.htm", "d.htm", "e.htm"}));
}

TEST_F(CrawlOrderTest, PagesScrolledOutOfViewStayInTheOrder) {
  userExpand("http://h/");
  userExpand("http://h/b.htm");
  world.tree.firstShownRow = 3;
  EXPECT_LT(*world.explorer.tree().itemTop(page("http://h/")), 0);
  EXPECT_EQ(order(), (std::vector<std::string>{"Index", "b.htm", "c.htm", "d.htm", "e.htm"}));
}

TEST_F(CrawlOrderTest, WalkingOnGivesTheNextPageOfTheOrder) {
  userExpand("http://h/");
  userExpand("http://h/b.htm");
  const SiteTree& tree = world.explorer.tree();
  EXPECT_EQ(tree.walkNext(nullptr), &page("http://h/"));
  EXPECT_EQ(tree.walkNext(&page("http://h/")), &page("http://h/b.htm"));
  EXPECT_EQ(tree.walkNext(&page("http://h/c.htm")), &page("http://h/d.htm"));
  EXPECT_EQ(tree.walkNext(&page("http://h/e.htm")), nullptr);
  // A page out of sight at depth 2 walks on to the first shown page of its depth.
  EXPECT_EQ(tree.walkNext(&page("http://h/f.htm")), &page("http://h/d.htm"));
  // A page outside the tree has depth -1: the walk starts at the root.
  EXPECT_EQ(tree.walkNext(&world.page("http://h/nowhere.htm")), &page("http://h/"));
}

}  // namespace
