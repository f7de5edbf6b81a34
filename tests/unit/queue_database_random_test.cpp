// Damaged, cut, random and huge queue files: each loads what it can, never crashes or
// hangs, and what was loaded saves and loads again unchanged. Fixed seeds.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "download/queue_database.h"
#include "unit/download_world.h"

namespace {

constexpr char kDatabase[] = "C:\\Users\\me\\Application Data\\Haulix\\haulix.db";
constexpr char kTextList[] = "C:\\Windows\\hxdata.bin";
constexpr char kRecordFile[] = "C:\\Windows\\hxdat.bin";

// What a load made of one item, enough to tell two loads apart.
struct Snapshot {
  std::vector<std::string> texts;
  int state;
  int priority;
  int64_t size;
  bool job;
  bool operator==(const Snapshot&) const = default;
};

std::string zeroEnded(const std::vector<std::string>& texts) {
  std::string out;
  for (const std::string& text : texts) out += text + std::string(1, '\0');
  return out;
}

std::string oldRecord(const std::string& address, int32_t status, int32_t size,
                      const std::string& path) {
  std::string record(1020, '\0');
  record.replace(8, address.size(), address);
  for (int i = 0; i < 4; ++i) {
    record[508 + i] = static_cast<char>((static_cast<uint32_t>(status) >> (8 * i)) & 0xFF);
    record[512 + i] = static_cast<char>((static_cast<uint32_t>(size) >> (8 * i)) & 0xFF);
  }
  record.replace(516, path.size(), path);
  return record;
}

// Bytes that mean something to one of the readers.
constexpr char kTelling[] = {'\r', '\n', '\0', '\t', ':', '\\', '/', '-', '0', '1', '2',
                             'D',  'N',  'P',  'I',  'C', '%',  '?', '#', '@', '.', ' '};

char tellingByte(std::mt19937& random) {
  return kTelling[random() % sizeof kTelling];
}

// A few random edits: bytes changed, put in or taken out, stretches doubled, the end cut.
// With keepLength, nearly every edit leaves the length as it was.
std::string mutate(std::string bytes, std::mt19937& random, bool keepLength) {
  const int edits = 1 + static_cast<int>(random() % 8);
  for (int e = 0; e < edits; ++e) {
    const size_t at = bytes.empty() ? 0 : random() % bytes.size();
    int kind = static_cast<int>(random() % 6);
    if (keepLength && random() % 10 != 0) kind = kind % 2;
    switch (kind) {
      case 0:
        if (!bytes.empty()) bytes[at] = static_cast<char>(random());
        break;
      case 1:
        if (!bytes.empty()) bytes[at] = tellingByte(random);
        break;
      case 2:
        bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), tellingByte(random));
        break;
      case 3:
        bytes.erase(at, 1 + random() % 16);
        break;
      case 4: {
        const size_t from = bytes.empty() ? 0 : random() % bytes.size();
        bytes.insert(at, bytes.substr(from, 1 + random() % 64));
        break;
      }
      default:
        bytes.resize(at);
        break;
    }
  }
  return bytes;
}

class QueueDatabaseRandomTest : public testing::Test {
 protected:
  // The items of the queue. A CR or LF that an old file held inside a text is saved as a
  // space, so they are compared as spaces (and the names derived from them not at all).
  std::vector<Snapshot> snapshot() {
    std::vector<Snapshot> all;
    for (DownloadItem* item = world.queue.first(); item; item = item->next) {
      const UrlParts& a = item->address;
      Snapshot one{{a.scheme, a.user, a.password, a.host, a.port, a.folder, a.baseName, a.extension,
                    a.extra, a.fullAddress, item->savedPath, item->message},
                   static_cast<int>(item->state),
                   item->priority,
                   item->size,
                   item->job != nullptr};
      for (std::string& text : one.texts)
        for (char& c : text)
          if (c == '\r' || c == '\n') c = ' ';
      all.push_back(std::move(one));
    }
    return all;
  }

  void clearQueue() {
    while (!world.queue.empty()) world.queue.removeItem(world.queue.first());
    for (const char* path : {kDatabase, kTextList, kRecordFile}) world.files.deleteFile(path);
  }

  // The queue is in strictly ascending address order, with links that agree.
  void expectOrderedQueue() {
    DownloadItem* previous = nullptr;
    for (DownloadItem* item = world.queue.first(); item; item = item->next) {
      ASSERT_EQ(item->previous, previous);
      if (previous) {
        ASSERT_LT(
            world.text.compareAddresses(previous->address.fullAddress, item->address.fullAddress),
            0);
      }
      previous = item;
    }
  }

