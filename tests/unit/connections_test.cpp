// "Connections per file": how many connections Get opens for one file, which servers are
// not asked for more, and the most pieces a job has.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "engine_test_support.h"
#include "unit/download_world.h"

namespace {

// Big enough that every split leaves a gap worth a connection.
constexpr int64_t kBodySize = int64_t{16} << 20;

enum class RangeAnswer { kHonoured, kWholeFile, kBusy, kNoLength };

struct ConnectionsCase {
  const char* name;
  int32_t storedConnections;  // 0: no "conn" value, as in an earlier release's registry
  RangeAnswer answer;
  size_t connectionsAtOnce;  // workers once the size is known
  size_t requestsInAll;      // 0: not counted (connections that keep the job going)
};

class ConnectionsTest : public testing::TestWithParam<ConnectionsCase> {};

int rangedRequests(const std::vector<FakeRequest>& requests) {
  int ranged = 0;
  for (const FakeRequest& request : requests) ranged += request.rangeStart > 0 ? 1 : 0;
  return ranged;
}

TEST_P(ConnectionsTest, GetOpensTheFilesConnectionsOnceItsSizeIsKnown) {
  const ConnectionsCase& c = GetParam();
  DownloadWorld world;
  if (c.storedConnections != 0) {
    world.storeConnectionsPerFile(c.storedConnections);
  }
  auto body = FakeBody::pattern(kBodySize, 3);
  const int gate = world.internet.makeGate(0);
  world.internet.setServer("h", 80, [&](const FakeRequest& request) {
    FakeReply reply = FakeInternet::fileReply(request, body);
    reply.gate = gate;
    if (request.rangeStart > 0 && c.answer == RangeAnswer::kWholeFile) {
      reply = FakeInternet::fileReply(FakeRequest{}, body);
      reply.gate = gate;
    }
    if (request.rangeStart > 0 && c.answer == RangeAnswer::kBusy) {
      reply = FakeReply{};
      reply.statusCode = 503;
      reply.statusText = "Service Unavailable";
    }
    if (c.answer == RangeAnswer::kNoLength) reply.sendContentLength = false;
    return reply;
  });
  DownloadItem* item = world.add("http://h/big.bin");
  world.showNewRows();
  world.commands.startItem(*item);
  ASSERT_NE(item->job, nullptr);
  TransferJob& job = *item->job;
  // The first reply's headers have come (the body is held): the pass after knows the size
  // and opens the other connections.
  if (c.answer == RangeAnswer::kNoLength) {
    ASSERT_TRUE(world.internet.waitForBlockedCalls(1));
    world.scheduler.runScheduler();
  } else {
    ASSERT_TRUE(world.runUntil([&] { return job.totalSize != -1; }));
  }
  {
    std::lock_guard hold(world.engine.lock());
    EXPECT_EQ(job.workers.size(), c.connectionsAtOnce);
  }
  world.internet.openGate(gate);
  ASSERT_TRUE(world.runUntil([&] { return item->state == DownloadState::Done; }));
  EXPECT_EQ(world.files.contents(item->savedPath), body->bytes());
  const std::vector<FakeRequest> requests = world.internet.requests();
  if (c.requestsInAll != 0) EXPECT_EQ(requests.size(), c.requestsInAll);
  EXPECT_GE(rangedRequests(requests), static_cast<int>(c.connectionsAtOnce) - 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConnectionsTest,
    testing::Values(ConnectionsCase{"NoStoredValueMeansOne", 0, RangeAnswer::kHonoured, 1, 1},
                    ConnectionsCase{"OneIsOne", 1, RangeAnswer::kHonoured, 1, 1},
                    ConnectionsCase{"FourWithRanges", 4, RangeAnswer::kHonoured, 4, 0},
                    ConnectionsCase{"MoreThanEightIsEight", 12, RangeAnswer::kHonoured, 8, 0},
                    // The three asked for at once are refused, and none is asked again.
                    ConnectionsCase{"WholeFilesOnly", 4, RangeAnswer::kWholeFile, 4, 4},
                    ConnectionsCase{"BusyForMore", 4, RangeAnswer::kBusy, 4, 4},
                    ConnectionsCase{"UnknownSize", 4, RangeAnswer::kNoLength, 1, 1}),
    [](const testing::TestParamInfo<ConnectionsCase>& info) { return info.param.name; });

TEST(ConnectionsGet, AGetOnARunningItemAddsOneMoreConnection) {
  DownloadWorld world;
  world.storeConnectionsPerFile(2);
  auto body = FakeBody::pattern(kBodySize, 4);
  const int gate = world.internet.makeGate(0);
  world.serveGated("h", body, gate);
  DownloadItem* item = world.add("http://h/big.bin");
  world.showNewRows();
  world.commands.startItem(*item);
  ASSERT_TRUE(world.runUntil([&] { return world.internet.requests().size() >= 2; }));
  world.commands.startItem(*item);
  {
    std::lock_guard hold(world.engine.lock());
    EXPECT_EQ(item->job->workers.size(), 3u);
  }
  world.internet.openGate(gate);
  ASSERT_TRUE(world.runUntil([&] { return item->state == DownloadState::Done; }));
  EXPECT_EQ(world.files.contents(item->savedPath), body->bytes());
}

class PieceLimitTest : public EngineTest {};

TEST_F(PieceLimitTest, AJobNeverSplitsBeyondItsMostPieces) {
  // 31 stored pieces of 10 bytes each at the front, and a gap after them.
  auto body = FakeBody::pattern(100000, 5);
  serve(body);
  std::string resume = "100000\t";
  for (int i = 0; i < 31; ++i) {
    const std::string path = kFolder + "\\haulix aaaa00000000000000000000000000" +
                             (i < 10 ? "0" : "") + std::to_string(i) + ".db";
    ASSERT_TRUE(files.putFile(path, body->bytes(i * 10, 10)));
    resume += std::to_string(i * 10) + "\t" + path + "\t";
  }
  TransferJob* job = engine->createJob(web(), kFolder, resume);
  job->wanted = 5;
  engine->runJobPass();
  EXPECT_EQ(locked([&] { return job->workers.size(); }), kMostPiecesPerJob);
  EXPECT_EQ(job->wanted, 4);
  ASSERT_TRUE(passUntilResult(*job));
  EXPECT_EQ(files.contents(job->finishedPath), body->bytes());
}

}  // namespace

namespace {

// Active connections to the host, over every job of the engine.
int connectionsTo(DownloadWorld& world, const std::string& host) {
  std::lock_guard hold(world.engine.lock());
  int count = 0;
  for (const auto& job : world.engine.jobs()) {
    if (job->address.host != host) continue;
    for (const auto& worker : job->workers) count += isActiveState(worker->state) ? 1 : 0;
  }
  return count;
}

TEST(HostLimit, NeverMoreThanEightConnectionsToOneHostAndTheRestWaitQueued) {
  DownloadWorld world;
  world.storeConnectionsPerFile(2);
  world.setNumber("get", &Settings::filesAtOnce, 12);
  auto body = FakeBody::pattern(int64_t{2} << 20, 6);
  const int gate = world.internet.makeGate(0);
  for (const std::string host : {"h", "g"}) world.serveGated(host, body, gate);
  std::string addresses = "http://g/other.bin";
  for (int i = 0; i < 10; ++i) addresses += "\r\nhttp://h/" + std::to_string(i) + ".bin";
  world.queue.addAddresses(addresses);
  world.showNewRows();
  // Eight items of h run, one connection each; the two others wait without a job, and a
  // second connection for any of them is not opened. The other host is not held up.
  auto waiting = [&] {
    int count = 0;
    for (DownloadItem* item = world.queue.first(); item; item = item->next)
      count += item->address.host == "h" && !item->job ? 1 : 0;
    return count;
  };
  ASSERT_TRUE(world.runUntil([&] {
    return connectionsTo(world, "h") == 8 && connectionsTo(world, "g") == 2;
  }));
  EXPECT_EQ(waiting(), 2);
  world.scheduler.runScheduler();
  EXPECT_EQ(connectionsTo(world, "h"), 8);

  world.internet.openGate(gate);
  int most = 0;
  ASSERT_TRUE(world.runUntil([&] {
    most = std::max(most, connectionsTo(world, "h"));
    for (DownloadItem* item = world.queue.first(); item; item = item->next)
      if (item->state != DownloadState::Done) return false;
    return true;
  }));
  EXPECT_LE(most, 8);
  for (DownloadItem* item = world.queue.first(); item; item = item->next)
    EXPECT_EQ(world.files.contents(item->savedPath), body->bytes()) << item->address.fullAddress;
}

}  // namespace
