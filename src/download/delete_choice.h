#pragma once
#include <string>

// What the Delete dialog shows and what its OK asks for, kept apart from the window.

// What happens to the selected items (and their rows).
enum class ClearAction { kCount, kReset, kRemove };
// What happens to their saved files.
enum class SavedFileDeletion { kNone, kFiles, kFilesAndFolders };

struct DeleteChoice {
  bool reset = false;  // "Rese&t" (1060) selected; else "Re&move" (1061)
  std::string deleteFilesText = "&Delete saved files";  // check box 1062
  bool deleteFilesEnabled = true;
  bool deleteFilesChecked = false;
  bool deleteFoldersEnabled = true;  // check box 1064, "Delete &folders made empty"
  bool deleteFoldersChecked = false;
};

// The dialog as it opens, for this many selected items with saved files.
DeleteChoice openDeleteChoice(int savedFileCount);
// Clicking "&Delete saved files": checked enables the folder box; unchecked clears and
// disables it.
void setDeleteFiles(DeleteChoice& choice, bool checked);
// What OK asks of clearSelected.
ClearAction chosenAction(const DeleteChoice& choice);
SavedFileDeletion chosenDeletion(const DeleteChoice& choice);
