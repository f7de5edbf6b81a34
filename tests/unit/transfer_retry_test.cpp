// A download rides out broken connections and servers that are away: the waits between
// attempts, the give-up after ten minutes without a byte, no empty piece files, and the
// checked resume (If-Range) that never joins pieces of two versions of a file.
#include <gtest/gtest.h>

#include <atomic>

#include "engine_test_support.h"
#include "transfer/retry.h"

namespace {

class RetryTest : public EngineTest {
 protected:
  TransferJob* download(const std::string& resumeText = "") {
    TransferJob* job = engine->createJob(web(), kFolder, resumeText);
    job->keepTrying = true;
    job->wanted = 1;
    return job;
  }
  // Passes until the job waits to try again (or has a result).
  bool passUntilWaiting(TransferJob& job) {
    return waitFor([&] {
      engine->runJobPass();
      return job.retry.waiting > 0 || job.result != kJobNoResult;
    });
  }
  // Moves the clock to the end of the wait and passes until the next attempt has ended.
  bool waitOutAndFailAgain(TransferJob& job) {
    clock.advance(static_cast<uint32_t>(job.retry.waitMs));
    engine->runJobPass();
    if (job.retry.waiting != 0) return false;
    return passUntilWaiting(job);
  }
  // A server that answers with a size and closes before the body, every time.
  void serveTruncated(int64_t size) {
    internet.setServer("h", 80, [this, size](const FakeRequest& request) {
      ++asked;
      FakeReply reply = FakeInternet::fileReply(request, FakeBody::pattern(size));
      reply.endAt = 0;
      return reply;
    });
  }

