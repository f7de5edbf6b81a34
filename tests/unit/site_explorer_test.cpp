#include "site/site_explorer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/own_images.h"
#include "unit/site_world.h"

namespace {

class SiteExplorerTest : public testing::Test {
 protected:
  SiteExplorer& explorer = world.explorer;
  SitePage* root() { return explorer.rootPage(); }
  std::string rootAddress() { return root() ? root()->address.fullAddress : "(none)"; }

  SiteWorld world;
};

TEST_F(SiteExplorerTest, ATypedAddressBecomesTheSelectedRoot) {
  explorer.openTypedAddress("  h.example/a/  ");
  ASSERT_NE(root(), nullptr);
  EXPECT_EQ(rootAddress(), "http://h.example/a/");
  EXPECT_EQ(world.frame.addressText, "http://h.example/a/");
  EXPECT_EQ(world.frame.treeFocused, 1);
  EXPECT_EQ(world.tree.selectedItem(), root()->treeItem);
  EXPECT_EQ(explorer.selectedPage(), root());
  EXPECT_EQ(world.frame.windowTitle, "Index at h.example/a - Haulix");
  world.showNewRows();
  EXPECT_EQ(world.rowAddresses(), (std::vector<std::string>{"http://h.example/a/"}));
  EXPECT_FALSE(explorer.canGoBack());
  EXPECT_TRUE(explorer.canRefresh());
  EXPECT_TRUE(world.messages.shown.empty());
}

TEST_F(SiteExplorerTest, TypingTheAddressShownReloadsNothingButResumesTheCrawl) {
  explorer.openTypedAddress("http://h/");
  world.readPage("http://h/", "<a href=a.htm>a</a>");
  SitePage* before = root();
  explorer.setFetchStopped(true);
  explorer.openTypedAddress("http://h/");
  EXPECT_EQ(root(), before);
  EXPECT_EQ(root()->state, PageState::Read);
  EXPECT_FALSE(explorer.fetchStopped());
  EXPECT_FALSE(explorer.canGoBack());
}

TEST_F(SiteExplorerTest, AnAddressOfNoKnownSchemeShowsTheMessageAndKeepsTheSite) {
  explorer.openTypedAddress("http://h/");
  world.readPage("http://h/", "<a href=a.htm>a</a>");
  explorer.openTypedAddress("news:alt.test");
  ASSERT_EQ(world.messages.shown.size(), 1u);
  EXPECT_EQ(world.messages.shown[0].title, "Haulix");
  EXPECT_EQ(world.messages.shown[0].text,
            "Haulix cannot open the Internet site you typed. Check the address and try again.");
  EXPECT_EQ(world.messages.shown[0].style, message_style::kIconError);
  EXPECT_EQ(rootAddress(), "http://h/");
  EXPECT_EQ(root()->state, PageState::Read);
  EXPECT_EQ(world.frame.addressText, "http://h/");
}

TEST_F(SiteExplorerTest, AFileThatIsNoPageStillBecomesTheRoot) {
  explorer.openTypedAddress("http://h/files/archive.zip");
  EXPECT_EQ(rootAddress(), "http://h/files/archive.zip");
  EXPECT_EQ(world.tree.textOf(root()->treeItem), "archive.zip");
}

TEST_F(SiteExplorerTest, ANewAddressForgetsThePagesOfTheOldSite) {
  explorer.openTypedAddress("http://h/");
  world.readPage("http://h/", "<a href=a.htm>a</a>");
  explorer.openTypedAddress("http://other/");
  EXPECT_EQ(world.findPage("http://h/"), nullptr);
  EXPECT_EQ(explorer.registry().size(), 1u);
  EXPECT_EQ(world.tree.itemCount(), 1u);
  EXPECT_TRUE(explorer.canGoBack());
}

TEST_F(SiteExplorerTest, BackAndForwardShowReadPagesAtOnceWithoutFetching) {
  explorer.openTypedAddress("http://h/");
  world.readPage("http://h/", "<a href=a.htm>a</a>");
  world.readPage("http://h/a.htm", "<a href=deep.htm>d</a>");
  SitePage* a = world.findPage("http://h/a.htm");
  explorer.elevate(*a);
  EXPECT_EQ(root(), a);
  EXPECT_EQ(world.tree.childTexts(a->treeItem), (std::vector<std::string>{"deep.htm"}));
  EXPECT_EQ(a->state, PageState::Read);
  EXPECT_FALSE(explorer.canElevate(*a));
  EXPECT_EQ(world.findPage("http://h/")->treeItem, kNoTreeItem);

  ASSERT_TRUE(explorer.canGoBack());
  explorer.goBack();
  EXPECT_EQ(rootAddress(), "http://h/");
  // The root's children come at once; theirs come when the root is opened.
  EXPECT_EQ(world.tree.outline(), "Index at h + *\n  a.htm\n");
  ASSERT_TRUE(world.tree.userExpand(root()->treeItem));
  EXPECT_EQ(world.tree.outline(), "Index at h + *\n  a.htm +\n    deep.htm\n");
  EXPECT_EQ(world.frame.addressText, "http://h/");
  ASSERT_TRUE(explorer.canGoForward());
  explorer.goForward();
  EXPECT_EQ(root(), a);
  EXPECT_FALSE(explorer.canGoForward());
}

TEST_F(SiteExplorerTest, VisitingAfterGoingBackDropsTheNewerEntries) {
  explorer.openTypedAddress("http://h/1");
  explorer.openTypedAddress("http://h/2");
  explorer.openTypedAddress("http://h/3");
  explorer.goBack();
  explorer.goBack();
  explorer.openTypedAddress("http://h/4");
  EXPECT_FALSE(explorer.canGoForward());
  explorer.goBack();
  EXPECT_EQ(rootAddress(), "http://h/1");
  EXPECT_FALSE(explorer.canGoBack());
  explorer.goBack();  // nothing older: nothing changes
  EXPECT_EQ(rootAddress(), "http://h/1");
}

TEST_F(SiteExplorerTest, RefreshForgetsEveryPageSoAllAreFetchedAgain) {
  explorer.openTypedAddress("http://h/");
  world.readPage("http://h/", "<title>T</title><a href=a.htm>a</a>");
  root()->state = PageState::CannotFindServer;
  explorer.refresh();
  ASSERT_NE(root(), nullptr);
  EXPECT_EQ(root()->state, PageState::Unread);
  EXPECT_EQ(root()->title, "");
  EXPECT_EQ(root()->links, nullptr);
  EXPECT_EQ(explorer.registry().size(), 1u);
  EXPECT_EQ(world.tree.outline(), "Index at h *\n");
}

TEST_F(SiteExplorerTest, TheListFollowsTheSelectionButNotTheLinksFolder) {
  explorer.openTypedAddress("http://h/");
  world.readPage("http://h/", "<a href=a.htm>a</a><a href=http://o/x.htm>x</a>");
  world.readPage("http://h/a.htm", "<img src=a.gif>");
  world.showNewRows();
  const int clears = world.rows.deleteAlls;
  world.tree.select(root()->linksItem);
  EXPECT_EQ(world.rows.deleteAlls, clears);
  EXPECT_EQ(explorer.selectedPage(), root());
  world.tree.select(world.findPage("http://h/a.htm")->treeItem);
  world.showNewRows();
  EXPECT_EQ(world.rows.deleteAlls, clears + 1);
  EXPECT_EQ(world.rowAddresses(), (std::vector<std::string>{"http://h/a.htm", "http://h/a.gif"}));
}

TEST_F(SiteExplorerTest, OpeningABranchPlacesTheChildrenOfItsChildren) {
  explorer.openTypedAddress("http://h/");
  world.readPage("http://h/", "<a href=a.htm>a</a>");
  SitePage* a = world.findPage("http://h/a.htm");
  // a is read while the root is closed: its links are known, but it gets children only
  // once it comes into view.
  a->state = PageState::Read;
  explorer.registry().addLink(*a, world.page("http://h/b.htm"), LinkKind::Page);
  EXPECT_EQ(a->firstChild, nullptr);
  explorer.setFetchStopped(true);
  ASSERT_TRUE(world.tree.userExpand(root()->treeItem));
  EXPECT_EQ(world.tree.childTexts(a->treeItem), (std::vector<std::string>{"b.htm"}));
  EXPECT_TRUE(world.tree.find(a->treeItem)->hasChildren);
  EXPECT_FALSE(explorer.fetchStopped());
}

TEST_F(SiteExplorerTest, ClosingABranchRefillsTheListAndEndsExpandAll) {
  explorer.openTypedAddress("http://h/");
  world.readPage("http://h/", "<a href=a.htm>a</a>");
  world.readPage("http://h/a.htm", "<img src=a.gif>");
  SitePage* a = world.findPage("http://h/a.htm");
  world.tree.userExpand(root()->treeItem);
  world.tree.select(a->treeItem);
  world.showNewRows();
  explorer.setExpandAll(true);
  world.tree.userCollapse(root()->treeItem);
  world.showNewRows();
  EXPECT_FALSE(explorer.expandAll());
  // The selection moved onto the closed root; the list shows the root's links now.
  EXPECT_EQ(world.tree.selectedItem(), root()->treeItem);
  EXPECT_EQ(explorer.selectedPage(), root());
  EXPECT_EQ(world.rowAddresses(), (std::vector<std::string>{"http://h/", "http://h/a.htm"}));
  // Choosing a again fills the list with its links again.
  world.tree.userExpand(root()->treeItem);
  world.tree.select(a->treeItem);
  world.showNewRows();
  EXPECT_EQ(world.rowAddresses(), (std::vector<std::string>{"http://h/a.htm", "http://h/a.gif"}));
}

TEST_F(SiteExplorerTest, OpenCommandsHandTheAddressToTheShell) {
  explorer.openTypedAddress("http://h/");
  world.readPage("http://h/", "<a href=a.htm>a</a>");
  world.showNewRows();
  SitePage* a = world.findPage("http://h/a.htm");
  explorer.openPage(*a);
  explorer.openRow(*a);
  explorer.openContainingPage(*a);
  explorer.openContainingPage(world.page("http://h/unlisted.htm"));
  ASSERT_EQ(world.shell.opened.size(), 3u);
  EXPECT_EQ(world.shell.opened[0].first, "http://h/a.htm");
  EXPECT_EQ(world.shell.opened[1].first, "http://h/a.htm");
  EXPECT_EQ(world.shell.opened[2].first, "http://h/");
  EXPECT_EQ(world.shell.opened[2].second, "");
}

TEST_F(SiteExplorerTest, StoppingTheFetchesShowsTheUnreadImageAgain) {
  explorer.openTypedAddress("http://h/");
  SitePage* page = root();
  explorer.attachJob(*page, world.engine.createJob(page->address, "", ""));
  page->job->wanted = 1;
  explorer.tree().refreshTreeItem(*page);
  EXPECT_EQ(world.tree.imageOf(page->treeItem), imageIndex(OwnImage::kTreeArrow));
  explorer.cancelPageFetches();
  EXPECT_EQ(page->job, nullptr);
  EXPECT_EQ(page->state, PageState::Unread);
  EXPECT_EQ(world.tree.imageOf(page->treeItem), imageIndex(OwnImage::kTreeHole));
  EXPECT_TRUE(world.engine.jobs().empty());
}

TEST_F(SiteExplorerTest, ClosingTheWindowEndsThePageFetches) {
  {
    FakePageTree<SitePage> tree;
    FakeRowList<SitePage> rows;
    std::string outgoing;
    SiteExplorer other(
        world.text, world.parser, world.fileOps, world.engine,
        SiteViews{tree, rows, world.frame, world.messages, world.shell, world.waiting}, outgoing);
    other.openTypedAddress("http://h/");
    other.attachJob(*other.rootPage(), world.engine.createJob(other.rootPage()->address, "", ""));
    EXPECT_EQ(world.engine.jobs().size(), 1u);
  }
  EXPECT_TRUE(world.engine.jobs().empty());
}

}  // namespace
