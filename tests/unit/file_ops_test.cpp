#include "transfer/file_ops.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "fakes/fake_files.h"
#include "fakes/fake_ids.h"
#include "fakes/fake_text_rules.h"

namespace {

using Op = FakeFiles::Op;
namespace attr = file_attribute;

constexpr uint32_t kPieceAttributes = attr::kHidden | attr::kSystem | attr::kArchive;
const std::string kPiece = "C:\\dl\\haulix 00000000000000000000000000000009.db";

class FileOpsTest : public ::testing::Test {
 protected:
  FakeFiles files;
  FakeIds ids;
  FakeTextRules rules;
  ByteText text{rules};
  FileOps ops{files, ids, text};

  void putPiece(const std::string& bytes) {
    ASSERT_TRUE(files.putFile(kPiece, bytes, attr::kHidden | attr::kSystem | attr::kArchive));
  }
  std::string place(Collision collision = Collision::kKeepIdentical, bool copy = false) {
    return ops.placeFile(kPiece, "C:\\dl\\site\\", "a", ".zip", copy, collision, true);
  }
};

// --- the path rule and the path status ---

TEST(IsValidPath, AcceptsDriveAndNetworkPathsOfAtMost260Bytes) {
  EXPECT_TRUE(FileOps::isValidPath("C:"));
  EXPECT_TRUE(FileOps::isValidPath("C:\\"));
  EXPECT_TRUE(FileOps::isValidPath("d:\\folder\\file.txt"));
  EXPECT_TRUE(FileOps::isValidPath("\\\\server\\share"));
  EXPECT_TRUE(FileOps::isValidPath("C:\\" + std::string(257, 'x')));
  EXPECT_FALSE(FileOps::isValidPath("C:\\" + std::string(258, 'x')));
}

TEST(IsValidPath, RefusesPathsWithoutARoot) {
  for (const char* path : {"", "C", "C:x", "folder\\file", "\\file", "/x/y", "C:/x", "\\"})
    EXPECT_FALSE(FileOps::isValidPath(path)) << path;
}

TEST_F(FileOpsTest, PathStatusTellsFilesFoldersAndMissingPaths) {
  files.putFile("C:\\dl\\a.txt", "12345");
  EXPECT_EQ(ops.pathStatus("C:\\dl\\a.txt"), 5);
  EXPECT_EQ(ops.pathStatus("c:\\DL\\A.TXT"), 5);
  EXPECT_EQ(ops.pathStatus("C:\\dl"), path_status::kFolder);
  EXPECT_EQ(ops.pathStatus("C:\\dl\\\\"), path_status::kFolder);
  EXPECT_EQ(ops.pathStatus("C:\\dl\\b.txt"), path_status::kMissing);
  EXPECT_EQ(ops.pathStatus("dl\\a.txt"), path_status::kInvalid);
  EXPECT_EQ(ops.pathStatus("C:\\" + std::string(300, 'x')), path_status::kInvalid);
}

TEST_F(FileOpsTest, PathStatusCountsAPathUnderAMissingFolderAsAFailedTest) {
  EXPECT_EQ(ops.pathStatus("C:\\nowhere\\a.txt"), path_status::kInvalid);
}

TEST_F(FileOpsTest, PathStatusGivesTheWholeSizeOfAFileAbove4GiB) {
  const int64_t size = (int64_t{5} << 30) + 7;
  ASSERT_TRUE(files.putSparseFile("C:\\big.iso", size));
  EXPECT_EQ(ops.pathStatus("C:\\big.iso"), size);
}

TEST_F(FileOpsTest, PathStatusNeverTakesAWildcardForAFile) {
  files.putFile("C:\\dl\\a.zip", "x");
  EXPECT_EQ(ops.pathStatus("C:\\dl\\*.zip"), path_status::kInvalid);
}

TEST_F(FileOpsTest, PathStatusFailsWhenThePathVanishesBetweenFindAndAttributes) {
  files.putFile("C:\\dl\\a.txt", "x");
  files.vanishBefore(Op::kAttributes, "C:\\dl\\a.txt");
  EXPECT_EQ(ops.pathStatus("C:\\dl\\a.txt"), path_status::kInvalid);
  EXPECT_FALSE(files.isFile("C:\\dl\\a.txt"));
}

TEST_F(FileOpsTest, PathStatusProbesAShareRootByWritingIntoIt) {
  files.addShare("\\\\srv\\pub");
  EXPECT_EQ(ops.pathStatus("\\\\srv\\pub"), path_status::kFolder);
  EXPECT_EQ(ops.pathStatus("\\\\srv\\pub\\"), path_status::kFolder);
  EXPECT_EQ(ids.issued(), 2u);
  EXPECT_TRUE(files.allPaths().empty()) << "the probe file is removed again";
}

TEST_F(FileOpsTest, PathStatusFailsForAShareThatCannotBeWritten) {
  EXPECT_EQ(ops.pathStatus("\\\\nobody\\pub"), path_status::kInvalid);
  files.addShare("\\\\srv\\pub");
  files.failOperation(Op::kCreate, os_error::kAccessDenied, "\\\\srv\\pub");
  EXPECT_EQ(ops.pathStatus("\\\\srv\\pub"), path_status::kInvalid);
}

TEST_F(FileOpsTest, PathStatusWritesNoProbeWithoutAToken) {
  files.addShare("\\\\srv\\pub");
  ids.setFailing(true);
  EXPECT_EQ(ops.pathStatus("\\\\srv\\pub"), path_status::kInvalid);
  EXPECT_TRUE(files.allPaths().empty());
}

TEST_F(FileOpsTest, PathStatusWorksBelowAShareRoot) {
  files.addShare("\\\\srv\\pub");
  files.putFile("\\\\srv\\pub\\f\\a.txt", "abc");
  EXPECT_EQ(ops.pathStatus("\\\\srv\\pub\\f\\a.txt"), 3);
  EXPECT_EQ(ops.pathStatus("\\\\srv\\pub\\f"), path_status::kFolder);
  EXPECT_EQ(ids.issued(), 0u);
}

// --- removing ---

TEST_F(FileOpsTest, RemovePathDeletesAReadOnlyFile) {
  files.putFile("C:\\dl\\a.txt", "x", attr::kReadOnly | attr::kHidden);
  EXPECT_TRUE(ops.removePath("C:\\dl\\a.txt"));
  EXPECT_FALSE(files.isFile("C:\\dl\\a.txt"));
}

TEST_F(FileOpsTest, RemovePathCountsAMissingPathAsGone) {
  EXPECT_TRUE(ops.removePath("C:\\dl\\a.txt"));
  EXPECT_TRUE(ops.removePath("C:\\nowhere\\at\\all.txt"));
  EXPECT_FALSE(ops.removePath("relative.txt"));
}

TEST_F(FileOpsTest, RemovePathRemovesAnEmptyFolderButNotAFullOne) {
  files.putFolder("C:\\empty");
  files.putFile("C:\\full\\a.txt", "x");
  ASSERT_EQ(files.setAttributes("C:\\full", attr::kHidden), os_error::kNone);
  EXPECT_TRUE(ops.removePath("C:\\empty"));
  EXPECT_FALSE(files.isFolder("C:\\empty"));
  EXPECT_FALSE(ops.removePath("C:\\full"));
  EXPECT_TRUE(files.isFile("C:\\full\\a.txt"));
  EXPECT_EQ(files.attributesOf("C:\\full"), attr::kDirectory | attr::kHidden)
      << "the attributes are put back";
}

TEST_F(FileOpsTest, RemovePathKeepsTheAttributesOfAFileItCannotDelete) {
  putPiece("x");
  auto mapped = files.map(kPiece);
  EXPECT_FALSE(ops.removePath(kPiece));
  EXPECT_EQ(files.attributesOf(kPiece), kPieceAttributes);
}

TEST_F(FileOpsTest, RemovePathSucceedsWhenTheFileVanishesBeforeItsDeletion) {
  files.putFile("C:\\a.txt", "x");
  files.vanishBefore(Op::kDeleteFile, "C:\\a.txt");
  EXPECT_TRUE(ops.removePath("C:\\a.txt"));
}

// --- folders ---

TEST_F(FileOpsTest, MakeFoldersMakesEveryMissingFolder) {
  EXPECT_TRUE(ops.makeFolders("C:\\a\\b\\c", false));
  EXPECT_TRUE(files.isFolder("C:\\a\\b\\c"));
  EXPECT_TRUE(ops.makeFolders("C:\\a\\b\\c\\", false)) << "an existing folder is fine";
  EXPECT_TRUE(ops.makeFolders("C:\\x\\\\y\\", false));
  EXPECT_TRUE(files.isFolder("C:\\x\\y"));
}

TEST_F(FileOpsTest, MakeFoldersMakesOnlyTheFoldersOfAFilePath) {
  EXPECT_TRUE(ops.makeFolders("C:\\a\\b\\file.txt", true));
  EXPECT_TRUE(files.isFolder("C:\\a\\b"));
  EXPECT_EQ(files.allPaths(), (std::vector<std::string>{"C:\\a\\", "C:\\a\\b\\"}));
}

TEST_F(FileOpsTest, MakeFoldersAcceptsDriveAndShareRoots) {
  EXPECT_TRUE(ops.makeFolders("C:", false));
  EXPECT_TRUE(ops.makeFolders("C:\\", false));
  EXPECT_TRUE(ops.makeFolders("C:\\file.txt", true));
  files.addShare("\\\\srv\\pub");
  EXPECT_TRUE(ops.makeFolders("\\\\srv\\pub", false));
  EXPECT_TRUE(ops.makeFolders("\\\\srv\\pub\\x\\y", false));
  EXPECT_TRUE(files.isFolder("\\\\srv\\pub\\x\\y"));
  EXPECT_TRUE(files.isFolder("\\\\SRV\\PUB\\X"));
}

TEST_F(FileOpsTest, MakeFoldersFailsWithoutAUsableRoot) {
  EXPECT_FALSE(ops.makeFolders("Q:\\x", false)) << "no such drive";
  EXPECT_FALSE(ops.makeFolders("\\\\srv", false)) << "no share";
  EXPECT_FALSE(ops.makeFolders("\\\\srv\\pub\\x", false)) << "no such share";
  EXPECT_FALSE(ops.makeFolders("x\\y", false));
}

TEST_F(FileOpsTest, MakeFoldersFailsWhenAFileStandsInTheWay) {
  files.putFile("C:\\a\\b", "x");
  EXPECT_FALSE(ops.makeFolders("C:\\a\\b\\c", false));
  files.failOperation(Op::kCreateFolder, os_error::kAccessDenied);
  EXPECT_FALSE(ops.makeFolders("C:\\d", false));
}

TEST_F(FileOpsTest, MakeFoldersAcceptsAFolderMadeMeanwhileByAnotherThread) {
  files.appearBefore(Op::kCreateFolder, "C:\\a\\b");
  EXPECT_TRUE(ops.makeFolders("C:\\a\\b\\c", false));
  EXPECT_TRUE(files.isFolder("C:\\a\\b\\c"));
  // Without a folder there after all, "already exists" is a failure.
  files.failOperation(Op::kCreateFolder, os_error::kAlreadyExists);
  EXPECT_FALSE(ops.makeFolders("C:\\x\\y", false));
}

TEST_F(FileOpsTest, MakeFoldersLetsThreadsMakeTheSameFoldersAtOnce) {
  // Workers of several jobs make their piece files in the same new folder.
  std::vector<std::thread> workers;
  std::vector<int> made(8, 0);
  for (int t = 0; t < 8; ++t) {
    workers.emplace_back([&, t] {
      for (int round = 0; round < 20; ++round) {
        const std::string folder = "C:\\save\\" + std::to_string(round) + "\\deep\\er";
        if (ops.makeFolders(folder, false)) ++made[t];
      }
    });
  }
  for (auto& worker : workers) worker.join();
  for (int t = 0; t < 8; ++t) EXPECT_EQ(made[t], 20) << "thread " << t;
}

// --- writing and mapping ---

TEST_F(FileOpsTest, CreateForWritingMakesHiddenSystemTemporaries) {
  auto piece = ops.createForWriting(true, "C:\\p.db");
  auto normal = ops.createForWriting(false, "C:\\n.txt");
  ASSERT_TRUE(piece && normal);
  EXPECT_EQ(files.attributesOf("C:\\p.db"), kPieceAttributes);
  EXPECT_EQ(files.attributesOf("C:\\n.txt"), attr::kArchive);
  EXPECT_EQ(ops.createForWriting(false, "n.txt"), nullptr);
  files.failOperation(Op::kCreate, os_error::kAccessDenied);
  EXPECT_EQ(ops.createForWriting(false, "C:\\m.txt"), nullptr);
}

TEST_F(FileOpsTest, WritesTextAndCutsTheFileWhereWritingStopped) {
  files.putFile("C:\\db.txt", "old contents that are longer");
  auto file = ops.createForWriting(false, "C:\\db.txt");
  ASSERT_TRUE(file);
  EXPECT_TRUE(FileOps::writeText(*file, "line\r"));
  EXPECT_TRUE(FileOps::writeAll(*file, "", 0));
  FileOps::closeTruncated(std::move(file));
  EXPECT_EQ(files.contents("C:\\db.txt"), "line\r");
  EXPECT_EQ(files.openHandles("C:\\db.txt"), 0);
}

TEST_F(FileOpsTest, WriteAllFailsOnAShortWrite) {
  auto file = ops.createForWriting(true, "C:\\p.db");
  ASSERT_TRUE(file);
  files.setFreeSpace(5);
  EXPECT_TRUE(FileOps::writeAll(*file, "abc", 3));
  EXPECT_FALSE(FileOps::writeAll(*file, "defg", 4));
  EXPECT_FALSE(FileOps::writeText(*file, "h"));
  EXPECT_EQ(files.contents("C:\\p.db"), "abcde");
}

TEST_F(FileOpsTest, MapFileGivesTheWholeFile) {
  files.putFile("C:\\a.bin", std::string("a\0b", 3));
  auto mapped = ops.mapFile("C:\\a.bin");
  ASSERT_TRUE(mapped);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(mapped->data()), mapped->size()),
            std::string("a\0b", 3));
}

