// A worker's requests and replies, through the engine, against fake servers.
#include <gtest/gtest.h>

#include <atomic>

#include "engine_test_support.h"

namespace {

class TransferWorkerTest : public EngineTest {
 protected:
  // Makes a job wanting one worker and passes until it has a result.
  TransferJob* fetch(const UrlParts& where, const std::string& folder = kFolder) {
    TransferJob* job = engine->createJob(where, folder, "");
    job->wanted = 1;
    EXPECT_TRUE(passUntilResult(*job));
    return job;
  }
};

TEST_F(TransferWorkerTest, AFreshDownloadIsOneGetWithoutRangeIntoAHiddenPieceFile) {
  auto body = FakeBody::pattern(1000);
  serve(body);
  TransferJob* job = fetch(web());

  ASSERT_EQ(job->result, kJobSucceeded);
  const std::vector<FakeRequest> sent = internet.requests();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].verb, "GET");
  EXPECT_EQ(sent[0].objectPath, "/f/a.zip");
  EXPECT_EQ(sent[0].port, 80);
  EXPECT_EQ(sent[0].headers, "");
  EXPECT_EQ(sent[0].flags, request_flags::kDefault | request_flags::kNoCacheWrite);
  EXPECT_EQ(sent[0].referrer, "");

  // A single piece is the result as it is: no join.
  EXPECT_EQ(job->finalSize, 1000);
  EXPECT_EQ(job->finishedPath, "C:\\dl\\haulix 00000000000000000000000000000002.db");
  EXPECT_EQ(files.contents(job->finishedPath), body->bytes());
  const uint32_t attributes = files.attributesOf(job->finishedPath).value_or(0);
  EXPECT_TRUE(attributes & file_attribute::kHidden);
  EXPECT_TRUE(attributes & file_attribute::kSystem);
  EXPECT_EQ(pieceFiles().size(), 1u);
  EXPECT_EQ(job->totalSize, 1000);
}

TEST_F(TransferWorkerTest, TheReplyFieldsAreKeptOnTheWorker) {
  serve(FakeBody::of("<html></html>"), "h", [](const FakeRequest&, FakeReply& reply) {
    reply.headers.push_back("Content-Type: text/html");
    reply.headers.push_back("Location: http://elsewhere/");
  });
  TransferJob* job = fetch(web());
  ASSERT_EQ(job->result, kJobSucceeded);
  EXPECT_EQ(job->contentType, "text/html");
  locked([&] {
    const TransferWorker& worker = *job->workers.at(0);
    EXPECT_EQ(worker.statusCode, 200);
    EXPECT_EQ(worker.statusText, "OK");
    EXPECT_EQ(worker.contentLength, 13);
    EXPECT_EQ(worker.location, "http://elsewhere/");
    EXPECT_NE(worker.rawHeaders.find("Content-Type: text/html\r\n"), std::string::npos);
    EXPECT_EQ(worker.state, WorkerState::Complete);
    return 0;
  });
}

TEST_F(TransferWorkerTest, AJobWithoutFolderOnlyAsksForTheHeaders) {
  serve(FakeBody::pattern(5000));
  TransferJob* job = fetch(web(), "");
  ASSERT_EQ(job->result, kJobSucceeded);
  ASSERT_EQ(internet.requests().size(), 1u);
  EXPECT_EQ(internet.requests()[0].verb, "HEAD");
  EXPECT_EQ(job->totalSize, 5000);
  EXPECT_EQ(job->finishedPath, "");
  EXPECT_TRUE(pieceFiles().empty());
}

TEST_F(TransferWorkerTest, AContentLengthAbove4GiBIsReadWhole) {
  serve(FakeBody::of(""), "h",
        [](const FakeRequest&, FakeReply& reply) { reply.contentLengthText = "5368709121"; });
  TransferJob* job = fetch(web(), "");
  EXPECT_EQ(job->totalSize, (int64_t{5} << 30) + 1);
}

TEST_F(TransferWorkerTest, ADamagedContentLengthLeavesTheSizeUnknown) {
  serve(FakeBody::of("abc"), "h",
        [](const FakeRequest&, FakeReply& reply) { reply.contentLengthText = "3 bytes"; });
  TransferJob* job = fetch(web());
  ASSERT_EQ(job->result, kJobSucceeded);
  EXPECT_EQ(job->totalSize, -1);
  EXPECT_EQ(files.contents(job->finishedPath), "abc");
}

