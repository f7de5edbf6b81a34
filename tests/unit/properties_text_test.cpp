// What the three Properties dialogs show for the cases the lists can be in.
#include <gtest/gtest.h>

#include "download/item_properties.h"
#include "site/page_properties.h"
#include "unit/download_world.h"
#include "unit/site_world.h"

namespace {

TEST(ItemPropertiesTest, AQueuedItemWithoutATransferShowsThePlaceholders) {
  DownloadWorld world;
  DownloadItem* item = world.add("http://example.com/files/report.pdf");
  ItemProperties shown = itemProperties(world.commands, *item);
  EXPECT_EQ(shown.name, item->address.displayName);
  EXPECT_EQ(shown.type, item->address.typeName);
  EXPECT_EQ(shown.address, "http://example.com/files/report.pdf");
  EXPECT_EQ(shown.status, "Pending");
  EXPECT_EQ(shown.size, "(Unknown)");
  EXPECT_EQ(shown.savedTo, "(Not Saved)");
  EXPECT_FALSE(shown.canOpenSavedFile);
}

TEST(ItemPropertiesTest, ARedirectedItemShowsWhereItsBytesCameFromAndTheServersName) {
  DownloadWorld world;
  DownloadItem* item = world.add("https://example.com/get.php?id=4");
  item->finalAddress = "http://mirror.example.com/files/r.pdf";
  item->serverName = "report.pdf";
  ItemProperties shown = itemProperties(world.commands, *item);
  EXPECT_EQ(shown.address, "http://mirror.example.com/files/r.pdf");
  EXPECT_EQ(shown.name, "report.pdf");
}

TEST(ItemPropertiesTest, ADoneItemShowsItsRowTextsAndCanOpenItsFile) {
  DownloadWorld world;
  DownloadItem* item = world.add("http://example.com/a.zip");
  world.saveFile(*item, "C:\\Users\\me\\Documents\\a.zip", "12345");
  ItemProperties shown = itemProperties(world.commands, *item);
  ItemColumns columns = world.commands.itemColumns(*item);
  EXPECT_EQ(shown.status, columns.status);
  EXPECT_EQ(shown.size, columns.size);
  EXPECT_FALSE(shown.size.empty());
  EXPECT_EQ(shown.savedTo, "C:\\Users\\me\\Documents\\a.zip");
  EXPECT_TRUE(shown.canOpenSavedFile);
}

TEST(ItemPropertiesTest, ADoneItemWhoseFileWasDeletedKeepsThePathButCannotOpenIt) {
  DownloadWorld world;
  DownloadItem* item = world.add("http://example.com/a.zip");
  world.saveFile(*item, "C:\\Users\\me\\Documents\\a.zip", "12345");
  world.files.deleteFile("C:\\Users\\me\\Documents\\a.zip");
  ItemProperties shown = itemProperties(world.commands, *item);
  EXPECT_EQ(shown.savedTo, "C:\\Users\\me\\Documents\\a.zip");
  EXPECT_FALSE(shown.canOpenSavedFile);
}

TEST(ItemPropertiesTest, AFailedItemShowsItsMessage) {
  DownloadWorld world;
  DownloadItem* item = world.add("http://example.com/gone.txt");
  world.queue.setState(*item, DownloadState::Failed);
  item->message = "Not Found";
  EXPECT_EQ(itemProperties(world.commands, *item).status, "Not Found");
}

TEST(PagePropertiesTest, AnUnreadPageWithoutTitleIsPendingWithAnUnknownTitle) {
  SiteWorld world;
  SitePage& page = world.page("http://example.com/docs/");
  PageProperties shown = pageProperties(page);
  EXPECT_EQ(shown.title, "(Unknown)");
  EXPECT_EQ(shown.status, "Pending");
  EXPECT_EQ(shown.address, "http://example.com/docs/");
  EXPECT_EQ(shown.name, page.address.displayName);
  EXPECT_EQ(shown.type, page.address.typeName);
}

TEST(PagePropertiesTest, TheStatusFollowsTheFetchAndTheState) {
  SiteWorld world;
  SitePage& page = world.page("http://example.com/index.html");
  page.title = "Welcome";
  EXPECT_EQ(pageProperties(page).title, "Welcome");
  EXPECT_EQ(pageProperties(page).status, "Pending");
  page.job = world.engine.createJob(page.address, "", "");
  ASSERT_NE(page.job, nullptr);
  // A job that wants no worker yet is not a fetch under way.
  EXPECT_EQ(pageProperties(page).status, "Pending");
  ++page.job->wanted;
  EXPECT_EQ(pageProperties(page).status, "Getting");
  world.engine.destroyJob(page.job, false);
  page.job = nullptr;
  page.state = PageState::Read;
  EXPECT_EQ(pageProperties(page).status, "Done");
  page.state = PageState::CannotFindServer;
  EXPECT_EQ(pageProperties(page).status, "Cannot find server");
}

TEST(LinkPropertiesTest, ARowReachedByAnImageLinkShowsItsKindAndPage) {
  SiteWorld world;
  SitePage& home = world.page("http://example.com/index.html");
  home.title = "Home";
  SitePage& picture = world.page("http://example.com/pics/cat.jpg");
  SiteLink via;
  via.target = &picture;
  via.kind = LinkKind::ImageThumbnail;
  picture.listedOnPage = &home;
  picture.listedVia = &via;
  LinkProperties shown = linkProperties(picture, world.text);
  EXPECT_EQ(shown.type, picture.address.typeName);
  EXPECT_EQ(shown.kind, kindText(LinkKind::ImageThumbnail));
  EXPECT_EQ(shown.address, "http://example.com/pics/cat.jpg");
  EXPECT_EQ(shown.onPage, "Home - index.html");
  EXPECT_EQ(shown.at, "http://example.com/index.html");
  picture.listedVia = nullptr;
  picture.listedOnPage = nullptr;
}

TEST(LinkPropertiesTest, ARowReachedByAPageLinkOrByNoneShowsPage) {
  SiteWorld world;
  SitePage& next = world.page("http://example.com/next.html");
  LinkProperties shown = linkProperties(next, world.text);
  EXPECT_EQ(shown.type, "Page");
  EXPECT_EQ(shown.kind, "Page");
  EXPECT_EQ(shown.onPage, "");
  EXPECT_EQ(shown.at, "");

  SiteLink via;
  via.target = &next;
  via.kind = LinkKind::Page;
  next.listedVia = &via;
  shown = linkProperties(next, world.text);
  EXPECT_EQ(shown.type, "Page");
  EXPECT_EQ(shown.kind, "Page");
  next.listedVia = nullptr;
}

}  // namespace
