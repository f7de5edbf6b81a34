// The queue saved in the background while the program runs: when a save is written and
// what it holds, the transfers going on meanwhile, the save at exit meeting one being
// written, and what the next start finds after a kill at any moment, even during a save.
#include "download/queue_saver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "unit/download_world.h"

namespace {

using Line = std::vector<std::string>;

constexpr char kDatabase[] = "C:\\Users\\me\\Application Data\\Haulix\\haulix.db";

std::vector<Line> linesOn(FakeFiles& files) {
  std::vector<Line> lines;
  readDatabaseText(files.contents(kDatabase).value_or(""), [&](const StoredFields& fields) {
    lines.emplace_back(fields.begin(), fields.end());
  });
  return lines;
}

std::vector<std::string> addressesOf(const DownloadQueue& queue) {
  std::vector<std::string> all;
  for (DownloadItem* item = queue.first(); item; item = item->next)
    all.push_back(item->address.fullAddress);
  return all;
}

// The next start of the program on a disk: the queue loaded, and the pieces nothing names
// deleted, as start-up does.
struct NextStart {
  explicit NextStart(DownloadWorld& killed) : world(DownloadWorld::AfterKillOf{killed}) {
    world.settings.loadSettings(world.text);
    database.deleteOrphanedPieces(database.loadQueueDatabase());
    world.showNewRows();
  }
  DownloadWorld world;
  QueueDatabase database{world.queue, world.fileOps, world.parser, world.settings, world.folders};
};

class QueueSaverTest : public testing::Test {
 protected:
  QueueSaverTest() { saver.markSaved(); }
  ~QueueSaverTest() override { saver.stop(); }

  // One idle pass, `ms` after the last: the scheduler, then the saver.
  void pass(uint32_t ms) {
    world.clock.advance(ms);
    world.scheduler.runScheduler();
    saver.onIdlePass();
  }
  // Waits until `n` saves have ended in all, then lets the saver take the last result.
  bool waitForSaves(int n) {
    std::unique_lock<std::mutex> lock(mutex);
    const bool ended =
        saveEnded.wait_for(lock, std::chrono::seconds(20), [&] { return saves >= n; });
    lock.unlock();
    saver.onIdlePass();
    return ended;
  }
  bool noSaveYet() { return !saver.writing() && savesSoFar() == 0; }
  int savesSoFar() {
    std::lock_guard<std::mutex> hold(mutex);
    return saves;
  }

  DownloadWorld world;
  QueueDatabase database{world.queue, world.fileOps, world.parser, world.settings, world.folders};
  std::mutex mutex;
  std::condition_variable saveEnded;
  int saves = 0;
  QueueSaver saver{world.queue, database, world.clock, [this] {
                     std::lock_guard<std::mutex> hold(mutex);
                     ++saves;
                     saveEnded.notify_all();
                   }};
};

TEST_F(QueueSaverTest, AddedAddressesAreWrittenOneSecondAfterTheyArrive) {
  world.queue.addAddresses("http://h/a\nhttp://h/b");
  pass(0);
  pass(999);
  EXPECT_TRUE(noSaveYet());
  pass(1);
  ASSERT_TRUE(waitForSaves(1));
  const std::vector<Line> lines = linesOn(world.files);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1][6], "b");
  EXPECT_FALSE(world.files.isFile(database.temporaryPath()));
}

TEST_F(QueueSaverTest, RemovingEveryItemDeletesTheDatabase) {
  DownloadItem* only = world.add("http://h/a");
  pass(0);
  pass(1000);
  ASSERT_TRUE(waitForSaves(1));
  ASSERT_TRUE(world.files.isFile(kDatabase));
  world.queue.removeItem(only);
  pass(0);
  pass(1000);
  ASSERT_TRUE(waitForSaves(2));
  EXPECT_FALSE(world.files.isFile(kDatabase));
}

