// The Internet port through the real WinInet against the local test servers.
#include "platform/win32/wininet_internet.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "windows/local_server.h"
#include "windows/trusted_authority.h"

namespace {

constexpr uint32_t kGetFlags = request_flags::kDefault;
constexpr uint32_t kRangedFlags = request_flags::kDefault | request_flags::kReloadNoCacheWrite;

class WinInetInternetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.running()) << server.error();
    ASSERT_TRUE(internet.isOpen());
  }

  // Connects, opens and sends; the request handle, or 0 (and a failed assertion).
  NetHandle send(const std::string& verb, const std::string& path, uint32_t flags = kGetFlags,
                 const std::string& headers = "", const std::string& referrer = "",
                 const std::string& user = "", const std::string& password = "") {
    connection = internet.connect("127.0.0.1", server.port(), user, password);
    EXPECT_NE(connection, 0u);
    NetHandle request = internet.openRequest(connection, verb, path, referrer, flags);
    EXPECT_NE(request, 0u);
    if (!headers.empty()) {
      EXPECT_TRUE(internet.addRequestHeaders(request, headers));
    }
    CertificateFault fault = CertificateFault::kNone;
    EXPECT_TRUE(internet.sendRequest(request, fault));
    return request;
  }

  uint32_t status(NetHandle request) {
    uint32_t code = 0;
    EXPECT_TRUE(internet.queryHeaderNumber(request, http_query::kStatusCode, code));
    return code;
  }

  std::string text(NetHandle request, uint32_t level) {
    std::string value;
    internet.queryHeaderText(request, level, value);
    return value;
  }

  // Reads the whole body with the given buffer size; false when a read fails.
  bool readAll(NetHandle handle, std::string& body, uint32_t bufferSize = 256 * 1024) {
    std::vector<char> buffer(bufferSize);
    for (;;) {
      uint32_t got = 0;
      if (!internet.read(handle, buffer.data(), bufferSize, got)) return false;
      if (got == 0) return true;
      body.append(buffer.data(), got);
    }
  }

  LocalServer server{LocalServer::Kind::Http};
  WinInetInternet internet;
  NetHandle connection = 0;
};

TEST_F(WinInetInternetTest, HeadGivesTheReplyFieldsWithoutABody) {
  NetHandle request = send("HEAD", "/gen/12345/file.bin");
  EXPECT_EQ(status(request), 200u);
  EXPECT_EQ(text(request, http_query::kStatusText), "OK");
  EXPECT_EQ(text(request, http_query::kContentType), "application/octet-stream");
  EXPECT_EQ(text(request, http_query::kContentLength), "12345");
  EXPECT_NE(text(request, http_query::kRawHeadersCrlf).find("Accept-Ranges: bytes\r\n"),
            std::string::npos);
  std::string body;
  EXPECT_TRUE(readAll(request, body));
  EXPECT_EQ(body, "");
  auto log = server.requests();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].method, "HEAD");
  EXPECT_EQ(log[0].path, "/gen/12345/file.bin");
}

TEST_F(WinInetInternetTest, ContentLengthAboveFourGibibytesArrivesWholeAsText) {
  NetHandle request = send("HEAD", "/gen/5000000000/huge.iso");
  EXPECT_EQ(status(request), 200u);
  const std::string length = text(request, http_query::kContentLength);
  EXPECT_EQ(length, "5000000000");
  EXPECT_EQ(std::strtoll(length.c_str(), nullptr, 10), 5000000000LL);
  // As a 32-bit number the library cannot give it; whatever it gives is not the size.
  uint32_t number = 0;
  if (internet.queryHeaderNumber(request, http_query::kContentLength, number)) {
    EXPECT_NE(static_cast<int64_t>(number), 5000000000LL);
  }
}

TEST_F(WinInetInternetTest, GetReadsTheBodyAndTheContentType) {
  NetHandle request = send("GET", "/gen/100000?seed=7&type=text/html");
  EXPECT_EQ(status(request), 200u);
  EXPECT_EQ(text(request, http_query::kContentType), "text/html");
  std::string body;
  ASSERT_TRUE(readAll(request, body));
  EXPECT_EQ(body, generatedBytes(7, 0, 100000));
}

