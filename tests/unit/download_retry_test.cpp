// What the queue shows and does while a download waits to try again, when it gives up, and
// how what it fetched survives a failure, a restart and an older release's database.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "download/queue_database.h"
#include "transfer/retry.h"
#include "unit/download_world.h"

namespace {

constexpr int kStatus = 0;
constexpr int kSize = 2;
constexpr char kSaveFolder[] = "C:\\Users\\me\\Documents\\My Downloaded Files";

class DownloadRetryTest : public ::testing::Test {
 protected:
  DownloadRetryTest() {
    world.setNumber("get", &Settings::filesAtOnce, 1);
    // "away.example": 40,000 bytes of 100,000 at the first request, and from then on it
    // closes before the body until `back`. "fine.example" serves its file.
    world.internet.setServer("away.example", 80, [this](const FakeRequest& request) {
      FakeReply reply = FakeInternet::fileReply(request, body);
      if (!back) {
        if (++asked == 1) {
          reply.endAt = 40000;
        } else {
          reply.endAt = 0;
        }
      }
      return reply;
    });
    world.internet.setServer("fine.example", 80, [this](const FakeRequest& request) {
      return FakeInternet::fileReply(request, body);
    });
    world.queue.addAddresses("http://away.example/a.bin\r\nhttp://fine.example/b.bin");
    world.showNewRows();
  }

  DownloadItem* away() { return world.queue.first(); }
  DownloadItem* fine() { return world.queue.first()->next; }
  std::string cell(DownloadItem* item, int column) {
    return world.rows.text(world.rows.findRow(item), column);
  }
  bool waiting(DownloadItem* item) { return item->job && item->job->retry.waiting > 0; }
  // The clock moved to the end of the item's wait, and steps until it waits again or fails.
  bool waitOut(DownloadItem* item) {
    world.clock.advance(static_cast<uint32_t>(item->job->retry.waitMs));
    world.scheduler.runScheduler();
    return world.runUntil([&] { return waiting(item) || item->state == DownloadState::Failed; });
  }
  // The piece files on disk.
  std::vector<std::string> pieceFiles(DownloadWorld& in) {
    std::vector<std::string> pieces;
    for (const std::string& path : in.files.allPaths())
      if (path.find("\\haulix ") != std::string::npos) pieces.push_back(path);
    return pieces;
  }
  // Steps, moving the clock through every wait, until the item has given up.
  // The other item starts in the pass that fails this one; it is let finish, so that the
  // piece files on disk are then this item's alone.
  void untilGivenUp(DownloadItem* item) {
    ASSERT_TRUE(world.runUntil([&] { return waiting(item); }));
    while (item->state != DownloadState::Failed) ASSERT_TRUE(waitOut(item));
    ASSERT_TRUE(world.runUntil([&] { return fine()->state == DownloadState::Done; }));
  }