TEST_F(QueueSaverTest, ARunningTransferIsSavedWithItsPiecesWhileItGoesOnAndResumesAfterAKill) {
  auto body = FakeBody::pattern(20000, 3);
  const int gate = world.internet.makeGate(0);
  world.internet.setServer("h", 80, [&](const FakeRequest& request) {
    FakeReply reply = FakeInternet::fileReply(request, body);
    reply.gate = gate;
    return reply;
  });
  world.setNumber("get", &Settings::filesAtOnce, 1);
  world.queue.addAddresses("http://h/big.bin");
  world.showNewRows();
  DownloadItem* big = world.queue.first();
  pass(0);  // the item gets a job
  pass(0);  // and the job a worker
  ASSERT_TRUE(world.internet.waitForBlockedCalls(1));
  pass(1000);  // the address is saved
  ASSERT_TRUE(waitForSaves(1));
  EXPECT_EQ(linesOn(world.files).at(0)[16], "20000\t");

  // The piece's first bytes: within a second its name is on disk.
  const uint64_t blocked = world.internet.blockEvents();
  world.internet.allow(gate, 5000);
  ASSERT_TRUE(world.internet.waitForBlockEvents(blocked + 1));
  pass(0);
  pass(1000);
  ASSERT_TRUE(waitForSaves(2));
  std::string piece;
  {
    std::lock_guard hold(world.engine.lock());
    ASSERT_EQ(big->job->workers.size(), 1u);
    piece = big->job->workers[0]->piece.path;
    EXPECT_EQ(big->job->workers[0]->state, WorkerState::Running);
  }
  // The piece with the length it had then: it goes on growing.
  const std::string saved = linesOn(world.files).at(0)[16];
  EXPECT_EQ(saved.rfind("20000\tspan\t0,0,", 0), 0u) << saved;
  EXPECT_EQ(saved.substr(saved.size() - piece.size() - 2), "," + piece + "\t");

  // Then every 25 seconds while it runs, and not more often.
  pass(24999);
  EXPECT_EQ(savesSoFar(), 2);
  pass(1);
  ASSERT_TRUE(waitForSaves(3));

  // Killed now, the next start goes on from the piece with a Range request.
  {
    NextStart next(world);
    next.world.internet.setServer("h", 80, [&](const FakeRequest& request) {
      return FakeInternet::fileReply(request, body);
    });
    next.world.setNumber("get", &Settings::filesAtOnce, 1);
    DownloadItem* again = next.world.queue.first();
    ASSERT_TRUE(again && again->job);
    ASSERT_TRUE(next.world.runUntil([&] { return again->state == DownloadState::Done; }));
    EXPECT_EQ(next.world.internet.requests().at(0).rangeStart, 5000);
    EXPECT_EQ(next.world.files.contents(again->savedPath), body->bytes());
  }

  // Here the transfer ends; a kill a second later finds it Done.
  world.internet.openGate(gate);
  ASSERT_TRUE(world.runUntil([&] { return big->state == DownloadState::Done; }));
  pass(0);
  pass(1000);
  ASSERT_TRUE(waitForSaves(4));
  NextStart next(world);
  ASSERT_EQ(addressesOf(next.world.queue), std::vector<std::string>{"http://h/big.bin"});
  EXPECT_EQ(next.world.queue.first()->state, DownloadState::Done);
  EXPECT_EQ(next.world.queue.first()->savedPath, big->savedPath);
  EXPECT_EQ(next.world.queue.first()->job, nullptr);
}

TEST_F(QueueSaverTest, TheSaveAtExitWaitsForASaveBeingWrittenAndHasTheLastWord) {
  world.queue.addAddresses("http://h/a");
  world.files.holdNextWrite(database.temporaryPath());
  pass(0);
  pass(1000);
  ASSERT_TRUE(world.files.waitForHeldWrite());
  world.queue.addAddresses("http://h/late");  // after the snapshot was taken

  QueueSaveResult result = QueueSaveResult::kFailed;
  std::thread exiting([&] {
    saver.stop();
    result = database.saveQueueDatabase();
  });
  world.files.releaseWrite();
  exiting.join();
  EXPECT_EQ(result, QueueSaveResult::kWritten);
  ASSERT_EQ(linesOn(world.files).size(), 2u);
  EXPECT_EQ(linesOn(world.files)[1][6], "late");
  EXPECT_FALSE(world.files.isFile(database.temporaryPath()));
}