TEST_F(WinInetInternetTest, NotFoundKeepsTheServersStatusText) {
  NetHandle request = send("GET", "/missing.txt?status=404&reason=Gone%20Fishing");
  EXPECT_EQ(status(request), 404u);
  EXPECT_EQ(text(request, http_query::kStatusText), "Gone Fishing");
  NetHandle plain = send("GET", "/no/such/file.txt");
  EXPECT_EQ(status(plain), 404u);
  EXPECT_EQ(text(plain, http_query::kStatusText), "Not Found");
}

TEST_F(WinInetInternetTest, HeadersWithBytesBeyondAsciiArriveWhole) {
  // The reason phrase "\xE9t\xE9" in ISO-8859-1, as such a server sends it.
  NetHandle request = send("GET", "/gen/10?status=200&reason=%C3%A9t%C3%A9");
  const std::string headers = text(request, http_query::kRawHeadersCrlf);
  EXPECT_NE(headers.find("\r\nServer: HaulixTestHTTP/1\r\n"), std::string::npos) << headers;
  EXPECT_TRUE(headers.ends_with("\r\n\r\n")) << headers;
}

TEST_F(WinInetInternetTest, AbsentHeaderQueriesFail) {
  NetHandle request = send("GET", "/gen/10");
  std::string value = "kept";
  EXPECT_FALSE(internet.queryHeaderText(request, http_query::kLocation, value));
  EXPECT_EQ(value, "kept");
}

TEST_F(WinInetInternetTest, RangedGetSendsTheRangeHeaderAndGetsThePartialReply) {
  NetHandle request = send("GET", "/gen/300000/part.bin", kRangedFlags, "Range: bytes=123456-\r\n");
  EXPECT_EQ(status(request), 206u);
  std::string raw = text(request, http_query::kRawHeadersCrlf);
  EXPECT_NE(raw.find("Content-Range: bytes 123456-299999/300000"), std::string::npos) << raw;
  EXPECT_EQ(text(request, http_query::kContentLength), "176544");
  std::string body;
  ASSERT_TRUE(readAll(request, body));
  EXPECT_EQ(body, generatedBytes(1, 123456, 176544));
  auto log = server.requests();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].header("Range"), "bytes=123456-");
}

TEST_F(WinInetInternetTest, ServerIgnoringTheRangeAnswersWithTheWholeFile) {
  NetHandle request =
      send("GET", "/gen/5000?ranges=ignore", kRangedFlags, "Range: bytes=1000-\r\n");
  EXPECT_EQ(status(request), 200u);
  EXPECT_EQ(text(request, http_query::kContentLength), "5000");
}

TEST_F(WinInetInternetTest, CredentialsGivenToConnectAnswerBasicAuthentication) {
  NetHandle refused = send("GET", "/gen/10?auth=anna:s3cret");
  EXPECT_EQ(status(refused), 401u);
  NetHandle request = send("GET", "/gen/10?auth=anna:s3cret", kGetFlags, "", "", "anna", "s3cret");
  EXPECT_EQ(status(request), 200u);
  std::string body;
  ASSERT_TRUE(readAll(request, body));
  EXPECT_EQ(body.size(), 10u);
  bool sawCredentials = false;
  for (const auto& entry : server.requests()) {
    if (entry.header("Authorization") == "Basic YW5uYTpzM2NyZXQ=") sawCredentials = true;
  }
  EXPECT_TRUE(sawCredentials);
}

TEST_F(WinInetInternetTest, ReferrerArrivesOnlyWhenGiven) {
  const std::string path = "/gen/10?referer=http://example.test/page.htm";
  NetHandle request = send("GET", path, kGetFlags, "", "http://example.test/page.htm");
  EXPECT_EQ(status(request), 200u);
  NetHandle without = send("GET", path);
  EXPECT_EQ(status(without), 403u);
  auto log = server.requests();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].header("Referer"), "http://example.test/page.htm");
  EXPECT_FALSE(log[1].hasHeader("Referer"));
}