TEST_F(FileOpsTest, MapFileGivesNothingForEmptyMissingOrBusyFiles) {
  files.putFile("C:\\empty", "");
  EXPECT_EQ(ops.mapFile("C:\\empty"), nullptr);
  EXPECT_EQ(ops.mapFile("C:\\missing"), nullptr);
  EXPECT_EQ(ops.mapFile("C:\\"), nullptr);
  EXPECT_EQ(ops.mapFile("missing"), nullptr);
  auto writing = ops.createForWriting(true, "C:\\busy.db");
  FileOps::writeText(*writing, "data");
  EXPECT_EQ(ops.mapFile("C:\\busy.db"), nullptr) << "a file being written is not shared";
  files.putFile("C:\\gone", "data");
  files.vanishBefore(Op::kMap, "C:\\gone");
  EXPECT_EQ(ops.mapFile("C:\\gone"), nullptr);
}

// --- comparing ---

TEST_F(FileOpsTest, SameContentComparesSizesAndEveryByte) {
  files.putFile("C:\\a", "same bytes");
  files.putFile("C:\\b", "same bytes");
  files.putFile("C:\\c", "same bytez");
  files.putFile("C:\\d", "same");
  files.putFile("C:\\e1", "");
  files.putFile("C:\\e2", "");
  EXPECT_TRUE(ops.sameContent("C:\\a", "C:\\b"));
  EXPECT_FALSE(ops.sameContent("C:\\a", "C:\\c"));
  EXPECT_FALSE(ops.sameContent("C:\\a", "C:\\d"));
  EXPECT_TRUE(ops.sameContent("C:\\e1", "C:\\e2"));
  EXPECT_FALSE(ops.sameContent("C:\\a", "C:\\missing"));
  EXPECT_FALSE(ops.sameContent("C:\\", "C:\\"));
  EXPECT_EQ(files.openHandles("C:\\a"), 0) << "the mappings are closed again";
}

