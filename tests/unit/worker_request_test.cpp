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
  EXPECT_EQ(rangeHeader(1000), "Range: bytes=1000-\r\n");
  EXPECT_EQ(rangeHeader(int64_t{5} << 30), "Range: bytes=5368709120-\r\n");
  // A fresh download goes into its piece file only, not also into the Internet cache.
  EXPECT_EQ(requestFlagsFor(false, 0), 0x0440F200u);
  EXPECT_EQ(requestFlagsFor(true, 0), 0x04C0F200u);
  EXPECT_EQ(requestFlagsFor(false, 1000), 0x8440F200u);
  EXPECT_EQ(requestFlagsFor(true, 1000), 0x84C0F200u);
}

TEST(WorkerRequest, TheContentRangeMustBeginAtTheOffsetInAnySpacingAndCase) {
  EXPECT_TRUE(
      contentRangeStartsAt("HTTP/1.1 206\r\nContent-Range: bytes 1000-1999/2000\r\n", 1000));
  EXPECT_TRUE(contentRangeStartsAt("CONTENT-RANGE :  BYTES  1000 - 1999/2000\r\n", 1000));
  EXPECT_FALSE(contentRangeStartsAt("Content-Range: bytes 1000-1999/2000\r\n", 100));
  EXPECT_FALSE(contentRangeStartsAt("Content-Range: bytes 0-1999/2000\r\n", 1000));
  EXPECT_FALSE(contentRangeStartsAt("HTTP/1.1 206\r\n", 1000));
}

TEST(WorkerRequest, TheContentRangeGivesTheWholeSizeWhenItIsANumber) {
  int64_t total = -1;
  EXPECT_TRUE(contentRangeTotal(
      "HTTP/1.1 206 Partial\r\nContent-Range: bytes 1000-1999/2000\r\nX: 1/3\r\n", total));
  EXPECT_EQ(total, 2000);
  EXPECT_TRUE(
      contentRangeTotal("HTTP/1.1 206\r\ncontent-range : BYTES 5-9 / 5368709120\r\n", total));
  EXPECT_EQ(total, int64_t{5} << 30);
  EXPECT_FALSE(contentRangeTotal("HTTP/1.1 206\r\nContent-Range: bytes 0-9/*\r\n", total));
  EXPECT_FALSE(contentRangeTotal("HTTP/1.1 206\r\nContent-Range: bytes 0-9\r\n", total));
  EXPECT_FALSE(contentRangeTotal("HTTP/1.1 206\r\nContent-Range: bytes 0-9/-4\r\n", total));
  EXPECT_FALSE(contentRangeTotal("HTTP/1.1 200\r\nX-Content-Range: bytes 0-9/10\r\n", total));
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