  std::atomic<int> asked = 0;
};

TEST(RetryDelay, DoublesFromTwoSecondsToAMinuteWithASpreadOfATenth) {
  int64_t delay = 0;
  for (int64_t expected : {2000, 4000, 8000, 16000, 32000, 60000, 60000}) {
    delay = nextRetryDelay(delay);
    EXPECT_EQ(delay, expected);
  }
  EXPECT_EQ(spreadRetryDelay(10000, "00000000000000000000000000000000"), 9000);
  EXPECT_EQ(spreadRetryDelay(10000, "000000000000000000000000000003e8"), 10000);  // 1000
  EXPECT_EQ(spreadRetryDelay(10000, "000000000000000000000000000007d0"), 11000);  // 2000
  EXPECT_EQ(spreadRetryDelay(10000, ""), 10000);
  EXPECT_EQ(spreadRetryDelay(10000, "0000000000000000000000000000zzzz"), 10000);
  EXPECT_EQ(retrySecondsLeft(8000, 0), 8);
  EXPECT_EQ(retrySecondsLeft(8000, 1), 8);
  EXPECT_EQ(retrySecondsLeft(8000, 7001), 1);
  EXPECT_EQ(retrySecondsLeft(8000, 9000), 1);
}

TEST_F(RetryTest, AServerThatClosesBeforeTheBodyIsAskedAgainAfterWaitsThatDouble) {
  serveTruncated(5000);
  TransferJob* job = download();
  ASSERT_TRUE(passUntilWaiting(*job));
  for (int64_t delay : {2000, 4000, 8000, 16000, 32000, 60000, 60000}) {
    const int before = asked;
    EXPECT_EQ(job->retry.nextDelayMs, delay);
    EXPECT_GE(job->retry.waitMs, delay * 9 / 10);
    EXPECT_LE(job->retry.waitMs, delay * 11 / 10);
    // Nothing is asked before the wait is over, and one request when it is.
    clock.advance(static_cast<uint32_t>(job->retry.waitMs - 1));
    engine->runJobPass();
    EXPECT_EQ(asked, before);
    EXPECT_TRUE(isRunning(*job));
    clock.advance(1);
    ASSERT_TRUE(passUntilWaiting(*job));
    EXPECT_EQ(asked, before + 1);
    // No empty file is left behind, nor an ended worker.
    EXPECT_TRUE(pieceFiles().empty());
    EXPECT_TRUE(job->workers.empty());
  }
  EXPECT_EQ(job->result, kJobNoResult);
}

TEST_F(RetryTest, BytesWrittenAgainBringTheWaitBackToTwoSeconds) {
  auto body = FakeBody::pattern(100000);
  std::atomic<int> nth = 0;
  // Three empty replies, then one that breaks after 30,000 bytes, then empty ones again.
  serve(body, "h", [&nth](const FakeRequest&, FakeReply& reply) {
    const int n = ++nth;
    if (n == 4) {
      reply.dropAt = 30000;
    } else {
      reply.endAt = 0;
    }
  });
  TransferJob* job = download();
  ASSERT_TRUE(passUntilWaiting(*job));
  ASSERT_TRUE(waitOutAndFailAgain(*job));
  ASSERT_TRUE(waitOutAndFailAgain(*job));
  EXPECT_EQ(job->retry.nextDelayMs, 8000);
  // The fourth attempt writes bytes and breaks: the fifth follows at once, finds nothing
  // and waits 2 s.
  ASSERT_TRUE(waitOutAndFailAgain(*job));
  EXPECT_EQ(nth, 5);
  EXPECT_EQ(job->retry.nextDelayMs, 2000);
  // What reached the disk before the break (what was still in memory is lost with it).
  ASSERT_GT(job->bytesGot, 0);
  EXPECT_EQ(internet.requests().back().headers,
            "Range: bytes=" + std::to_string(job->bytesGot) + "-\r\n");
}

TEST_F(RetryTest, TheJobGivesUpOnlyAfterTenMinutesWithoutAByteAndKeepsItsPieces) {
  auto body = FakeBody::pattern(100000);
  std::atomic<bool> back = false;
  // 40,000 bytes, then the server closes; after that it closes before the body until it is
  // back.
  serve(body, "h", [this, &back](const FakeRequest&, FakeReply& reply) {
    if (back) return;
    if (++asked == 1) {
      reply.endAt = 40000;
    } else {
      reply.endAt = 0;
    }
  });
  TransferJob* job = download();
  ASSERT_TRUE(passUntilWaiting(*job));
  ASSERT_EQ(job->bytesGot, 40000);
  const uint32_t began = clock.tickCount();
  // Attempts go on while less than ten minutes have passed since the last byte.
  while (static_cast<uint32_t>(clock.tickCount() - began) + job->retry.waitMs < kGiveUpAfterMs) {
    ASSERT_TRUE(waitOutAndFailAgain(*job));
    ASSERT_EQ(job->result, kJobNoResult);
  }
  ASSERT_TRUE(waitOutAndFailAgain(*job));
  ASSERT_EQ(job->result, kJobFailed);
  EXPECT_EQ(job->errorText, "Cannot Connect");
  EXPECT_TRUE(job->keptPieces);
  ASSERT_EQ(pieceFiles().size(), 1u);
  EXPECT_EQ(files.contents(pieceFiles()[0]), body->bytes(0, 40000));
  EXPECT_LT(asked, 20);

  // Reopened, it waits for a Get, then goes on from the piece.
  engine->reopenJob(*job);
  EXPECT_EQ(job->result, kJobNoResult);
  EXPECT_FALSE(isRunning(*job));
  EXPECT_EQ(job->bytesGot, 40000);
  back = true;
  job->wanted = 1;
  ASSERT_TRUE(passUntilResult(*job));
  ASSERT_EQ(job->result, kJobSucceeded);
  EXPECT_EQ(internet.requests().back().headers, "Range: bytes=40000-\r\n");
  EXPECT_EQ(files.contents(job->finishedPath), body->bytes());
}

TEST_F(RetryTest, ARefusedCertificateFailsAtOnceAndKeepsThePiecesLikeAGiveUp) {
  auto body = FakeBody::pattern(100000);
  std::atomic<bool> back = false;
  // 40,000 bytes, then closes before the body until it is back.
  internet.setServer("h", 443, [this, body, &back](const FakeRequest& request) {
    FakeReply reply = FakeInternet::fileReply(request, body);
    if (!back) reply.endAt = ++asked == 1 ? 40000 : 0;
    return reply;
  });
  TransferJob* job = engine->createJob(address("https://", "h"), kFolder, "");
  job->keepTrying = true;
  job->wanted = 1;
  ASSERT_TRUE(passUntilWaiting(*job));
  ASSERT_EQ(job->bytesGot, 40000);
  // The server comes back with another certificate: the next attempt is refused.
  back = true;
  internet.setCertificateFault("h", 443, CertificateFault::kNotTrusted);
  clock.advance(static_cast<uint32_t>(job->retry.waitMs));
  ASSERT_TRUE(passUntilResult(*job));
  EXPECT_EQ(job->errorText, "Certificate Not Trusted");
  EXPECT_TRUE(job->keptPieces);
  ASSERT_EQ(pieceFiles().size(), 1u);
  EXPECT_EQ(files.contents(pieceFiles()[0]), body->bytes(0, 40000));

  // The site accepted, a Get goes on from the piece.
  engine->reopenJob(*job);
  EXPECT_EQ(job->bytesGot, 40000);
  job->address.acceptCertificateErrors = true;
  job->wanted = 1;
  ASSERT_TRUE(passUntilResult(*job));
  ASSERT_EQ(job->result, kJobSucceeded);
  EXPECT_EQ(internet.requests().back().headers, "Range: bytes=40000-\r\n");
  EXPECT_EQ(files.contents(job->finishedPath), body->bytes());
}

TEST_F(RetryTest, AJobThatDoesNotKeepTryingStillFailsAtTheFirstBrokenConnection) {
  serve(FakeBody::pattern(100000), "h",
        [](const FakeRequest&, FakeReply& reply) { reply.dropAt = 50000; });
  TransferJob* job = engine->createJob(web(), kFolder, "");
  job->wanted = 1;
  ASSERT_TRUE(passUntilResult(*job));
  EXPECT_EQ(job->errorText, "Cannot Connect");
  EXPECT_FALSE(job->keptPieces);
  EXPECT_TRUE(pieceFiles().empty());
}

TEST_F(RetryTest, AConnectionThatFailsBesideOthersIsTriedAgainWhileTheyGoOn) {
  auto body = FakeBody::pattern(120000);
  const int gate = internet.makeGate(0);
  std::atomic<int> ranged = 0;
  // The first connection runs as its gate allows; the first range request finds no body.
  serve(body, "h", [&](const FakeRequest& request, FakeReply& reply) {
    if (request.rangeStart < 0) {
      reply.gate = gate;
    } else if (++ranged == 1) {
      reply.endAt = 0;
    }
  });
  TransferJob* job = download();
  engine->runJobPass();
  ASSERT_TRUE(internet.waitForBlockedCalls(1));
  engine->runJobPass();
  job->wanted = 1;  // a second Get
  ASSERT_TRUE(passUntilWaiting(*job));
  EXPECT_EQ(job->running, 1);
  EXPECT_EQ(locked([&] { return job->workers.size(); }), 1u);
  clock.advance(static_cast<uint32_t>(job->retry.waitMs));
  engine->runJobPass();
  ASSERT_EQ(locked([&] { return job->workers.size(); }), 2u);
  EXPECT_EQ(locked([&] { return job->workers[0]->start; }), 70000);
  internet.openGate(gate);
  ASSERT_TRUE(passUntilResult(*job));
  ASSERT_EQ(job->result, kJobSucceeded);
  EXPECT_EQ(files.contents(job->finishedPath), body->bytes());
}

TEST_F(RetryTest, PausingAWaitingJobEndsTheWait) {
  serveTruncated(5000);
  TransferJob* job = download();
  ASSERT_TRUE(passUntilWaiting(*job));
  engine->pauseJob(*job);
  EXPECT_FALSE(isRunning(*job));
  clock.advance(600000);
  engine->runJobPass();
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(job->result, kJobNoResult);
}

// --- the version of the file ---

class VersionTest : public RetryTest {
 protected:
  // A server with ETag and If-Range as a file server has them: the older version until
  // `changed`, its first whole reply cut off after 30,000 bytes.
  void serveVersions() {
    internet.setServer("h", 80, [this](const FakeRequest& request) {
      const bool second = changed;
      auto body = second ? newer : older;
      const std::string tag = second ? "\"v2\"" : "\"v1\"";
      FakeRequest served = request;
      const size_t at = request.headers.find("If-Range: ");
      if (at != std::string::npos &&
          request.headers.substr(at + 10, request.headers.find("\r\n", at) - at - 10) != tag) {
        served.rangeStart = -1;  // another version: the whole file
      }
      FakeReply reply = FakeInternet::fileReply(served, body);
      reply.headers.push_back("ETag: " + tag);
      if (!second && served.rangeStart < 0) reply.endAt = 30000;
      return reply;
    });
  }
  std::shared_ptr<const FakeBody> older = FakeBody::pattern(80000, 1);
  std::shared_ptr<const FakeBody> newer = FakeBody::pattern(90000, 2);
  std::atomic<bool> changed = false;
};

TEST_F(VersionTest, TheFirstRepliesVersionIsSentWithEveryRangeAndKeptInTheResumeText) {
  serveVersions();
  TransferJob* job = download();
  ASSERT_TRUE(passUntilResult(*job));
  ASSERT_EQ(job->result, kJobSucceeded);
  EXPECT_EQ(job->validator, "\"v1\"");
  EXPECT_EQ(internet.requests().back().headers, "Range: bytes=30000-\r\nIf-Range: \"v1\"\r\n");
  EXPECT_EQ(files.contents(job->finishedPath), older->bytes());
}

TEST_F(VersionTest, AFileChangedBetweenTwoRunsIsFetchedWholeAndNeverJoined) {
  serveVersions();
  // A first run that ends after the cut-off reply.
  TransferJob* job = engine->createJob(web(), kFolder, "");
  job->wanted = 1;
  ASSERT_TRUE(waitFor([&] {
    engine->runJobPass();
    return job->bytesGot == 30000 && allFinal(*job);
  }));
  const std::string text = engine->destroyJob(job, true);
  EXPECT_EQ(text.substr(text.size() - 15), "validator\t\"v1\"\t");

  changed = true;
  TransferJob* again = download(text);
  EXPECT_EQ(again->validator, "\"v1\"");
  ASSERT_TRUE(passUntilResult(*again));
  ASSERT_EQ(again->result, kJobSucceeded);
  const std::vector<FakeRequest> sent = internet.requests();
  EXPECT_EQ(sent[sent.size() - 2].headers, "Range: bytes=30000-\r\nIf-Range: \"v1\"\r\n");
  EXPECT_EQ(sent.back().headers, "");
  EXPECT_EQ(again->validator, "\"v2\"");
  EXPECT_EQ(files.contents(again->finishedPath), newer->bytes());
  EXPECT_EQ(pieceFiles(), std::vector<std::string>{again->finishedPath});
}

TEST_F(VersionTest, ARangeOfAnotherVersionFromAServerThatIgnoresIfRangeIsNeverJoined) {
  serveVersions();
  TransferJob* job = engine->createJob(web(), kFolder, "");
  job->wanted = 1;
  ASSERT_TRUE(waitFor([&] {
    engine->runJobPass();
    return job->bytesGot == 30000 && allFinal(*job);
  }));
  // Now the server sends ranges of the new version, whatever If-Range says.
  internet.setServer("h", 80, [](const FakeRequest& request) {
    FakeReply reply = FakeInternet::fileReply(request, FakeBody::pattern(80000, 3));
    reply.headers.push_back(request.rangeStart < 0 ? "ETag: \"v2\"" : "ETag: \"v3\"");
    return reply;
  });
  job->wanted = 1;
  ASSERT_TRUE(passUntilResult(*job));
  ASSERT_EQ(job->result, kJobSucceeded);
  EXPECT_EQ(files.contents(job->finishedPath), FakeBody::pattern(80000, 3)->bytes());
}

}  // namespace
