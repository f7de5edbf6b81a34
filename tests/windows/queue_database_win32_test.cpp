// The queue database on the real file system: Application Data and the Windows folder are
// folders of the test's own under the temporary folder; the network and the registry are
// fakes, as nothing here goes out.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "download/download_queue.h"
#include "transfer/file_ops.h"
#include "transfer/transfer_engine.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_file_types.h"
#include "fakes/fake_internet.h"
#include "fakes/fake_registry.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_ids.h"
#include "platform/win32/win32_text_rules.h"
#include "download/queue_database.h"
#include "store/settings.h"
#include "url/address.h"
#include "windows/local_server.h"

namespace {

// The bytes of a file, read with the plain API.
std::string readFile(const std::string& path) {
  HANDLE file =
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "(cannot be opened)";
  std::string bytes;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

bool writeFile(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
      written == bytes.size();
  CloseHandle(file);
  return ok;
}

bool exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string oldRecord(const std::string& address, int32_t status, int32_t size,
                      const std::string& path) {
  std::string record(1020, '\0');
  record.replace(8, address.size(), address);
  memcpy(&record[508], &status, 4);  // little-endian, as the machine
  memcpy(&record[512], &size, 4);
  record.replace(516, path.size(), path);
  return record;
}

// One run of the program's download model over the real files.
struct Model {
  explicit Model(const KnownFolders& known) : folders(known) { settings.loadSettings(text); }

  Win32Files files;
  Win32Ids ids;
  Win32TextRules rules;
  ByteText text{rules};
  FakeFileTypes types;
  AddressParser parser{text, types};
  FileOps fileOps{files, ids, text};
  FakeClock clock;
  FakeInternet internet;
  TransferEngine engine{internet, fileOps, ids, clock, [] {}};
  DownloadQueue queue{text, parser, engine};
  FakeRegistry registry;
  KnownFolders folders;
  SettingsStore settings{registry, folders};
  QueueDatabase database{queue, fileOps, parser, settings, folders};
};

class QueueDatabaseWin32Test : public ::testing::Test {
 protected:
  void SetUp() override {
    char buffer[MAX_PATH + 1] = {};
    DWORD n = GetTempPathA(sizeof buffer, buffer);
    ASSERT_GT(n, 0u);
    root = std::string(buffer, n) + "haulix queue " + ids.newToken();
    ASSERT_TRUE(CreateDirectoryA(root.c_str(), nullptr));
    folders.windows = root + "\\Windows";
    folders.myDocuments = root + "\\Documents";
    folders.applicationData = root + "\\Application Data";
    ASSERT_TRUE(CreateDirectoryA(folders.windows.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(folders.myDocuments.c_str(), nullptr));
    database = folders.applicationData + "\\Haulix\\haulix.db";
  }
  void TearDown() override { removeTree(root); }

  static DownloadItem* find(DownloadQueue& queue, const std::string& address) {
    for (DownloadItem* item = queue.first(); item; item = item->next)
      if (item->address.fullAddress == address) return item;
    return nullptr;
  }

  Win32Ids ids;
  KnownFolders folders;
  std::string root;
  std::string database;
};

TEST_F(QueueDatabaseWin32Test, SavesAndLoadsTheQueueWithAStoppedTransfer) {
  std::string piece;
  {
    Model first(folders);
    DownloadItem* done = first.queue.insertItem(first.parser.parseAddress("http://h/big.iso"));
    first.queue.setState(*done, DownloadState::Done);
    done->size = 6'000'000'000;
    done->savedPath = "C:\\saved\\big.iso";
    DownloadItem* failed = first.queue.insertItem(first.parser.parseAddress("http://h/gone"));
    first.queue.setState(*failed, DownloadState::Failed);
    failed->message = "410\r\nGone";
    first.queue.setState(*first.queue.insertItem(first.parser.parseAddress("ftp://f/x")),
                         DownloadState::Inactive);
    DownloadItem* waiting = first.queue.insertItem(first.parser.parseAddress("http://h/part.zip"));
    waiting->priority = 1;
    // A piece of it on disk, as a worker leaves one.
    const std::string folder = first.settings.settings().saveFolder;
    ASSERT_TRUE(first.fileOps.makeFolders(folder, false));
    piece = folder + "\\haulix " + ids.newToken() + ".db";
    {
      auto file = first.fileOps.createForWriting(true, piece);
      ASSERT_TRUE(file);
      ASSERT_TRUE(FileOps::writeText(*file, std::string(1500, 'p')));
    }
    first.queue.setJob(
        *waiting, first.engine.createJob(waiting->address, folder, "4000\t0\t" + piece + "\t"));
    ASSERT_EQ(waiting->job->workers.size(), 1u);

    ASSERT_EQ(first.database.saveQueueDatabase(), QueueSaveResult::kWritten);
    EXPECT_FALSE(exists(first.database.temporaryPath()));
    EXPECT_TRUE(exists(piece));
  }
  const std::string bytes = readFile(database);
  EXPECT_NE(bytes.find("http://\r\r\rh\r\r/\rbig\r.iso\r\rD\r6000000000\rC:\\saved\\big.iso\r\rD\r"
                       "\r\r\r\n"),
            std::string::npos);
  EXPECT_NE(bytes.find("\rN\r-1\r\r\rC\r\r410  Gone\r\r\n"), std::string::npos);
  EXPECT_NE(bytes.find("\rP\r-1\r\r\rP\r1\r\r4000\t0\t" + piece + "\t\r\n"), std::string::npos);

  Model second(folders);
  const QueueLoad load = second.database.loadQueueDatabase();
  EXPECT_EQ(load.source, QueueSource::kDatabase);
  EXPECT_EQ(load.restored, 4u);
  EXPECT_EQ(find(second.queue, "http://h/big.iso")->size, 6'000'000'000);
  EXPECT_EQ(find(second.queue, "http://h/gone")->message, "410  Gone");
  EXPECT_EQ(find(second.queue, "ftp://f/x")->state, DownloadState::Inactive);
  DownloadItem* waiting = find(second.queue, "http://h/part.zip");
  EXPECT_EQ(waiting->priority, 1);
  ASSERT_TRUE(waiting->job);
  EXPECT_EQ(waiting->job->totalSize, 4000);
  ASSERT_EQ(waiting->job->workers.size(), 1u);
  EXPECT_EQ(waiting->job->workers[0]->piece.written, 1500);
}

TEST_F(QueueDatabaseWin32Test, AnEmptyQueueDeletesTheDatabase) {
  Model model(folders);
  model.queue.insertItem(model.parser.parseAddress("http://h/a"));
  ASSERT_EQ(model.database.saveQueueDatabase(), QueueSaveResult::kWritten);
  ASSERT_TRUE(exists(database));
  model.queue.removeItem(model.queue.first());
  EXPECT_EQ(model.database.saveQueueDatabase(), QueueSaveResult::kDeleted);
  EXPECT_FALSE(exists(database));
}

TEST_F(QueueDatabaseWin32Test, ADatabaseHeldOpenByAnotherProgramStaysAsItWas) {
  Model model(folders);
  model.queue.insertItem(model.parser.parseAddress("http://h/a"));
  ASSERT_EQ(model.database.saveQueueDatabase(), QueueSaveResult::kWritten);
  const std::string before = readFile(database);
  model.queue.insertItem(model.parser.parseAddress("http://h/b"));
  HANDLE held = CreateFileA(database.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(model.database.saveQueueDatabase(), QueueSaveResult::kFailed);
  CloseHandle(held);
  EXPECT_EQ(readFile(database), before);
  EXPECT_FALSE(exists(model.database.temporaryPath()));
}

TEST_F(QueueDatabaseWin32Test, ImportsTheOlderReleasesTextList) {
  std::string bytes("12\0", 3);
  for (const char* text :
       {"http://", "", "", "h", "", "/", "a", ".zip", "", "D", "42", "C:\\got\\a.zip",
        "ftp://",  "", "", "f", "", "/", "b", "",     "", "N", "-1", "",
        ""})
    bytes += std::string(text) + std::string(1, '\0');
  ASSERT_TRUE(writeFile(folders.windows + "\\hxdata.bin", bytes));
  Model model(folders);
  ASSERT_LT(model.settings.settings().setupLevel, 300);
  const QueueLoad load = model.database.loadQueueDatabase();
  EXPECT_EQ(load.source, QueueSource::kOldTextList);
  EXPECT_EQ(load.restored, 2u);
  DownloadItem* a = find(model.queue, "http://h/a.zip");
  ASSERT_TRUE(a);
  EXPECT_EQ(a->state, DownloadState::Done);
  EXPECT_EQ(a->size, 42);
  EXPECT_EQ(a->savedPath, "C:\\got\\a.zip");
  EXPECT_EQ(find(model.queue, "ftp://f/b")->message, "Not Found");
  EXPECT_TRUE(exists(folders.windows + "\\hxdata.bin"));  // left in place
}

TEST_F(QueueDatabaseWin32Test, ImportsTheOldestReleasesRecordFile) {
  const std::string bytes = std::string(40, '\0') +
                            oldRecord("http://h/a.zip", 2, 77, "C:\\a.zip") +
                            oldRecord("http://h/b", 4, 0, "") + oldRecord("http://h/c", 1, 0, "");
  ASSERT_TRUE(writeFile(folders.windows + "\\hxdat.bin", bytes));
  Model model(folders);
  const QueueLoad load = model.database.loadQueueDatabase();
  EXPECT_EQ(load.source, QueueSource::kOldRecordFile);
  EXPECT_EQ(load.restored, 3u);
  EXPECT_EQ(find(model.queue, "http://h/a.zip")->size, 77);
  EXPECT_EQ(find(model.queue, "http://h/b")->state, DownloadState::Failed);
  EXPECT_EQ(find(model.queue, "http://h/c")->state, DownloadState::Queued);
}

// ---- The two calls the save needs from the Files port

class Win32FilesReplaceTest : public QueueDatabaseWin32Test {
 protected:
  Win32Files files;
};

TEST_F(Win32FilesReplaceTest, ReplacesAnExistingFileAndMovesToAFreeName) {
  const std::string from = root + "\\from";
  const std::string to = root + "\\to";
  ASSERT_TRUE(writeFile(from, "new"));
  ASSERT_TRUE(writeFile(to, "old content"));
  EXPECT_EQ(files.replaceFile(from, to), os_error::kNone);
  EXPECT_EQ(readFile(to), "new");
  EXPECT_FALSE(exists(from));
  EXPECT_EQ(files.replaceFile(to, root + "\\free"), os_error::kNone);
  EXPECT_EQ(readFile(root + "\\free"), "new");
  EXPECT_EQ(files.replaceFile(root + "\\missing", to), os_error::kFileNotFound);
}

TEST_F(Win32FilesReplaceTest, RefusesToPutAFileInAFoldersPlace) {
  const std::string from = root + "\\from";
  ASSERT_TRUE(writeFile(from, "new"));
  const std::string folder = root + "\\folder";
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  EXPECT_NE(files.replaceFile(from, folder), os_error::kNone);
  EXPECT_TRUE(exists(from));
  EXPECT_NE(GetFileAttributesA(folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

TEST_F(Win32FilesReplaceTest, FlushesAFileBeingWritten) {
  const std::string path = root + "\\flushed";
  auto file = files.createForWriting(path, create_flags::kNormal);
  ASSERT_TRUE(file);
  ASSERT_TRUE(file->write("abc", 3));
  EXPECT_TRUE(file->flush());
  ASSERT_TRUE(file->write("def", 3));
  EXPECT_TRUE(file->flush());
  file.reset();
  EXPECT_EQ(readFile(path), "abcdef");
}

}  // namespace