TEST_F(WinInetInternetTest, RedirectsAreFollowedByTheLibrary) {
  NetHandle request = send("GET", "/gen/10?redirect=/gen/777%3Fseed%3D3&code=301");
  EXPECT_EQ(status(request), 200u);
  std::string body;
  ASSERT_TRUE(readAll(request, body));
  EXPECT_EQ(body, generatedBytes(3, 0, 777));
  auto log = server.requests();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[1].path, "/gen/777?seed=3");
}

TEST_F(WinInetInternetTest, RedirectToAnotherPortIsFollowed) {
  LocalServer other(LocalServer::Kind::Http);
  ASSERT_TRUE(other.running()) << other.error();
  NetHandle request = send("GET", "/a?redirect=" + other.address("/gen/4321/b.bin"));
  EXPECT_EQ(status(request), 200u);
  EXPECT_EQ(text(request, http_query::kContentLength), "4321");
  std::string body;
  ASSERT_TRUE(readAll(request, body));
  EXPECT_EQ(body, generatedBytes(1, 0, 4321));
  ASSERT_EQ(other.requests().size(), 1u);
}

TEST(WinInetInternet, LiftsTheLibrarysConnectionLimitsPerServerForTheWholeProcess) {
  constexpr uint32_t kPerServer = 73;        // INTERNET_OPTION_MAX_CONNS_PER_SERVER
  constexpr uint32_t kPerHttp10Server = 74;  // INTERNET_OPTION_MAX_CONNS_PER_1_0_SERVER
  {
    WinInetInternet before;
    ASSERT_TRUE(before.setDwordOption(0, kPerServer, 2));
    ASSERT_TRUE(before.setDwordOption(0, kPerHttp10Server, 4));
    uint32_t value = 0;
    ASSERT_TRUE(before.dwordOption(0, kPerServer, value));
    ASSERT_EQ(value, 2u);
  }
  WinInetInternet internet;
  uint32_t perServer = 0;
  uint32_t perHttp10Server = 0;
  ASSERT_TRUE(internet.dwordOption(0, kPerServer, perServer));
  ASSERT_TRUE(internet.dwordOption(0, kPerHttp10Server, perHttp10Server));
  EXPECT_EQ(perServer, 0xFFFFFFFFu);
  EXPECT_EQ(perHttp10Server, 0xFFFFFFFFu);
}

TEST_F(WinInetInternetTest, SixTransfersFromOneServerRunAtOnce) {
  constexpr int kCount = 6;
  std::vector<NetHandle> requests;
  for (int i = 0; i < kCount; ++i) {
    requests.push_back(send("GET", "/gen/100000?stall=1000&n=" + std::to_string(i)));
  }
  for (NetHandle request : requests) {
    char buffer[1000];
    uint32_t got = 0;
    EXPECT_TRUE(internet.read(request, buffer, sizeof buffer, got));
    EXPECT_GT(got, 0u);
  }
  std::vector<int> ports;
  for (const auto& entry : server.requests()) ports.push_back(entry.clientPort);
  std::sort(ports.begin(), ports.end());
  EXPECT_EQ(std::unique(ports.begin(), ports.end()) - ports.begin(), kCount);
  for (NetHandle request : requests) internet.close(request);
}

TEST_F(WinInetInternetTest, ALargeBodyReadWithLargeBuffersArrivesIdentical) {
  constexpr uint32_t kSize = 64u << 20;
  NetHandle request = send("GET", "/gen/67108864?seed=99");
  ASSERT_EQ(status(request), 200u);
  const DWORD began = GetTickCount();
  std::string body;
  body.reserve(kSize);
  ASSERT_TRUE(readAll(request, body, 1u << 20));
  const DWORD took = GetTickCount() - began;
  ASSERT_EQ(body.size(), kSize);
  EXPECT_TRUE(body == generatedBytes(99, 0, kSize));
  std::printf("64 MiB read in %lu ms\n", static_cast<unsigned long>(took));
}

