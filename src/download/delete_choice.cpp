#include "download/delete_choice.h"

#include "download/progress_text.h"

DeleteChoice openDeleteChoice(int savedFileCount) {
  DeleteChoice choice;
  if (savedFileCount <= 0) {
    choice.deleteFilesEnabled = false;
    choice.deleteFoldersEnabled = false;
    return choice;
  }
  choice.deleteFilesText = savedFileCount == 1
                               ? "&Delete saved file"
                               : "&Delete " + countText(savedFileCount, "saved file");
  choice.deleteFilesChecked = true;
  return choice;
}

void setDeleteFiles(DeleteChoice& choice, bool checked) {
  choice.deleteFilesChecked = checked;
  choice.deleteFoldersEnabled = checked;
  if (!checked) choice.deleteFoldersChecked = false;
}

ClearAction chosenAction(const DeleteChoice& choice) {
  return choice.reset ? ClearAction::kReset : ClearAction::kRemove;
}

SavedFileDeletion chosenDeletion(const DeleteChoice& choice) {
  if (!choice.deleteFilesChecked) return SavedFileDeletion::kNone;
  return choice.deleteFoldersChecked ? SavedFileDeletion::kFilesAndFolders
                                     : SavedFileDeletion::kFiles;
}
