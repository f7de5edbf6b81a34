// The queue database on the download model over fakes: what a save writes, what a load
// reads and from where, how stored fields become items, and saves that fail.
#include "download/queue_database.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "store/site_credentials.h"
#include "unit/download_world.h"

namespace {

using Line = std::vector<std::string>;

constexpr char kDatabase[] = "C:\\Users\\me\\Application Data\\Haulix\\haulix.db";
constexpr char kTextList[] = "C:\\Windows\\hxdata.bin";
constexpr char kRecordFile[] = "C:\\Windows\\hxdat.bin";
constexpr char kSaveFolder[] = "C:\\Users\\me\\Documents\\My Downloaded Files";

std::string pieceIn(const std::string& folder, int n) {
  return folder + "\\haulix " + formatNumber(n, 32) + ".db";
}

std::string line(std::initializer_list<std::string> fields) {
  std::string out;
  for (const std::string& field : fields) out += field + "\r";
  return out + "\n";
}

std::string zeroEnded(std::initializer_list<std::string> texts) {
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

class QueueDatabaseTest : public testing::Test {
 protected:
  // The lines of the database on disk, each as its 17 fields.
  std::vector<Line> savedLines() {
    std::vector<Line> lines;
    const std::string bytes = world.files.contents(kDatabase).value_or("");
    readDatabaseText(bytes, [&](const StoredFields& fields) {
      lines.emplace_back(fields.begin(), fields.end());
    });
    return lines;
  }

  DownloadItem* item(const std::string& address) {
    for (DownloadItem* item = world.queue.first(); item; item = item->next)
      if (item->address.fullAddress == address) return item;
    return nullptr;
  }

  // The same disk on the next start of the program (setup already run).
  struct NextStart {
    explicit NextStart(DownloadWorld& earlier) : world(DownloadWorld::SameDiskAs{earlier}) {
      world.settings.loadSettings(world.text);
    }
    DownloadWorld world;
    QueueDatabase database{world.queue, world.fileOps, world.parser, world.settings, world.folders};
  };

  DownloadWorld world;
  QueueDatabase database{world.queue, world.fileOps, world.parser, world.settings, world.folders};
};

// ---- Saving

TEST_F(QueueDatabaseTest, WritesADoneItemAsOneLineWithItsSizeAndSavedPath) {
  DownloadItem* done = world.add("http://h/dir/a.zip");
  world.saveFile(*done, "C:\\s\\a.zip", "abc");
  done->size = 5'000'000'000;  // sizes are 64-bit in the text too
  EXPECT_EQ(database.saveQueueDatabase(), QueueSaveResult::kWritten);
  EXPECT_EQ(world.files.contents(kDatabase),
            "http://\r\r\rh\r\r/dir/\ra\r.zip\r\rD\r5000000000\rC:\\s\\a.zip\r\rD\r\r\r\r\n");
}

TEST_F(QueueDatabaseTest, WritesTheLettersOfEachStateAndThePriorityOfQueuedItems) {
  world.add("http://h/1")->priority = -1;
  DownloadItem* failed = world.add("http://h/2");
  world.queue.setState(*failed, DownloadState::Failed);
  failed->message = "Cannot Save";
  failed->size = 10;  // only a Done item's size is written
  DownloadItem* inactive = world.add("http://h/3");
  world.queue.setState(*inactive, DownloadState::Inactive);
  inactive->priority = 1;  // only a Queued item's priority is written
  world.add("http://h/4");
  ASSERT_EQ(database.saveQueueDatabase(), QueueSaveResult::kWritten);

  const std::vector<Line> lines = savedLines();
  ASSERT_EQ(lines.size(), 4u);
  auto tail = [](const Line& l) { return Line(l.begin() + 9, l.end()); };
  EXPECT_EQ(tail(lines[0]), (Line{"P", "-1", "", "", "P", "-1", "", ""}));
  EXPECT_EQ(tail(lines[1]), (Line{"N", "-1", "", "", "C", "", "Cannot Save", ""}));
  EXPECT_EQ(tail(lines[2]), (Line{"P", "-1", "", "", "I", "", "", ""}));
  EXPECT_EQ(tail(lines[3]), (Line{"P", "-1", "", "", "P", "0", "", ""}));
}

TEST_F(QueueDatabaseTest, ReadsBackWhatItWroteOnTheNextStart) {
  world.queue.addAddresses("https://user:pw@Host.example:8443/a/b/file.tar.gz?x=1#top");
  world.queue.setState(*world.add("ftp://f/pub/"), DownloadState::Inactive);
  DownloadItem* failed = world.add("http://h/missing.htm");
  world.queue.setState(*failed, DownloadState::Failed);
  failed->message = "503 Service\r\nUnavailable";
  world.add("http://h/first")->priority = 1;
  DownloadItem* done = world.add("http://h/done.zip");
  world.saveFile(*done, "C:\\s\\done.zip", "12345");
  ASSERT_EQ(database.saveQueueDatabase(), QueueSaveResult::kWritten);

  NextStart next(world);
  const QueueLoad load = next.database.loadQueueDatabase();
  EXPECT_EQ(load.source, QueueSource::kDatabase);
  EXPECT_EQ(load.restored, 5u);
  DownloadItem* a = world.queue.first();
  DownloadItem* b = next.world.queue.first();
  for (; a && b; a = a->next, b = b->next) {
    EXPECT_EQ(b->address.fullAddress, a->address.fullAddress);
    EXPECT_EQ(b->address.displayName, a->address.displayName);
    EXPECT_EQ(b->address.typeName, a->address.typeName);
    EXPECT_EQ(b->state, a->state) << a->address.fullAddress;
    EXPECT_EQ(b->priority, a->priority) << a->address.fullAddress;
    EXPECT_EQ(b->size, a->size) << a->address.fullAddress;
    EXPECT_EQ(b->savedPath, a->savedPath);
    EXPECT_FALSE(b->rowShown);
    EXPECT_EQ(b->job, nullptr);
  }
  EXPECT_EQ(a, nullptr);
  EXPECT_EQ(b, nullptr);
  // The line breaks of the message came back as spaces, and broke no line.
  DownloadItem* missing = next.world.queue.first();
  while (missing && missing->address.fullAddress != "http://h/missing.htm") missing = missing->next;
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->message, "503 Service  Unavailable");
}

TEST_F(QueueDatabaseTest, KeepsWhatTheFirstReplyToldInTheFieldOlderReleasesLeaveEmpty) {
  DownloadItem* named = world.add("http://h/download.php?id=3");
  world.add("http://h/plain.zip");
  // Saved once before the reply came, so that the line the item keeps must be made again.
  ASSERT_EQ(database.saveQueueDatabase(), QueueSaveResult::kWritten);
  named->serverName = "\xE5\xA0\xB1\xE5\x91\x8A.pdf";
  named->finalAddress = "http://mirror/files/r.pdf";
  ASSERT_EQ(database.saveQueueDatabase(), QueueSaveResult::kWritten);
  const std::vector<Line> lines = savedLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0][12], "\xE5\xA0\xB1\xE5\x91\x8A.pdf\thttp://mirror/files/r.pdf");
  EXPECT_EQ(lines[1][12], "");

  NextStart next(world);
  next.database.loadQueueDatabase();
  const DownloadItem* back = next.world.queue.first();
  ASSERT_TRUE(back);
  EXPECT_EQ(back->serverName, named->serverName);
  EXPECT_EQ(back->finalAddress, named->finalAddress);
  ASSERT_TRUE(back->next);
  EXPECT_EQ(back->next->serverName, "");
  EXPECT_EQ(back->next->finalAddress, "");
}