TEST_F(TransferWorkerTest, HttpsWithoutPortConnectsTo443WithTheSecureFlag) {
  auto body = FakeBody::of("secret");
  internet.setServer("s", 443, [body](const FakeRequest& request) {
    return FakeInternet::fileReply(request, body);
  });
  TransferJob* job = fetch(address("https://", "s"));
  ASSERT_EQ(job->result, kJobSucceeded);
  ASSERT_EQ(internet.requests().size(), 1u);
  EXPECT_EQ(internet.requests()[0].port, 443);
  EXPECT_EQ(internet.requests()[0].flags,
            request_flags::kDefault | request_flags::kNoCacheWrite | request_flags::kSecure);
}

// --- certificates and redirects ---

class SecureWorkerTest : public TransferWorkerTest {
 protected:
  SecureWorkerTest() {
    internet.setServer("s", 443, [this](const FakeRequest& request) {
      FakeReply reply = FakeInternet::fileReply(request, body);
      reply.finalAddress = finalAddress;
      return reply;
    });
  }
  UrlParts secure(bool accepted = false) {
    UrlParts where = address("https://", "s");
    where.acceptCertificateErrors = accepted;
    return where;
  }
  std::shared_ptr<const FakeBody> body = FakeBody::of("secret");
  std::string finalAddress;
};

TEST_F(SecureWorkerTest, ACertificateFaultFailsTheJobAtOnceWithItsText) {
  const std::pair<CertificateFault, std::string> cases[] = {
      {CertificateFault::kNameWrong, "Certificate Name Wrong"},
      {CertificateFault::kExpired, "Certificate Expired"},
      {CertificateFault::kNotTrusted, "Certificate Not Trusted"},
      {CertificateFault::kOther, "Certificate Error"}};
  for (const auto& [fault, text] : cases) {
    internet.setCertificateFault("s", 443, fault);
    TransferJob* job = fetch(secure());
    EXPECT_EQ(job->result, kJobFailed);
    EXPECT_EQ(job->errorText, text);
    EXPECT_EQ(stateOf(*job, 0), WorkerState::CertificateError);
    EXPECT_EQ(job->workers.size(), 1u) << "no second connection tries again";
    engine->destroyJob(job, false);
  }
  EXPECT_TRUE(internet.requests().empty()) << "nothing reached the server";
}

TEST_F(SecureWorkerTest, TheCertificateIsCheckedByDefault) {
  TransferJob* job = fetch(secure());
  ASSERT_EQ(job->result, kJobSucceeded);
  // INTERNET_FLAG_IGNORE_CERT_CN_INVALID and INTERNET_FLAG_IGNORE_CERT_DATE_INVALID.
  EXPECT_EQ(internet.requests().at(0).flags & 0x3000u, 0u);
  EXPECT_FALSE(internet.requests().at(0).certificateFaultsAccepted);
}

TEST_F(SecureWorkerTest, AnAcceptedSiteIsAskedAgainAcceptingTheFault) {
  internet.setCertificateFault("s", 443, CertificateFault::kNotTrusted);
  TransferJob* job = fetch(secure(true));
  ASSERT_EQ(job->result, kJobSucceeded);
  EXPECT_EQ(files.contents(job->finishedPath), "secret");
  ASSERT_EQ(internet.requests().size(), 1u);
  EXPECT_TRUE(internet.requests()[0].certificateFaultsAccepted);
}

TEST_F(SecureWorkerTest, AnAcceptedSiteWhoseRedirectLeadsToAnotherSecureHostFails) {
  internet.setCertificateFault("s", 443, CertificateFault::kExpired);
  finalAddress = "https://elsewhere/a.zip";
  TransferJob* job = fetch(secure(true));
  EXPECT_EQ(job->result, kJobFailed);
  EXPECT_EQ(job->errorText, "Certificate Error");
}