TEST_F(WinInetInternetTest, QueryAndSmallReadsAlsoDeliverEveryByte) {
  NetHandle request = send("GET", "/gen/3000000?seed=5");
  std::string body;
  for (;;) {
    uint32_t available = 0;
    ASSERT_TRUE(internet.queryDataAvailable(request, available));
    if (available == 0) break;
    std::vector<char> buffer(std::min<uint32_t>(available, 5000));
    uint32_t got = 0;
    ASSERT_TRUE(internet.read(request, buffer.data(), buffer.size(), got));
    ASSERT_GT(got, 0u);
    body.append(buffer.data(), got);
  }
  EXPECT_TRUE(body == generatedBytes(5, 0, 3000000));
  uint32_t got = 1;
  char buffer[16];
  EXPECT_TRUE(internet.read(request, buffer, sizeof buffer, got));
  EXPECT_EQ(got, 0u);
}

TEST_F(WinInetInternetTest, ReadOfATrickleReturnsWhatHasArrivedWithoutWaitingForAFullBuffer) {
  // 20 s for the whole at this rate: a read that waited for a full buffer would take that.
  NetHandle request = send("GET", "/gen/200000?rate=10000");
  std::vector<char> buffer(1u << 20);
  uint32_t got = 0;
  const DWORD began = GetTickCount();
  ASSERT_TRUE(internet.read(request, buffer.data(), buffer.size(), got));
  EXPECT_GT(got, 0u);
  EXPECT_LT(got, 200000u);
  EXPECT_LT(GetTickCount() - began, 10000u);
  internet.close(request);
}

TEST_F(WinInetInternetTest, BodyWithoutLengthEndsWhenTheServerCloses) {
  NetHandle request = send("GET", "/gen/50000?length=none");
  std::string length;
  EXPECT_FALSE(internet.queryHeaderText(request, http_query::kContentLength, length));
  std::string body;
  ASSERT_TRUE(readAll(request, body));
  EXPECT_EQ(body, generatedBytes(1, 0, 50000));
}

TEST_F(WinInetInternetTest, DroppedConnectionEndsTheBodyShort) {
  NetHandle request = send("GET", "/gen/1000000?drop=300000");
  EXPECT_EQ(text(request, http_query::kContentLength), "1000000");
  std::string body;
  readAll(request, body);
  // The library reports the early end as an end: only the count tells.
  EXPECT_EQ(body.size(), 300000u);
  EXPECT_TRUE(body == generatedBytes(1, 0, 300000));
}

TEST_F(WinInetInternetTest, ClosingFromAnotherThreadReleasesAReadBlockedOnAStalledServer) {
  NetHandle request = send("GET", "/gen/1000000?stall=100000");
  std::string body;
  std::vector<char> buffer(65536);
  uint32_t got = 0;
  ASSERT_TRUE(internet.read(request, buffer.data(), buffer.size(), got));
  ASSERT_GT(got, 0u);
  body.append(buffer.data(), got);
  std::atomic<DWORD> closedAt{0};
  std::thread closer([&] {
    Sleep(300);
    closedAt = GetTickCount();
    internet.close(request);
  });
  // Reads return what arrives until the server stalls; the one waiting then is released.
  bool ok = true;
  while (ok) {
    ok = internet.read(request, buffer.data(), buffer.size(), got);
    if (ok && got == 0) break;
    if (ok) body.append(buffer.data(), got);
  }
  const DWORD returnedAt = GetTickCount();
  closer.join();
  EXPECT_FALSE(ok);
  // The server holds the stalled connection for two minutes: well before that, the close
  // released the read, however busy the machine.
  EXPECT_LT(returnedAt - closedAt, 20000u);
  EXPECT_LE(body.size(), 100000u);
  EXPECT_TRUE(body == generatedBytes(1, 0, body.size()));
  // The closed handle stays closed.
  EXPECT_FALSE(internet.read(request, buffer.data(), buffer.size(), got));
  uint32_t available = 0;
  EXPECT_FALSE(internet.queryDataAvailable(request, available));
}

TEST_F(WinInetInternetTest, ClosingTheConnectionReleasesAReadOnItsRequest) {
  NetHandle request = send("GET", "/gen/1000000?stall=1");
  char buffer[16];
  uint32_t got = 0;
  ASSERT_TRUE(internet.read(request, buffer, 1, got));
  std::thread closer([&] {
    Sleep(300);
    internet.close(connection);
  });
  const DWORD began = GetTickCount();
  EXPECT_FALSE(internet.read(request, buffer, sizeof buffer, got));
  EXPECT_LT(GetTickCount() - began, 15000u) << "released by the close, not by the server";
  closer.join();
  internet.close(request);
}