TEST_F(QueueDatabaseTest, AnEmptyQueueDeletesTheDatabase) {
  world.files.putFile(kDatabase, line({"http://", "", "", "h", "", "/", "a"}),
                      file_attribute::kReadOnly);
  world.files.putFile(database.temporaryPath(), "left by a crash");
  EXPECT_EQ(database.saveQueueDatabase(), QueueSaveResult::kDeleted);
  EXPECT_FALSE(world.files.isFile(kDatabase));
  EXPECT_FALSE(world.files.isFile(database.temporaryPath()));
  // With nothing there, nothing changes.
  EXPECT_EQ(database.saveQueueDatabase(), QueueSaveResult::kDeleted);
}

TEST_F(QueueDatabaseTest, ReplacesTheOldDatabaseWithAFlushedFileAndLeavesNoTemporary) {
  world.files.putFile(kDatabase, line({"http://", "", "", "old", "", "/", "a"}));
  world.add("http://new/a");
  ASSERT_EQ(database.saveQueueDatabase(), QueueSaveResult::kWritten);
  EXPECT_EQ(savedLines().size(), 1u);
  EXPECT_EQ(savedLines()[0][3], "new");
  EXPECT_FALSE(world.files.hasUnflushedWrites(kDatabase));
  EXPECT_FALSE(world.files.isFile(database.temporaryPath()));
  EXPECT_EQ(world.files.attributesOf(kDatabase), file_attribute::kArchive);
}

