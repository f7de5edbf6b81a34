// The job pass and the life of a job: completion, joining, stops, starts, counters, pause,
// destroy and resume.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include "engine_test_support.h"

namespace {

const std::string kPieceA = "C:\\dl\\haulix 0000000000000000000000000000000a.db";
const std::string kPieceB = "C:\\dl\\haulix 0000000000000000000000000000000b.db";

class JobPassTest : public EngineTest {
 protected:
  void store(const std::string& path, const std::string& bytes) {
    ASSERT_TRUE(files.putFile(path, bytes, file_attribute::kHidden | file_attribute::kSystem));
  }
  // A job made from stored pieces: "total TAB start TAB path TAB ...".
  TransferJob* resume(const std::string& text) { return engine->createJob(web(), kFolder, text); }

  std::shared_ptr<const FakeBody> body = FakeBody::pattern(1000);
};

TEST_F(JobPassTest, TwoPiecesThatMeetAreJoinedOntoTheFirstAndTheOtherIsDeleted) {
  store(kPieceA, body->bytes(0, 600));
  store(kPieceB, body->bytes(600, 400));
  TransferJob* job = resume("1000\t600\t" + kPieceB + "\t0\t" + kPieceA + "\t");
  engine->runJobPass();
  ASSERT_EQ(job->result, kJobSucceeded);
  EXPECT_EQ(job->finalSize, 1000);
  // The first piece's bytes are not copied: the rest is written on after them.
  EXPECT_EQ(job->finishedPath, kPieceA);
  EXPECT_EQ(files.contents(job->finishedPath), body->bytes());
  EXPECT_FALSE(files.isFile(kPieceB));
  EXPECT_EQ(pieceFiles(), std::vector<std::string>{job->finishedPath});
  // The finished file is its owner's to place: destroying the job leaves it.
  engine->destroyJob(job, false);
  EXPECT_EQ(files.contents(kPieceA), body->bytes());
}

TEST_F(JobPassTest, WhenTheFirstPieceCannotBeWrittenOnTheJoinMakesANewFile) {
  store(kPieceA, body->bytes(0, 600));
  store(kPieceB, body->bytes(600, 400));
  files.failOperation(FakeFiles::Op::kCreate, os_error::kSharingViolation, kPieceA);
  TransferJob* job = resume("1000\t600\t" + kPieceB + "\t0\t" + kPieceA + "\t");
  engine->runJobPass();
  ASSERT_EQ(job->result, kJobSucceeded);
  EXPECT_NE(job->finishedPath, kPieceA);
  EXPECT_EQ(files.contents(job->finishedPath), body->bytes());
  EXPECT_EQ(pieceFiles(), std::vector<std::string>{job->finishedPath});
}

TEST_F(JobPassTest, OverlappingPiecesJoinWithoutRepeatingBytes) {
  store(kPieceA, body->bytes(0, 700));
  store(kPieceB, body->bytes(600, 400));
  TransferJob* job = resume("1000\t0\t" + kPieceA + "\t600\t" + kPieceB + "\t");
  engine->runJobPass();
  ASSERT_EQ(job->result, kJobSucceeded);
  EXPECT_EQ(files.contents(job->finishedPath), body->bytes());
}

TEST_F(JobPassTest, APieceLongerThanTheFileIsCutByJoining) {
  store(kPieceA, body->bytes(0, 1000) + "trailing");
  TransferJob* job = resume("1000\t0\t" + kPieceA + "\t");
  engine->runJobPass();
  ASSERT_EQ(job->result, kJobSucceeded);
  EXPECT_EQ(job->finalSize, 1000);
  EXPECT_EQ(files.contents(job->finishedPath), body->bytes());
}

TEST_F(JobPassTest, AJoinThatCannotReadAPieceFailsWithCannotSaveAndLeavesNoFile) {
  store(kPieceA, body->bytes(0, 600));
  store(kPieceB, body->bytes(600, 400));
  files.failOperation(FakeFiles::Op::kMap, os_error::kAccessDenied, kPieceB);
  TransferJob* job = resume("1000\t600\t" + kPieceB + "\t0\t" + kPieceA + "\t");
  engine->runJobPass();
  EXPECT_EQ(job->result, kJobFailed);
  EXPECT_EQ(job->errorText, "Cannot Save");
  EXPECT_TRUE(pieceFiles().empty());
}

class LargeJoinTest : public JobPassTest {
 protected:
  // A small first piece and one that takes more than a pass to copy onto it.
  TransferJob* resumeLarge() {
    store(kPieceA, std::string(1000, 'a'));
    store(kPieceB, std::string(static_cast<size_t>(large), 'b'));
    return resume(std::to_string(total) + "\t1000\t" + kPieceB + "\t0\t" + kPieceA + "\t");
  }
  bool isWhole(const std::string& path) {
    const std::optional<std::string> bytes = files.contents(path);
    return bytes && *bytes == std::string(1000, 'a') + std::string(static_cast<size_t>(large), 'b');
  }
  const int64_t large = TransferEngine::kJoinBytesPerPass * 5 / 4;
  const int64_t total = 1000 + large;
};

TEST_F(LargeJoinTest, AJoinLargerThanOnePassGoesOnInTheNextPassesAndLeavesOneFile) {
  TransferJob* job = resumeLarge();
  const uint64_t wakesBefore = wakes;
  engine->runJobPass();
  // One pass wrote its share and asked for the next pass at once.
  EXPECT_EQ(job->result, kJobNoResult);
  EXPECT_GT(wakes, wakesBefore);
  EXPECT_EQ(files.contents(kPieceA)->size(), 1000 + TransferEngine::kJoinBytesPerPass);
  EXPECT_EQ(job->bytesGot, total);
  EXPECT_EQ(job->running, 0);
  engine->runJobPass();
  ASSERT_EQ(job->result, kJobSucceeded);
  EXPECT_EQ(job->finalSize, total);
  EXPECT_TRUE(isWhole(job->finishedPath));
  EXPECT_EQ(pieceFiles(), std::vector<std::string>{job->finishedPath});
}

TEST_F(LargeJoinTest, AJoinCutShortByTheEndOfTheProgramIsResumedFromThePieces) {
  TransferJob* job = resumeLarge();
  engine->runJobPass();
  ASSERT_EQ(job->result, kJobNoResult);
  // The first piece holds more of the file now (the join's bytes, in order); both are
  // kept, newest first.
  const std::string text = engine->destroyJob(job, true);
  EXPECT_EQ(text, std::to_string(total) + "\t0\t" + kPieceA + "\t1000\t" + kPieceB + "\t");
  EXPECT_EQ(pieceFiles(), (std::vector<std::string>{kPieceA, kPieceB}));

  TransferJob* again = resume(text);
  EXPECT_EQ(again->bytesGot, total);
  ASSERT_TRUE(passUntilResult(*again));
  ASSERT_EQ(again->result, kJobSucceeded);
  EXPECT_TRUE(isWhole(again->finishedPath));
  EXPECT_EQ(pieceFiles(), std::vector<std::string>{again->finishedPath});
}

TEST_F(JobPassTest, CountsCoveredBytesAndMapsTheCoveredRuns) {
  store(kPieceA, body->bytes(0, 300));
  store(kPieceB, body->bytes(500, 200));
  TransferJob* job = resume("1000\t0\t" + kPieceA + "\t500\t" + kPieceB + "\t");
  EXPECT_EQ(job->workers.size(), 2u);
  EXPECT_EQ(job->bytesGot, 500);
  EXPECT_EQ(job->pieceMap, "1000,0,300,500,200");
  engine->runJobPass();
  EXPECT_EQ(job->result, kJobNoResult);
  EXPECT_EQ(job->running, 0);
  EXPECT_FALSE(isRunning(*job));
}

TEST_F(JobPassTest, WhenWantedItStartsAWorkerAtEveryGap) {
  store(kPieceA, body->bytes(0, 300));
  store(kPieceB, body->bytes(500, 200));
  serve(body);
  TransferJob* job = resume("1000\t0\t" + kPieceA + "\t500\t" + kPieceB + "\t");
  job->wanted = 2;
  engine->runJobPass();
  EXPECT_EQ(job->started, 2);
  EXPECT_EQ(job->wanted, 0);
  ASSERT_EQ(job->workers.size(), 4u);
  EXPECT_EQ(locked([&] { return job->workers[0]->start; }), 700);
  EXPECT_EQ(locked([&] { return job->workers[1]->start; }), 300);
  ASSERT_TRUE(passUntilResult(*job));
  EXPECT_EQ(job->result, kJobSucceeded);
  EXPECT_EQ(files.contents(job->finishedPath), body->bytes());
}

TEST_F(JobPassTest, AStoredPieceOfAFileOfUnknownSizeIsFetchedAgainFromTheStart) {
  store(kPieceA, "partial");
  serve(body, "h", [](const FakeRequest&, FakeReply& reply) { reply.sendContentLength = false; });
  TransferJob* job = resume("-1\t0\t" + kPieceA + "\t");
  EXPECT_EQ(job->bytesGot, 7);
  EXPECT_EQ(job->pieceMap, "");
  job->wanted = 1;
  ASSERT_TRUE(passUntilResult(*job));
  EXPECT_EQ(job->result, kJobSucceeded);
  EXPECT_EQ(internet.requests().at(0).headers, "");
  EXPECT_EQ(files.contents(job->finishedPath), body->bytes());
  EXPECT_FALSE(files.isFile(kPieceA));
}

// --- splitting, catching up and stalls ---

TEST_F(JobPassTest, ASecondConnectionStartsSevenTwelfthsIntoTheFileAndTheFirstStopsThere) {
  auto file = FakeBody::pattern(1200);
  const int gate = internet.makeGate(0);
  serve(file, "h", [gate](const FakeRequest& request, FakeReply& reply) {
    if (request.rangeStart < 0) reply.gate = gate;
  });
  TransferJob* job = engine->createJob(web(), kFolder, "");
  job->wanted = 1;
  engine->runJobPass();
  ASSERT_TRUE(internet.waitForBlockedCalls(1));  // headers in, no byte yet
  engine->runJobPass();
  ASSERT_EQ(job->totalSize, 1200);

  job->wanted = 1;  // a second Get
  engine->runJobPass();
  ASSERT_EQ(job->workers.size(), 2u);
  EXPECT_EQ(locked([&] { return job->workers[0]->start; }), 700);
  ASSERT_TRUE(waitFor([&] { return stateOf(*job, 0) == WorkerState::Complete; }));
  EXPECT_EQ(internet.requests().at(1).headers, "Range: bytes=700-\r\n");
  EXPECT_EQ(job->pieceMap, "1200");  // counted before the second worker had any data

  // The first worker gets past 700, into the second one's piece.
  const uint64_t events = internet.blockEvents();
  internet.allow(gate, 800);
  ASSERT_TRUE(internet.waitForBlockEvents(events + 1));
  ASSERT_EQ(writtenOf(*job, 1), 800);
  engine->runJobPass();
  EXPECT_EQ(stateOf(*job, 1), WorkerState::Stopped);
  EXPECT_EQ(job->wanted, 1);  // the job goes on by itself
  engine->runJobPass();
  ASSERT_EQ(job->result, kJobSucceeded);
  EXPECT_EQ(files.contents(job->finishedPath), file->bytes());
}

class StallTest : public JobPassTest {
 protected:
  // One worker waiting for a reply that never comes, until it is stopped.
  TransferJob* startStalled() {
    serve(body, "h", [this](const FakeRequest&, FakeReply& reply) {
      if (++asked <= stalls) reply.stallBeforeReply = true;
    });
    TransferJob* job = engine->createJob(web(), kFolder, "");
    job->wanted = 1;
    engine->runJobPass();
    EXPECT_TRUE(internet.waitForBlockedCalls(1));
    return job;
  }
  std::atomic<int> asked = 0;
  int stalls = 1;  // how many requests stall
};

TEST_F(StallTest, AWorkerSilentFor89SecondsIsLeftAlone) {
  TransferJob* job = startStalled();
  clock.advance(89000);
  engine->runJobPass();
  EXPECT_EQ(stateOf(*job, 0), WorkerState::Running);
  EXPECT_EQ(job->running, 1);
  EXPECT_EQ(job->lastActivity.elapsed(clock), 89000);
}

TEST_F(StallTest, AWorkerSilentFor91SecondsIsStoppedAndItsRangeFetchedAgain) {
  TransferJob* job = startStalled();
  clock.advance(91000);
  engine->runJobPass();
  // Stopped, and with nothing written, gone with its piece file.
  EXPECT_TRUE(job->workers.empty());
  EXPECT_TRUE(pieceFiles().empty());
  EXPECT_EQ(job->running, 0);
  EXPECT_FALSE(isRunning(*job));
  job->wanted = 1;  // the scheduler starts it again
  ASSERT_TRUE(passUntilResult(*job));
  EXPECT_EQ(job->result, kJobSucceeded);
  EXPECT_EQ(files.contents(job->finishedPath), body->bytes());
  EXPECT_EQ(internet.openHandles(), 0);
}

TEST_F(StallTest, AWorkerStalledInTheMiddleIsContinuedFromWhatItWrote) {
  auto file = FakeBody::pattern(60000, 5);
  serve(file, "h", [this](const FakeRequest&, FakeReply& reply) {
    if (++asked == 1) reply.stallAt = 30000;
  });
  TransferJob* job = engine->createJob(web(), kFolder, "");
  job->wanted = 1;
  engine->runJobPass();
  ASSERT_TRUE(internet.waitForBlockedCalls(1));
  clock.advance(91000);
  engine->runJobPass();
  ASSERT_EQ(stateOf(*job, 0), WorkerState::Stopped);
  // What was received but not yet written is lost with the connection.
  const int64_t written = writtenOf(*job, 0);
  EXPECT_GT(written, 0);
  EXPECT_LT(written, 30000);

  job->wanted = 1;
  ASSERT_TRUE(passUntilResult(*job));
  ASSERT_EQ(job->result, kJobSucceeded);
  EXPECT_EQ(internet.requests().back().headers,
            "Range: bytes=" + std::to_string(written) + "-\r\n");
  EXPECT_EQ(files.contents(job->finishedPath), file->bytes());
}

TEST_F(StallTest, TheLatestActivityIsFoundAcrossTheWrapOfTheTickCounter) {
  stalls = 2;
  clock.set(0xFFFFFFF0u);
  TransferJob* job = startStalled();
  clock.set(0x10);
  locked([&] { return engine->createWorker(*job, 500, ""); });
  ASSERT_TRUE(internet.waitForBlockedCalls(2));
  engine->runJobPass();
  EXPECT_EQ(job->running, 2);
  EXPECT_EQ(job->lastActivity.tick, 0x10u);
  EXPECT_EQ(job->lastActivity.elapsed(clock), 0);
}

// --- flushing ---

TEST_F(JobPassTest, TheFirstDataIsWrittenAtOnceAndTheRestAtMostEvery250Ms) {
  auto file = FakeBody::pattern(3 << 20);
  const int gate = internet.makeGate(300);
  serve(file, "h", [gate](const FakeRequest&, FakeReply& reply) { reply.gate = gate; });
  TransferJob* job = engine->createJob(web(), kFolder, "");
  job->wanted = 1;
  engine->runJobPass();
  ASSERT_TRUE(internet.waitForBlockEvents(1));
  EXPECT_EQ(writtenOf(*job, 0), 300);

  uint64_t events = internet.blockEvents();
  internet.allow(gate, 100000);
  ASSERT_TRUE(internet.waitForBlockEvents(events + 1));
  EXPECT_GT(internet.deliveredBytes(), 300);
  EXPECT_EQ(writtenOf(*job, 0), 300);  // held in memory: not 250 ms yet

  // After 250 ms the next read writes everything that arrived before.
  const int64_t held = internet.deliveredBytes();
  clock.advance(250);
  events = internet.blockEvents();
  internet.allow(gate, 200000);
  ASSERT_TRUE(internet.waitForBlockEvents(events + 1));
  EXPECT_GE(writtenOf(*job, 0), held);
}

TEST_F(JobPassTest, AMebibyteWaitingIsWrittenEvenWithin250Ms) {
  auto file = FakeBody::pattern(6 << 20);
  const int gate = internet.makeGate(1);
  serve(file, "h", [gate](const FakeRequest&, FakeReply& reply) { reply.gate = gate; });
  TransferJob* job = engine->createJob(web(), kFolder, "");
  job->wanted = 1;
  engine->runJobPass();
  ASSERT_TRUE(internet.waitForBlockEvents(1));
  ASSERT_EQ(writtenOf(*job, 0), 1);

  // The clock stands still: only the size bound can make it write.
  const uint64_t events = internet.blockEvents();
  internet.allow(gate, 4 << 20);
  ASSERT_TRUE(internet.waitForBlockEvents(events + 1));
  const int64_t delivered = internet.deliveredBytes();
  const int64_t written = writtenOf(*job, 0);
  EXPECT_GE(written, 1 + (1 << 20));
  EXPECT_LT(delivered - written, 1 << 20);

  internet.openGate(gate);
  ASSERT_TRUE(passUntilResult(*job));
  EXPECT_EQ(files.contents(job->finishedPath), file->bytes());
}

// --- replies held in memory ---

// A held reply makes no file. One that outgrows the bound after part of it was held, or
// whose connection ends early, goes on in a piece file, the rest fetched as any piece's.
TEST_F(JobPassTest, AHeldReplyMakesNoFileUnlessItOutgrowsTheBoundOrBreaks) {
  struct Case {
    int64_t held;
    int64_t endAt;  // the first reply ends here; -1: whole
    bool inMemory;
  } cases[] = {{1000, -1, true}, {700, -1, false}, {1000, 600, false}};
  for (const Case& c : cases) {
    const int gate = internet.makeGate(600);
    auto asked = std::make_shared<std::atomic<int>>(0);
    serve(body, "h", [asked, gate, endAt = c.endAt](const FakeRequest&, FakeReply& reply) {
      if (++*asked == 1) reply.endAt = endAt;
      reply.gate = gate;
    });
    TransferJob* job = engine->createJob(web(), kFolder, "");
    job->mostBytesHeld = c.held;
    job->wanted = 1;
    const uint64_t events = internet.blockEvents();
    engine->runJobPass();
    // The gate, or the end of the first reply, stops the first 600 bytes, which are held.
    ASSERT_TRUE(c.endAt < 0 ? internet.waitForBlockEvents(events + 1)
                            : waitFor([&] { return allFinal(*job); }));
    EXPECT_EQ(writtenOf(*job, 0), 600) << c.held;
    EXPECT_TRUE(pieceFiles().empty()) << c.held;
    internet.openGate(gate);
    ASSERT_TRUE(waitFor([&] {
      engine->runJobPass();
      // As its owner does, the job is asked to go on when it stopped short.
      if (job->result == kJobNoResult && !isRunning(*job)) {
        job->wanted = 1;
        engine->runJobPass();
      }
      return job->result != kJobNoResult;
    }));
    ASSERT_EQ(job->result, kJobSucceeded) << c.held;
    EXPECT_EQ(job->finalSize, 1000);
    if (c.inMemory) {
      EXPECT_EQ(job->finishedBytes, body->bytes());
      EXPECT_TRUE(pieceFiles().empty());
    } else {
      EXPECT_EQ(job->finishedBytes, "") << c.held;
      EXPECT_EQ(files.contents(job->finishedPath), body->bytes()) << c.held;
      EXPECT_EQ(pieceFiles(), std::vector<std::string>{job->finishedPath});
      if (c.endAt > 0) EXPECT_EQ(internet.requests().back().headers, "Range: bytes=600-\r\n");
    }
    const std::string finished = job->finishedPath;
    engine->destroyJob(job, false);
    if (!finished.empty()) files.deleteFile(finished);
  }
}

// --- pause, destroy, resume ---

TEST_F(JobPassTest, PausingAJobOfKnownSizeStopsItsWorkersAndKeepsTheirPieces) {
  const int gate = internet.makeGate(400);
  serve(body, "h", [gate](const FakeRequest&, FakeReply& reply) { reply.gate = gate; });
  TransferJob* job = engine->createJob(web(), kFolder, "");
  job->wanted = 1;
  engine->runJobPass();
  ASSERT_TRUE(internet.waitForBlockEvents(1));
  engine->runJobPass();
  ASSERT_EQ(job->totalSize, 1000);

  engine->pauseJob(*job);
  EXPECT_EQ(job->wanted, 0);
  EXPECT_EQ(job->started, 0);
  EXPECT_EQ(job->running, 0);
  EXPECT_FALSE(isRunning(*job));
  ASSERT_EQ(job->workers.size(), 1u);
  EXPECT_EQ(stateOf(*job, 0), WorkerState::Stopped);
  EXPECT_EQ(files.contents(pathOf(*job, 0)), body->bytes(0, 400));
  EXPECT_EQ(job->pieceMap, "1000,0,400");
}

TEST_F(JobPassTest, PausingAJobOfUnknownSizeDeletesItsPieces) {
  const int gate = internet.makeGate(400);
  serve(body, "h", [gate](const FakeRequest&, FakeReply& reply) {
    reply.gate = gate;
    reply.sendContentLength = false;
  });
  TransferJob* job = engine->createJob(web(), kFolder, "");
  job->wanted = 1;
  engine->runJobPass();
  ASSERT_TRUE(internet.waitForBlockEvents(1));
  engine->pauseJob(*job);
  EXPECT_TRUE(job->workers.empty());
  EXPECT_TRUE(pieceFiles().empty());
  EXPECT_EQ(job->bytesGot, 0);
}

TEST_F(JobPassTest, PausingAJobWithAResultChangesNothing) {
  serve(body);
  TransferJob* job = engine->createJob(web(), kFolder, "");
  job->wanted = 1;
  ASSERT_TRUE(passUntilResult(*job));
  job->wanted = 3;
  engine->pauseJob(*job);
  EXPECT_EQ(job->wanted, 3);
  EXPECT_EQ(job->workers.size(), 1u);
}

TEST_F(JobPassTest, DestroyingWithAResumeTextKeepsAndListsEveryNonEmptyPiece) {
  store(kPieceA, body->bytes(0, 300));
  store(kPieceB, body->bytes(500, 200));
  TransferJob* job = resume("1000\t0\t" + kPieceA + "\t500\t" + kPieceB + "\t");
  locked([&] { return engine->createWorker(*job, 900, ""); });  // fails to connect, empty
  const std::string text = engine->destroyJob(job, true);
  // Newest first, as the worker list holds them, in the form they were read in: nothing
  // else writes into an earlier release's piece.
  EXPECT_EQ(text, "1000\t500\t" + kPieceB + "\t0\t" + kPieceA + "\t");
  EXPECT_TRUE(files.isFile(kPieceA));
  EXPECT_TRUE(files.isFile(kPieceB));
  EXPECT_EQ(pieceFiles().size(), 2u);
  EXPECT_TRUE(engine->jobs().empty());
}

TEST_F(JobPassTest, TheResumeTextOfARunningJobListsItsPiecesAndLeavesItRunning) {
  const int gate = internet.makeGate(400);
  serve(body, "h", [gate](const FakeRequest&, FakeReply& reply) { reply.gate = gate; });
  TransferJob* job = engine->createJob(web(), kFolder, "");
  EXPECT_EQ(engine->resumeText(*job), "-1\t");
  job->wanted = 1;
  engine->runJobPass();
  ASSERT_TRUE(internet.waitForBlockEvents(1));
  engine->runJobPass();
  const std::string piece = pathOf(*job, 0);
  EXPECT_EQ(engine->resumeText(*job),
            "1000\tspan\t0,0," + std::to_string(writtenOf(*job, 0)) + "," + piece + "\t");
  EXPECT_EQ(stateOf(*job, 0), WorkerState::Running);

  internet.openGate(gate);
  ASSERT_TRUE(passUntilResult(*job));
  EXPECT_EQ(files.contents(job->finishedPath), body->bytes());
  // Until its item takes the finished file, the job names it as the whole file.
  EXPECT_EQ(engine->resumeText(*job), "1000\tspan\t0,0,1000," + job->finishedPath + "\t");
}

TEST_F(JobPassTest, DestroyingWithoutAResumeTextDeletesEveryPiece) {
  store(kPieceA, body->bytes(0, 300));
  store(kPieceB, body->bytes(500, 200));
  TransferJob* job = resume("1000\t0\t" + kPieceA + "\t500\t" + kPieceB + "\t");
  EXPECT_EQ(engine->destroyJob(job, false), "");
  EXPECT_TRUE(pieceFiles().empty());
}

TEST_F(JobPassTest, AResumeTextWhosePiecesAreGoneBringsBackNothing) {
  store(kPieceA, "");
  TransferJob* job = resume("1000\t0\t" + kPieceA + "\t500\t" + kPieceB + "\t");
  EXPECT_TRUE(job->workers.empty());
  EXPECT_EQ(job->totalSize, -1);
}

TEST_F(JobPassTest, AResumeTextNeverAdoptsAFileThatIsNoPieceFile) {
  // A damaged queue database must not make the engine delete the user's files.
  store("C:\\dl\\thesis.doc", "precious");
  TransferJob* job = resume("8\t0\tC:\\dl\\thesis.doc\t");
  EXPECT_TRUE(job->workers.empty());
  engine->destroyJob(job, false);
  EXPECT_EQ(files.contents("C:\\dl\\thesis.doc"), "precious");
}

TEST_F(JobPassTest, AResumeTextListingOnePieceTwiceAdoptsItOnce) {
  store(kPieceA, body->bytes(0, 300));
  TransferJob* job = resume("1000\t0\t" + kPieceA + "\t0\t" + kPieceA + "\t");
  EXPECT_EQ(job->workers.size(), 1u);
}

TEST_F(JobPassTest, ATransferPausedByDestroyingContinuesFromItsResumeText) {
  auto file = FakeBody::pattern(100000, 7);
  int asked = 0;
  serve(file, "h", [&asked](const FakeRequest&, FakeReply& reply) {
    if (++asked == 1) reply.endAt = 40000;  // the program ends here, as it were
  });
  TransferJob* job = engine->createJob(web(), kFolder, "");
  job->wanted = 1;
  ASSERT_TRUE(waitFor([&] {
    engine->runJobPass();
    return !job->workers.empty() && allFinal(*job);
  }));
  engine->runJobPass();
  ASSERT_EQ(job->bytesGot, 40000);
  const std::string text = engine->destroyJob(job, true);
  ASSERT_EQ(pieceFiles().size(), 1u);
  const std::string stored = pieceFiles()[0];
  EXPECT_EQ(text, "100000\tspan\t0,0,40000," + stored + "\t");

  TransferJob* again = engine->createJob(web(), kFolder, text);
  EXPECT_EQ(again->totalSize, 100000);
  EXPECT_EQ(again->bytesGot, 40000);
  again->wanted = 1;
  ASSERT_TRUE(passUntilResult(*again));
  ASSERT_EQ(again->result, kJobSucceeded);
  EXPECT_EQ(internet.requests().back().headers, "Range: bytes=40000-\r\n");
  EXPECT_EQ(files.contents(again->finishedPath), file->bytes());
  // The rest was written on after the stored piece, which is now the whole file.
  EXPECT_EQ(again->finishedPath, stored);
  EXPECT_EQ(pieceFiles(), std::vector<std::string>{stored});
}

}  // namespace
