#include "transfer/worker_request.h"

#include <gtest/gtest.h>

#include "transfer/read_size.h"
#include "platform/internet.h"

namespace {

UrlParts httpAddress(std::string scheme, std::string host, std::string port = "") {
  UrlParts address;
  address.scheme = std::move(scheme);
  address.host = std::move(host);
  address.port = std::move(port);
  address.folder = "/files/";
  address.baseName = "a";
  address.extension = ".zip";
  address.fullAddress = address.scheme + address.host + address.port + "/files/a.zip";
  return address;
}

TEST(WorkerAddress, APortWrittenInTheAddressIsUsed) {
  TransferWorker worker;
  fillWorkerAddress(worker, httpAddress("http://", "h", ":81"));
  EXPECT_FALSE(worker.secure);
  EXPECT_EQ(worker.port, 81);
  EXPECT_EQ(portFor("", false), 80);
  EXPECT_EQ(portFor(":", true), 443);
  EXPECT_EQ(portFor(":0", false), 80);
  EXPECT_EQ(portFor(":99999", false), 0);
  EXPECT_EQ(portFor(":8o", false), 0);
}

TEST(WorkerAddress, AUserWithoutPasswordLosesOnlyItsAt) {
  UrlParts address = httpAddress("http://", "h");
  address.user = "anna@";
  TransferWorker worker;
  fillWorkerAddress(worker, address);
  EXPECT_EQ(worker.userName, "anna");
  EXPECT_EQ(worker.password, "");
}

TEST(WorkerAddress, PathAndReferrerAreSentEscaped) {
  UrlParts address = httpAddress("http://", "h");
  address.folder = "/my files/";
  address.extra = "?q=a b";
  address.referrer = "http://r/a page.htm";
  TransferWorker worker;
  fillWorkerAddress(worker, address);
  EXPECT_EQ(worker.objectPath, "/my%20files/a.zip?q=a%20b");
  EXPECT_EQ(worker.referrer, "http://r/a%20page.htm");
}

TEST(WorkerAddress, OtherSchemesAreOpenedByTheirFullAddress) {
  UrlParts address = httpAddress("ftp://", "f");
  TransferWorker worker;
  fillWorkerAddress(worker, address);
  EXPECT_TRUE(worker.host.empty());
  EXPECT_EQ(worker.fullAddress, "ftp://f/files/a.zip");
}

TEST(WorkerRequest, AContinuationAsksForTheRestFromItsOffsetAndNothingIsWrittenToTheCache) {
  EXPECT_EQ(rangeHeaders(1000, ""), "Range: bytes=1000-\r\n");
  EXPECT_EQ(rangeHeaders(int64_t{5} << 30, ""), "Range: bytes=5368709120-\r\n");
  EXPECT_EQ(rangeHeaders(1000, "\"v1\""), "Range: bytes=1000-\r\nIf-Range: \"v1\"\r\n");
  // A fresh download goes into its piece file only, not also into the Internet cache; the
  // server's certificate is checked (no flag ignores its name or dates).
  EXPECT_EQ(requestFlagsFor(false, 0), 0x0440C200u);
  EXPECT_EQ(requestFlagsFor(true, 0), 0x04C0C200u);
  EXPECT_EQ(requestFlagsFor(false, 1000), 0x8440C200u);
  EXPECT_EQ(requestFlagsFor(true, 1000), 0x84C0C200u);
}

TEST(WorkerRequest, TheContentRangeIsReadInAnySpacingAndCase) {
  ContentRange range;
  ASSERT_TRUE(
      parseContentRange("HTTP/1.1 206\r\nCONTENT-RANGE :  BYTES  1000 - 1999/ 2000\r\n", range));
  EXPECT_EQ(range.first, 1000);
  EXPECT_EQ(range.last, 1999);
  EXPECT_EQ(range.total, 2000);
  ASSERT_TRUE(parseContentRange("Content-Range: bytes 5-9/5368709120\r\n", range));
  EXPECT_EQ(range.total, int64_t{5} << 30);
  ASSERT_TRUE(parseContentRange("Content-Range: bytes 0-9/*\r\n", range));
  EXPECT_EQ(range.total, -1);
  for (const char* bad : {"HTTP/1.1 206\r\n", "Content-Range: bytes 0-9\r\n",
                          "Content-Range: bytes 0-9/-4\r\n", "Content-Range: items 0-9/10\r\n",
                          "X-Content-Range: bytes 0-9/10\r\n", "Content-Range: bytes -9/10\r\n"}) {
    EXPECT_FALSE(parseContentRange(bad, range)) << bad;
  }
}

TEST(WorkerRequest, TheVersionOfAReplyIsItsStrongETagOrElseItsLastModified) {
  const std::string date = "Last-Modified: Tue, 01 Dec 2026 10:00:00 GMT\r\n";
  EXPECT_EQ(replyValidator("HTTP/1.1 200 OK\r\nETag: \"abc\"\r\n" + date), "\"abc\"");
  EXPECT_EQ(replyValidator("HTTP/1.1 200 OK\r\netag:  \"abc\" \r\n"), "\"abc\"");
  EXPECT_EQ(replyValidator("HTTP/1.1 200 OK\r\nETag: W/\"abc\"\r\n" + date),
            "Tue, 01 Dec 2026 10:00:00 GMT");
  EXPECT_EQ(replyValidator("HTTP/1.1 200 OK\r\n" + date), "Tue, 01 Dec 2026 10:00:00 GMT");
  EXPECT_EQ(replyValidator("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n"), "");
  // Nothing a stored text cannot hold.
  EXPECT_EQ(replyValidator(std::string("HTTP/1.1 200 OK\r\nETag: \"a\tb\"\r\n")), "");
}

// What a reply to a request with a piece to write means, as a table.
struct ReplyCase {
  const char* what;
  int64_t start;
  const char* ifRange;
  int64_t status;
  const char* headers;
  int64_t knownSize;
  bool othersActive;
  ReplyFit fit;
};

TEST(WorkerRequest, AReplyFitsOnlyTheRangeAndVersionAskedFor) {
  const ReplyCase cases[] = {
      {"a fresh 200", 0, "", 200, "", -1, false, ReplyFit::kFits},
      {"a fresh 206", 0, "", 206, "Content-Range: bytes 0-9/10", -1, false, ReplyFit::kRefused},
      {"a 404", 1000, "", 404, "", 2000, false, ReplyFit::kRefused},
      {"a 206 from the offset", 1000, "", 206, "Content-Range: bytes 1000-1999/2000", 2000, false,
       ReplyFit::kFits},
      {"of unknown total", 1000, "", 206, "Content-Range: bytes 1000-1999/*", 2000, false,
       ReplyFit::kFits},
      {"from another offset", 1000, "", 206, "Content-Range: bytes 0-1999/2000", 2000, false,
       ReplyFit::kRefused},
      {"one byte late", 1000, "", 206, "Content-Range: bytes 1001-1999/2000", 2000, false,
       ReplyFit::kRefused},
      {"without Content-Range", 1000, "", 206, "", 2000, false, ReplyFit::kRefused},
      {"of a file of another size", 1000, "", 206, "Content-Range: bytes 1000-2999/3000", 2000,
       false, ReplyFit::kWholeAgain},
      {"of the version asked for", 1000, "\"v1\"", 206,
       "Content-Range: bytes 1000-1999/2000\r\nETag: \"v1\"", 2000, false, ReplyFit::kFits},
      {"of another version", 1000, "\"v1\"", 206,
       "Content-Range: bytes 1000-1999/2000\r\nETag: \"v2\"", 2000, false, ReplyFit::kWholeAgain},
      {"the whole file after If-Range", 1000, "\"v1\"", 200, "", 2000, true, ReplyFit::kWholeAgain},
      {"another version whole after If-Range", 1000, "\"v1\"", 200, "ETag: \"v2\"", 2000, true,
       ReplyFit::kWholeAgain},
      {"the version asked for whole to a second connection", 1000, "\"v1\"", 200, "ETag: \"v1\"",
       2000, true, ReplyFit::kRangesRefused},
      {"the whole file to a lone range", 1000, "", 200, "", 2000, false, ReplyFit::kWholeAgain},
      {"the whole file to a second connection", 1000, "", 200, "", 2000, true,
       ReplyFit::kRangesRefused},
  };
  for (const ReplyCase& c : cases) {
    EXPECT_EQ(checkReply(c.start, c.ifRange, c.status, std::string("HTTP/1.1\r\n") + c.headers,
                         c.knownSize, c.othersActive),
              c.fit)
        << c.what;
  }
}

TEST(WorkerRequest, ContentLengthIsReadAsA64BitNumber) {
  int64_t length = -1;
  EXPECT_TRUE(parseContentLength("5368709120", length));
  EXPECT_EQ(length, int64_t{5} << 30);
  EXPECT_TRUE(parseContentLength(" 42 ", length));
  EXPECT_EQ(length, 42);
  EXPECT_FALSE(parseContentLength("-1", length));
  EXPECT_FALSE(parseContentLength("12x", length));
  EXPECT_FALSE(parseContentLength("", length));
}

TEST(ReadSizer, ReadsWhatIsAnnouncedUntilReadsProveFast) {
  ReadSizer sizer;
  EXPECT_EQ(sizer.next(8192), 8192u);
  sizer.update(8192, 0);
  EXPECT_EQ(sizer.next(8192), 16384u);
  sizer.update(16384, 10);
  EXPECT_EQ(sizer.next(100), 32768u);
}

TEST(ReadSizer, NeverAsksForMoreThanAMebibyte) {
  ReadSizer sizer;
  for (int i = 0; i < 40; ++i) sizer.update(sizer.next(8192), 0);
  EXPECT_EQ(sizer.next(8192), ReadSizer::kMaxRead);
}

TEST(ReadSizer, FallsBackToTheAnnouncedSizeAfterASlowRead) {
  ReadSizer sizer;
  for (int i = 0; i < 10; ++i) sizer.update(sizer.next(8192), 0);
  sizer.update(sizer.next(8192), 251);
  EXPECT_EQ(sizer.next(8192), 8192u);
}

}  // namespace