TEST_F(QueueDatabaseTest, MakesTheDatabaseFolderWhenItIsMissing) {
  world.add("http://h/a");
  ASSERT_FALSE(world.files.isFolder("C:\\Users\\me\\Application Data"));
  EXPECT_EQ(database.saveQueueDatabase(), QueueSaveResult::kWritten);
  EXPECT_EQ(savedLines().size(), 1u);
}

TEST_F(QueueDatabaseTest, WritesManyItemsInOrderAcrossWriteSteps) {
  for (int i = 0; i < 5000; ++i)
    world.add("http://h/" + formatNumber(i, 8) + "/" + std::string(80, 'x'));
  ASSERT_EQ(database.saveQueueDatabase(), QueueSaveResult::kWritten);
  const std::vector<Line> lines = savedLines();
  ASSERT_EQ(lines.size(), 5000u);
  EXPECT_EQ(lines[4999][5], "/" + formatNumber(4999, 8) + "/");
}

// ---- Saves that fail

class QueueDatabaseFailureTest : public QueueDatabaseTest {
 protected:
  QueueDatabaseFailureTest() {
    world.files.putFile(kDatabase, kOld);
    for (int i = 0; i < 3000; ++i) world.add("http://h/" + std::to_string(i));
  }

  void expectOldDatabaseAndNoTemporary() {
    EXPECT_EQ(world.files.contents(kDatabase), kOld);
    EXPECT_FALSE(world.files.isFile(database.temporaryPath()));
    for (const std::string& path : world.files.allPaths())
      EXPECT_EQ(path.find(".new"), std::string::npos) << path;
  }

  const std::string kOld = line({"http://", "", "", "old", "", "/", "a"});
};

TEST_F(QueueDatabaseFailureTest, AFullDiskLeavesThePreviousDatabase) {
  world.files.setFreeSpace(1000);
  EXPECT_EQ(database.saveQueueDatabase(), QueueSaveResult::kFailed);
  world.files.clearFaults();
  expectOldDatabaseAndNoTemporary();
}

TEST_F(QueueDatabaseFailureTest, ARefusedMoveLeavesThePreviousDatabase) {
  world.files.failOperation(FakeFiles::Op::kReplace, os_error::kAccessDenied);
  EXPECT_EQ(database.saveQueueDatabase(), QueueSaveResult::kFailed);
  world.files.clearFaults();
  expectOldDatabaseAndNoTemporary();
}

TEST_F(QueueDatabaseFailureTest, AFailedFlushLeavesThePreviousDatabase) {
  world.files.failOperation(FakeFiles::Op::kFlush, os_error::kDiskFull);
  EXPECT_EQ(database.saveQueueDatabase(), QueueSaveResult::kFailed);
  world.files.clearFaults();
  expectOldDatabaseAndNoTemporary();
}

TEST_F(QueueDatabaseFailureTest, ATemporaryFileThatCannotBeMadeLeavesThePreviousDatabase) {
  world.files.failOperation(FakeFiles::Op::kCreate, os_error::kAccessDenied,
                            database.temporaryPath());
  EXPECT_EQ(database.saveQueueDatabase(), QueueSaveResult::kFailed);
  world.files.clearFaults();
  expectOldDatabaseAndNoTemporary();
}

