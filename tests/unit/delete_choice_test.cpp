#include "download/delete_choice.h"

#include <gtest/gtest.h>

namespace {

TEST(DeleteChoice, WithoutSavedFilesOffersNoDeletion) {
  DeleteChoice choice = openDeleteChoice(0);
  EXPECT_FALSE(choice.reset);
  EXPECT_FALSE(choice.deleteFilesEnabled);
  EXPECT_FALSE(choice.deleteFoldersEnabled);
  EXPECT_FALSE(choice.deleteFilesChecked);
  EXPECT_EQ(choice.deleteFilesText, "&Delete saved files");
  EXPECT_EQ(chosenAction(choice), ClearAction::kRemove);
  EXPECT_EQ(chosenDeletion(choice), SavedFileDeletion::kNone);
}

TEST(DeleteChoice, NamesTheSavedFilesAndChecksTheirDeletion) {
  DeleteChoice one = openDeleteChoice(1);
  EXPECT_EQ(one.deleteFilesText, "&Delete saved file");
  EXPECT_TRUE(one.deleteFilesChecked);
  EXPECT_TRUE(one.deleteFoldersEnabled);
  EXPECT_FALSE(one.deleteFoldersChecked);
  EXPECT_EQ(chosenDeletion(one), SavedFileDeletion::kFiles);

  EXPECT_EQ(openDeleteChoice(2).deleteFilesText, "&Delete 2 saved files");
  EXPECT_EQ(openDeleteChoice(1234).deleteFilesText, "&Delete 1,234 saved files");
}

TEST(DeleteChoice, UncheckingFilesClearsAndDisablesFolders) {
  DeleteChoice choice = openDeleteChoice(3);
  choice.deleteFoldersChecked = true;
  EXPECT_EQ(chosenDeletion(choice), SavedFileDeletion::kFilesAndFolders);
  setDeleteFiles(choice, false);
  EXPECT_FALSE(choice.deleteFoldersEnabled);
  EXPECT_FALSE(choice.deleteFoldersChecked);
  EXPECT_EQ(chosenDeletion(choice), SavedFileDeletion::kNone);
  setDeleteFiles(choice, true);
  EXPECT_TRUE(choice.deleteFoldersEnabled);
  EXPECT_FALSE(choice.deleteFoldersChecked);
  EXPECT_EQ(chosenDeletion(choice), SavedFileDeletion::kFiles);
}

TEST(DeleteChoice, ResetSelectedAsksForReset) {
  DeleteChoice choice = openDeleteChoice(0);
  choice.reset = true;
  EXPECT_EQ(chosenAction(choice), ClearAction::kReset);
}

}  // namespace