TEST_F(SecureWorkerTest, TheAddressARedirectEndedAtIsKeptOnlyWhenItIsAnother) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"https://S/f/a.zip", ""},
      {"https://s:443/f/a.zip", ""},
      {"http://s/f/a.zip", "http://s/f/a.zip"},
      {"https://s/f/b.zip?x", "https://s/f/b.zip?x"},
      {"https://s:8443/f/a.zip", "https://s:8443/f/a.zip"}};
  for (const auto& [reached, kept] : cases) {
    finalAddress = reached;
    TransferJob* job = fetch(secure());
    ASSERT_EQ(job->result, kJobSucceeded);
    EXPECT_EQ(job->finalAddress, kept) << reached;
    engine->destroyJob(job, false);
  }
}

TEST_F(TransferWorkerTest, AnExplicitPortIsConnectedTo) {
  auto body = FakeBody::of("x");
  internet.setServer("h", 81, [body](const FakeRequest& request) {
    return FakeInternet::fileReply(request, body);
  });
  TransferJob* job = fetch(address("http://", "h", ":81"));
  ASSERT_EQ(job->result, kJobSucceeded);
  EXPECT_EQ(internet.requests().at(0).port, 81);
}

TEST_F(TransferWorkerTest, CredentialsInTheAddressAreSentRatherThanTheSiteTables) {
  serve(FakeBody::of("x"));
  UrlParts where = web();
  where.user = "user:";
  where.password = "pw@";
  where.siteUser = "site";
  where.sitePassword = "sitepw";
  where.referrer = "http://r/page.htm";
  fetch(where);
  ASSERT_EQ(internet.requests().size(), 1u);
  EXPECT_EQ(internet.requests()[0].userName, "user");
  EXPECT_EQ(internet.requests()[0].password, "pw");
  EXPECT_EQ(internet.requests()[0].referrer, "http://r/page.htm");
}

TEST_F(TransferWorkerTest, FtpIsOpenedByAddressAndItsSizeStaysUnknown) {
  auto body = FakeBody::pattern(3000);
  internet.setAddressHandler([body](const FakeRequest&) {
    FakeReply reply;
    reply.body = body;
    return reply;
  });
  TransferJob* job = fetch(address("ftp://", "f"));
  ASSERT_EQ(job->result, kJobSucceeded);
  ASSERT_EQ(internet.requests().size(), 1u);
  EXPECT_EQ(internet.requests()[0].address, "ftp://f/f/a.zip");
  EXPECT_EQ(internet.requests()[0].flags, request_flags::kExistingConnect);
  EXPECT_EQ(job->totalSize, -1);
  EXPECT_EQ(job->pieceMap, "");
  EXPECT_EQ(files.contents(job->finishedPath), body->bytes());
}

// --- continuing at an offset ---

class ContinuedWorkerTest : public TransferWorkerTest {
 protected:
  // A job whose first 1000 bytes are stored, continued from there.
  TransferJob* continueAt1000(const UrlParts& where = web()) {
    EXPECT_TRUE(files.putFile(kStoredPiece, body->bytes(0, 1000), file_attribute::kHidden));
    TransferJob* job = engine->createJob(where, kFolder, "2000\t0\t" + kStoredPiece + "\t");
    job->wanted = 1;
    return job;
  }
  std::shared_ptr<const FakeBody> body = FakeBody::pattern(2000);
  const std::string kStoredPiece = "C:\\dl\\haulix 000000000000000000000000000000aa.db";
};

TEST_F(ContinuedWorkerTest, SendsARangeAndAcceptsA206FromItsOffset) {
  serve(body);
  TransferJob* job = continueAt1000();
  ASSERT_TRUE(passUntilResult(*job));
  ASSERT_EQ(job->result, kJobSucceeded);
  ASSERT_EQ(internet.requests().size(), 1u);
  EXPECT_EQ(internet.requests()[0].headers, "Range: bytes=1000-\r\n");
  EXPECT_EQ(internet.requests()[0].flags,
            request_flags::kDefault | request_flags::kReloadNoCacheWrite);
  EXPECT_EQ(files.contents(job->finishedPath), body->bytes());
}

TEST_F(ContinuedWorkerTest, AServerThatAnswersARangeWithTheWholeFileIsReadWholeAgain) {
  internet.setServer("h", 80, [this](const FakeRequest&) {
    FakeReply reply;
    reply.body = body;
    return reply;
  });
  TransferJob* job = continueAt1000();
  ASSERT_TRUE(passUntilResult(*job));
  ASSERT_EQ(job->result, kJobSucceeded);
  const std::vector<FakeRequest> sent = internet.requests();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].headers, "Range: bytes=1000-\r\n");
  EXPECT_EQ(sent[1].headers, "");
  EXPECT_EQ(files.contents(job->finishedPath), body->bytes());
  EXPECT_EQ(pieceFiles(), std::vector<std::string>{job->finishedPath});
  // Nor is a second connection ever asked of it.
  EXPECT_TRUE(job->rangesRefused);
}