TEST_F(QueueDatabaseFailureTest, AFailedSaveKeepsOnlyThePiecesThePreviousDatabaseNames) {
  // The previous database names one piece; this run made another for a second item.
  const std::string named = pieceIn(kSaveFolder, 1);
  const std::string unnamed = pieceIn(kSaveFolder, 2);
  world.files.putFile(named, std::string(100, 'a'));
  world.files.putFile(unnamed, std::string(50, 'b'));
  world.files.putFile(kDatabase, line({"http://", "", "", "h", "", "/", "resumed", "", "", "P",
                                       "-1", "", "", "P", "0", "", "1000\t0\t" + named + "\t"}));
  ASSERT_EQ(database.loadQueueDatabase().restored, 1u);
  DownloadItem* other = item("http://h/0");
  world.queue.setJob(
      *other, world.engine.createJob(other->address, kSaveFolder, "1000\t500\t" + unnamed + "\t"));
  ASSERT_EQ(other->job->workers.size(), 1u);

  world.files.failOperation(FakeFiles::Op::kReplace, os_error::kAccessDenied);
  EXPECT_EQ(database.saveQueueDatabase(), QueueSaveResult::kFailed);
  EXPECT_TRUE(world.files.isFile(named));
  EXPECT_FALSE(world.files.isFile(unnamed));
  EXPECT_TRUE(world.engine.jobs().empty());
}

// ---- Choosing what to load

class QueueSourceTest : public QueueDatabaseTest {
 protected:
  const std::string kDatabaseLine = line({"http://", "", "", "db", "", "/", "a"});
  const std::string kTextListBytes =
      zeroEnded({"12", "http://", "", "", "textlist", "", "/", "a", "", "", "P", "-1", ""});
  const std::string kRecordBytes = std::string(40, '\0') + oldRecord("http://records/a", 1, 0, "");

  std::vector<std::string> hosts() {
    std::vector<std::string> all;
    for (DownloadItem* i = world.queue.first(); i; i = i->next) all.push_back(i->address.host);
    return all;
  }
};

TEST_F(QueueSourceTest, ReadsTheDatabaseAndNothingElse) {
  world.files.putFile(kDatabase, kDatabaseLine);
  world.files.putFile(kTextList, kTextListBytes);
  world.files.putFile(kRecordFile, kRecordBytes);
  ASSERT_LT(world.settings.settings().setupLevel, 300);
  EXPECT_EQ(database.loadQueueDatabase().source, QueueSource::kDatabase);
  EXPECT_EQ(hosts(), std::vector<std::string>{"db"});
}

TEST_F(QueueSourceTest, AnEmptyDatabaseOnAFirstRunImportsTheTextListAndLeavesItInPlace) {
  world.files.putFile(kDatabase, "");
  world.files.putFile(kTextList, kTextListBytes);
  world.files.putFile(kRecordFile, kRecordBytes);
  const QueueLoad load = database.loadQueueDatabase();
  EXPECT_EQ(load.source, QueueSource::kOldTextList);
  EXPECT_EQ(load.restored, 1u);
  EXPECT_EQ(hosts(), std::vector<std::string>{"textlist"});
  EXPECT_EQ(world.files.contents(kTextList), kTextListBytes);
}

TEST_F(QueueSourceTest, ImportsTheRecordFileWhenThereIsNoTextList) {
  world.files.putFile(kTextList, "");
  world.files.putFile(kRecordFile, kRecordBytes);
  EXPECT_EQ(database.loadQueueDatabase().source, QueueSource::kOldRecordFile);
  EXPECT_EQ(hosts(), std::vector<std::string>{"records"});
}

TEST_F(QueueSourceTest, ATextListOfAnotherFormatStillStandsInTheRecordFilesWay) {
  world.files.putFile(kTextList, zeroEnded({"11", "http://", "", "", "textlist"}));
  world.files.putFile(kRecordFile, kRecordBytes);
  EXPECT_EQ(database.loadQueueDatabase().restored, 0u);
}

