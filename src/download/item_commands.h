#pragma once
#include <cstdint>
#include <string>

#include "download/connection_check.h"
#include "download/delete_choice.h"
#include "download/download_queue.h"
#include "transfer/file_ops.h"
#include "platform/clock.h"
#include "platform/known_folders.h"
#include "platform/row_list.h"
#include "platform/shell.h"
#include "store/settings.h"

// What the Open commands open.
enum class OpenTarget { kOpen, kAddress, kSavedFile, kContainingFolder };
// What Get First, Get Last and Set Inactive do to the selected rows.
enum class MarkMode { kFirst, kLast, kInactive };

// The Status and Size cells of a row and its status icon.
struct ItemColumns {
  int statusImage = -1;
  std::string status;
  std::string size;
};

// The commands the user gives on download items, and how an item shows in its row. The
// commands that act on the selection walk the rows of the list (their display order), not
// the queue.
class ItemCommands {
 public:
  ItemCommands(DownloadQueue& queue, RowList<DownloadItem>& rows, FileOps& fileOps, Shell& shell,
               const Clock& clock, const KnownFolders& folders, const ByteText& text,
               const SettingsStore& settings, ConnectionCheck& connection)
      : queue_(queue), rows_(rows), fileOps_(fileOps), shell_(shell), clock_(clock),
        folders_(folders), text_(text), settings_(settings), connection_(connection) {}

  // Get: a Queued item gets a job (when the connection is there), and each Get on a
  // transferring item asks for one more connection. A Failed item that kept its pieces is
  // Queued again and goes on from them.
  void startItem(DownloadItem& item);

  // Back to Queued with priority 0, size unknown, no saved path; the job and its pieces go.
  void resetItem(DownloadItem& item);
  // Get First, Get Last or Set Inactive on every selected Queued row.
  void markSelected(MarkMode mode);
  // On the selected rows, last to first: count those with saved files (the result), or
  // delete their files as asked and then reset or remove them.
  int clearSelected(ClearAction action, SavedFileDeletion deletion);
  // Deletes the saved file and, when asked, the folders it leaves empty, climbing up to
  // (never including) My Documents.
  void deleteSavedFile(DownloadItem& item, bool removeEmptiedFolders);
  void openItem(const DownloadItem& item, OpenTarget target);
  // Done, and the saved path names an existing file.
  bool hasSavedFile(const DownloadItem& item);
  // Ends the item's job (keeping its pieces when the size is known); the item stays Queued.
  void pauseItem(DownloadItem& item);
  // Queued, with a job that is running.
  static bool isActive(const DownloadItem& item);
  // Get does something to it: it is Queued, or it failed and kept what it had fetched, or
  // its certificate was refused.
  static bool canGet(const DownloadItem& item);
  // What the item's job learnt from its first reply: the server's file name (unless the
  // item has one, which a resumed transfer keeps) and the address the redirects led to.
  static void noteReply(DownloadItem& item);
  // Moves the outcome of the item's finished job into the item: the file placed under the
  // subfolder scheme of the settings and Done, or Failed with a message. The caller
  // destroys the job.
  void completeItem(DownloadItem& item);
  ItemColumns itemColumns(const DownloadItem& item) const;
  // All six cells of the item's row, rewritten where they changed.
  void refreshRow(const DownloadItem& item);
  RowCells rowCells(const DownloadItem& item) const;
  // The size the Size column sorts on: the live size of a transfer, else the saved size.
  static int64_t displaySize(const DownloadItem& item);

 private:
  DownloadQueue& queue_;
  RowList<DownloadItem>& rows_;
  FileOps& fileOps_;
  Shell& shell_;
  const Clock& clock_;
  const KnownFolders& folders_;
  const ByteText& text_;
  const SettingsStore& settings_;
  ConnectionCheck& connection_;
};