TEST_F(FileOpsTest, SameContentIsFalseWhenAFileCannotBeMapped) {
  files.putFile("C:\\a", "bytes");
  files.putFile("C:\\b", "bytes");
  files.vanishBefore(Op::kMap, "C:\\b");
  EXPECT_FALSE(ops.sameContent("C:\\a", "C:\\b"));
}

// --- placing ---

TEST_F(FileOpsTest, PlaceFileMovesThePieceIntoANewFolderAsAnOrdinaryFile) {
  putPiece("zip bytes");
  EXPECT_EQ(place(), "C:\\dl\\site\\a.zip");
  EXPECT_EQ(files.contents("C:\\dl\\site\\a.zip"), "zip bytes");
  EXPECT_EQ(files.attributesOf("C:\\dl\\site\\a.zip"), attr::kArchive);
  EXPECT_FALSE(files.isFile(kPiece));
}

TEST_F(FileOpsTest, PlaceFileNumbersADifferentFileOfTheSameName) {
  files.putFile("C:\\dl\\site\\a.zip", "first");
  files.putFile("C:\\dl\\site\\a (2).zip", "second");
  putPiece("third");
  EXPECT_EQ(place(), "C:\\dl\\site\\a (3).zip");
  EXPECT_EQ(files.contents("C:\\dl\\site\\a.zip"), "first");
  EXPECT_EQ(files.contents("C:\\dl\\site\\a (3).zip"), "third");
}