TEST_F(QueueSourceTest, ReadsNoOldFileOnceSetupHasRun) {
  world.settings.loadSettings(world.text);  // the next start reads the level 300 stored
  ASSERT_EQ(world.settings.settings().setupLevel, 300);
  world.files.putFile(kTextList, kTextListBytes);
  world.files.putFile(kRecordFile, kRecordBytes);
  const QueueLoad load = database.loadQueueDatabase();
  EXPECT_EQ(load.source, QueueSource::kNothing);
  EXPECT_TRUE(world.queue.empty());
}

TEST_F(QueueSourceTest, StartsEmptyWithoutAnyFileOrWithAnUnreadableDatabase) {
  EXPECT_EQ(database.loadQueueDatabase().source, QueueSource::kNothing);
  world.files.putFile(kDatabase, kDatabaseLine);
  world.files.putFile(kTextList, kTextListBytes);
  world.files.failOperation(FakeFiles::Op::kMap, os_error::kSharingViolation, kDatabase);
  // A database that is there but cannot be read is not replaced by an old file.
  EXPECT_EQ(database.loadQueueDatabase().source, QueueSource::kNothing);
  EXPECT_TRUE(world.queue.empty());
}

TEST_F(QueueSourceTest, ImportsRecordsByTheirStatus) {
  world.files.putFile(kRecordFile, std::string(40, '\0') +
                                       oldRecord("http://h/notfound", 4, 0, "C:\\x") +
                                       oldRecord("http://h/getting", 1, 50, "C:\\part") +
                                       oldRecord("http://h/done.zip", 2, 300, "C:\\got\\done.zip") +
                                       oldRecord("http://h/queued", 0, 7, "C:\\stale"));
  EXPECT_EQ(database.loadQueueDatabase().restored, 4u);
  EXPECT_EQ(item("http://h/notfound")->state, DownloadState::Failed);
  EXPECT_EQ(item("http://h/notfound")->message, "Not Found");
  EXPECT_EQ(item("http://h/getting")->state, DownloadState::Queued);
  EXPECT_EQ(item("http://h/getting")->savedPath, "");
  EXPECT_EQ(item("http://h/done.zip")->state, DownloadState::Done);
  EXPECT_EQ(item("http://h/done.zip")->size, 300);
  EXPECT_EQ(item("http://h/done.zip")->savedPath, "C:\\got\\done.zip");
  EXPECT_EQ(item("http://h/queued")->size, -1);
}

// ---- Restoring items

TEST_F(QueueDatabaseTest, TheNewStateLetterWinsAndTheOldOneCountsOnlyWithoutIt) {
  world.files.putFile(
      kDatabase,
      line({"http://", "", "", "h", "", "/", "1", "", "", "N", "", "", "", "D", "", "", ""}) +
          line({"http://", "", "", "h", "", "/", "2", "", "", "D", "9", "C:\\2", "", "I"}) +
          line({"http://", "", "", "h", "", "/", "3", "", "", "N"}) +
          line({"http://", "", "", "h", "", "/", "4", "", "", "D", "12", "C:\\4"}) +
          line({"http://", "", "", "h", "", "/", "5", "", "", "P", "", "", "", "C", "",
                "Cannot Connect"}) +
          line({"http://", "", "", "h", "", "/", "6", "", "", "d", "", "", "", "i"}));
  database.loadQueueDatabase();
  EXPECT_EQ(item("http://h/1")->state, DownloadState::Done);
  EXPECT_EQ(item("http://h/2")->state, DownloadState::Inactive);
  EXPECT_EQ(item("http://h/2")->savedPath, "");
  EXPECT_EQ(item("http://h/3")->state, DownloadState::Failed);
  EXPECT_EQ(item("http://h/3")->message, "Not Found");
  EXPECT_EQ(item("http://h/4")->state, DownloadState::Done);
  EXPECT_EQ(item("http://h/4")->size, 12);
  EXPECT_EQ(item("http://h/4")->savedPath, "C:\\4");
  EXPECT_EQ(item("http://h/5")->state, DownloadState::Failed);
  EXPECT_EQ(item("http://h/5")->message, "Cannot Connect");
  EXPECT_EQ(item("http://h/6")->state, DownloadState::Queued);  // letters are case-sensitive
}

