#include "download/download_queue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "unit/download_world.h"

namespace {

std::vector<std::string> addressesOf(const DownloadQueue& queue) {
  std::vector<std::string> all;
  for (DownloadItem* item = queue.first(); item; item = item->next)
    all.push_back(item->address.fullAddress);
  return all;
}

// Both directions of the links agree, and the count is right.
void expectConsistentLinks(const DownloadQueue& queue) {
  size_t count = 0;
  DownloadItem* previous = nullptr;
  for (DownloadItem* item = queue.first(); item; item = item->next) {
    ASSERT_EQ(item->previous, previous);
    previous = item;
    ++count;
  }
  EXPECT_EQ(count, queue.size());
}

class DownloadQueueTest : public testing::Test {
 protected:
  DownloadWorld world;
  DownloadQueue& queue = world.queue;
};

TEST_F(DownloadQueueTest, RefusesAnAddressAlreadyQueued) {
  EXPECT_EQ(queue.addAddresses("http://a/x"), 1u);
  EXPECT_EQ(queue.addAddresses("http://a/x"), 0u);
  EXPECT_EQ(queue.addAddresses("http://a/y\r\nhttp://a/y"), 1u);
  EXPECT_EQ(addressesOf(queue), (std::vector<std::string>{"http://a/x", "http://a/y"}));
}

TEST_F(DownloadQueueTest, TellsAddressesApartByPathCaseButNotByHostCase) {
  queue.addAddresses("http://a/x\r\nhttp://a/X\r\nHTTP://A/x");
  EXPECT_EQ(queue.size(), 2u);
}

TEST_F(DownloadQueueTest, TakesOneAddressPerLineAndDropsWhatIsNoAddress) {
  EXPECT_EQ(queue.addAddresses("host.example/files/a.zip\r\n\r\nmailto:me@example.com"), 1u);
  ASSERT_EQ(queue.size(), 1u);
  DownloadItem* item = queue.first();
  EXPECT_EQ(item->address.fullAddress, "http://host.example/files/a.zip");
  EXPECT_EQ(item->state, DownloadState::Queued);
  EXPECT_EQ(item->priority, 0);
  EXPECT_EQ(item->size, -1);
  EXPECT_EQ(item->job, nullptr);
  EXPECT_FALSE(item->rowShown);
  // Spaces around a line go; a line of spaces is nothing.
  EXPECT_EQ(queue.addAddresses("   http://b/c   \r\n   \r\n"), 1u);
  EXPECT_EQ(queue.addAddresses(""), 0u);
}

TEST_F(DownloadQueueTest, SplitsLinesAtCrLfALoneLfAndALoneCr) {
  EXPECT_EQ(queue.addAddresses("http://h/1\nhttp://h/2\rhttp://h/3\r\nhttp://h/4\n\r"
                               "http://h/5\r\r\nhttp://h/6\n"),
            6u);
  EXPECT_EQ(addressesOf(queue),
            (std::vector<std::string>{"http://h/1", "http://h/2", "http://h/3", "http://h/4",
                                      "http://h/5", "http://h/6"}));
}

TEST_F(DownloadQueueTest, KeepsAddressOrderWhateverTheOrderOfArrival) {
  queue.addAddresses("http://h/m\r\nhttp://h/c\r\nhttp://h/x\r\nhttp://h/a\r\nhttp://h/n");
  EXPECT_EQ(addressesOf(queue), (std::vector<std::string>{"http://h/a", "http://h/c",
                                                          "http://h/m", "http://h/n",
                                                          "http://h/x"}));
  expectConsistentLinks(queue);
}

TEST_F(DownloadQueueTest, SearchesFromWhereTheLastSearchStopped) {
  queue.addAddresses("http://h/b\r\nhttp://h/d\r\nhttp://h/f");
  // The cursor ends on the item where the comparison changed sign.
  world.add("http://h/e");
  EXPECT_EQ(queue.cursor()->address.fullAddress, "http://h/f");
  world.add("http://h/a");
  EXPECT_EQ(queue.cursor()->address.fullAddress, "http://h/b");
  EXPECT_EQ(queue.first()->address.fullAddress, "http://h/a");
  // A refused duplicate leaves the cursor where its search went.
  EXPECT_EQ(world.add("http://h/e"), nullptr);
  EXPECT_EQ(queue.cursor()->address.fullAddress, "http://h/e");
  expectConsistentLinks(queue);
}

TEST_F(DownloadQueueTest, RemovingMovesTheCursorAndTheFirstItem) {
  queue.addAddresses("http://h/a\r\nhttp://h/b\r\nhttp://h/c");
  DownloadItem* b = queue.first()->next;
  world.add("http://h/b");  // a refused search stops on b
  ASSERT_EQ(queue.cursor(), b);
  queue.removeItem(b);
  EXPECT_EQ(queue.cursor()->address.fullAddress, "http://h/a");
  queue.removeItem(queue.first());
  EXPECT_EQ(queue.first()->address.fullAddress, "http://h/c");
  EXPECT_EQ(queue.cursor(), queue.first());
  queue.removeItem(queue.first());
  EXPECT_EQ(queue.first(), nullptr);
  EXPECT_EQ(queue.cursor(), nullptr);
  EXPECT_TRUE(queue.empty());
  EXPECT_EQ(queue.addAddresses("http://h/z"), 1u);
}

TEST_F(DownloadQueueTest, TellsApartAddressesThatTheLocaleOrderCallsEqual) {
  // The system's comparison ignores the soft hyphen, so two different addresses compare
  // equal; the bytes must decide, or one would be refused as a duplicate.
  world.rules.ignoredBytes = {0xAD};
  EXPECT_EQ(queue.addAddresses("http://a/a\xAD"), 1u);
  EXPECT_EQ(queue.addAddresses("http://a/a"), 1u);
  EXPECT_EQ(queue.addAddresses("http://a/a\xAD"), 0u);
  EXPECT_EQ(queue.size(), 2u);
  expectConsistentLinks(queue);
}

TEST_F(DownloadQueueTest, HoldsAHundredThousandRandomAddressesInOrderWithoutDuplicates) {
  std::mt19937 random(20261208);
  std::vector<std::string> lines;
  std::set<std::string> distinct;
  for (int i = 0; i < 100000; ++i) {
    // About one in ten is a duplicate of an earlier one.
    std::string address = "http://host" + std::to_string(random() % 50) + ".example/f/" +
                          std::to_string(random() % 90000) + ".zip";
    lines.push_back(address);
    distinct.insert(address);
  }
  size_t added = 0;
  for (const std::string& line : lines) added += queue.addAddresses(line);
  EXPECT_EQ(added, distinct.size());
  EXPECT_EQ(queue.size(), distinct.size());
  std::vector<std::string> held = addressesOf(queue);
  EXPECT_TRUE(std::is_sorted(held.begin(), held.end()));
  EXPECT_EQ(std::adjacent_find(held.begin(), held.end()), held.end());
  expectConsistentLinks(queue);
}

}  // namespace
