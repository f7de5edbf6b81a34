#include "download/transfer_scheduler.h"

#include <gtest/gtest.h>

#include <string>

#include "download/queue_database.h"
#include "store/site_credentials.h"
#include "unit/download_world.h"

namespace {

constexpr char kSaveFolder[] = "C:\\Users\\me\\Documents\\My Downloaded Files";

class TransferSchedulerTest : public testing::Test {
 protected:
  TransferSchedulerTest() {
    // Every file of the server "h" is 100 bytes, sent at once unless a gate holds it.
    world.internet.setServer("h", 80, [this](const FakeRequest& request) {
      FakeReply reply = FakeInternet::fileReply(request, FakeBody::pattern(100));
      reply.gate = gate;
      return reply;
    });
  }

  int activeCount() { return activeCount(world); }
  static int activeCount(const DownloadWorld& in) {
    int active = 0;
    for (DownloadItem* item = in.queue.first(); item; item = item->next)
      active += ItemCommands::isActive(*item) ? 1 : 0;
    return active;
  }

  bool allDone() {
    for (DownloadItem* item = world.queue.first(); item; item = item->next)
      if (item->state != DownloadState::Done) return false;
    return true;
  }

  // Every file of the HTTPS server "s" is 100 bytes.
  static void serveSecure(DownloadWorld& at) {
    at.internet.setServer("s", 443, [](const FakeRequest& request) {
      return FakeInternet::fileReply(request, FakeBody::pattern(100));
    });
  }