TEST_F(QueueDatabaseTest, ALineEndedAfterTheAddressIsAQueuedItemOfPriorityZero) {
  world.files.putFile(kDatabase, "http://\r\r\rh\r\r/\ra\r.zip\r\r\n");
  EXPECT_EQ(database.loadQueueDatabase().restored, 1u);
  DownloadItem* a = item("http://h/a.zip");
  ASSERT_TRUE(a);
  EXPECT_EQ(a->state, DownloadState::Queued);
  EXPECT_EQ(a->priority, 0);
  EXPECT_EQ(a->size, -1);
  EXPECT_EQ(a->address.displayName, "a.zip");
  EXPECT_EQ(a->job, nullptr);
}

TEST_F(QueueDatabaseTest, ReducesThePriorityToItsSignAndReadsSizesOnlyAsNumbers) {
  const std::vector<std::pair<std::string, int>> priorities = {
      {"-7", -1}, {"12", 1}, {"+3", 1}, {"0", 0},
      {"-0", 0},  {"x", 0},  {"", 0},   {"99999999999999999999999", 1},
      {"5x", 1}};
  std::string bytes;
  for (size_t i = 0; i < priorities.size(); ++i)
    bytes += line({"http://", "", "", "p", "", "/", std::to_string(i), "", "", "P", "", "", "", "P",
                   priorities[i].first});
  const std::vector<std::pair<std::string, int64_t>> sizes = {
      {"123", 123}, {"5000000000", 5000000000}, {"abc", -1}, {"-5", -1}, {"", -1}};
  for (size_t i = 0; i < sizes.size(); ++i)
    bytes += line(
        {"http://", "", "", "s", "", "/", std::to_string(i), "", "", "D", sizes[i].first, "C:\\f"});
  world.files.putFile(kDatabase, bytes);
  database.loadQueueDatabase();
  for (size_t i = 0; i < priorities.size(); ++i)
    EXPECT_EQ(item("http://p/" + std::to_string(i))->priority, priorities[i].second)
        << priorities[i].first;
  for (size_t i = 0; i < sizes.size(); ++i)
    EXPECT_EQ(item("http://s/" + std::to_string(i))->size, sizes[i].second) << sizes[i].first;
}

TEST_F(QueueDatabaseTest, DropsTheSecondOfTwoLinesWithTheSameAddress) {
  world.files.putFile(kDatabase,
                      line({"http://", "", "", "h", "", "/", "a", "", "", "N"}) +
                          line({"http://", "", "", "h", "", "/", "a", "", "", "D", "5", "C:\\a"}) +
                          line({"http://", "", "", "h", "", "/", "b"}));
  EXPECT_EQ(database.loadQueueDatabase().restored, 2u);
  EXPECT_EQ(item("http://h/a")->state, DownloadState::Failed);
}

TEST_F(QueueDatabaseTest, DropsLinesWhoseAddressNoParsedAddressCouldHave) {
  world.files.putFile(kDatabase, line({"file://", "", "", "h", "", "/", "etc"}) +
                                     line({"HTTP://", "", "", "h", "", "/", "upper"}) +
                                     line({"http://", "", "", "", "", "/", "nohost"}) +
                                     line({"gopher://", "", "", "g", "", "/", "ok"}));
  EXPECT_EQ(database.loadQueueDatabase().restored, 1u);
  EXPECT_TRUE(item("gopher://g/ok"));
}

TEST_F(QueueDatabaseTest, AnEmptyFirstFieldEndsTheList) {
  world.files.putFile(kDatabase, line({"http://", "", "", "h", "", "/", "a"}) + "\r\r\r\n" +
                                     line({"http://", "", "", "h", "", "/", "b"}));
  EXPECT_EQ(database.loadQueueDatabase().restored, 1u);
}