TEST_F(FileOpsTest, PlaceFileKeepsAnIdenticalFileAndDropsThePiece) {
  files.putFile("C:\\dl\\site\\a.zip", "x", attr::kReadOnly);
  files.putFile("C:\\dl\\site\\a (2).zip", "same");
  putPiece("same");
  EXPECT_EQ(place(Collision::kKeepIdentical), "C:\\dl\\site\\a (2).zip");
  EXPECT_FALSE(files.isFile(kPiece));
  EXPECT_EQ(files.allPaths().size(), 4u) << "no third copy";
}

TEST_F(FileOpsTest, PlaceFileKeepsTheSourceOfAnIdenticalCopy) {
  files.putFile("C:\\dl\\site\\a.zip", "same");
  putPiece("same");
  EXPECT_EQ(place(Collision::kKeepIdentical, true), "C:\\dl\\site\\a.zip");
  EXPECT_TRUE(files.isFile(kPiece));
}

TEST_F(FileOpsTest, PlaceFileNumbersEvenAnIdenticalFileWhenOnlyNumbering) {
  files.putFile("C:\\dl\\site\\a.zip", "same");
  putPiece("same");
  EXPECT_EQ(place(Collision::kNumber), "C:\\dl\\site\\a (2).zip");
}

TEST_F(FileOpsTest, PlaceFileNumbersPastAFolderOfTheSameName) {
  files.putFolder("C:\\dl\\site\\a.zip");
  putPiece("data");
  EXPECT_EQ(place(), "C:\\dl\\site\\a (2).zip");
}

