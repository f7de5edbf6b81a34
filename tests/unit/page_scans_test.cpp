// Scans beyond the number allowed at once wait for a free thread: none is lost, they end in
// the order they began, and closing the window while they wait leaves no file behind.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "site/page_scans.h"
#include "unit/download_world.h"

namespace {

struct ScanWorld : DownloadWorld {
  // Pages whose scans read files, the first scan held in its file's mapping.
  void startHeld(PageScans& scans, int count) {
    files.holdNextMap("");
    for (int i = 0; i < count; ++i) {
      pages[i].address = parser.parseTypedAddress("http://h/p" + std::to_string(i) + ".htm");
      const std::string path = "C:\\pieces\\p" + std::to_string(i);
      files.putFile(path, "<title>Page " + std::to_string(i) + "</title><a href=x" +
                              std::to_string(i) + ".htm>x</a>");
      scans.start(pages[i], path);
    }
  }

  SitePage pages[3];
};

// No file is left but `except`, if any.
bool onlyFolders(const FakeFiles& files, const std::string& except = "") {
  for (const std::string& path : files.allPaths())
    if (path.back() != '\\' && path != except) return false;
  return true;
}

bool waitFor(const std::function<bool()>& done) {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!done()) {
    if (std::chrono::steady_clock::now() > limit) return false;
    std::this_thread::yield();
  }
  return true;
}

TEST(PageScans, ScansBeyondTheBoundWaitAndEndInTheOrderTheyBegan) {
  ScanWorld world;
  PageScans scans(world.text, world.fileOps, nullptr, 1);
  world.startHeld(scans, 3);
  ASSERT_TRUE(world.files.waitForHeldMap());
  FoundLinks* found = nullptr;
  EXPECT_EQ(scans.firstEnded(found), nullptr);
  world.files.releaseMap();

  for (int i = 0; i < 3; ++i) {
    SitePage* page = nullptr;
    ASSERT_TRUE(waitFor([&] { return (page = scans.firstEnded(found)) != nullptr; })) << i;
    EXPECT_EQ(page, &world.pages[i]);
    EXPECT_EQ(found->title, "Page " + std::to_string(i));
    EXPECT_EQ(found->size(), 1u);
    scans.drop(*page);
  }
  EXPECT_TRUE(onlyFolders(world.files));
}

TEST(PageScans, ClosingWhileScansWaitRemovesTheirFilesUnread) {
  ScanWorld world;
  auto scans = std::make_unique<PageScans>(world.text, world.fileOps, nullptr, 1);
  world.startHeld(*scans, 3);
  ASSERT_TRUE(world.files.waitForHeldMap());
  // The window goes while the first scan is held: the waiting ones' files go at once, and
  // only then is the held one let go, which the closing waits for.
  bool waitingRemoved = false;
  std::thread releasing([&] {
    waitingRemoved = waitFor([&] { return onlyFolders(world.files, "C:\\pieces\\p0"); });
    world.files.releaseMap();
  });
  scans.reset();
  releasing.join();
  EXPECT_TRUE(waitingRemoved);
  EXPECT_TRUE(onlyFolders(world.files));
}

}  // namespace
