// Transfers stopped by the save at exit continue from their pieces at the next start.
#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>

#include "download/queue_database.h"
#include "unit/download_world.h"

namespace {

constexpr char kSaveFolder[] = "C:\\Users\\me\\Documents\\My Downloaded Files";

// Two files on the server "h"; a first request for either gets only as far as its gate.
struct TwoFiles {
  std::shared_ptr<const FakeBody> one = FakeBody::pattern(20000, 1);
  std::shared_ptr<const FakeBody> two = FakeBody::pattern(30000, 2);

  void serve(FakeInternet& internet, int gateOne = 0, int gateTwo = 0) {
    internet.setServer("h", 80, [this, gateOne, gateTwo](const FakeRequest& request) {
      const bool first = request.objectPath == "/one.bin";
      FakeReply reply = FakeInternet::fileReply(request, first ? one : two);
      reply.gate = first ? gateOne : gateTwo;
      return reply;
    });
  }
};

int64_t writtenOf(DownloadWorld& world, const DownloadItem& item) {
  std::lock_guard hold(world.engine.lock());
  int64_t written = 0;
  for (const auto& worker : item.job->workers) written += worker->piece.written;
  return written;
}

std::vector<std::string> pieceFiles(FakeFiles& files) {
  std::vector<std::string> pieces;
  for (const std::string& path : files.allPaths())
    if (path.find("\\haulix ") != std::string::npos) pieces.push_back(path);
  return pieces;
}

TEST(QueueDatabaseResumeTest, TwoHalfDoneTransfersResumeFromTheirPiecesAfterARestart) {
  TwoFiles server;
  DownloadWorld before;
  const int gateOne = before.internet.makeGate(5000);
  const int gateTwo = before.internet.makeGate(7000);
  server.serve(before.internet, gateOne, gateTwo);
  before.queue.addAddresses("http://h/one.bin\r\nhttp://h/two.bin");
  before.showNewRows();
  before.setNumber("get", &Settings::filesAtOnce, 2);
  before.scheduler.runScheduler();  // both items get a job
  before.scheduler.runScheduler();  // and each job a worker
  // Each worker wrote what its gate let through and now waits for more.
  ASSERT_TRUE(before.internet.waitForBlockedCalls(2));
  before.scheduler.runScheduler();
  DownloadItem* one = before.queue.first();
  DownloadItem* two = one->next;
  ASSERT_TRUE(one->job && two->job);
  ASSERT_EQ(writtenOf(before, *one), 5000);
  ASSERT_EQ(writtenOf(before, *two), 7000);
  EXPECT_EQ(one->job->totalSize, 20000);

  QueueDatabase saving(before.queue, before.fileOps, before.parser, before.settings,
                       before.folders);
  ASSERT_EQ(saving.saveQueueDatabase(), QueueSaveResult::kWritten);
  EXPECT_TRUE(before.engine.jobs().empty());
  ASSERT_EQ(pieceFiles(before.files).size(), 2u);

  // The next start, on the same disk, with a server that holds nothing back.
  DownloadWorld after(DownloadWorld::SameDiskAs{before});
  server.serve(after.internet);
  QueueDatabase loading(after.queue, after.fileOps, after.parser, after.settings, after.folders);
  const QueueLoad load = loading.loadQueueDatabase();
  ASSERT_EQ(load.restored, 2u);
  after.showNewRows();
  DownloadItem* oneAgain = after.queue.first();
  DownloadItem* twoAgain = oneAgain->next;
  ASSERT_TRUE(oneAgain->job && twoAgain->job);
  EXPECT_EQ(oneAgain->job->totalSize, 20000);
  EXPECT_EQ(writtenOf(after, *twoAgain), 7000);

  after.setNumber("get", &Settings::filesAtOnce, 2);
  ASSERT_TRUE(after.runUntil([&] {
    return oneAgain->state == DownloadState::Done && twoAgain->state == DownloadState::Done;
  }));
  // Each continued where its piece ended, and fetched nothing twice.
  const std::vector<FakeRequest> requests = after.internet.requests();
  ASSERT_EQ(requests.size(), 2u);
  for (const FakeRequest& request : requests) {
    const int64_t expected = request.objectPath == "/one.bin" ? 5000 : 7000;
    EXPECT_EQ(request.rangeStart, expected);
    EXPECT_EQ(request.headers, "Range: bytes=" + std::to_string(expected) + "-\r\n");
  }
  EXPECT_EQ(after.internet.deliveredBytes(), (20000 - 5000) + (30000 - 7000));
  EXPECT_EQ(oneAgain->savedPath, std::string(kSaveFolder) + "\\one.bin");
  EXPECT_EQ(after.files.contents(oneAgain->savedPath), server.one->bytes());
  EXPECT_EQ(after.files.contents(twoAgain->savedPath), server.two->bytes());
  EXPECT_EQ(twoAgain->size, 30000);
  EXPECT_TRUE(pieceFiles(after.files).empty());
}

TEST(QueueDatabaseResumeTest, ATransferWhosePiecesAreGoneStartsOverFromTheBeginning) {
  TwoFiles server;
  DownloadWorld before;
  const int gate = before.internet.makeGate(5000);
  server.serve(before.internet, gate, gate);
  before.queue.addAddresses("http://h/one.bin");
  before.showNewRows();
  before.setNumber("get", &Settings::filesAtOnce, 1);
  before.scheduler.runScheduler();
  before.scheduler.runScheduler();
  ASSERT_TRUE(before.internet.waitForBlockedCalls(1));
  QueueDatabase saving(before.queue, before.fileOps, before.parser, before.settings,
                       before.folders);
  ASSERT_EQ(saving.saveQueueDatabase(), QueueSaveResult::kWritten);
  for (const std::string& piece : pieceFiles(before.files)) before.files.deleteFile(piece);

  DownloadWorld after(DownloadWorld::SameDiskAs{before});
  server.serve(after.internet);
  QueueDatabase loading(after.queue, after.fileOps, after.parser, after.settings, after.folders);
  ASSERT_EQ(loading.loadQueueDatabase().restored, 1u);
  after.showNewRows();
  after.setNumber("get", &Settings::filesAtOnce, 1);
  DownloadItem* one = after.queue.first();
  ASSERT_TRUE(after.runUntil([&] { return one->state == DownloadState::Done; }));
  EXPECT_EQ(after.internet.requests().at(0).rangeStart, -1);
  EXPECT_EQ(after.files.contents(one->savedPath), server.one->bytes());
}

// After a kill the pieces may hold more or less than their place in the file (a join was
// writing onto the first, a worker had not written all it got): what is on disk counts.
TEST(QueueDatabaseResumeTest, PiecesLongerOrShorterThanTheirPlaceAreTakenAsTheyAreOnDisk) {
  auto body = FakeBody::pattern(1000, 5);
  DownloadWorld world;
  auto piece = [](int n) {
    return std::string(kSaveFolder) + "\\haulix " + formatNumber(n, 32) + ".db";
  };
  world.files.putFile(piece(1), body->bytes(0, 700));  // reaches into the next one's place
  world.files.putFile(piece(2), body->bytes(600, 150));
  world.files.putFile(piece(3), body->bytes(900, 20));  // ends short of the end of the file
  world.files.putFile("C:\\Users\\me\\Application Data\\Haulix\\haulix.db",
                      "http://\r\r\rh\r\r/\rf\r.bin\r\rP\r-1\r\r\rP\r0\r\r1000\t900\t" + piece(3) +
                          "\t600\t" + piece(2) + "\t0\t" + piece(1) + "\t\r\n");
  QueueDatabase loading(world.queue, world.fileOps, world.parser, world.settings, world.folders);
  ASSERT_EQ(loading.loadQueueDatabase().restored, 1u);
  world.internet.setServer(
      "h", 80, [&](const FakeRequest& request) { return FakeInternet::fileReply(request, body); });
  world.showNewRows();
  world.setNumber("get", &Settings::filesAtOnce, 1);
  DownloadItem* f = world.queue.first();
  ASSERT_TRUE(world.runUntil([&] { return f->state == DownloadState::Done; }));
  EXPECT_EQ(world.internet.requests().at(0).rangeStart, 750);
  EXPECT_EQ(world.files.contents(f->savedPath), body->bytes());
}

}  // namespace