TEST_F(FileOpsTest, PlaceFileReplacesATakenNameInReplaceMode) {
  files.putFile("C:\\dl\\site\\a.zip", "old", attr::kReadOnly);
  putPiece("new");
  EXPECT_EQ(place(Collision::kReplace), "C:\\dl\\site\\a.zip");
  EXPECT_EQ(files.contents("C:\\dl\\site\\a.zip"), "new");
}

TEST_F(FileOpsTest, PlaceFileCopiesWithoutTouchingTheSource) {
  putPiece("data");
  EXPECT_EQ(ops.placeFile(kPiece, "C:\\prog", "haulix", ".exe", true, Collision::kReplace, true),
            "C:\\prog\\haulix.exe");
  EXPECT_EQ(files.attributesOf(kPiece), kPieceAttributes);
  EXPECT_EQ(files.contents("C:\\prog\\haulix.exe"), "data");
}

TEST_F(FileOpsTest, PlaceFileLeavesAttributesAloneWhenNotAsked) {
  putPiece("data");
  EXPECT_EQ(ops.placeFile(kPiece, "C:\\dl", "a", "", false, Collision::kNumber, false),
            "C:\\dl\\a");
  EXPECT_EQ(files.attributesOf("C:\\dl\\a"), kPieceAttributes);
}

