// A whole day of the download queue: five addresses, three files at once, servers that are
// fine, slow, stalling, missing and dropping, driven by idle passes with the clock moved by
// hand, and the Status and Size cells read along the way.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "unit/download_world.h"

namespace {

constexpr char kSaved[] = "C:\\Users\\me\\Documents\\My Downloaded Files\\";
constexpr int kStatus = 0;
constexpr int kSize = 2;

class DownloadDayTest : public ::testing::Test {
 protected:
  DownloadDayTest() {
    world.setNumber("get", &Settings::filesAtOnce, 3);
    world.setNumber("sub", &Settings::subfolderScheme, 3);  // site \ folder-folder \ file
    // As the port on WinInet: a query tells all that has arrived, a read takes it.
    world.internet.setPartialReads(true);
    world.internet.setAvailableCap(1 << 20);

    serveFile("fine.example", fine);
    world.internet.setServer("missing.example", 80, [](const FakeRequest&) {
      FakeReply reply;
      reply.statusCode = 404;
      reply.statusText = " Gone Fishing ";
      reply.body = FakeBody::of("not here");
      return reply;
    });
    // The first reply ends at 200,000 bytes: the server closed early, which the library
    // reports as the end of the reply.
    serveFile("drop.example", drop, [](const FakeRequest& request, FakeReply& reply) {
      if (request.rangeStart < 0) reply.endAt = 200000;
    });
    serveFile("slow.example", slow, [this](const FakeRequest& request, FakeReply& reply) {
      reply.gate = request.rangeStart < 0 ? slowFirst : slowSecond;
    });
    // The first reply stalls once it has sent what its gate allowed; later ones are fine.
    serveFile("stall.example", stall, [this](const FakeRequest& request, FakeReply& reply) {
      if (request.rangeStart < 0) reply.gate = stallGate;
    });

    world.queue.addAddresses(
        "http://fine.example/pub/dist/fine.zip\r\nhttp://missing.example/gone.zip\r\n"
        "http://drop.example/pub/drop.bin\r\nhttp://slow.example/files/slow.iso\r\n"
        "http://stall.example/data/stall.dat");
    world.showNewRows();
  }

  void serveFile(const std::string& host, std::shared_ptr<const FakeBody> body,
                 std::function<void(const FakeRequest&, FakeReply&)> change = {}) {
    world.internet.setServer(host, 80, [body, change](const FakeRequest& request) {
      FakeReply reply = FakeInternet::fileReply(request, body);
      if (change) change(request, reply);
      return reply;
    });
  }

  DownloadItem* item(const std::string& host) {
    for (DownloadItem* item = world.queue.first(); item; item = item->next) {
      if (item->address.host == host) return item;
    }
    return nullptr;
  }
  std::string cell(const std::string& host, int column) {
    return world.rows.text(world.rows.findRow(item(host)), column);
  }
  std::vector<FakeRequest> requestsTo(const std::string& host) {
    std::vector<FakeRequest> found;
    for (const FakeRequest& request : world.internet.requests()) {
      if (request.host == host) found.push_back(request);
    }
    return found;
  }
  // Lets bytes through the gates and waits until each worker has taken them and waits again.
  void deliver(const std::vector<std::pair<int, int64_t>>& amounts) {
    const uint64_t events = world.internet.blockEvents();
    for (const auto& [gate, bytes] : amounts) world.internet.allow(gate, bytes);
    ASSERT_TRUE(world.internet.waitForBlockEvents(events + amounts.size()));
  }
  bool finished(const std::string& host) {
    const DownloadItem* it = item(host);
    return it->state == DownloadState::Done || it->state == DownloadState::Failed;
  }

