// The fake file system stands in for Windows in every model test; these pin down the
// behaviours of the real system that the model depends on.
#include "fakes/fake_files.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

using Op = FakeFiles::Op;
namespace attr = file_attribute;

TEST(FakeFiles, ComparesNamesIgnoringCaseButKeepsThemAsWritten) {
  FakeFiles files;
  ASSERT_EQ(files.createFolder("C:\\Save"), os_error::kNone);
  EXPECT_EQ(files.createFolder("C:\\SAVE"), os_error::kAlreadyExists);
  auto file = files.createForWriting("c:\\save\\Report.TXT", create_flags::kNormal);
  file.reset();
  EXPECT_EQ(files.allPaths(), (std::vector<std::string>{"C:\\Save\\", "C:\\Save\\Report.TXT"}));
  EXPECT_TRUE(files.find("C:\\SAVE\\report.txt").found);
  // Trailing dots and spaces are not part of a name.
  EXPECT_TRUE(files.find("C:\\save\\report.txt. .").found);
}

TEST(FakeFiles, AnswersForRootsAsWindowsDoes) {
  FakeFiles files;
  files.addShare("\\\\srv\\pub");
  EXPECT_EQ(files.find("C:").error, os_error::kFileNotFound);
  EXPECT_EQ(files.find("\\\\srv\\pub").error, os_error::kBadNetPath);
  EXPECT_EQ(files.find("\\\\other\\pub\\x").error, os_error::kBadNetPath);
  EXPECT_EQ(files.find("Q:\\x").error, os_error::kPathNotFound);
  EXPECT_EQ(files.attributes("C:\\").bits, attr::kDirectory);
  EXPECT_EQ(files.createFolder("\\\\srv\\pub\\x"), os_error::kNone);
  EXPECT_TRUE(files.isFolder("\\\\SRV\\pub\\X"));
  files.addDrive('d');
  EXPECT_EQ(files.createFolder("D:\\x"), os_error::kNone);
}

TEST(FakeFiles, ReportsMissingFilesAndMissingFoldersApart) {
  FakeFiles files;
  EXPECT_EQ(files.find("C:\\a").error, os_error::kFileNotFound);
  EXPECT_EQ(files.find("C:\\a\\b").error, os_error::kPathNotFound);
  EXPECT_EQ(files.attributes("C:\\a\\b").error, os_error::kPathNotFound);
  EXPECT_EQ(files.createFolder("C:\\a\\b"), os_error::kPathNotFound);
  EXPECT_EQ(files.find("C:\\" + std::string(300, 'x')).error, os_error::kNameTooLong);
}

TEST(FakeFiles, RefusesToRemoveReadOnlyFilesAndFullFolders) {
  FakeFiles files;
  files.putFile("C:\\f\\ro.txt", "x", attr::kReadOnly);
  EXPECT_EQ(files.deleteFile("C:\\f\\ro.txt"), os_error::kAccessDenied);
  EXPECT_EQ(files.removeFolder("C:\\f"), os_error::kDirNotEmpty);
  EXPECT_EQ(files.deleteFile("C:\\f"), os_error::kAccessDenied);
  EXPECT_EQ(files.removeFolder("C:\\f\\ro.txt"), os_error::kNotAFolder);
  EXPECT_EQ(files.setAttributes("C:\\f\\ro.txt", attr::kNormal), os_error::kNone);
  EXPECT_EQ(files.attributesOf("C:\\f\\ro.txt"), attr::kNormal);
  EXPECT_EQ(files.deleteFile("C:\\f\\ro.txt"), os_error::kNone);
  EXPECT_EQ(files.removeFolder("C:\\f"), os_error::kNone);
}

TEST(FakeFiles, KeepsOthersAwayFromAFileBeingWrittenOrMapped) {
  FakeFiles files;
  auto writing = files.createForWriting("C:\\w.db", create_flags::kTemporary);
  ASSERT_TRUE(writing);
  EXPECT_EQ(files.map("C:\\w.db"), nullptr);
  EXPECT_EQ(files.createForWriting("C:\\w.db", create_flags::kTemporary), nullptr);
  EXPECT_EQ(files.deleteFile("C:\\w.db"), os_error::kSharingViolation);
  EXPECT_EQ(files.moveFile("C:\\w.db", "C:\\x.db"), os_error::kSharingViolation);
  writing->write("abc", 3);
  writing.reset();
  auto mapped = files.map("C:\\w.db");
  ASSERT_TRUE(mapped);
  EXPECT_EQ(files.deleteFile("C:\\w.db"), os_error::kSharingViolation);
  EXPECT_EQ(files.createForWriting("C:\\w.db", create_flags::kTemporary), nullptr);
  mapped.reset();
  EXPECT_EQ(files.deleteFile("C:\\w.db"), os_error::kNone);
}

TEST(FakeFiles, RefusesToRewriteAHiddenFileAsANormalOne) {
  FakeFiles files;
  files.putFile("C:\\h.db", "x", attr::kHidden);
  EXPECT_EQ(files.createForWriting("C:\\h.db", create_flags::kNormal), nullptr);
  EXPECT_NE(files.createForWriting("C:\\h.db", create_flags::kTemporary), nullptr);
}