TEST_F(QueueSaverTest, ASaveGivenUpLeavesThePreviousDatabaseAndNoTemporary) {
  world.files.putFile(kDatabase, "http://\r\r\rold\r\r/\ra\r\n");
  for (int i = 0; i < 5000; ++i)
    world.add("http://h/" + formatNumber(i, 8) + "/" + std::string(80, 'x'));
  const std::atomic<bool> cancelled{true};
  EXPECT_EQ(database.writeSnapshot(database.takeSnapshot(), &cancelled), QueueSaveResult::kFailed);
  EXPECT_EQ(world.files.contents(kDatabase), "http://\r\r\rold\r\r/\ra\r\n");
  EXPECT_FALSE(world.files.isFile(database.temporaryPath()));
}

TEST_F(QueueSaverTest, AnItemsLineIsMadeAgainOnlyWhenWhatItWritesChanged) {
  struct Change {
    std::function<void(DownloadItem&)> make;
    size_t field;
    std::string written;
  };
  const std::vector<Change> changes = {
      {[](DownloadItem& i) { i.priority = -1; }, stored_field::kPriority, "-1"},
      {[](DownloadItem& i) { i.state = DownloadState::Inactive; }, stored_field::kState, "I"},
      {[](DownloadItem& i) {
         i.state = DownloadState::Failed;
         i.message = "Cannot Save";
       },
       stored_field::kMessage, "Cannot Save"},
      {[](DownloadItem& i) {
         i.state = DownloadState::Done;
         i.savedPath = "C:\\s\\a";
         i.size = 5;
       },
       stored_field::kSavedPath, "C:\\s\\a"},
      {[](DownloadItem& i) { i.savedPath = "C:\\s\\b"; }, stored_field::kSavedPath, "C:\\s\\b"},
      {[](DownloadItem& i) { i.size = 6; }, stored_field::kSize, "6"},
  };
  DownloadItem* item = world.add("http://h/a");
  world.add("http://h/b");
  QueueSnapshot before = database.takeSnapshot();
  for (const Change& change : changes) {
    change.make(*item);
    const QueueSnapshot after = database.takeSnapshot();
    EXPECT_NE(after[0].line, before[0].line) << change.written;
    EXPECT_EQ(after[1].line, before[1].line) << "an unchanged item shares its line";
    std::string text;
    appendSnapshotLine(text, after[0]);
    std::string field;
    readDatabaseText(text, [&](const StoredFields& fields) { field = fields[change.field]; });
    EXPECT_EQ(field, change.written);
    before = after;
  }
}

// A kill at every step of a save: the next start finds the previous queue or the new one,
// whole, and never anything else.
TEST_F(QueueSaverTest, AKillAtAnyStepOfASaveLeavesALoadableDatabase) {
  for (int i = 0; i < 3000; ++i) world.add("http://h/old/" + std::to_string(i));
  ASSERT_EQ(database.saveQueueDatabase(), QueueSaveResult::kWritten);
  const std::vector<std::string> previous = addressesOf(world.queue);
  world.queue.removeItem(world.queue.first());
  for (int i = 0; i < 3000; ++i)
    world.add("http://h/new/" + std::string(60, 'n') + std::to_string(i));
  const QueueSnapshot snapshot = database.takeSnapshot();
  const std::vector<std::string> current = addressesOf(world.queue);

  int killedOld = 0, killedNew = 0;
  for (int64_t steps = 0;; ++steps) {
    DownloadWorld saving(DownloadWorld::AfterKillOf{world});
    QueueDatabase writer(saving.queue, saving.fileOps, saving.parser, saving.settings,
                         saving.folders);
    saving.files.crashAfter(steps);
    writer.writeSnapshot(snapshot);
    const bool killed = saving.files.crashed();
    NextStart next(saving);
    const std::vector<std::string> found = addressesOf(next.world.queue);
    ASSERT_TRUE(found == previous || found == current) << "killed after " << steps << " steps";
    if (!killed) {
      EXPECT_EQ(found, current);
      break;
    }
    ++(found == previous ? killedOld : killedNew);
    ASSERT_LT(steps, 1000);
  }
  EXPECT_GT(killedOld, 3) << "kills before the move";
  EXPECT_GE(killedNew, 1) << "a kill after the move";
}

}  // namespace