TEST_F(FileOpsTest, PlaceFileKeepsAFileThatIsAlreadyInPlace) {
  files.putFile("C:\\dl\\a.zip", "only copy");
  for (Collision mode : {Collision::kReplace, Collision::kNumber, Collision::kKeepIdentical}) {
    EXPECT_EQ(ops.placeFile("C:\\dl\\a.zip", "C:\\DL\\", "A", ".ZIP", false, mode, true),
              "C:\\DL\\A.ZIP");
    EXPECT_EQ(files.contents("C:\\dl\\a.zip"), "only copy");
  }
}

TEST_F(FileOpsTest, PlaceFileFailsWhenTheSourceIsNoFile) {
  EXPECT_EQ(place(), "");
  files.putFolder(kPiece);
  EXPECT_EQ(place(), "");
  EXPECT_FALSE(files.isFolder("C:\\dl\\site")) << "nothing is made for a missing source";
}

TEST_F(FileOpsTest, PlaceFileFailsWhenTheFolderCannotBeMade) {
  putPiece("data");
  files.putFile("C:\\dl\\site", "a file where the folder would go");
  EXPECT_EQ(place(), "");
  EXPECT_EQ(files.attributesOf(kPiece), kPieceAttributes);
}

TEST_F(FileOpsTest, PlaceFileFailsWhenTheNameMakesAnInvalidPath) {
  putPiece("data");
  EXPECT_EQ(ops.placeFile(kPiece, "C:\\dl", std::string(260, 'n'), ".zip", false,
                          Collision::kKeepIdentical, true),
            "");
  EXPECT_TRUE(files.isFile(kPiece));
}

TEST_F(FileOpsTest, PlaceFileStopsNumberingAtThePathLimit) {
  // "C:\dl\" (6) + 249 + ".zip" (4) is 259 bytes; with " (2)" it would be 263.
  const std::string name(249, 'n');
  files.putFile("C:\\dl\\" + name + ".zip", "other");
  putPiece("data");
  EXPECT_EQ(ops.placeFile(kPiece, "C:\\dl", name, ".zip", false, Collision::kNumber, true), "");
  EXPECT_TRUE(files.isFile(kPiece));
}

TEST_F(FileOpsTest, PlaceFileFailsAndKeepsThePieceWhenTheMoveIsRefused) {
  putPiece("data");
  files.failOperation(Op::kMove, os_error::kAccessDenied);
  EXPECT_EQ(place(), "");
  EXPECT_EQ(files.contents(kPiece), "data");
  EXPECT_EQ(files.attributesOf(kPiece), kPieceAttributes);
}

