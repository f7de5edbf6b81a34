// The three Properties dialogs on their real templates, over the model on fakes.
#include <windows.h>

#include <gtest/gtest.h>

#include "dialog_driver.h"
#include "dialogs/dialog_ids.h"
#include "dialogs/item_properties_dialog.h"
#include "dialogs/link_properties_dialog.h"
#include "dialogs/page_properties_dialog.h"
#include "unit/download_world.h"
#include "unit/site_world.h"

namespace {

TEST(ItemPropertiesDialogTest, AQueuedItemShowsPlaceholdersAndCannotOpenAFile) {
  DownloadWorld world;
  DownloadItem* item = world.add("http://example.com/files/report.pdf");
  Modal modal;
  DialogDriver driver([&](DialogDriver& d) {
    HWND dialog = d.waitFor("Properties");
    EXPECT_EQ(d.text(dialog, CTL_NAME), item->address.displayName);
    EXPECT_EQ(d.text(dialog, CTL_TYPE), item->address.typeName);
    EXPECT_EQ(d.text(dialog, CTL_ADDRESS), "http://example.com/files/report.pdf");
    EXPECT_EQ(d.text(dialog, CTL_STATUS), "Pending");
    EXPECT_EQ(d.text(dialog, CTL_SIZE), "(Unknown)");
    EXPECT_EQ(d.text(dialog, CTL_SAVED_TO), "(Not Saved)");
    EXPECT_TRUE(d.enabled(dialog, CTL_OPEN));
    EXPECT_FALSE(d.enabled(dialog, CTL_OPEN_SAVED));
    saveScreenshot(dialog, "properties_item_queued");
    d.click(dialog, CTL_OPEN);
    d.click(dialog, IDCANCEL);
  });
  showItemProperties(modal, world.commands, *item);
  driver.finish();
  ASSERT_EQ(world.shell.opened.size(), 1u);
  EXPECT_EQ(world.shell.opened[0].first, "http://example.com/files/report.pdf");
}

TEST(ItemPropertiesDialogTest, ADoneItemOpensItsSavedFile) {
  DownloadWorld world;
  DownloadItem* item = world.add("http://example.com/a.zip");
  world.saveFile(*item, "C:\\Users\\me\\Documents\\a.zip", "12345");
  Modal modal;
  DialogDriver driver([&](DialogDriver& d) {
    HWND dialog = d.waitFor("Properties");
    EXPECT_EQ(d.text(dialog, CTL_STATUS), world.commands.itemColumns(*item).status);
    EXPECT_EQ(d.text(dialog, CTL_SIZE), world.commands.itemColumns(*item).size);
    EXPECT_EQ(d.text(dialog, CTL_SAVED_TO), "C:\\Users\\me\\Documents\\a.zip");
    EXPECT_TRUE(d.enabled(dialog, CTL_OPEN_SAVED));
    saveScreenshot(dialog, "properties_item_done");
    d.click(dialog, CTL_OPEN_SAVED);
    d.click(dialog, IDCANCEL);
  });
  showItemProperties(modal, world.commands, *item);
  driver.finish();
  ASSERT_EQ(world.shell.opened.size(), 1u);
  EXPECT_EQ(world.shell.opened[0].first, "C:\\Users\\me\\Documents\\a.zip");
}

TEST(PagePropertiesDialogTest, AnUnreadPageAndAPageWhoseServerWasNotFound) {
  SiteWorld world;
  SitePage& page = world.page("http://example.com/docs/");
  Modal modal;
  DialogDriver driver([&](DialogDriver& d) {
    HWND dialog = d.waitFor("Properties");
    EXPECT_EQ(d.text(dialog, CTL_TITLE), "(Unknown)");
    EXPECT_EQ(d.text(dialog, CTL_STATUS), "Pending");
    EXPECT_EQ(d.text(dialog, CTL_ADDRESS), "http://example.com/docs/");
    EXPECT_EQ(d.text(dialog, CTL_NAME), page.address.displayName);
    saveScreenshot(dialog, "properties_tree");
    d.click(dialog, CTL_OPEN);
    d.click(dialog, IDCANCEL);
  });
  showPageProperties(modal, world.shell, page);
  driver.finish();
  ASSERT_EQ(world.shell.opened.size(), 1u);
  EXPECT_EQ(world.shell.opened[0].first, "http://example.com/docs/");

  page.state = PageState::CannotFindServer;
  page.title = "Docs";
  DialogDriver again([&](DialogDriver& d) {
    HWND dialog = d.waitFor("Properties");
    EXPECT_EQ(d.text(dialog, CTL_STATUS), "Cannot find server");
    EXPECT_EQ(d.text(dialog, CTL_TITLE), "Docs");
    d.click(dialog, IDCANCEL);
  });
  showPageProperties(modal, world.shell, page);
}

TEST(LinkPropertiesDialogTest, ARowShowsItsKindAndOpensThePageItIsOn) {
  SiteWorld world;
  SitePage& home = world.page("http://example.com/index.html");
  home.title = "Home";
  SitePage& picture = world.page("http://example.com/pics/cat.jpg");
  SiteLink via;
  via.target = &picture;
  via.kind = LinkKind::ImageInline;
  picture.listedOnPage = &home;
  picture.listedVia = &via;
  Modal modal;
  DialogDriver driver([&](DialogDriver& d) {
    HWND dialog = d.waitFor("Properties");
    EXPECT_EQ(d.text(dialog, CTL_KIND), std::string(kindText(LinkKind::ImageInline)));
    EXPECT_EQ(d.text(dialog, CTL_TYPE), picture.address.typeName);
    EXPECT_EQ(d.text(dialog, CTL_ON_PAGE), "Home - index.html");
    EXPECT_EQ(d.text(dialog, CTL_AT), "http://example.com/index.html");
    saveScreenshot(dialog, "properties_get");
    d.click(dialog, CTL_OPEN_SAVED);
    d.click(dialog, CTL_OPEN);
    d.click(dialog, IDCANCEL);
  });
  showLinkProperties(modal, world.shell, world.text, picture);
  driver.finish();
  ASSERT_EQ(world.shell.opened.size(), 2u);
  EXPECT_EQ(world.shell.opened[0].first, "http://example.com/index.html");
  EXPECT_EQ(world.shell.opened[1].first, "http://example.com/pics/cat.jpg");
  picture.listedOnPage = nullptr;
  picture.listedVia = nullptr;
}

TEST(LinkPropertiesDialogTest, ARowReachedByAPageLinkShowsPageAndHasNoPageToOpen) {
  SiteWorld world;
  SitePage& next = world.page("http://example.com/next.html");
  Modal modal;
  DialogDriver driver([&](DialogDriver& d) {
    HWND dialog = d.waitFor("Properties");
    EXPECT_EQ(d.text(dialog, CTL_TYPE), "Page");
    EXPECT_EQ(d.text(dialog, CTL_KIND), "Page");
    EXPECT_EQ(d.text(dialog, CTL_ON_PAGE), "");
    EXPECT_EQ(d.text(dialog, CTL_AT), "");
    d.click(dialog, CTL_OPEN_SAVED);
    d.click(dialog, IDCANCEL);
  });
  showLinkProperties(modal, world.shell, world.text, next);
  driver.finish();
  EXPECT_TRUE(world.shell.opened.empty());
}

}  // namespace