TEST(FakeFiles, MovesOnlyToAFreeNameAndCopiesAsAsked) {
  FakeFiles files;
  files.putFile("C:\\a", "a", attr::kHidden);
  files.putFile("C:\\b", "b");
  EXPECT_EQ(files.moveFile("C:\\a", "C:\\b"), os_error::kAlreadyExists);
  EXPECT_EQ(files.copyFile("C:\\a", "C:\\b", true), os_error::kFileExists);
  EXPECT_EQ(files.copyFile("C:\\a", "C:\\b", false), os_error::kNone);
  EXPECT_EQ(files.contents("C:\\b"), "a");
  EXPECT_EQ(files.attributesOf("C:\\b"), attr::kHidden | attr::kArchive);
  EXPECT_EQ(files.moveFile("C:\\a", "C:\\c\\a"), os_error::kPathNotFound);
  EXPECT_EQ(files.moveFile("C:\\a", "C:\\A"), os_error::kNone) << "a new case of the same name";
  EXPECT_EQ(files.allPaths(), (std::vector<std::string>{"C:\\A", "C:\\b"}));
  files.putFolder("C:\\d\\e");
  EXPECT_EQ(files.moveFile("C:\\d", "C:\\d\\e\\d"), os_error::kAccessDenied);
}

TEST(FakeFiles, RefusesDeviceNamesAndIllegalCharacters) {
  FakeFiles files;
  EXPECT_EQ(files.createForWriting("C:\\con.txt", create_flags::kNormal), nullptr);
  EXPECT_EQ(files.createFolder("C:\\LPT1"), os_error::kAccessDenied);
  EXPECT_EQ(files.createFolder("C:\\a|b"), os_error::kInvalidName);
  EXPECT_EQ(files.attributes("C:\\*").error, os_error::kInvalidName);
}

TEST(FakeFiles, ListsAFolderByPattern) {
  FakeFiles files;
  files.putFile("C:\\f\\a.zip", "");
  files.putFile("C:\\f\\B.ZIP", "");
  files.putFile("C:\\f\\c.txt", "");
  files.putFolder("C:\\f\\sub");
  EXPECT_EQ(
      files.listFolder("C:\\f", "*"),
      (std::vector<std::string>{"C:\\f\\a.zip", "C:\\f\\B.ZIP", "C:\\f\\c.txt", "C:\\f\\sub\\"}));
  EXPECT_EQ(files.listFolder("C:\\f\\", "*.zip"),
            (std::vector<std::string>{"C:\\f\\a.zip", "C:\\f\\B.ZIP"}));
  EXPECT_EQ(files.listFolder("C:\\f", "?.t*").size(), 1u);
  EXPECT_EQ(files.listFolder("C:\\f", "*.*").size(), 4u);
  EXPECT_TRUE(files.listFolder("C:\\none", "*").empty());
  EXPECT_EQ(files.find("C:\\f\\*.txt").found, true);
}

TEST(FakeFiles, FillsTheDiskAndFreesItAgain) {
  FakeFiles files;
  files.putFile("C:\\old", "0123456789");
  files.setFreeSpace(4);
  auto file = files.createForWriting("C:\\new", create_flags::kNormal);
  EXPECT_TRUE(file->write("ab", 2));
  EXPECT_FALSE(file->write("cdef", 4));
  EXPECT_EQ(files.contents("C:\\new"), "abcd");
  EXPECT_FALSE(file->write("e", 1));
  file.reset();
  EXPECT_EQ(files.copyFile("C:\\new", "C:\\copy", true), os_error::kDiskFull);
  EXPECT_EQ(files.deleteFile("C:\\old"), os_error::kNone);
  EXPECT_EQ(files.copyFile("C:\\new", "C:\\copy", true), os_error::kNone);
}

TEST(FakeFiles, FailsChosenOperationsUntilCleared) {
  FakeFiles files;
  files.failOperation(Op::kCreateFolder, os_error::kAccessDenied, "c:\\locked");
  EXPECT_EQ(files.createFolder("C:\\Locked"), os_error::kAccessDenied);
  EXPECT_EQ(files.createFolder("C:\\open"), os_error::kNone);
  files.clearFaults();
  EXPECT_EQ(files.createFolder("C:\\Locked"), os_error::kNone);
}

TEST(FakeFiles, LetsAPathVanishBeforeTheChosenOperationOnly) {
  FakeFiles files;
  files.putFile("C:\\a", "x");
  files.vanishBefore(Op::kMap, "c:\\A");
  EXPECT_TRUE(files.find("C:\\a").found);
  EXPECT_EQ(files.map("C:\\a"), nullptr);
  EXPECT_FALSE(files.find("C:\\a").found);
}

TEST(FakeFiles, SavesShellLinksAsFiles) {
  FakeFiles files;
  EXPECT_FALSE(files.saveShellLink("C:\\menu\\h.lnk", "C:\\h.exe", "H")) << "no folder";
  files.putFolder("C:\\menu");
  EXPECT_TRUE(files.saveShellLink("C:\\menu\\h.lnk", "C:\\h.exe", "H"));
  EXPECT_TRUE(files.isFile("C:\\menu\\h.lnk"));
  ASSERT_EQ(files.savedLinks().size(), 1u);
}

TEST(FakeFiles, TakesWritesFromManyThreads) {
  FakeFiles files;
  std::vector<std::thread> workers;
  for (int t = 0; t < 6; ++t) {
    workers.emplace_back([&files, t] {
      auto piece = files.createForWriting("C:\\p" + std::to_string(t), create_flags::kTemporary);
      for (int i = 0; i < 500; ++i) piece->write("0123456789", 10);
    });
  }
  for (auto& worker : workers) worker.join();
  EXPECT_EQ(files.usedBytes(), 6 * 500 * 10);
}

TEST(FakeFiles, LetsHandlesOutliveIt) {
  std::unique_ptr<WritableFile> file;
  std::unique_ptr<MappedFile> mapped;
  {
    FakeFiles files;
    files.putFile("C:\\m", "mapped");
    file = files.createForWriting("C:\\w", create_flags::kNormal);
    mapped = files.map("C:\\m");
  }
  EXPECT_TRUE(file->write("x", 1));
  EXPECT_EQ(mapped->size(), 6);
}

}  // namespace