TEST_F(QueueDatabaseTest, AResumeTextMakesAJobWithTheSiteLookupAndTheSaveFolder) {
  world.settings.setTextSetting("site", &Settings::siteTable,
                                formatSiteTable({{"example.com", "me", "secret", "http://ref/"}}));
  world.settings.setTextSetting("folder", &Settings::saveFolder, "D:\\later");
  const std::string kept = pieceIn(kSaveFolder, 7);
  world.files.putFile(kept, std::string(400, 'k'));
  const std::string gone = pieceIn(kSaveFolder, 8);
  world.files.putFile(
      kDatabase, line({"http://", "", "", "www.example.com", "", "/", "f", ".bin", "", "P", "-1",
                       "", "", "P", "0", "", "1000\t0\t" + kept + "\t600\t" + gone + "\t"}));
  ASSERT_EQ(database.loadQueueDatabase().restored, 1u);
  DownloadItem* f = world.queue.first();
  ASSERT_TRUE(f->job);
  const TransferJob& job = *f->job;
  EXPECT_EQ(job.address.fullAddress, "http://www.example.com/f.bin");
  EXPECT_EQ(job.address.siteUser, "me");
  EXPECT_EQ(job.address.sitePassword, "secret");
  EXPECT_EQ(job.address.referrer, "http://ref/");
  EXPECT_EQ(f->address.siteUser, "");  // the item's own address carries no site fields
  EXPECT_EQ(job.folder, "D:\\later");
  EXPECT_EQ(job.totalSize, 1000);
  // Only the piece that still exists comes back, stopped, with what it holds.
  ASSERT_EQ(job.workers.size(), 1u);
  EXPECT_EQ(job.workers[0]->piece.path, kept);
  EXPECT_EQ(job.workers[0]->piece.written, 400);
  EXPECT_EQ(job.workers[0]->state, WorkerState::Stopped);
  EXPECT_FALSE(ItemCommands::isActive(*f));
}

TEST_F(QueueDatabaseTest, ASavedTransferKeepsItsPiecesAndTheirResumeText) {
  const std::string piece = pieceIn(kSaveFolder, 9);
  world.files.putFile(piece, std::string(300, 'p'));
  DownloadItem* a = world.add("http://h/a.bin");
  world.queue.setJob(*a,
                     world.engine.createJob(a->address, kSaveFolder, "900\t0\t" + piece + "\t"));
  DownloadItem* b = world.add("http://h/b.bin");
  world.queue.setJob(*b, world.engine.createJob(b->address, kSaveFolder, ""));
  ASSERT_EQ(database.saveQueueDatabase(), QueueSaveResult::kWritten);
  EXPECT_EQ(a->job, nullptr);
  EXPECT_EQ(b->job, nullptr);
  EXPECT_TRUE(world.engine.jobs().empty());
  EXPECT_EQ(world.files.contents(piece), std::string(300, 'p'));
  const std::vector<Line> lines = savedLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0][16], "900\t0\t" + piece + "\t");
  EXPECT_EQ(lines[1][16], "-1\t");  // a job with nothing fetched yet still comes back
}

// ---- A database of the previous release

TEST_F(QueueDatabaseTest, ADatabaseOfThePreviousReleaseLoadsAndIsWrittenBackUnchanged) {
  const std::string piece = pieceIn(kSaveFolder, 3);
  world.files.putFile(piece, std::string(250, 'p'));
  // As the previous release wrote it: Done, Failed, Inactive, Queued with a priority and a
  // transfer stopped at exit, in queue order.
  const std::string old =
      "http://\r\r\rh\r\r/d/\rdone\r.zip\r\rD\r1234\rC:\\s\\done.zip\r\rD\r\r\r\r\n"
      "http://\r\r\rh\r\r/\rgone\r\r\rN\r-1\r\r\rC\r\rNot Found\r\r\n"
      "http://\r\r\rh\r\r/\rlast\r\r\rP\r-1\r\r\rP\r-1\r\r\r\n"
      "http://\r\r\rh\r\r/\rpart\r.bin\r\rP\r-1\r\r\rP\r0\r\r1000\t0\t" +
      piece +
      "\t\r\n"
      "https://\ru:\rp@\rh\r:8443\r/\rinactive\r\r?x=1\rP\r-1\r\r\rI\r\r\r\r\n";
  world.files.putFile(kDatabase, old);
  ASSERT_EQ(database.loadQueueDatabase().restored, 5u);
  EXPECT_EQ(item("http://h/d/done.zip")->size, 1234);
  EXPECT_EQ(item("http://h/gone")->message, "Not Found");
  EXPECT_EQ(item("https://u:p@h:8443/inactive?x=1")->state, DownloadState::Inactive);
  EXPECT_EQ(item("http://h/last")->priority, -1);
  ASSERT_TRUE(item("http://h/part.bin")->job);
  EXPECT_EQ(item("http://h/part.bin")->job->bytesGot, 250);
  ASSERT_EQ(database.saveQueueDatabase(), QueueSaveResult::kWritten);
  EXPECT_EQ(world.files.contents(kDatabase), old);
}