TEST_F(ContinuedWorkerTest, AContentRangeFromAnotherOffsetIsRefusedAndLeavesNoFile) {
  serve(body, "h", [](const FakeRequest&, FakeReply& reply) {
    reply.headers = {"Content-Range: bytes 0-1999/2000"};
  });
  TransferJob* job = continueAt1000();
  ASSERT_TRUE(waitFor([&] {
    engine->runJobPass();
    return internet.requests().size() == 1 && allFinal(*job);
  }));
  engine->runJobPass();
  EXPECT_EQ(job->result, kJobNoResult);
  EXPECT_EQ(job->bytesGot, 1000);
  EXPECT_EQ(pieceFiles(), std::vector<std::string>{kStoredPiece});
}

TEST_F(ContinuedWorkerTest, ARangeOfAFileThatChangedSizeIsNeverJoinedButTheFileFetchedWhole) {
  // The file on the server is now 3000 bytes: its bytes from 1000 on are another file's.
  auto changed = FakeBody::pattern(3000, 9);
  serve(changed);
  TransferJob* job = continueAt1000();
  ASSERT_TRUE(passUntilResult(*job));
  ASSERT_EQ(job->result, kJobSucceeded);
  EXPECT_EQ(internet.requests().size(), 2u);
  EXPECT_EQ(job->finalSize, 3000);
  EXPECT_EQ(files.contents(job->finishedPath), changed->bytes());
  EXPECT_FALSE(files.isFile(kStoredPiece));
}

TEST_F(ContinuedWorkerTest, ARangeWhoseSizeIsNotToldIsTakenAsItComes) {
  serve(body, "h", [](const FakeRequest&, FakeReply& reply) {
    reply.headers = {"Content-Range: bytes 1000-1999/*"};
  });
  TransferJob* job = continueAt1000();
  ASSERT_TRUE(passUntilResult(*job));
  ASSERT_EQ(job->result, kJobSucceeded);
  EXPECT_EQ(internet.requests().size(), 1u);
  EXPECT_EQ(files.contents(job->finishedPath), body->bytes());
}

TEST_F(ContinuedWorkerTest, AnAddressOpenedDirectlyCannotBeContinuedAndIsFetchedWhole) {
  internet.setAddressHandler([this](const FakeRequest&) {
    FakeReply reply;
    reply.body = body;
    return reply;
  });
  TransferJob* job = continueAt1000(address("ftp://", "f"));
  ASSERT_TRUE(passUntilResult(*job));
  ASSERT_EQ(job->result, kJobSucceeded);
  EXPECT_EQ(internet.requests().size(), 1u);
  EXPECT_EQ(files.contents(job->finishedPath), body->bytes());
  EXPECT_FALSE(files.isFile(kStoredPiece));
}

// --- failures ---

TEST_F(TransferWorkerTest, AServerThatCannotBeReachedFailsWithCannotConnect) {
  internet.setServerDown("h", 80);
  TransferJob* job = fetch(web());
  EXPECT_EQ(job->result, kJobFailed);
  EXPECT_EQ(job->errorText, "Cannot Connect");
  EXPECT_TRUE(pieceFiles().empty());
}

TEST_F(TransferWorkerTest, AnUnknownHostFailsWithCannotConnect) {
  TransferJob* job = fetch(web("nowhere"));
  EXPECT_EQ(job->errorText, "Cannot Connect");
}

TEST_F(TransferWorkerTest, APortThatIsNoNumberFailsWithCannotConnect) {
  TransferJob* job = fetch(address("http://", "h", ":99999"));
  EXPECT_EQ(job->errorText, "Cannot Connect");
  EXPECT_TRUE(internet.requests().empty());
}

