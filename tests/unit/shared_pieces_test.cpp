// The pieces of a file share one file, each at its own offset: the finished file is that
// file, with nothing copied; what a resume text stores survives a kill at any moment.
#include <gtest/gtest.h>

#include <string>

#include "download/queue_database.h"
#include "engine_test_support.h"
#include "unit/download_world.h"

namespace {

constexpr int64_t kBodySize = int64_t{4} << 20;

class SharedPiecesTest : public EngineTest {};

TEST_F(SharedPiecesTest, LaterPiecesGoIntoTheFirstPiecesFileAndTheJoinCopiesNothing) {
  auto body = FakeBody::pattern(kBodySize, 7);
  const int gate = internet.makeGate(0);
  serve(body, "h", [gate](const FakeRequest&, FakeReply& reply) { reply.gate = gate; });
  TransferJob* job = engine->createJob(web(), kFolder, "");
  job->connections = 4;
  job->wanted = 1;
  engine->runJobPass();
  // The first reply's headers are in once its worker waits at the gate: the size is known.
  ASSERT_TRUE(internet.waitForBlockedCalls(1));
  engine->runJobPass();
  ASSERT_EQ(locked([&] { return job->workers.size(); }), 4u);
  // One file for the four connections, each writing from its own start.
  const std::vector<std::string> paths = pieceFiles();
  ASSERT_EQ(paths.size(), 1u);
  locked([&] {
    for (const auto& worker : job->workers) {
      EXPECT_EQ(worker->piece.path, paths[0]);
      EXPECT_EQ(worker->piece.base, worker->start);
    }
    return 0;
  });
  // Nothing may be read back out of it: a join that copied would fail.
  files.failOperation(FakeFiles::Op::kMap, os_error::kAccessDenied, paths[0]);
  internet.openGate(gate);
  ASSERT_TRUE(passUntilResult(*job));
  ASSERT_EQ(job->result, kJobSucceeded);
  EXPECT_EQ(job->finishedPath, paths[0]);
  EXPECT_EQ(files.contents(paths[0]), body->bytes());
}

TEST_F(SharedPiecesTest, AResumeTextGivesEachPieceItsLengthAndResumesFromIt) {
  auto body = FakeBody::pattern(kBodySize, 8);
  const int gate = internet.makeGate(0);
  serve(body, "h", [gate](const FakeRequest&, FakeReply& reply) { reply.gate = gate; });
  TransferJob* job = engine->createJob(web(), kFolder, "");
  job->connections = 3;
  job->wanted = 1;
  engine->runJobPass();
  ASSERT_TRUE(internet.waitForBlockedCalls(1));
  engine->runJobPass();
  ASSERT_TRUE(internet.waitForBlockedCalls(3));
  // Each writes 5000 bytes and waits again.
  const uint64_t waits = internet.blockEvents();
  internet.allow(gate, 5000);
  ASSERT_TRUE(internet.waitForBlockEvents(waits + 3));
  engine->runJobPass();
  ASSERT_EQ(job->bytesGot, 15000);
  const std::string pieceMap = job->pieceMap;
  const std::string text = engine->destroyJob(job, true);
  // Every piece with its length, since the file holds zeros between them.
  const ResumeText stored = parseResumeText(text);
  ASSERT_EQ(stored.pieces.size(), 3u);
  for (const StoredPiece& piece : stored.pieces) EXPECT_EQ(piece.length, 5000) << piece.start;
  EXPECT_EQ(pieceFiles().size(), 1u);

  TransferJob* again = engine->createJob(web(), kFolder, text);
  EXPECT_EQ(again->bytesGot, 15000);
  EXPECT_EQ(again->pieceMap, pieceMap);
  again->connections = 3;
  again->wanted = 1;
  internet.openGate(gate);
  ASSERT_TRUE(passUntilResult(*again));
  ASSERT_EQ(again->result, kJobSucceeded);
  EXPECT_EQ(files.contents(again->finishedPath), body->bytes());
  EXPECT_EQ(pieceFiles(), std::vector<std::string>{again->finishedPath});
}

// A kill after the queue was saved, while the connections write on: the next start takes
// only what the saved text names, never the zeros between the pieces, and ends with the file.
TEST(SharedPiecesKill, TheNextStartResumesFromTheSavedLengthsAndEndsWithTheWholeFile) {
  DownloadWorld world;
  world.storeConnectionsPerFile(4);
  auto body = FakeBody::pattern(kBodySize, 9);
  const int gate = world.internet.makeGate(0);
  world.serveGated("h", body, gate);
  DownloadItem* item = world.add("http://h/big.bin");
  world.showNewRows();
  world.commands.startItem(*item);
  auto workers = [&] {
    std::lock_guard hold(world.engine.lock());
    return item->job->workers.size();
  };
  ASSERT_TRUE(world.runUntil([&] { return workers() == 4u; }));
  // Each connection writes what the first read brings (8 KiB), then waits for more.
  world.internet.allow(gate, 20000);
  ASSERT_TRUE(world.runUntil([&] { return item->job->bytesGot == 4 * 8192; }));
  QueueDatabase database(world.queue, world.fileOps, world.parser, world.settings, world.folders);
  ASSERT_EQ(database.writeSnapshot(database.takeSnapshot()), QueueSaveResult::kWritten);
  const std::string savedMap = item->job->pieceMap;
  // More arrives after the save, and is written, before the kill.
  world.clock.advance(1000);
  world.internet.allow(gate, 200000);
  ASSERT_TRUE(world.runUntil([&] { return item->job->bytesGot > 4 * 8192; }));

  DownloadWorld next(DownloadWorld::AfterKillOf{world});
  next.settings.loadSettings(next.text);
  QueueDatabase loading(next.queue, next.fileOps, next.parser, next.settings, next.folders);
  loading.deleteOrphanedPieces(loading.loadQueueDatabase());
  next.showNewRows();
  DownloadItem* resumed = next.queue.first();
  ASSERT_NE(resumed->job, nullptr);
  EXPECT_EQ(resumed->job->pieceMap, savedMap);
  next.internet.setServer(
      "h", 80, [&](const FakeRequest& request) { return FakeInternet::fileReply(request, body); });
  next.setNumber("get", &Settings::filesAtOnce, 1);
  ASSERT_TRUE(next.runUntil([&] { return resumed->state == DownloadState::Done; }));
  EXPECT_EQ(next.files.contents(resumed->savedPath), body->bytes());
}

// A queue line as the previous release wrote it: its piece is continued with four
// connections, and the file it ends as is whole.
TEST(SharedPiecesPreviousRelease, AnOldResumeTextResumesWithMoreConnections) {
  DownloadWorld world;
  world.storeConnectionsPerFile(4);
  auto body = FakeBody::pattern(kBodySize, 10);
  world.internet.setServer("h", 80, [body](const FakeRequest& request) {
    return FakeInternet::fileReply(request, body);
  });
  const std::string folder = "C:\\Users\\me\\Documents\\My Downloaded Files";
  const std::string piece = folder + "\\haulix 3f2a9c1b7d4e4f6a8b0c1d2e3f4a5b6c.db";
  world.files.putFolder(folder);
  world.files.putFile(piece, body->bytes(0, 12345),
                      file_attribute::kHidden | file_attribute::kSystem);
  world.files.putFile(world.folders.applicationData + "\\Haulix\\haulix.db",
                      "http://\r\r\rh\r\r/files/\rold\r.bin\r\rP\r-1\r\r\rP\r0\r\r" +
                          std::to_string(kBodySize) + "\t0\t" + piece + "\t\r\n");
  QueueDatabase loading(world.queue, world.fileOps, world.parser, world.settings, world.folders);
  ASSERT_EQ(loading.loadQueueDatabase().restored, 1u);
  world.showNewRows();
  DownloadItem* item = world.queue.first();
  ASSERT_NE(item->job, nullptr);
  EXPECT_EQ(item->job->bytesGot, 12345);
  world.setNumber("get", &Settings::filesAtOnce, 1);
  ASSERT_TRUE(world.runUntil([&] { return item->state == DownloadState::Done; }));
  EXPECT_EQ(world.files.contents(item->savedPath), body->bytes());
  int ranged = 0;
  for (const FakeRequest& request : world.internet.requests()) ranged += request.rangeStart > 0;
  EXPECT_GE(ranged, 2);
}

}  // namespace