TEST_F(WinInetInternetTest, ClosingFromAnotherThreadReleasesASendWaitingForTheReply) {
  connection = internet.connect("127.0.0.1", server.port(), "", "");
  NetHandle request = internet.openRequest(connection, "GET", "/gen/10?delay=30", "", kGetFlags);
  std::thread closer([&] {
    Sleep(300);
    internet.close(request);
  });
  const DWORD began = GetTickCount();
  CertificateFault fault = CertificateFault::kNone;
  EXPECT_FALSE(internet.sendRequest(request, fault));
  EXPECT_EQ(fault, CertificateFault::kNone);
  EXPECT_LT(GetTickCount() - began, 15000u) << "released by the close, not by the server";
  closer.join();
  uint32_t code = 0;
  EXPECT_FALSE(internet.queryHeaderNumber(request, http_query::kStatusCode, code));
}

TEST_F(WinInetInternetTest, ClosedHandlesAreNeverGivenOutAgain) {
  NetHandle first = internet.connect("127.0.0.1", server.port(), "", "");
  internet.close(first);
  NetHandle second = internet.connect("127.0.0.1", server.port(), "", "");
  EXPECT_NE(second, first);
  EXPECT_EQ(internet.openRequest(first, "GET", "/gen/1", "", kGetFlags), 0u);
  internet.close(second);
  internet.close(second);                     // twice is harmless
  EXPECT_EQ(internet.openHandleCount(), 1u);  // the root
}

TEST_F(WinInetInternetTest, FtpFileOpensByAddress) {
  TempFolder root;
  const std::string content = generatedBytes(11, 0, 200000);
  ASSERT_TRUE(root.write("data.bin", content));
  LocalServer ftp(LocalServer::Kind::Ftp,
                  {"--root", root.unixPath(), "--user", "fred", "--password", "pw"});
  ASSERT_TRUE(ftp.running()) << ftp.error();

  NetHandle anonymous =
      internet.prepareAddress(ftp.address("/data.bin"), request_flags::kExistingConnect);
  ASSERT_NE(anonymous, 0u);
  ASSERT_TRUE(internet.openAddress(anonymous));
  std::string body;
  ASSERT_TRUE(readAll(anonymous, body));
  EXPECT_TRUE(body == content);
  internet.close(anonymous);

  const std::string withUser =
      "ftp://fred:pw@127.0.0.1:" + std::to_string(ftp.port()) + "/data.bin";
  NetHandle named = internet.prepareAddress(withUser, request_flags::kExistingConnect);
  ASSERT_TRUE(internet.openAddress(named));
  body.clear();
  ASSERT_TRUE(readAll(named, body, 4096));
  EXPECT_TRUE(body == content);
  internet.close(named);

  NetHandle missing =
      internet.prepareAddress(ftp.address("/missing.bin"), request_flags::kExistingConnect);
  EXPECT_FALSE(internet.openAddress(missing));
  internet.close(missing);
  EXPECT_EQ(internet.openHandleCount(), 1u);  // the root
}

TEST_F(WinInetInternetTest, HttpAddressOpensByAddressToo) {
  NetHandle handle = internet.prepareAddress(server.address("/gen/1000?seed=4"), 0);
  ASSERT_TRUE(internet.openAddress(handle));
  std::string body;
  ASSERT_TRUE(readAll(handle, body));
  EXPECT_EQ(body, generatedBytes(4, 0, 1000));
}

TEST_F(WinInetInternetTest, ClosingFromAnotherThreadReleasesAnOpenWaitingForTheServer) {
  // The HTTP server takes the connection and waits for a request; the library waits for an
  // FTP greeting (30 s under Wine before it gives up).
  const std::string silent = "ftp://127.0.0.1:" + std::to_string(server.port()) + "/x.bin";
  NetHandle address = internet.prepareAddress(silent, request_flags::kExistingConnect);
  ASSERT_NE(address, 0u);
  std::thread closer([&] {
    Sleep(300);
    internet.close(address);
  });
  const DWORD began = GetTickCount();
  EXPECT_FALSE(internet.openAddress(address));
  EXPECT_LT(GetTickCount() - began, 15000u) << "released by the close, not by the library";
  closer.join();
  uint32_t available = 0;
  EXPECT_FALSE(internet.queryDataAvailable(address, available));
}