  // Loads the bytes as the given file, then saves what came and loads that again: the
  // second load must give exactly the first. Gives how many items the first load made.
  size_t loadSaveAndReload(const std::string& path, const std::string& bytes) {
    clearQueue();
    world.files.putFile(path, bytes);
    const QueueLoad load = database.loadQueueDatabase();
    EXPECT_EQ(load.restored, world.queue.size());
    expectOrderedQueue();
    const std::vector<Snapshot> first = snapshot();
    const QueueSaveResult saved = database.saveQueueDatabase();
    EXPECT_EQ(saved, first.empty() ? QueueSaveResult::kDeleted : QueueSaveResult::kWritten);
    while (!world.queue.empty()) world.queue.removeItem(world.queue.first());
    world.files.deleteFile(kTextList);
    world.files.deleteFile(kRecordFile);
    database.loadQueueDatabase();
    EXPECT_EQ(snapshot(), first) << "after loading " << path;
    return first.size();
  }

  // A database of items of every kind, as the program writes it.
  std::string sampleDatabase() {
    clearQueue();
    world.queue.addAddresses(
        "https://user:pw@Host.example:8443/a/b/file.tar.gz?x=1#top\r\n"
        "ftp://f/pub/\r\nhttp://h/missing.htm\r\nhttp://h/first\r\nhttp://h/done.zip\r\n"
        "http://h/%41%20b.txt\r\ngopher://g/1/x\r\nhttp://h:81/q?a=%0D%0A");
    DownloadItem* item = world.queue.first();
    world.queue.setState(*item, DownloadState::Inactive);
    item = item->next;
    world.queue.setState(*item, DownloadState::Failed);
    item->message = "404 Not Found";
    item = item->next;
    item->priority = -1;
    item = item->next;
    world.queue.setState(*item, DownloadState::Done);
    item->size = 12345678901;
    item->savedPath = "C:\\s\\done.zip";
    item = item->next;
    world.queue.setJob(*item, world.engine.createJob(item->address, "C:\\dl", ""));
    EXPECT_EQ(database.saveQueueDatabase(), QueueSaveResult::kWritten);
    return world.files.contents(kDatabase).value_or("");
  }

  std::string sampleTextList() {
    std::vector<std::string> texts = {"12"};
    const std::vector<std::vector<std::string>> records = {
        {"http://", "", "", "h", "", "/", "a", ".zip", "", "D", "42", "C:\\a.zip"},
        {"ftp://", "u:", "p@", "f", ":21", "/pub/", "b", "", "", "N", "-1", ""},
        {"http://", "", "", "h", "", "/d/", "", "", "?q=1", "P", "-1", ""},
        {"https://", "", "", "s", ":444", "/", "c", ".htm", "#x", "G", "7", "C:\\c.htm"},
    };
    for (const auto& record : records) texts.insert(texts.end(), record.begin(), record.end());
    return zeroEnded(texts);
  }

  std::string sampleRecordFile() {
    std::string bytes(40, 'x');
    bytes += oldRecord("http://h/a.zip", 0, 5, "C:\\stale");
    bytes += oldRecord("http://h/b.zip", 1, -1, "");
    bytes += oldRecord("http://h/c.zip", 2, 300, "D:\\got\\c.zip");
    bytes += oldRecord("ftp://f/d", 3, 0, "");
    bytes += oldRecord("http://u:p@h:99/e?x", 4, 0, "C:\\e");
    bytes += oldRecord("https://s/f", 7, 1, "C:\\f");
    return bytes;
  }

  DownloadWorld world;
  QueueDatabase database{world.queue, world.fileOps, world.parser, world.settings, world.folders};
};

TEST_F(QueueDatabaseRandomTest, MutatedDatabasesLoadWhatTheyCanAndReloadTheSame) {
  const std::string sample = sampleDatabase();
  ASSERT_EQ(loadSaveAndReload(kDatabase, sample), 8u);
  std::mt19937 random(20240611);
  size_t loaded = 0;
  for (int i = 0; i < 3000; ++i) {
    loaded += loadSaveAndReload(kDatabase, mutate(sample, random, false));
    if (HasFailure()) break;
  }
  EXPECT_GT(loaded, 2000u);  // the edits leave enough to read
}

TEST_F(QueueDatabaseRandomTest, MutatedTextListsLoadWhatTheyCanAndReloadTheSame) {
  const std::string sample = sampleTextList();
  ASSERT_EQ(loadSaveAndReload(kTextList, sample), 4u);
  std::mt19937 random(777);
  size_t loaded = 0;
  for (int i = 0; i < 3000; ++i) {
    std::string bytes = mutate(sample, random, false);
    // Most cuts and insertions lose the final zero byte, and with it the whole file.
    if (random() % 2 && (bytes.empty() || bytes.back() != '\0')) bytes.push_back('\0');
    loaded += loadSaveAndReload(kTextList, bytes);
    if (HasFailure()) break;
  }
  EXPECT_GT(loaded, 2000u);  // the edits leave enough to read
}

TEST_F(QueueDatabaseRandomTest, MutatedRecordFilesLoadWhatTheyCanAndReloadTheSame) {
  const std::string sample = sampleRecordFile();
  ASSERT_EQ(loadSaveAndReload(kRecordFile, sample), 6u);
  std::mt19937 random(4242);
  size_t loaded = 0;
  for (int i = 0; i < 3000; ++i) {
    loaded += loadSaveAndReload(kRecordFile, mutate(sample, random, true));
    if (HasFailure()) break;
  }
  EXPECT_GT(loaded, 2000u);  // the edits leave enough to read
}