// ---- Pieces left over

class OrphanedPiecesTest : public QueueDatabaseTest {
 protected:
  // The database names one piece in the save folder and one in a folder used before.
  OrphanedPiecesTest() {
    world.files.addDrive('D');
    world.files.addDrive('E');
    for (const std::string& path : {kNamed, kNamedElsewhere, kOrphan, kOrphanElsewhere,
                                    kOrphanUnused, kNotAPiece, kUsersFile})
      world.files.putFile(path, "bytes");
    world.files.putFile(
        kDatabase, line({"http://", "", "", "h", "", "/", "a", "", "", "P", "-1", "", "", "P", "0",
                         "", "900\t0\t" + kNamedInOtherCase + "\t"}) +
                       line({"http://", "", "", "h", "", "/", "b", "", "", "P", "-1", "", "", "P",
                             "0", "", "900\t0\t" + kNamedElsewhere + "\t"}));
  }

  std::vector<std::string> left() {
    std::vector<std::string> all;
    for (const std::string& path : {kNamed, kNamedElsewhere, kOrphan, kOrphanElsewhere,
                                    kOrphanUnused, kNotAPiece, kUsersFile})
      if (world.files.isFile(path)) all.push_back(path);
    return all;
  }

  const std::string kNamed = pieceIn(kSaveFolder, 1);
  const std::string kNamedInOtherCase =
      "c:\\users\\ME\\documents\\my downloaded files\\HAULIX " + formatNumber(1, 32) + ".DB";
  const std::string kNamedElsewhere = pieceIn("D:\\earlier", 2);
  const std::string kOrphan = pieceIn(kSaveFolder, 3);
  const std::string kOrphanElsewhere = pieceIn("D:\\earlier", 4);
  const std::string kOrphanUnused = pieceIn("E:\\unused", 5);
  const std::string kNotAPiece = std::string(kSaveFolder) + "\\haulix notes.db";
  const std::string kUsersFile = std::string(kSaveFolder) + "\\thesis.doc";
};

TEST_F(OrphanedPiecesTest, DeletesOnlyPiecesNothingNamesInTheFoldersTheQueueUses) {
  EXPECT_EQ(database.deleteOrphanedPieces(database.loadQueueDatabase()), 2u);
  EXPECT_EQ(left(), (std::vector<std::string>{kNamed, kNamedElsewhere, kOrphanUnused, kNotAPiece,
                                              kUsersFile}));
}

TEST_F(OrphanedPiecesTest, DeletesNothingWhenTheDatabaseCannotBeRead) {
  world.files.failOperation(FakeFiles::Op::kMap, os_error::kSharingViolation, kDatabase);
  EXPECT_EQ(database.deleteOrphanedPieces(database.loadQueueDatabase()), 0u);
  EXPECT_EQ(left().size(), 7u);
}

TEST_F(OrphanedPiecesTest, WithoutADatabaseEveryPieceInTheSaveFolderIsLeftOver) {
  world.files.deleteFile(kDatabase);
  EXPECT_EQ(database.deleteOrphanedPieces(database.loadQueueDatabase()), 2u);
  EXPECT_EQ(left(), (std::vector<std::string>{kNamedElsewhere, kOrphanElsewhere, kOrphanUnused,
                                              kNotAPiece, kUsersFile}));
}

}  // namespace