  DownloadWorld world;
  std::shared_ptr<const FakeBody> body = FakeBody::pattern(100000, 5);
  std::atomic<int> asked = 0;
  std::atomic<bool> back = false;
};

TEST_F(DownloadRetryTest, AWaitingItemSaysWhenItRetriesAndKeepsItsPlaceInFilesAtOnce) {
  ASSERT_TRUE(world.runUntil([&] { return waiting(away()) && asked == 2; }));
  EXPECT_EQ(cell(away(), kStatus), "Retrying in 2 sec");
  EXPECT_EQ(cell(away(), kSize), "40% 40 KB/98 KB");
  EXPECT_EQ(fine()->job, nullptr);  // one file at once, and the waiting one is it
  world.clock.advance(1000);
  world.scheduler.runScheduler();
  EXPECT_EQ(cell(away(), kStatus), "Retrying in 1 sec");
  ASSERT_TRUE(waitOut(away()));
  EXPECT_EQ(cell(away(), kStatus), "Retrying in 4 sec");
  EXPECT_EQ(fine()->job, nullptr);

  // The server is back: the item goes on from its piece and ends Done, then the next starts.
  back = true;
  world.clock.advance(static_cast<uint32_t>(away()->job->retry.waitMs));
  ASSERT_TRUE(world.runUntil([&] {
    return away()->state == DownloadState::Done && fine()->state == DownloadState::Done;
  }));
  EXPECT_EQ(world.internet.requests()[3].headers, "Range: bytes=40000-\r\n");
  EXPECT_EQ(world.files.contents(away()->savedPath), body->bytes());
}

TEST_F(DownloadRetryTest, PauseAndRemoveActOnAWaitingItemAtOnce) {
  ASSERT_TRUE(world.runUntil([&] { return waiting(away()); }));
  world.setNumber("pause", &Settings::paused, 1);
  world.commands.pauseItem(*away());
  world.scheduler.runScheduler();
  EXPECT_EQ(cell(away(), kStatus), "");
  EXPECT_FALSE(ItemCommands::isActive(*away()));
  world.clock.advance(60000);
  world.scheduler.runScheduler();
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(pieceFiles(world).size(), 1u);  // the pause keeps what was fetched

  world.queue.removeItem(away());
  EXPECT_TRUE(pieceFiles(world).empty());
  EXPECT_TRUE(world.engine.jobs().empty());
}

TEST_F(DownloadRetryTest, AfterTenMinutesWithoutAByteTheItemFailsButKeepsItsPiecesForGet) {
  untilGivenUp(away());
  EXPECT_EQ(away()->message, "Cannot Connect");
  EXPECT_EQ(cell(away(), kStatus), "Cannot Connect");
  EXPECT_EQ(cell(away(), kSize), "40% 40 KB/98 KB");
  ASSERT_NE(away()->job, nullptr);
  EXPECT_FALSE(ItemCommands::isActive(*away()));
  ASSERT_EQ(pieceFiles(world).size(), 1u);
  // Failed items are not started again by the queue; the next one was.
  EXPECT_EQ(fine()->state, DownloadState::Done);

  back = true;
  world.commands.startItem(*away());
  EXPECT_EQ(away()->state, DownloadState::Queued);
  ASSERT_TRUE(world.runUntil([&] { return away()->state == DownloadState::Done; }));
  EXPECT_EQ(world.internet.requests().back().headers, "Range: bytes=40000-\r\n");
  EXPECT_EQ(world.files.contents(away()->savedPath), body->bytes());
  EXPECT_TRUE(pieceFiles(world).empty());
}

TEST_F(DownloadRetryTest, ResetDeletesThePiecesAFailedItemKept) {
  untilGivenUp(away());
  ASSERT_EQ(pieceFiles(world).size(), 1u);
  world.commands.resetItem(*away());
  EXPECT_EQ(away()->job, nullptr);
  EXPECT_TRUE(pieceFiles(world).empty());
}

TEST_F(DownloadRetryTest, AFailedItemsPiecesOutliveARestartAndGetResumesFromThem) {
  untilGivenUp(away());
  QueueDatabase saving(world.queue, world.fileOps, world.parser, world.settings, world.folders);
  ASSERT_EQ(saving.saveQueueDatabase(), QueueSaveResult::kWritten);
  ASSERT_EQ(pieceFiles(world).size(), 1u);

  DownloadWorld after(DownloadWorld::SameDiskAs{world});
  after.internet.setServer("away.example", 80, [this](const FakeRequest& request) {
    return FakeInternet::fileReply(request, body);
  });
  QueueDatabase loading(after.queue, after.fileOps, after.parser, after.settings, after.folders);
  ASSERT_EQ(loading.loadQueueDatabase().restored, 2u);
  after.showNewRows();
  DownloadItem* item = after.queue.first();
  EXPECT_EQ(item->state, DownloadState::Failed);
  EXPECT_EQ(after.rows.text(after.rows.findRow(item), kStatus), "Cannot Connect");
  after.scheduler.runScheduler();
  EXPECT_EQ(item->state, DownloadState::Failed);  // not by itself

  after.commands.startItem(*item);
  ASSERT_TRUE(after.runUntil([&] { return item->state == DownloadState::Done; }));
  ASSERT_EQ(after.internet.requests().size(), 1u);
  EXPECT_EQ(after.internet.requests()[0].headers, "Range: bytes=40000-\r\n");
  EXPECT_EQ(after.files.contents(item->savedPath), body->bytes());
}

// A line of haulix.db as the previous release wrote it: a queued transfer with one piece.
TEST(PreviousReleaseDatabase, LoadsUnchangedAndItsResumeTextResumes) {
  DownloadWorld world;
  auto body = FakeBody::pattern(50000, 8);
  world.internet.setServer("h", 80, [body](const FakeRequest& request) {
    return FakeInternet::fileReply(request, body);
  });
  const std::string piece =
      std::string(kSaveFolder) + "\\haulix 3f2a9c1b7d4e4f6a8b0c1d2e3f4a5b6c.db";
  world.files.putFolder(kSaveFolder);
  world.files.putFile(piece, body->bytes(0, 12345),
                      file_attribute::kHidden | file_attribute::kSystem);
  const std::string database = world.folders.applicationData + "\\Haulix\\haulix.db";
  world.files.putFile(
      database,
      "http://\r\r\rh\r\r/files/\rold\r.bin\r\rP\r-1\r\r\rP\r1\r\r50000\t0\t" + piece + "\t\r\n");
  QueueDatabase loading(world.queue, world.fileOps, world.parser, world.settings, world.folders);
  ASSERT_EQ(loading.loadQueueDatabase().restored, 1u);
  world.showNewRows();
  DownloadItem* item = world.queue.first();
  EXPECT_EQ(item->address.fullAddress, "http://h/files/old.bin");
  EXPECT_EQ(item->priority, 1);
  ASSERT_NE(item->job, nullptr);
  EXPECT_EQ(item->job->bytesGot, 12345);
  EXPECT_EQ(world.rows.text(0, kSize), "24% 13 KB/49 KB");

  world.setNumber("get", &Settings::filesAtOnce, 1);
  ASSERT_TRUE(world.runUntil([&] { return item->state == DownloadState::Done; }));
  ASSERT_EQ(world.internet.requests().size(), 1u);
  EXPECT_EQ(world.internet.requests()[0].headers, "Range: bytes=12345-\r\n");
  EXPECT_EQ(world.files.contents(item->savedPath), body->bytes());
}

}  // namespace