  DownloadWorld world;
  std::shared_ptr<const FakeBody> fine = FakeBody::pattern(300000, 1);
  std::shared_ptr<const FakeBody> drop = FakeBody::pattern(500000, 2);
  std::shared_ptr<const FakeBody> slow = FakeBody::pattern(2000000, 3);
  std::shared_ptr<const FakeBody> stall = FakeBody::pattern(1048000, 4);
  int slowFirst = world.internet.makeGate(0);
  int slowSecond = world.internet.makeGate(0);
  int stallGate = world.internet.makeGate(0);
};

TEST_F(DownloadDayTest, FiveAddressesThreeAtOnceEachEndsDoneOrFailedWithItsTexts) {
  // Morning: the first three rows start; nothing has arrived yet.
  world.scheduler.runScheduler();
  EXPECT_EQ(cell("drop.example", kStatus), "Getting");
  EXPECT_EQ(cell("fine.example", kStatus), "Getting");
  EXPECT_EQ(cell("missing.example", kStatus), "Getting");
  EXPECT_EQ(cell("slow.example", kStatus), "");
  EXPECT_EQ(item("slow.example")->job, nullptr);

  // The quick ones end; the two that waited start, and the dropped one is started again
  // for the rest of its file.
  ASSERT_TRUE(world.runUntil([&] {
    return finished("fine.example") && finished("missing.example") && finished("drop.example");
  }));
  EXPECT_EQ(item("fine.example")->state, DownloadState::Done);
  EXPECT_EQ(item("fine.example")->savedPath,
            std::string(kSaved) + "fine.example\\pub-dist\\fine.zip");
  EXPECT_EQ(world.files.contents(item("fine.example")->savedPath), fine->bytes());
  EXPECT_EQ(cell("fine.example", kStatus), "Done");
  EXPECT_EQ(cell("fine.example", kSize), "293 KB");

  EXPECT_EQ(item("missing.example")->state, DownloadState::Failed);
  EXPECT_EQ(item("missing.example")->message, "Gone Fishing");
  EXPECT_EQ(cell("missing.example", kStatus), "Gone Fishing");

  EXPECT_EQ(item("drop.example")->state, DownloadState::Done);
  EXPECT_EQ(item("drop.example")->savedPath, std::string(kSaved) + "drop.example\\pub\\drop.bin");
  EXPECT_EQ(world.files.contents(item("drop.example")->savedPath), drop->bytes());
  const std::vector<FakeRequest> dropped = requestsTo("drop.example");
  ASSERT_EQ(dropped.size(), 2u);
  EXPECT_EQ(dropped[1].headers, "Range: bytes=200000-\r\n");

  // Midday: the slow file gets a second connection (a second Get), the stalling one waits.
  ASSERT_NE(item("slow.example")->job, nullptr);
  ASSERT_NE(item("stall.example")->job, nullptr);
  // The row started in the pass that saw the last of the three end gets its connection in
  // the next one.
  ASSERT_TRUE(world.runUntil([&] { return world.internet.blockedCalls() >= 2; }));
  world.scheduler.runScheduler();
  ASSERT_EQ(item("slow.example")->job->totalSize, 2000000);
  world.commands.startItem(*item("slow.example"));
  world.scheduler.runScheduler();
  ASSERT_TRUE(world.internet.waitForBlockedCalls(3));
  EXPECT_EQ(requestsTo("slow.example").back().headers, "Range: bytes=1166666-\r\n");

  // The first data: its bytes only start the measurement.
  deliver({{slowFirst, 210000}, {slowSecond, 200000}, {stallGate, 440200}});
  world.clock.advance(1000);
  // A second later, 6,300 bytes on each of the slow file's connections.
  deliver({{slowFirst, 6300}, {slowSecond, 6300}});
  world.scheduler.runScheduler();
  EXPECT_EQ(cell("slow.example", kStatus), "2 min 5 sec at 12.3 KB/s to get from 2 connections");
  EXPECT_EQ(cell("slow.example", kSize), "21% 413 KB/1,954 KB");
  EXPECT_EQ(cell("stall.example", kStatus), "Getting");
  EXPECT_EQ(cell("stall.example", kSize), "42% 430 KB/1,024 KB");

  // Nothing more comes for 17 seconds.
  world.clock.advance(17000);
  world.scheduler.runScheduler();
  EXPECT_EQ(cell("stall.example", kStatus), "No response for 15 sec");
  EXPECT_EQ(cell("slow.example", kStatus), "No response for 15 sec from 2 connections");

  // Afternoon: after 91 s of silence the stalled connection is given up and the rest of the
  // file is asked for anew; the slow one has been silent for exactly 90 s and goes on.
  world.clock.advance(73000);
  ASSERT_TRUE(world.runUntil([&] { return finished("stall.example"); }));
  EXPECT_EQ(item("stall.example")->state, DownloadState::Done);
  EXPECT_EQ(item("stall.example")->savedPath,
            std::string(kSaved) + "stall.example\\data\\stall.dat");
  EXPECT_EQ(world.files.contents(item("stall.example")->savedPath), stall->bytes());
  EXPECT_EQ(requestsTo("stall.example").back().headers, "Range: bytes=440200-\r\n");
  EXPECT_EQ(requestsTo("slow.example").size(), 2u);
  EXPECT_EQ(item("slow.example")->job->running, 2);

  // Evening: the slow server sends the rest; the two pieces are joined.
  world.internet.openGate(slowFirst);
  world.internet.openGate(slowSecond);
  ASSERT_TRUE(world.runUntil([&] { return finished("slow.example"); }));
  EXPECT_EQ(item("slow.example")->state, DownloadState::Done);
  EXPECT_EQ(item("slow.example")->savedPath,
            std::string(kSaved) + "slow.example\\files\\slow.iso");
  EXPECT_EQ(world.files.contents(item("slow.example")->savedPath), slow->bytes());
  EXPECT_EQ(cell("slow.example", kStatus), "Done");
  EXPECT_EQ(cell("slow.example", kSize), "1,954 KB");

  // Night: every item is Done or Failed, and no piece file is left anywhere.
  for (DownloadItem* it = world.queue.first(); it; it = it->next) {
    EXPECT_EQ(it->job, nullptr);
    EXPECT_EQ(it->state,
              it->address.host == "missing.example" ? DownloadState::Failed : DownloadState::Done);
  }
  for (const std::string& path : world.files.allPaths()) {
    EXPECT_EQ(path.find("\\haulix "), std::string::npos) << path;
  }
  world.scheduler.runScheduler();
  EXPECT_EQ(world.internet.openHandles(), 0);
}

}  // namespace
