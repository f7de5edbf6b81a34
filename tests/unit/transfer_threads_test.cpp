// Worker threads against the user-interface thread: removal during blocking calls, the end
// of the engine, and several connections that keep breaking.
#include <gtest/gtest.h>

#include <mutex>
#include <random>

#include "engine_test_support.h"

namespace {

class TransferThreadsTest : public EngineTest {
 protected:
  TransferJob* startOne(std::function<void(const FakeRequest&, FakeReply&)> change) {
    serve(body, "h", std::move(change));
    TransferJob* job = engine->createJob(web(), kFolder, "");
    job->wanted = 1;
    engine->runJobPass();
    return job;
  }
  std::shared_ptr<const FakeBody> body = FakeBody::pattern(50000, 3);
};

TEST_F(TransferThreadsTest, RemovingAWorkerWhileItsThreadWaitsForDataIsSafe) {
  const int gate = internet.makeGate(1000);
  TransferJob* job = startOne([gate](const FakeRequest&, FakeReply& reply) { reply.gate = gate; });
  ASSERT_TRUE(internet.waitForBlockedCalls(1));
  const std::string piece = pathOf(*job, 0);
  engine->destroyJob(job, false);
  EXPECT_EQ(internet.openHandles(), 0);
  EXPECT_FALSE(files.isFile(piece));
  // The gate opening later reaches no worker.
  internet.openGate(gate);

  // The engine goes on serving other jobs.
  TransferJob* next = engine->createJob(web(), kFolder, "");
  next->wanted = 1;
  ASSERT_TRUE(passUntilResult(*next));
  EXPECT_EQ(files.contents(next->finishedPath), body->bytes());
}

TEST_F(TransferThreadsTest, RemovingAWorkerWhileItsThreadWaitsForTheReplyIsSafe) {
  TransferJob* job =
      startOne([](const FakeRequest&, FakeReply& reply) { reply.stallBeforeReply = true; });
  ASSERT_TRUE(internet.waitForBlockedCalls(1));
  engine->destroyJob(job, false);
  EXPECT_EQ(internet.openHandles(), 0);
  engine.reset();  // returns only once the thread is done
  EXPECT_EQ(internet.blockedCalls(), 0);
}

TEST_F(TransferThreadsTest, TheEngineEndsWhileAnAddressOpenedDirectlyWaitsForItsServer) {
  // An FTP server that takes the connection and never answers.
  internet.setAddressHandler([](const FakeRequest&) {
    FakeReply reply;
    reply.stallBeforeReply = true;
    return reply;
  });
  TransferJob* job = engine->createJob(address("ftp://", "f"), kFolder, "");
  job->wanted = 1;
  engine->runJobPass();
  ASSERT_TRUE(internet.waitForBlockedCalls(1));
  engine.reset();  // the fake releases the open only when its handle is closed
  EXPECT_EQ(internet.blockedCalls(), 0);
  EXPECT_EQ(internet.openHandles(), 0);
}

TEST_F(TransferThreadsTest, AConnectionMadeForAWorkerRemovedMeanwhileIsClosed) {
  const int gate = internet.makeGate(0);
  internet.setConnectGate("h", 80, gate);
  TransferJob* job = startOne({});
  ASSERT_TRUE(internet.waitForBlockedCalls(1));
  engine->destroyJob(job, false);
  internet.openGate(gate);
  engine.reset();
  EXPECT_EQ(internet.openHandles(), 0);
  EXPECT_TRUE(internet.requests().empty());
}

TEST_F(TransferThreadsTest, AConnectionMadeForAWorkerStoppedMeanwhileIsClosed) {
  const int gate = internet.makeGate(0);
  internet.setConnectGate("h", 80, gate);
  TransferJob* job = startOne({});
  ASSERT_TRUE(internet.waitForBlockedCalls(1));
  engine->pauseJob(*job);
  internet.openGate(gate);
  engine.reset();
  EXPECT_EQ(internet.openHandles(), 0);
  EXPECT_TRUE(internet.requests().empty());
}

TEST_F(TransferThreadsTest, TheEngineEndsOnlyAfterEveryBlockedThreadHasLetGo) {
  const int gate = internet.makeGate(0);
  serve(body, "h", [gate](const FakeRequest& request, FakeReply& reply) {
    if (request.rangeStart < 0) {
      reply.gate = gate;
    } else {
      reply.stallBeforeReply = true;
    }
  });
  for (int i = 0; i < 3; ++i) {
    TransferJob* job = engine->createJob(web(), kFolder, "");
    job->wanted = 1;
  }
  engine->runJobPass();
  ASSERT_TRUE(internet.waitForBlockedCalls(3));
  // Two more each would pass the eight connections one host takes.
  for (const auto& job : engine->jobs()) job->wanted = 1;
  engine->runJobPass();
  ASSERT_TRUE(internet.waitForBlockedCalls(6));
  engine.reset();
  EXPECT_EQ(internet.blockedCalls(), 0);
  EXPECT_EQ(internet.openHandles(), 0);
  EXPECT_TRUE(pieceFiles().empty());
}

TEST_F(TransferThreadsTest, JobsDestroyedAtAnyMomentOfTheirWorkLeaveNothingBehind) {
  // Never the whole file, so no job can finish and keep its piece.
  const int gate = internet.makeGate(20000);
  serve(body, "h", [gate](const FakeRequest&, FakeReply& reply) { reply.gate = gate; });
  for (int i = 0; i < 60; ++i) {
    TransferJob* job = engine->createJob(web(), kFolder, "");
    job->wanted = 2;
    engine->runJobPass();
    if (i % 3 == 1) engine->runJobPass();
    if (i % 3 == 2) engine->pauseJob(*job);
    engine->destroyJob(job, false);
  }
  engine.reset();
  EXPECT_EQ(internet.openHandles(), 0);
  EXPECT_TRUE(pieceFiles().empty());
}

// With reads that wait until their buffer is full (the library) and reads that return what
// has arrived (the port over it).
class BreakingConnectionsTest : public TransferThreadsTest,
                                public ::testing::WithParamInterface<bool> {};

INSTANTIATE_TEST_SUITE_P(ReadModes, BreakingConnectionsTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Partial" : "Filling"; });

TEST_P(BreakingConnectionsTest, FourConnectionsThatKeepBreakingStillMakeAnIdenticalFile) {
  internet.setPartialReads(GetParam());
  auto file = FakeBody::pattern((3 << 20) + 12345, 11);
  std::mutex randomMutex;
  std::mt19937 random(20240607);
  int breaks = 0;
  serve(file, "h", [&](const FakeRequest&, FakeReply& reply) {
    std::lock_guard<std::mutex> hold(randomMutex);
    const int64_t length = file->size() - reply.bodyOffset;
    // The first reply always breaks, so the size is known while most of the file is
    // still to come and four connections share it.
    if (length > 0 && (breaks == 0 || std::uniform_int_distribution<int>(0, 9)(random) < 8)) {
      const int64_t most = std::min<int64_t>(length - 1, 512 << 10);
      reply.endAt = std::uniform_int_distribution<int64_t>(0, most)(random);
      ++breaks;
    }
  });
  TransferJob* job = engine->createJob(web(), kFolder, "");
  job->wanted = 4;
  int passes = 0;
  ASSERT_TRUE(waitFor([&] {
    for (;;) {
      engine->runJobPass();
      if (job->result != kJobNoResult || ++passes > 20000) return true;
      if (isRunning(*job)) break;
      job->wanted += 1;  // as the scheduler starts an idle item again
    }
    clock.advance(100);
    return false;
  }));
  ASSERT_EQ(job->result, kJobSucceeded) << job->errorText;
  EXPECT_EQ(job->finalSize, file->size());
  EXPECT_TRUE(files.contents(job->finishedPath) == file->bytes());
  EXPECT_EQ(pieceFiles(), std::vector<std::string>{job->finishedPath});
  EXPECT_GE(internet.requests().size(), 8u);
  {
    std::lock_guard<std::mutex> hold(randomMutex);
    EXPECT_GT(breaks, 0);
  }
  // The finished file is its owner's to place: destroying the job leaves it.
  const std::string finished = job->finishedPath;
  engine->destroyJob(job, false);
  EXPECT_EQ(internet.openHandles(), 0);
  EXPECT_TRUE(files.isFile(finished));
}

}  // namespace