TEST_F(FileOpsTest, PlaceFileFailsWithoutATrailingCopyWhenTheDiskFills) {
  putPiece(std::string(1000, 'd'));
  files.setFreeSpace(999);
  EXPECT_EQ(place(Collision::kKeepIdentical, true), "");
  EXPECT_FALSE(files.isFile("C:\\dl\\site\\a.zip"));
  EXPECT_TRUE(files.isFile(kPiece));
}

TEST_F(FileOpsTest, PlaceFileFailsWhenAnIdenticalPieceCannotBeRemoved) {
  files.putFile("C:\\dl\\site\\a.zip", "same");
  putPiece("same");
  files.failOperation(Op::kDeleteFile, os_error::kAccessDenied, kPiece);
  EXPECT_EQ(place(), "");
}

TEST_F(FileOpsTest, PlaceFileFailsWhenATakenNameCannotBeReplaced) {
  files.putFile("C:\\dl\\site\\a.zip", "old");
  auto busy = files.map("C:\\dl\\site\\a.zip");
  putPiece("new");
  EXPECT_EQ(place(Collision::kReplace), "");
  EXPECT_TRUE(files.isFile(kPiece));
}

TEST_F(FileOpsTest, PlaceFileFailsWhenTheAttributesCannotBeSet) {
  putPiece("data");
  files.failOperation(Op::kSetAttributes, os_error::kAccessDenied);
  EXPECT_EQ(place(), "");
}

TEST_F(FileOpsTest, PlaceFileWorksOnAShare) {
  files.addShare("\\\\srv\\pub");
  putPiece("data");
  EXPECT_EQ(
      ops.placeFile(kPiece, "\\\\srv\\pub\\", "a", ".zip", false, Collision::kKeepIdentical, true),
      "\\\\srv\\pub\\a.zip");
  EXPECT_EQ(files.contents("\\\\srv\\pub\\a.zip"), "data");
}

// --- shortcuts ---

TEST_F(FileOpsTest, CreateShortcutMakesItsFolderAndReplacesAnOldOne) {
  files.putFile("C:\\menu\\old\\Haulix.lnk", "old", attr::kReadOnly);
  EXPECT_TRUE(ops.createShortcut("C:\\menu\\new\\Haulix.lnk", "C:\\h\\haulix.exe", "Haulix"));
  EXPECT_TRUE(ops.createShortcut("C:\\menu\\old\\Haulix.lnk", "C:\\h\\haulix.exe", "Haulix"));
  ASSERT_EQ(files.savedLinks().size(), 2u);
  EXPECT_EQ(files.savedLinks()[0].shortcutPath, "C:\\menu\\new\\Haulix.lnk");
  EXPECT_EQ(files.savedLinks()[0].target, "C:\\h\\haulix.exe");
  EXPECT_EQ(files.savedLinks()[0].description, "Haulix");
  EXPECT_TRUE(files.isFile("C:\\menu\\new\\Haulix.lnk"));
}

TEST_F(FileOpsTest, CreateShortcutFailsBeforeSavingWhenThePlaceIsUnusable) {
  EXPECT_FALSE(ops.createShortcut("Haulix.lnk", "C:\\h.exe", "Haulix"));
  files.putFile("C:\\menu", "a file");
  EXPECT_FALSE(ops.createShortcut("C:\\menu\\Haulix.lnk", "C:\\h.exe", "Haulix"));
  files.putFile("C:\\other\\Haulix.lnk", "old");
  auto busy = files.map("C:\\other\\Haulix.lnk");
  EXPECT_FALSE(ops.createShortcut("C:\\other\\Haulix.lnk", "C:\\h.exe", "Haulix"));
  EXPECT_TRUE(files.savedLinks().empty());
}

TEST_F(FileOpsTest, CreateShortcutFailsWhenTheLinkCannotBeSaved) {
  files.failOperation(Op::kShellLink, os_error::kAccessDenied);
  EXPECT_FALSE(ops.createShortcut("C:\\menu\\Haulix.lnk", "C:\\h.exe", "Haulix"));
}

}  // namespace
