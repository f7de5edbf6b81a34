// The replacing move and the flush of the in-memory file system, which the queue
// database's tests lean on to stand for the real ones.
#include <gtest/gtest.h>

#include <string>

#include "fakes/fake_files.h"

namespace {

TEST(FakeFilesReplaceTest, ReplacesAnExistingFileAndMovesToANewName) {
  FakeFiles files;
  files.putFile("C:\\d\\new", "new");
  files.putFile("C:\\d\\old", "old", file_attribute::kHidden);
  EXPECT_EQ(files.replaceFile("C:\\d\\new", "C:\\D\\OLD"), os_error::kNone);
  EXPECT_EQ(files.contents("C:\\d\\old"), "new");
  EXPECT_FALSE(files.isFile("C:\\d\\new"));
  EXPECT_EQ(files.attributesOf("C:\\d\\old"), file_attribute::kNormal);  // the mover's own
  EXPECT_EQ(files.replaceFile("C:\\d\\old", "C:\\d\\other"), os_error::kNone);
  EXPECT_EQ(files.contents("C:\\d\\other"), "new");
}

TEST(FakeFilesReplaceTest, RefusesAsTheSystemDoes) {
  FakeFiles files;
  files.putFile("C:\\d\\a", "a");
  files.putFile("C:\\d\\locked", "l", file_attribute::kReadOnly);
  files.putFolder("C:\\d\\folder");
  files.putFile("C:\\d\\open", "o");
  EXPECT_EQ(files.replaceFile("C:\\d\\missing", "C:\\d\\x"), os_error::kFileNotFound);
  EXPECT_EQ(files.replaceFile("C:\\d\\a", "C:\\d\\locked"), os_error::kAccessDenied);
  EXPECT_EQ(files.replaceFile("C:\\d\\a", "C:\\d\\folder"), os_error::kAccessDenied);
  EXPECT_EQ(files.replaceFile("C:\\d\\folder", "C:\\d\\a"), os_error::kAccessDenied);
  {
    auto mapped = files.map("C:\\d\\open");
    EXPECT_EQ(files.replaceFile("C:\\d\\a", "C:\\d\\open"), os_error::kSharingViolation);
    auto writing = files.createForWriting("C:\\d\\w", create_flags::kNormal);
    EXPECT_EQ(files.replaceFile("C:\\d\\w", "C:\\d\\a"), os_error::kSharingViolation);
  }
  files.failOperation(FakeFiles::Op::kReplace, os_error::kAccessDenied, "C:\\d\\a");
  EXPECT_EQ(files.replaceFile("C:\\d\\w", "C:\\d\\a"), os_error::kAccessDenied);
  EXPECT_EQ(files.contents("C:\\d\\a"), "a");
}

TEST(FakeFilesReplaceTest, TellsWhetherAFileWasWrittenSinceItsLastFlush) {
  FakeFiles files;
  auto file = files.createForWriting("C:\\f", create_flags::kNormal);
  EXPECT_TRUE(files.hasUnflushedWrites("C:\\f"));
  ASSERT_TRUE(file->flush());
  EXPECT_FALSE(files.hasUnflushedWrites("C:\\f"));
  ASSERT_TRUE(file->write("abc", 3));
  EXPECT_TRUE(files.hasUnflushedWrites("C:\\f"));
  files.failOperation(FakeFiles::Op::kFlush, os_error::kDiskFull);
  EXPECT_FALSE(file->flush());
  EXPECT_TRUE(files.hasUnflushedWrites("C:\\f"));
}

}  // namespace