  DownloadWorld world;
  int gate = 0;
};

TEST_F(TransferSchedulerTest, StartsUpToFilesAtOnceAndTheNextWhenOneEnds) {
  gate = world.internet.makeGate(0);
  world.setNumber("get", &Settings::filesAtOnce, 3);
  world.queue.addAddresses("http://h/1\r\nhttp://h/2\r\nhttp://h/3\r\nhttp://h/4\r\nhttp://h/5");
  world.showNewRows();
  world.scheduler.runScheduler();
  EXPECT_EQ(activeCount(), 3);
  // The first three rows are the ones started.
  for (int row = 0; row < 5; ++row)
    EXPECT_EQ(world.rows.rowRecord(row)->job != nullptr, row < 3) << row;
  EXPECT_EQ(world.rows.text(0, 0), "Getting");
  world.scheduler.runScheduler();
  EXPECT_EQ(activeCount(), 3);

  // Let everything through: all five end Done, never more than three at once.
  world.internet.openGate(gate);
  int most = 0;
  ASSERT_TRUE(world.runUntil([&] {
    most = std::max(most, activeCount());
    return allDone();
  }));
  EXPECT_LE(most, 3);
  for (DownloadItem* item = world.queue.first(); item; item = item->next) {
    EXPECT_EQ(item->job, nullptr);
    EXPECT_EQ(item->size, 100);
    EXPECT_EQ(world.files.contents(item->savedPath), FakeBody::pattern(100)->bytes());
  }
  EXPECT_EQ(world.rows.text(4, 0), "Done");
}

// Passes while nothing changes: eight files of one server transfer (all it takes), two more
// of it wait Queued, twelve places are free and every other item is Done. A pass then looks
// at no row at all, however long the list; the waiting items still start when places free,
// and once all is Done a pass again looks at no row.
TEST_F(TransferSchedulerTest, APassWhileNothingChangesLooksAtNoRowHoweverLongTheList) {
  for (const int items : {1'000, 20'000}) {
    DownloadWorld world;
    const int gate = world.internet.makeGate(0);
    world.serveGated("h", FakeBody::pattern(100), gate);
    world.setNumber("get", &Settings::filesAtOnce, 20);
    std::string addresses;
    for (int n = 0; n < items; ++n) addresses += "http://h/" + std::to_string(100000 + n) + "\r\n";
    world.queue.addAddresses(addresses);
    int queued = 0;
    for (DownloadItem* item = world.queue.first(); item; item = item->next) {
      if (queued < 10 && item->address.fullAddress.back() % 7 == 0) {
        ++queued;
      } else {
        world.queue.setState(*item, DownloadState::Done);
      }
    }
    world.showNewRows();
    ASSERT_TRUE(world.runUntil([&] { return activeCount(world) == kMostConnectionsPerHost; }));
    world.scheduler.runScheduler();
    const int64_t before = world.rows.recordsAsked;
    for (int pass = 0; pass < 50; ++pass) world.scheduler.runScheduler();
    EXPECT_EQ(world.rows.recordsAsked - before, 0) << items;
    EXPECT_EQ(activeCount(world), kMostConnectionsPerHost) << items;

    world.internet.openGate(gate);
    ASSERT_TRUE(world.runUntil([&] { return world.queue.queuedCount() == 0; })) << items;
    const int64_t done = world.rows.recordsAsked;
    for (int pass = 0; pass < 50; ++pass) world.scheduler.runScheduler();
    EXPECT_EQ(world.rows.recordsAsked - done, 0) << items;
  }
}

// The pass that finds a file finished starts the next item's transfer: nothing else would
// wake the loop before the idle timer.
TEST_F(TransferSchedulerTest, AFinishedFilesPlaceGoesToTheNextItemInTheSamePass) {
  world.setNumber("get", &Settings::filesAtOnce, 1);
  world.queue.addAddresses("http://h/1\r\nhttp://h/2");
  world.showNewRows();
  DownloadItem* first = world.queue.first();
  DownloadItem* second = first->next;
  ASSERT_TRUE(world.runUntil([&] { return first->state == DownloadState::Done; }));
  ASSERT_NE(second->job, nullptr);
  EXPECT_EQ(second->job->started, 1);
  EXPECT_EQ(second->job->wanted, 0);
}

TEST_F(TransferSchedulerTest, StartsNothingByItselfWhilePausedOrWithFilesAtOnceZero) {
  gate = world.internet.makeGate(0);
  world.queue.addAddresses("http://h/1\r\nhttp://h/2");
  world.showNewRows();
  world.scheduler.runScheduler();  // "get" never stored: 0
  EXPECT_EQ(activeCount(), 0);

  world.setNumber("get", &Settings::filesAtOnce, 5);
  world.setNumber("pause", &Settings::paused, 1);
  world.scheduler.runScheduler();
  EXPECT_EQ(activeCount(), 0);
  // The user's Get still starts an item of a paused queue.
  world.commands.startItem(*world.rows.rowRecord(1));
  world.scheduler.runScheduler();
  EXPECT_EQ(activeCount(), 1);
  EXPECT_EQ(world.rows.rowRecord(0)->job, nullptr);
}

TEST_F(TransferSchedulerTest, EachGetOnATransferAsksForOneMoreConnection) {
  gate = world.internet.makeGate(0);
  DownloadItem* item = world.add("http://h/a.bin");
  world.showNewRows();
  world.commands.startItem(*item);
  ASSERT_NE(item->job, nullptr);
  EXPECT_EQ(item->job->wanted + item->job->started, 1);
  world.commands.startItem(*item);
  EXPECT_EQ(item->job->wanted + item->job->started, 2);
  // Only Queued items start.
  DownloadItem* done = world.add("http://h/b.bin");
  world.saveFile(*done, "C:\\s\\b.bin", "b");
  world.commands.startItem(*done);
  EXPECT_EQ(done->job, nullptr);
}

TEST_F(TransferSchedulerTest, AStartWithoutConnectionAsksForTheConnectDialogOnce) {
  world.setNumber("dialup", &Settings::dialUpMode, 1);
  world.setNumber("get", &Settings::filesAtOnce, 2);
  world.connection.connected = false;
  world.queue.addAddresses("http://h/1\r\nhttp://h/2");
  world.showNewRows();
  world.scheduler.runScheduler();
  EXPECT_EQ(activeCount(), 0);
  EXPECT_TRUE(takeRequest(world.requests.openConnectDialog));
  world.scheduler.runScheduler();
  EXPECT_FALSE(takeRequest(world.requests.openConnectDialog));
  world.connection.connected = true;
  world.scheduler.runScheduler();
  EXPECT_EQ(activeCount(), 2);
}

TEST_F(TransferSchedulerTest, PrefersFewerConnectionsOrElseHigherPriorityAndTheLowerRowWins) {
  gate = world.internet.makeGate(0);
  DownloadItem* normal = world.add("http://h/normal");
  DownloadItem* first = world.add("http://h/first");
  world.showNewRows();
  // A Get First item whose job has already started two workers, now idle.
  first->priority = 1;
  world.queue.setJob(*first, world.engine.createJob(first->address, kSaveFolder, ""));
  first->job->started = 2;
  ASSERT_FALSE(ItemCommands::isActive(*first));

  // Whichever of the two stands lower in the list wins.
  world.rows.sortRows([&](const DownloadItem* a, const DownloadItem*) { return a == normal ? -1 : 1; });
  EXPECT_EQ(world.scheduler.nextItemToStart(), first);
  world.rows.sortRows([&](const DownloadItem* a, const DownloadItem*) { return a == first ? -1 : 1; });
  EXPECT_EQ(world.scheduler.nextItemToStart(), normal);

  // Among equals the upper row wins; higher priority beats it.
  DownloadItem* last = world.add("http://h/last");
  DownloadItem* plain = world.add("http://h/plain");
  world.showNewRows();
  world.queue.removeItem(first);
  world.rows.deleteRow(world.rows.findRow(first));
  last->priority = -1;
  world.rows.sortRows([&](const DownloadItem* a, const DownloadItem* b) {
    auto rank = [&](const DownloadItem* x) { return x == last ? 0 : x == normal ? 1 : 2; };
    return rank(a) - rank(b);
  });
  // normal replaces last on priority; plain, its equal below it, does not replace normal.
  EXPECT_EQ(world.scheduler.nextItemToStart(), normal);
  EXPECT_EQ(plain->priority, normal->priority);
}

TEST_F(TransferSchedulerTest, AFailedJobFailsItsItemWithTheServersText) {
  world.internet.setServer("bad", 80, [](const FakeRequest&) {
    FakeReply reply;
    reply.statusCode = 404;
    reply.statusText = " Gone Fishing ";
    return reply;
  });
  world.setNumber("get", &Settings::filesAtOnce, 1);
  DownloadItem* item = world.add("http://bad/x.zip");
  world.showNewRows();
  ASSERT_TRUE(world.runUntil([&] { return item->state == DownloadState::Failed; }));
  EXPECT_EQ(item->message, "Gone Fishing");
  EXPECT_EQ(item->job, nullptr);
  EXPECT_EQ(world.rows.text(0, 0), "Gone Fishing");
  // A failed item is not started again by itself.
  world.scheduler.runScheduler();
  EXPECT_EQ(item->job, nullptr);
}

TEST_F(TransferSchedulerTest, TheServersNameShowsOnceTheFirstReplyIsInAndNamesTheFile) {
  world.internet.setServer("s", 80, [this](const FakeRequest& request) {
    FakeReply reply = FakeInternet::fileReply(request, FakeBody::pattern(100));
    reply.headers.push_back("Content-Disposition: attachment; filename=\"report.pdf\"");
    reply.gate = gate;
    return reply;
  });
  gate = world.internet.makeGate(10);
  world.setNumber("get", &Settings::filesAtOnce, 1);
  DownloadItem* item = world.add("http://s/download.php?id=7");
  world.showNewRows();
  EXPECT_EQ(world.rows.text(0, 1), "download.php");
  ASSERT_TRUE(world.runUntil([&] { return world.rows.text(0, 1) == "report.pdf"; }));
  EXPECT_EQ(item->state, DownloadState::Queued) << "named while it transfers";
  world.internet.openGate(gate);
  ASSERT_TRUE(world.runUntil([&] { return item->state == DownloadState::Done; }));
  EXPECT_EQ(item->savedPath, std::string(kSaveFolder) + "\\report.pdf");
}

TEST_F(TransferSchedulerTest, AServersNameThatCleansToNothingLeavesTheAddressesName) {
  world.internet.setServer("s", 80, [](const FakeRequest& request) {
    FakeReply reply = FakeInternet::fileReply(request, FakeBody::pattern(100));
    reply.headers.push_back("Content-Disposition: attachment; filename=\"...\"");
    return reply;
  });
  world.setNumber("get", &Settings::filesAtOnce, 1);
  DownloadItem* item = world.add("http://s/fallback.bin");
  world.showNewRows();
  ASSERT_TRUE(world.runUntil([&] { return item->state == DownloadState::Done; }));
  EXPECT_EQ(world.rows.text(0, 1), "fallback.bin");
  EXPECT_EQ(item->savedPath, std::string(kSaveFolder) + "\\fallback.bin");
}

TEST_F(TransferSchedulerTest, AResumedTransferKeepsTheNameItHad) {
  world.internet.setServer("s", 80, [](const FakeRequest& request) {
    FakeReply reply = FakeInternet::fileReply(request, FakeBody::pattern(100));
    reply.headers.push_back("Content-Disposition: attachment; filename=\"second.pdf\"");
    return reply;
  });
  world.setNumber("get", &Settings::filesAtOnce, 1);
  DownloadItem* item = world.add("http://s/download.php");
  item->serverName = "first.pdf";  // as the queue database brings it back
  world.showNewRows();
  ASSERT_TRUE(world.runUntil([&] { return item->state == DownloadState::Done; }));
  EXPECT_EQ(item->savedPath, std::string(kSaveFolder) + "\\first.pdf");
  EXPECT_EQ(world.rows.text(0, 1), "first.pdf");
}

TEST_F(TransferSchedulerTest, ACertificateFaultFailsTheItemWithItsText) {
  serveSecure(world);
  world.internet.setCertificateFault("s", 443, CertificateFault::kExpired);
  world.setNumber("get", &Settings::filesAtOnce, 1);
  DownloadItem* item = world.add("https://s/a.zip");
  world.showNewRows();
  ASSERT_TRUE(world.runUntil([&] { return item->state == DownloadState::Failed; }));
  EXPECT_EQ(world.rows.text(0, 0), "Certificate Expired");

  // Accepted for that site in the site table, a Get fetches the item.
  addOrMergeCredential(world.settings, "s", "", "", "");
  setCertificateErrorsAccepted(world.settings, "s", true);
  world.commands.startItem(*item);
  ASSERT_TRUE(world.runUntil([&] { return item->state == DownloadState::Done; }));
}

TEST_F(TransferSchedulerTest, AnItemRefusedForItsCertificateIsGotAfterARestartOnceAccepted) {
  serveSecure(world);
  world.internet.setCertificateFault("s", 443, CertificateFault::kNameWrong);
  world.setNumber("get", &Settings::filesAtOnce, 1);
  world.add("https://s/a.zip");
  world.showNewRows();
  ASSERT_TRUE(world.runUntil([&] { return world.queue.first()->state == DownloadState::Failed; }));
  QueueDatabase saving(world.queue, world.fileOps, world.parser, world.settings, world.folders);
  ASSERT_EQ(saving.saveQueueDatabase(), QueueSaveResult::kWritten);

  // Nothing was fetched, so no job outlives the restart; Get still tries again.
  DownloadWorld after(DownloadWorld::SameDiskAs{world});
  serveSecure(after);
  QueueDatabase loading(after.queue, after.fileOps, after.parser, after.settings, after.folders);
  ASSERT_EQ(loading.loadQueueDatabase().restored, 1u);
  after.showNewRows();
  DownloadItem* item = after.queue.first();
  ASSERT_EQ(item->message, "Certificate Name Wrong");
  EXPECT_TRUE(ItemCommands::canGet(*item));
  addOrMergeCredential(after.settings, "s", "", "", "");
  setCertificateErrorsAccepted(after.settings, "s", true);
  after.commands.startItem(*item);
  ASSERT_TRUE(after.runUntil([&] { return item->state == DownloadState::Done; }));
}

}  // namespace