TEST_F(QueueDatabaseRandomTest, ACutFileLoadsNoMoreThanTheWholeOne) {
  const std::vector<std::pair<const char*, std::string>> files = {
      {kDatabase, sampleDatabase()},
      {kTextList, sampleTextList()},
      {kRecordFile, sampleRecordFile()}};
  for (const auto& [path, whole] : files) {
    const size_t all = loadSaveAndReload(path, whole);
    for (size_t cut = 0; cut < whole.size(); cut += 7) {
      EXPECT_LE(loadSaveAndReload(path, whole.substr(0, cut)), all) << path << " cut at " << cut;
      if (HasFailure()) return;
    }
  }
  // Only a cut at a record's end leaves a record file that is read.
  const std::string records = sampleRecordFile();
  EXPECT_EQ(loadSaveAndReload(kRecordFile, records.substr(0, 40 + 2 * 1020)), 2u);
  EXPECT_EQ(loadSaveAndReload(kRecordFile, records.substr(0, 40 + 2 * 1020 + 1)), 0u);
}

TEST_F(QueueDatabaseRandomTest, RandomBytesLoadWithoutHarm) {
  std::mt19937 random(99);
  for (int round = 0; round < 30; ++round) {
    std::string bytes(1 + random() % 100000, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    if (round % 3 == 1) bytes = "12" + std::string(1, '\0') + bytes + std::string(1, '\0');
    // The size of a whole number of records, so the record reader goes through them.
    if (round % 3 == 2) bytes.resize(40 + 1020 * (bytes.size() / 1020 + 1));
    const char* path = round % 3 == 0 ? kDatabase : round % 3 == 1 ? kTextList : kRecordFile;
    loadSaveAndReload(path, bytes);
    if (HasFailure()) return;
  }
}

// ---- Files of 100 MB

class HugeQueueFileTest : public QueueDatabaseRandomTest {
 protected:
  static constexpr size_t kHuge = 100u << 20;

  // Runs of random bytes that never begin with `end` nor hold `forbidden`, each followed
  // by `end`, up to kHuge bytes: every record has a non-empty first field, so the readers
  // go through all of them.
  static std::string hugeRuns(char end, const std::string& forbidden, uint32_t seed) {
    std::mt19937 random(seed);
    std::string bytes;
    bytes.reserve(kHuge + 512);
    while (bytes.size() < kHuge) {
      const size_t run = 1 + random() % 300;
      for (size_t i = 0; i < run; ++i) {
        char c = static_cast<char>(random());
        if (c == end || forbidden.find(c) != std::string::npos) c = 'x';
        bytes.push_back(c);
      }
      bytes.push_back(end);
    }
    return bytes;
  }
};

TEST_F(HugeQueueFileTest, AHugeDatabaseOfGarbageLinesKeepsTheGoodLinesBeforeIt) {
  std::string bytes = sampleDatabase();
  bytes += hugeRuns('\n', std::string("\r", 1), 1);
  EXPECT_EQ(loadSaveAndReload(kDatabase, bytes), 8u);
}

TEST_F(HugeQueueFileTest, AHugeFieldIsReadAndWrittenWhole) {
  const std::string bytes = "http://\r\r\rh\r\r/\r" + std::string(kHuge, 'a') + "\r.bin\r\r\n";
  world.files.putFile(kDatabase, bytes);
  ASSERT_EQ(database.loadQueueDatabase().restored, 1u);
  EXPECT_EQ(world.queue.first()->address.baseName.size(), kHuge);
  ASSERT_EQ(database.saveQueueDatabase(), QueueSaveResult::kWritten);
  const std::string expected = bytes.substr(0, bytes.size() - 1) + "P\r-1\r\r\rP\r0\r\r\r\n";
  EXPECT_TRUE(world.files.contents(kDatabase) == expected);  // (too big to print)
}

TEST_F(HugeQueueFileTest, AHugeTextListOfGarbageKeepsTheGoodRecordsBeforeIt) {
  std::string bytes = sampleTextList();
  bytes += hugeRuns('\0', "", 2);
  EXPECT_EQ(loadSaveAndReload(kTextList, bytes), 4u);
}

TEST_F(HugeQueueFileTest, AHugeRecordFileOfGarbageKeepsTheGoodRecords) {
  std::string bytes = sampleRecordFile();
  std::mt19937 random(3);
  const size_t records = (kHuge - bytes.size()) / 1020;
  bytes.reserve(bytes.size() + records * 1020);
  for (size_t r = 0; r < records; ++r) {
    std::string record(1020, '\0');
    for (char& c : record) c = static_cast<char>(random());
    bytes += record;
  }
  EXPECT_GE(loadSaveAndReload(kRecordFile, bytes), 6u);
}

}  // namespace