// With the test authority trusted: each certificate fails as its fault says, an accepted
// fault lets the request through, and https redirects to http (and back) are followed and
// tell where they ended. One test, so that no other test of the run trusts the authority.
TEST(WinInetCertificates, AreCheckedAndReportedAndCanBeAcceptedPerRequest) {
  const std::string folder = testCertificatesFolder();
  ASSERT_FALSE(folder.empty()) << "HAULIX_TEST_CERTIFICATES names the certificates' folder "
                                  "(scripts/windows-tests.sh makes them)";
  TrustedAuthority authority(windowsPathOf(folder + "/authority.pem"));
  ASSERT_TRUE(authority.trusted()) << authority.error();
  WinInetInternet internet;
  struct Case {
    const char* certificate;
    CertificateFault fault;
  } cases[] = {{"good", CertificateFault::kNone},
               {"other", CertificateFault::kNameWrong},
               {"expired", CertificateFault::kExpired},
               {"self", CertificateFault::kNotTrusted}};
  for (const Case& c : cases) {
    LocalServer server(LocalServer::Kind::Https, {"--tls", folder + "/" + c.certificate + ".pem"});
    ASSERT_TRUE(server.running()) << server.error();
    for (bool accept : {false, true}) {
      NetHandle connection = internet.connect("127.0.0.1", server.port(), "", "");
      NetHandle request = internet.openRequest(connection, "GET", "/gen/100?seed=3", "",
                                               request_flags::kDefault | request_flags::kSecure);
      if (accept) {
        EXPECT_TRUE(internet.acceptCertificateFaults(request));
      }
      CertificateFault fault = CertificateFault::kOther;
      const bool sent = internet.sendRequest(request, fault);
      const bool refused = c.fault != CertificateFault::kNone && !accept;
      EXPECT_EQ(sent, !refused) << c.certificate << (accept ? " accepted" : "");
      EXPECT_EQ(fault, refused ? c.fault : CertificateFault::kNone) << c.certificate;
      internet.close(request);
      internet.close(connection);
    }
  }

  // Redirects between two servers: after one that changes the scheme alone, on the same
  // host and port, Wine reports the old scheme (see docs/WININET.md).
  LocalServer secureServer(LocalServer::Kind::Https, {"--tls", folder + "/good.pem"});
  ASSERT_TRUE(secureServer.running()) << secureServer.error();
  LocalServer plainServer(LocalServer::Kind::Http);
  ASSERT_TRUE(plainServer.running()) << plainServer.error();
  const std::string plain = plainServer.address("/gen/300?seed=5");
  const std::string secure = secureServer.address("/gen/400?seed=6");
  struct Redirect {
    const LocalServer& server;
    bool secure;
    std::string path;
    std::string reached;
    std::string body;
  } redirects[] = {
      {secureServer, true, "/gen/1?redirect=" + plain, plain, generatedBytes(5, 0, 300)},
      {plainServer, false, "/gen/1?redirect=" + secure, secure, generatedBytes(6, 0, 400)},
      {secureServer, true, "/gen/200?seed=7", secureServer.address("/gen/200?seed=7"),
       generatedBytes(7, 0, 200)}};
  for (const Redirect& r : redirects) {
    NetHandle connection = internet.connect("127.0.0.1", r.server.port(), "", "");
    NetHandle request = internet.openRequest(
        connection, "GET", r.path, "", request_flags::kDefault | (r.secure ? request_flags::kSecure : 0));
    CertificateFault fault = CertificateFault::kNone;
    ASSERT_TRUE(internet.sendRequest(request, fault)) << r.path;
    std::string reached;
    EXPECT_TRUE(internet.queryAddress(request, reached));
    EXPECT_EQ(reached, r.reached);
    std::string body;
    char buffer[4096];
    uint32_t got = 0;
    while (internet.read(request, buffer, sizeof buffer, got) && got > 0) body.append(buffer, got);
    EXPECT_TRUE(body == r.body) << r.path;
    internet.close(request);
    internet.close(connection);
  }
}

}  // namespace