TEST_F(TransferWorkerTest, A404FailsWithTheServersStatusTextTrimmed) {
  serve(FakeBody::of("gone"), "h", [](const FakeRequest&, FakeReply& reply) {
    reply.statusCode = 404;
    reply.statusText = "  File Not There ";
  });
  TransferJob* job = fetch(web());
  EXPECT_EQ(job->result, kJobFailed);
  EXPECT_EQ(job->errorText, "File Not There");
  EXPECT_TRUE(pieceFiles().empty());
}

TEST_F(TransferWorkerTest, ARefusalWithoutStatusTextFailsWithNotFound) {
  serve(FakeBody::of("gone"), "h", [](const FakeRequest&, FakeReply& reply) {
    reply.statusCode = 410;
    reply.statusText = "";
  });
  EXPECT_EQ(fetch(web())->errorText, "Not Found");
}

TEST_F(TransferWorkerTest, A503AtOffsetZeroIsNoFailureAndItsPageNoSize) {
  std::atomic<int> asked = 0;
  auto body = FakeBody::pattern(4000);
  serve(body, "h", [&asked](const FakeRequest&, FakeReply& reply) {
    if (++asked == 1) {
      reply.statusCode = 503;
      reply.statusText = "Service Unavailable";
      reply.body = FakeBody::of("busy, come back later");
    }
  });
  TransferJob* job = engine->createJob(web(), kFolder, "");
  job->wanted = 1;
  ASSERT_TRUE(waitFor([&] {
    engine->runJobPass();
    return asked == 1 && allFinal(*job);
  }));
  engine->runJobPass();
  EXPECT_EQ(job->result, kJobNoResult);
  EXPECT_EQ(job->totalSize, -1);
  EXPECT_TRUE(pieceFiles().empty());
  EXPECT_FALSE(isRunning(*job));

  // The scheduler starts the item again.
  job->wanted = 1;
  ASSERT_TRUE(passUntilResult(*job));
  EXPECT_EQ(job->result, kJobSucceeded);
  EXPECT_EQ(files.contents(job->finishedPath), body->bytes());
}

TEST_F(TransferWorkerTest, AReadThatFailsFailsTheJobAndDeletesItsPieces) {
  serve(FakeBody::pattern(100000), "h",
        [](const FakeRequest&, FakeReply& reply) { reply.dropAt = 50000; });
  TransferJob* job = fetch(web());
  EXPECT_EQ(job->result, kJobFailed);
  EXPECT_EQ(job->errorText, "Cannot Connect");
  EXPECT_TRUE(pieceFiles().empty());
}

TEST_F(TransferWorkerTest, APieceFileThatCannotBeMadeFailsWithCannotSave) {
  serve(FakeBody::of("x"));
  files.failOperation(FakeFiles::Op::kCreate, os_error::kAccessDenied);
  TransferJob* job = fetch(web());
  EXPECT_EQ(job->errorText, "Cannot Save");
  EXPECT_TRUE(internet.requests().empty());
}

TEST_F(TransferWorkerTest, AFullDiskFailsWithCannotSave) {
  serve(FakeBody::pattern(100000));
  files.setFreeSpace(10000);
  TransferJob* job = fetch(web());
  EXPECT_EQ(job->errorText, "Cannot Save");
  EXPECT_TRUE(pieceFiles().empty());
}

TEST_F(TransferWorkerTest, WithoutGuidsWorkersStillGetDistinctIdsButNoPieceFiles) {
  ids.setFailing(true);
  TransferJob* job = engine->createJob(web(), "", "");
  std::string first, second;
  locked([&] {
    first = engine->createWorker(*job, 0, "")->workerId;
    second = engine->createWorker(*job, 0, "")->workerId;
    return 0;
  });
  EXPECT_EQ(first.size(), 32u);
  EXPECT_NE(first, second);

  TransferJob* saving = engine->createJob(web(), kFolder, "");
  saving->wanted = 1;
  ASSERT_TRUE(passUntilResult(*saving));
  EXPECT_EQ(saving->errorText, "Cannot Save");
}

TEST_F(TransferWorkerTest, EveryHandleIsClosedWhenTheJobsAreGone) {
  serve(FakeBody::pattern(20000));
  TransferJob* job = fetch(web());
  ASSERT_EQ(job->result, kJobSucceeded);
  engine->destroyJob(job, false);
  EXPECT_EQ(internet.openHandles(), 0);
  EXPECT_TRUE(engine->jobs().empty());
}

}  // namespace
