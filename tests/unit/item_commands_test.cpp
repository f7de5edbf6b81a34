#include "download/item_commands.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/own_images.h"
#include "unit/download_world.h"

namespace {

constexpr char kSaveFolder[] = "C:\\Users\\me\\Documents\\My Downloaded Files";

class ItemCommandsTest : public testing::Test {
 protected:
  // A job that has finished, as the job pass leaves it; the test owns it.
  TransferJob finishedJob(int32_t result, const std::string& piece, const std::string& bytes) {
    TransferJob job;
    job.result = result;
    if (!piece.empty()) {
      world.files.putFile(piece, bytes, 0x6);  // hidden and system, as a piece is
      job.finishedPath = piece;
      job.finalSize = static_cast<int64_t>(bytes.size());
    }
    return job;
  }

  // Completes the item with a job the test owns, and lets go of the job again.
  void complete(DownloadItem& item, TransferJob& job, int scheme = 0) {
    world.setNumber("sub", &Settings::subfolderScheme, scheme);
    item.job = &job;
    world.commands.completeItem(item);
    item.job = nullptr;
  }

  std::string piecePath(int n) { return std::string(kSaveFolder) + "\\haulix " + std::to_string(n) + ".db"; }

  DownloadWorld world;
  ItemCommands& commands = world.commands;
};

TEST_F(ItemCommandsTest, ShowsEachStateInTheStatusColumn) {
  DownloadItem* queued = world.add("http://h/a.zip");
  DownloadItem* done = world.add("http://h/b.zip");
  DownloadItem* failed = world.add("http://h/c.zip");
  DownloadItem* inactive = world.add("http://h/d.zip");
  world.saveFile(*done, "C:\\s\\b.zip", std::string(1025, 'b'));
  world.queue.setState(*failed, DownloadState::Failed);
  failed->message = "Not Found";
  world.queue.setState(*inactive, DownloadState::Inactive);

  ItemColumns c = commands.itemColumns(*queued);
  EXPECT_EQ(c.status, "");
  EXPECT_EQ(c.size, "");
  EXPECT_EQ(c.statusImage, imageIndex(OwnImage::kClear));
  c = commands.itemColumns(*done);
  EXPECT_EQ(c.status, "Done");
  EXPECT_EQ(c.size, "2 KB");
  EXPECT_EQ(c.statusImage, imageIndex(OwnImage::kListDone));
  c = commands.itemColumns(*failed);
  EXPECT_EQ(c.status, "Not Found");
  EXPECT_EQ(c.statusImage, imageIndex(OwnImage::kListNot));
  c = commands.itemColumns(*inactive);
  EXPECT_EQ(c.status, "Inactive");
  EXPECT_EQ(c.statusImage, imageIndex(OwnImage::kClear));

  RowCells cells = commands.rowCells(*done);
  ASSERT_EQ(cells.texts.size(), 6u);
  EXPECT_EQ(cells.texts[1], "b.zip");
  EXPECT_EQ(cells.texts[3], "ZIP Archive");
  EXPECT_EQ(cells.texts[4], "http://h/b.zip");
  EXPECT_EQ(cells.texts[5], "C:\\s\\b.zip");
  EXPECT_EQ(cells.image1, done->address.iconIndex);
}

TEST_F(ItemCommandsTest, GetFirstAndLastMarkOnlyQueuedRows) {
  DownloadItem* queued = world.add("http://h/a.zip");
  DownloadItem* done = world.add("http://h/b.zip");
  world.saveFile(*done, "C:\\s\\b.zip", "x");
  world.showNewRows();
  world.rows.select(0);
  world.rows.select(1);

  commands.markSelected(MarkMode::kFirst);
  EXPECT_EQ(queued->priority, 1);
  EXPECT_EQ(done->priority, 0);
  EXPECT_EQ(world.rows.text(0, 0), "First");
  EXPECT_EQ(world.rows.text(1, 0), "Done");

  commands.markSelected(MarkMode::kLast);
  EXPECT_EQ(world.rows.text(0, 0), "Last");
  world.rows.select(0, false);
  commands.markSelected(MarkMode::kFirst);
  EXPECT_EQ(queued->priority, -1);  // not selected: untouched
}

TEST_F(ItemCommandsTest, SetInactiveStopsATransferAndDiscardsItsPieces) {
  // A server that sends half of the file and then stalls.
  int gate = world.internet.makeGate(500);
  world.internet.setServer("h", 80, [gate](const FakeRequest& request) {
    FakeReply reply = FakeInternet::fileReply(request, FakeBody::pattern(1000));
    reply.gate = gate;
    return reply;
  });
  DownloadItem* item = world.add("http://h/big.bin");
  world.showNewRows();
  world.queue.setJob(*item, world.engine.createJob(item->address, kSaveFolder, ""));
  item->job->wanted = 1;
  world.engine.runJobPass();
  ASSERT_TRUE(world.internet.waitForBlockedCalls(1));
  ASSERT_TRUE(ItemCommands::isActive(*item));

  world.rows.select(0);
  commands.markSelected(MarkMode::kInactive);
  EXPECT_EQ(item->state, DownloadState::Inactive);
  EXPECT_EQ(item->job, nullptr);
  EXPECT_FALSE(ItemCommands::isActive(*item));
  EXPECT_EQ(world.rows.text(0, 0), "Inactive");
  // No piece file is left in the save folder.
  for (const std::string& path : world.files.allPaths())
    EXPECT_EQ(path.find("haulix "), std::string::npos) << path;
}

TEST_F(ItemCommandsTest, ResetBringsAnItemBackToTheQueue) {
  DownloadItem* item = world.add("http://h/a.zip");
  world.saveFile(*item, "C:\\s\\a.zip", "abc");
  item->priority = 1;
  world.showNewRows();
  commands.resetItem(*item);
  EXPECT_EQ(item->state, DownloadState::Queued);
  EXPECT_EQ(item->priority, 0);
  EXPECT_EQ(item->size, -1);
  EXPECT_EQ(item->savedPath, "");
  EXPECT_EQ(world.rows.text(0, 0), "");
  EXPECT_EQ(world.rows.text(0, 5), "");
  // The file itself stays.
  EXPECT_TRUE(world.files.isFile("C:\\s\\a.zip"));
}

TEST_F(ItemCommandsTest, RemovingEveryRowClearsTheListInOneStep) {
  world.queue.addAddresses("http://h/1\r\nhttp://h/2\r\nhttp://h/3");
  world.showNewRows();
  world.rows.selectAll();
  commands.clearSelected(ClearAction::kRemove, SavedFileDeletion::kNone);
  EXPECT_TRUE(world.queue.empty());
  EXPECT_EQ(world.rows.rowCount(), 0);
  EXPECT_EQ(world.rows.deleteAlls, 1);
  EXPECT_EQ(world.rows.deletes, 0);
}

TEST_F(ItemCommandsTest, RemovingSomeRowsDeletesThemOneByOne) {
  world.queue.addAddresses("http://h/1\r\nhttp://h/2\r\nhttp://h/3");
  world.showNewRows();
  world.rows.select(0);
  world.rows.select(2);
  commands.clearSelected(ClearAction::kRemove, SavedFileDeletion::kNone);
  ASSERT_EQ(world.queue.size(), 1u);
  EXPECT_EQ(world.queue.first()->address.fullAddress, "http://h/2");
  ASSERT_EQ(world.rows.rowCount(), 1);
  EXPECT_EQ(world.rows.rowRecord(0), world.queue.first());
  EXPECT_EQ(world.rows.deletes, 2);
}

TEST_F(ItemCommandsTest, DeletingSavedFilesClimbsUpThroughEmptiedFoldersButNotMyDocuments) {
  const std::string sub = std::string(kSaveFolder) + "\\h";
  DownloadItem* a = world.add("http://h/a.zip");
  DownloadItem* b = world.add("http://h/b.zip");
  world.saveFile(*a, sub + "\\a.zip", "a");
  world.saveFile(*b, sub + "\\b.zip", "b");
  world.showNewRows();
  world.rows.selectAll();
  EXPECT_EQ(commands.clearSelected(ClearAction::kCount, SavedFileDeletion::kNone), 2);
  DeleteChoice choice = openDeleteChoice(2);
  EXPECT_EQ(choice.deleteFilesText, "&Delete 2 saved files");
  choice.deleteFoldersChecked = true;
  commands.clearSelected(chosenAction(choice), chosenDeletion(choice));

  EXPECT_TRUE(world.queue.empty());
  EXPECT_FALSE(world.files.isFolder(sub));
  EXPECT_FALSE(world.files.isFolder(kSaveFolder));
  EXPECT_TRUE(world.files.isFolder(world.folders.myDocuments));
}

TEST_F(ItemCommandsTest, DeletingSavedFilesKeepsFoldersThatHoldOtherFiles) {
  const std::string sub = std::string(kSaveFolder) + "\\h";
  DownloadItem* a = world.add("http://h/a.zip");
  world.saveFile(*a, sub + "\\a.zip", "a");
  world.files.putFile(std::string(kSaveFolder) + "\\other.txt", "o");
  // A read-only saved file is deleted too.
  world.files.putFile(sub + "\\a.zip", "a", 0x1);
  world.showNewRows();
  world.rows.select(0);
  commands.clearSelected(ClearAction::kReset, SavedFileDeletion::kFilesAndFolders);
  EXPECT_FALSE(world.files.isFile(sub + "\\a.zip"));
  EXPECT_FALSE(world.files.isFolder(sub));
  EXPECT_TRUE(world.files.isFolder(kSaveFolder));
  EXPECT_EQ(a->state, DownloadState::Queued);
}

TEST_F(ItemCommandsTest, DeletingWithoutFoldersLeavesTheEmptiedFolder) {
  const std::string sub = std::string(kSaveFolder) + "\\h";
  DownloadItem* a = world.add("http://h/a.zip");
  world.saveFile(*a, sub + "\\a.zip", "a");
  world.showNewRows();
  world.rows.select(0);
  commands.clearSelected(ClearAction::kRemove, SavedFileDeletion::kFiles);
  EXPECT_FALSE(world.files.isFile(sub + "\\a.zip"));
  EXPECT_TRUE(world.files.isFolder(sub));
}

TEST_F(ItemCommandsTest, OpenPrefersTheSavedFileAndFallsBackToTheAddress) {
  DownloadItem* item = world.add("http://h/a.zip");
  commands.openItem(*item, OpenTarget::kOpen);
  commands.openItem(*item, OpenTarget::kSavedFile);         // nothing saved: nothing opened
  commands.openItem(*item, OpenTarget::kContainingFolder);  // likewise
  world.saveFile(*item, "C:\\s\\d\\a.zip", "a");
  commands.openItem(*item, OpenTarget::kOpen);
  commands.openItem(*item, OpenTarget::kAddress);
  commands.openItem(*item, OpenTarget::kContainingFolder);
  ASSERT_EQ(world.shell.opened.size(), 4u);
  EXPECT_EQ(world.shell.opened[0].first, "http://h/a.zip");
  EXPECT_EQ(world.shell.opened[1].first, "C:\\s\\d\\a.zip");
  EXPECT_EQ(world.shell.opened[2].first, "http://h/a.zip");
  EXPECT_EQ(world.shell.opened[3].first, "C:\\s\\d");
  // A saved file deleted behind the program's back is no saved file.
  world.files.deleteFile("C:\\s\\d\\a.zip");
  EXPECT_FALSE(commands.hasSavedFile(*item));
}

TEST_F(ItemCommandsTest, CompletingPlacesTheFileUnderTheSubfolderScheme) {
  DownloadItem* item = world.add("http://h/a%20b/c/file.zip");
  TransferJob job = finishedJob(kJobSucceeded, piecePath(1), "zipped");
  complete(*item, job, 3);
  EXPECT_EQ(item->state, DownloadState::Done);
  EXPECT_EQ(item->savedPath, std::string(kSaveFolder) + "\\h\\a b-c\\file.zip");
  EXPECT_EQ(item->size, 6);
  EXPECT_EQ(world.files.contents(item->savedPath), "zipped");
  EXPECT_EQ(world.files.attributesOf(item->savedPath), 0x20u);  // no longer hidden
  EXPECT_FALSE(world.files.isFile(piecePath(1)));
}

TEST_F(ItemCommandsTest, CompletingNumbersADifferentFileAndKeepsAnIdenticalOne) {
  world.files.putFile(std::string(kSaveFolder) + "\\a.zip", "old");
  DownloadItem* first = world.add("http://h/a.zip");
  TransferJob same = finishedJob(kJobSucceeded, piecePath(1), "old");
  complete(*first, same);
  EXPECT_EQ(first->savedPath, std::string(kSaveFolder) + "\\a.zip");
  EXPECT_FALSE(world.files.isFile(piecePath(1)));

  DownloadItem* second = world.add("http://other/a.zip");
  TransferJob different = finishedJob(kJobSucceeded, piecePath(2), "new");
  complete(*second, different);
  EXPECT_EQ(second->savedPath, std::string(kSaveFolder) + "\\a (2).zip");
  EXPECT_EQ(world.files.contents(second->savedPath), "new");
}

TEST_F(ItemCommandsTest, CompletingAnHtmlReplySavesItAsHtm) {
  DownloadItem* item = world.add("http://h/page.php?id=3");
  TransferJob job = finishedJob(kJobSucceeded, piecePath(1), "<html>");
  job.contentType = "text/html";
  complete(*item, job);
  EXPECT_EQ(item->savedPath, std::string(kSaveFolder) + "\\page.htm");
  // Only exactly "text/html" counts.
  DownloadItem* other = world.add("http://h/data.php");
  TransferJob typed = finishedJob(kJobSucceeded, piecePath(2), "x");
  typed.contentType = "text/html; charset=utf-8";
  complete(*other, typed);
  EXPECT_EQ(other->savedPath, std::string(kSaveFolder) + "\\data.php");
}

TEST_F(ItemCommandsTest, CompletingFailsWithTheJobsMessageOrCannotSave) {
  DownloadItem* failed = world.add("http://h/a.zip");
  TransferJob refused = finishedJob(kJobFailed, "", "");
  refused.errorText = "Forbidden";
  complete(*failed, refused);
  EXPECT_EQ(failed->state, DownloadState::Failed);
  EXPECT_EQ(failed->message, "Forbidden");

  DownloadItem* unsaved = world.add("http://h/b.zip");
  TransferJob job = finishedJob(kJobSucceeded, piecePath(1), "b");
  world.files.failOperation(FakeFiles::Op::kMove, 5);
  complete(*unsaved, job);
  EXPECT_EQ(unsaved->state, DownloadState::Failed);
  EXPECT_EQ(unsaved->message, "Cannot Save");
  EXPECT_EQ(unsaved->savedPath, "");
  // The piece stays where it was.
  EXPECT_TRUE(world.files.isFile(piecePath(1)));

  DownloadItem* headersOnly = world.add("http://h/c.zip");
  TransferJob nothing = finishedJob(kJobSucceeded, "", "");
  complete(*headersOnly, nothing);
  EXPECT_EQ(headersOnly->state, DownloadState::Done);
  EXPECT_EQ(headersOnly->savedPath, "");
}

TEST_F(ItemCommandsTest, DisplaySizeFollowsTheLiveTransfer) {
  DownloadItem* item = world.add("http://h/a.zip");
  EXPECT_EQ(ItemCommands::displaySize(*item), -1);
  TransferJob job;
  job.bytesGot = 300;
  item->job = &job;
  EXPECT_EQ(ItemCommands::displaySize(*item), 300);
  job.totalSize = 5'000'000'000;
  EXPECT_EQ(ItemCommands::displaySize(*item), 5'000'000'000);
  item->job = nullptr;
  world.saveFile(*item, "C:\\s\\a.zip", "abcd");
  EXPECT_EQ(ItemCommands::displaySize(*item), 4);
}

}  // namespace
