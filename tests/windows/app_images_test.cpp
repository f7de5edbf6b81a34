// The shared image list: the program's own icons at their fixed places, file-type icons
// added once each, and no more than 100 images.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/images.h"
#include "platform/own_images.h"

namespace {

class Images : public testing::Test {
 protected:
  void SetUp() override { store_.loadImages(GetModuleHandleA(nullptr), "C:\\Program Files"); }
  ImageStore store_;
};

TEST_F(Images, HoldTheOwnIconsFirstAndTheButtonIcons) {
  ASSERT_NE(store_.imageList(), nullptr);
  EXPECT_GE(store_.imageCount(), imageIndex(OwnImage::kTreeWorld) + 1);
  int width = 0, height = 0;
  ImageList_GetIconSize(store_.imageList(), &width, &height);
  EXPECT_EQ(width, 16);
  EXPECT_EQ(height, 16);
  for (const char* name : {"BUTTON_PAUSE", "GRAY_REMOVE", "BUTTON_EXPAND", "LINK_GET", "LINK_GO"})
    EXPECT_NE(store_.icon(name), nullptr) << name;
  EXPECT_EQ(store_.icon("NO_SUCH_ICON"), nullptr);
  EXPECT_NE(store_.programIcon(), nullptr);
  EXPECT_NE(store_.trayIcon(), nullptr);
  EXPECT_NE(store_.siteSmallIcon(), nullptr);
}

TEST_F(Images, GiveEveryFileTypeAnIconAndWebPagesTheirOwn) {
  FileType zip = store_.fileTypes().lookup(".zip");
  EXPECT_GE(zip.iconIndex, 0);
  EXPECT_GE(store_.defaultFileIcon(), 0);
  EXPECT_EQ(store_.fileTypes().lookup(".HTM").iconIndex, store_.htmlIcon());
  EXPECT_EQ(store_.fileTypes().lookup(".html").iconIndex, store_.htmlIcon());
  // Asking again adds nothing.
  const int count = store_.imageCount();
  store_.fileTypes().lookup(".zip");
  store_.fileTypes().lookup(".txt");
  store_.fileTypes().lookup(".zip");
  EXPECT_LE(store_.imageCount(), count + 1);
}

TEST_F(Images, RefuseTheHundredAndFirstImageAndKeepTheOthers) {
  HICON icon = store_.icon("LINK_GET");
  ASSERT_NE(icon, nullptr);
  int last = -1;
  while (store_.imageCount() < ImageStore::kMaxImages)
    last = store_.addIcon(icon, 1000 + store_.imageCount());
  EXPECT_EQ(last, ImageStore::kMaxImages - 1);
  EXPECT_EQ(store_.addIcon(icon, 5000), -1);
  EXPECT_EQ(store_.imageCount(), ImageStore::kMaxImages);
  // A type already there keeps its image; a new one gets none, so the list shows the
  // default file icon for it.
  EXPECT_EQ(store_.typeImageFor(1000 + 50, ".x"), 50);
  EXPECT_EQ(store_.typeImageFor(777777, ".zzq"), -1);
  EXPECT_EQ(store_.fileTypes().lookup(".zzq-new-type").iconIndex, store_.defaultFileIcon());
}

}  // namespace
